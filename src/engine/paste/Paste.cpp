// Where the pasted body lands: its blocks after the target's, its sections joined to the
// target's, and a page break carried into it.
#include "engine/paste/LeadingTable.h"
#include "engine/paste/PasteSession.h"
#include "engine/paste/ShapeTypes.h"

#include "engine/mergers/EndnotePosition.h"
#include "engine/mergers/FormProtection.h"
#include "engine/mergers/LineNumbers.h"
#include "engine/mergers/SectionMerge.h"
#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/settings/AutoSpacing.h"
#include "engine/settings/LayoutMode.h"
#include "engine/settings/TableDefaults.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {
namespace {

/// Main parts longer than this are compressed block by block as the paste goes.
constexpr std::uint64_t kCompressEarlyAbove = 4u << 20;

/// True for a paragraph that holds nothing but breaks: the insertion paragraph after a page
/// break, whose break moves into the pasted content.
bool holdsOnlyBreaks(const pugi::xml_node& paragraph) {
    for (auto child : paragraph.children()) {
        const char* name = child.name();
        if (std::strcmp(name, "w:pPr") == 0) {
            continue;
        }
        if (std::strcmp(name, "w:r") != 0) {
            return false;
        }
        for (auto part : child.children()) {
            const char* inner = part.name();
            if (std::strcmp(inner, "w:rPr") != 0 && std::strcmp(inner, "w:br") != 0 &&
                std::strcmp(inner, "w:lastRenderedPageBreak") != 0) {
                return false;
            }
        }
    }
    return true;
}

/// Appends to a body that states no final section the one both readers lay it out on alone:
/// Letter with an inch all round, whatever the locale's paper. Left unstated, its text would go
/// on in the section of the document before it, or on the new document's paper when it leads.
/// After a document that stated none either, it goes on in that one's section, as before.
pugi::xml_node stateDefaultSection(pugi::xml_node body) {
    auto sectPr = body.append_child("w:sectPr");
    auto size = sectPr.append_child("w:pgSz");
    size.append_attribute("w:w") = "12240";
    size.append_attribute("w:h") = "15840";
    auto margins = sectPr.append_child("w:pgMar");
    for (const char* side : {"w:top", "w:right", "w:bottom", "w:left"}) {
        margins.append_attribute(side) = "1440";
    }
    for (const char* distance : {"w:header", "w:footer"}) {
        margins.append_attribute(distance) = "720";
    }
    margins.append_attribute("w:gutter") = "0";
    return sectPr;
}

/// True when the runs hold page breaks and nothing else.
bool onlyPageBreaks(const pugi::xml_node& runs) {
    bool any = false;
    for (auto run : runs.children()) {
        for (auto part : run.children()) {
            if (std::strcmp(part.name(), "w:br") == 0 &&
                std::strcmp(part.attribute("w:type").value(), "page") == 0) {
                any = true;
            } else if (std::strcmp(part.name(), "w:rPr") != 0) {
                return false;
            }
        }
    }
    return any;
}

bool isLandscape(const pugi::xml_node& pgSz) {
    return std::strcmp(pgSz.attribute("w:orient").value(), "landscape") == 0;
}

/// True when the block (a paragraph, or a content control whose content ends in one) ends in a
/// page break.
bool endsInPageBreak(pugi::xml_node block) {
    while (std::strcmp(block.name(), "w:sdt") == 0) {
        block = block.child("w:sdtContent").last_child();
    }
    if (std::strcmp(block.name(), "w:p") != 0) {
        return false;
    }
    const auto run = block.last_child();
    if (std::strcmp(run.name(), "w:r") != 0) {
        return false;
    }
    const auto last = run.last_child();
    return std::strcmp(last.name(), "w:br") == 0 &&
           std::strcmp(last.attribute("w:type").value(), "page") == 0;
}

/// True for a paragraph that must not take the section's properties, since LibreOffice drops an
/// empty paragraph that ends a section (the next section starts the next page anyway), and with
/// it what it stood for:
/// - after a page break, the blank last page the paragraph is on;
/// - after a table, the paragraph that keeps the table from ending the section: LibreOffice keeps
///   the floating tables of a section that a table ends (all but the last) in the text instead of
///   where they are placed, and shows its default footer on a first page that has none;
/// - a list item, its number (a list whose last item is still empty, "1." on an otherwise blank
///   page). Only a number the paragraph states itself is seen: one from its style is not.
bool mustNotEndSection(const pugi::xml_node& paragraph, const pugi::xml_node& before) {
    for (auto child : paragraph.children()) {
        const char* name = child.name();
        if (child.type() == pugi::node_element && std::strcmp(name, "w:pPr") != 0 &&
            std::strcmp(name, "w:bookmarkStart") != 0 && std::strcmp(name, "w:bookmarkEnd") != 0) {
            return false;
        }
    }
    const auto numId = paragraph.child("w:pPr").child("w:numPr").child("w:numId");
    if (numId && std::strcmp(numId.attribute("w:val").value(), "0") != 0) {
        return true;
    }
    return before && (endsInPageBreak(before) || std::strcmp(before.name(), "w:tbl") == 0);
}

} // namespace

void PasteSession::insertBody() {
    const auto sourceRoot = m_source.mainDocument().document_element();
    auto body = sourceRoot.child("w:body");
    Body& targetBody = m_target.body;
    const bool hasPrevious = !targetBody.isEmpty();

    // No list of all blocks: a body of millions of empty paragraphs would need one that size.
    pugi::xml_node lastSectPr;
    for (auto child = body.last_child(); child; child = child.previous_sibling()) {
        if (child.type() == pugi::node_element) {
            lastSectPr = std::strcmp(child.name(), "w:sectPr") == 0 ? child : pugi::xml_node();
            break;
        }
    }
    const bool statesNoSection = !lastSectPr;
    if (statesNoSection && !(hasPrevious && m_target.endsInStatedSection)) {
        lastSectPr = stateDefaultSection(body);
    }
    auto blockAfter = [&lastSectPr](pugi::xml_node node) {
        do {
            node = node.next_sibling();
        } while (node && (node.type() != pugi::node_element || node == lastSectPr));
        return node;
    };
    anchorLeadingTable(m_target, body); // before the first block is known
    shareShapeTypes(body, m_target);
    pugi::xml_node firstBlock = body.first_child();
    if (firstBlock && (firstBlock.type() != pugi::node_element || firstBlock == lastSectPr)) {
        firstBlock = blockAfter(firstBlock);
    }
    std::vector<pugi::xml_node> sections;
    for (auto block = firstBlock; block; block = blockAfter(block)) {
        if (auto inner = block.child("w:pPr").child("w:sectPr")) {
            sections.push_back(inner);
        }
    }
    if (lastSectPr) {
        sections.push_back(lastSectPr);
    }
    prepareSourceSections(m_source, m_target, sections);
    keepFormProtection(m_source, m_target, sections);
    keepEndnotesWithTheirDocument(m_source, m_target, sections, hasPrevious,
                                  m_notes.tookEndnotes());
    keepLineNumbersToTheirSections(m_target, body, sections);
    keepTableStylesOverDefaults(m_source, m_target, body);
    keepTablePlacesAcrossLayoutModes(m_source, m_target, body);
    keepAutoSpacingAtDocumentStart(m_source, m_target, body);
    // Blocks are remapped in document order. In a long body, a block that nothing below edits
    // any more is compressed at once and its nodes freed, so that the body never holds all its
    // remapped blocks (which a remap may make larger) beside their text; kept as nodes are the
    // first block, which may take the carried break, the last, which stays open, and the
    // blocks holding a section break, which the sections join below. A short body stays whole
    // and is compressed as one stream, which compresses better than stretches between
    // sections.
    const bool compressEarly =
        m_source.package().find(m_source.mainPart())->size() > kCompressEarlyAbove;
    std::vector<PastedBlock> pasted;
    BlockCompressor compressor;
    for (auto block = firstBlock; block;) {
        const auto next = blockAfter(block);
        m_remap.remap(block, sourceRoot, m_source.mainPart(), m_target.mainPart);
        declareMissingNamespaces(block, sourceRoot, targetBody.namespaces());
        if (compressEarly && block != firstBlock && next &&
            !block.child("w:pPr").child("w:sectPr")) {
            compressor.add(block);
            body.remove_child(block);
        } else {
            if (!compressor.empty()) {
                pasted.emplace_back(compressor.take());
            }
            pasted.emplace_back(block);
        }
        block = next;
    }
    if (lastSectPr) {
        m_remap.remap(lastSectPr, sourceRoot, m_source.mainPart(), m_target.mainPart);
        declareMissingNamespaces(lastSectPr, sourceRoot, targetBody.namespaces());
    }

    const auto targetSect = targetBody.finalSectPr();
    if (lastSectPr && targetSect && targetSect.child("w:pgSz").attribute("w:orient")) {
        turnSection(lastSectPr, isLandscape(targetSect.child("w:pgSz")));
    }

    // The insertion paragraph: when it holds only breaks, they move into the pasted content.
    static_cast<void>(
        targetBody.blockBeforeTail()); // brings the block before the tail back into reach
    pugi::xml_document carried;
    auto carriedRuns = carried.append_child("runs");
    const auto tail = targetBody.tail();
    if (holdsOnlyBreaks(tail)) {
        for (auto run : tail.children("w:r")) {
            carriedRuns.append_copy(run);
        }
        targetBody.openRoot().remove_child(tail);
    }
    const bool pageBreak = onlyPageBreaks(carriedRuns);
    // Read only now: a document that switches even headers on states them in those before it.
    const Landing landing{targetSect, hasPrevious, pageBreak, m_target.statedHeaders};
    if (joinSections(m_target, sections, landing) && pageBreak) {
        carried.remove_child(carriedRuns); // the section starts the new page
        carriedRuns = carried.append_child("runs");
    }
    for (const auto& sectPr : sections) {
        m_target.statedHeaders |= headerReferenceBits(sectPr);
    }
    if (lastSectPr) {
        auto open = targetBody.openRoot();
        if (hasPrevious && targetSect) {
            auto last = open.last_child();
            if (!last || std::strcmp(last.name(), "w:p") != 0 ||
                last.child("w:pPr").child("w:sectPr") ||
                mustNotEndSection(last, targetBody.blockBeforeTail())) {
                last = open.append_child("w:p");
            }
            insertOrdered(childOrPrepend(last, "w:pPr"), targetSect, kParagraphPropertyOrder);
            if (m_target.numbersLines && !numbersLines(targetSect)) {
                suppressLineNumbers(last); // when made here, after a table
            }
        }
        targetBody.setFinalSectPr(lastSectPr);
    }
    m_target.endsInStatedSection = statesNoSection;
    if (carriedRuns.first_child()) {
        const bool firstIsParagraph = firstBlock && std::strcmp(firstBlock.name(), "w:p") == 0;
        if (firstIsParagraph && pageBreak) {
            // A page break before the pasted content: said by the paragraph itself, which
            // leaves its text and its list item as they were.
            auto pPr = childOrPrepend(firstBlock, "w:pPr");
            auto before = orderedChild(pPr, "w:pageBreakBefore", kParagraphPropertyOrder);
            before.remove_attributes();
        } else if (firstIsParagraph) {
            auto first = firstBlock;
            const auto pPr = first.child("w:pPr");
            for (auto run = carriedRuns.last_child(); run; run = run.previous_sibling()) {
                if (pPr) {
                    first.insert_copy_after(run, pPr);
                } else {
                    first.prepend_copy(run);
                }
            }
        } else {
            auto paragraph = body.insert_child_before("w:p", firstBlock);
            if (!paragraph) {
                paragraph = body.append_child("w:p");
            }
            for (auto run : carriedRuns.children()) {
                paragraph.append_copy(run);
            }
            if (m_target.numbersLines && (sections.empty() || !numbersLines(sections.front()))) {
                suppressLineNumbers(paragraph);
            }
            pasted.insert(pasted.begin(), paragraph);
        }
    }
    targetBody.appendBlocks(pasted);
    keepLastLineUnnumbered(m_target);
}

} // namespace paperloom::engine
