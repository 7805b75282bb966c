// The order of a paste, notes and comments, and where the pasted body lands.
#include "engine/AutoSpacing.h"
#include "engine/BlankDocument.h"
#include "engine/DocumentChange.h"
#include "engine/FirstDocument.h"
#include "engine/LayoutMode.h"
#include "engine/LeadingFloatingTable.h"
#include "engine/PageBackground.h"
#include "engine/PasteSession.h"
#include "engine/SectionMerge.h"
#include "engine/TableDefaults.h"
#include "engine/Xml.h"
#include "engine/XmlOrder.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr const char* kTypePrefix =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";

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

/// True for a separator or continuation notice: a note with a type other than normal.
bool isSeparator(const pugi::xml_node& note) {
    const char* type = note.attribute("w:type").value();
    return *type != '\0' && std::strcmp(type, "normal") != 0;
}

/// The separators of a notes part first, then its notes in the order the body refers to them,
/// then those the body never names, in their stored order. Word processors may give the n-th
/// reference the note of the n-th smallest id rather than the one it names (LibreOffice does),
/// so new ids must rise with the references.
std::vector<pugi::xml_node> notesInReadingOrder(const pugi::xml_node& notesRoot,
                                                const char* element, const pugi::xml_node& body,
                                                const char* reference) {
    std::unordered_map<std::string_view, pugi::xml_node> byId;
    std::vector<pugi::xml_node> notes;
    std::unordered_set<const void*> taken;
    for (auto note : notesRoot.children(element)) {
        if (isSeparator(note)) {
            notes.push_back(note);
            taken.insert(note.internal_object());
        } else {
            byId.emplace(note.attribute("w:id").value(), note);
        }
    }
    forEachElement(body, [&](pugi::xml_node node) {
        if (std::strcmp(node.name(), reference) == 0) {
            const auto it = byId.find(node.attribute("w:id").value());
            if (it != byId.end() && taken.insert(it->second.internal_object()).second) {
                notes.push_back(it->second);
            }
        }
        return true;
    });
    for (auto note : notesRoot.children(element)) {
        if (taken.insert(note.internal_object()).second) {
            notes.push_back(note);
        }
    }
    return notes;
}

bool isLandscape(const pugi::xml_node& pgSz) {
    return std::strcmp(pgSz.attribute("w:orient").value(), "landscape") == 0;
}

} // namespace

void PasteSession::run() {
    DocumentChange change(target);
    step("first document");
    adoptFirstDocument(*this);
    mergePageBackground(*this);
    step("lists");
    prepareNumbering(*this);
    step("styles");
    mergeStyles(*this);
    step("list definitions");
    emitNumbering(*this);
    step("bookmarks");
    collectBookmarks(sourceDoc.document_element().child("w:body"));
    step("footnotes");
    mergeNotes(false);
    step("endnotes");
    mergeNotes(true);
    step("body");
    insertBody();
    step("comments");
    mergeComments();
    step("fonts");
    mergeFonts();
    step("parts");
    drainPendingParts();
    step("done");
    change.commit();
}

void PasteSession::step(std::string_view name) const {
    if (beforeStep) {
        beforeStep(name);
    }
}

void PasteSession::mergeNotes(bool endnotes) {
    const std::string kind = endnotes ? "endnotes" : "footnotes";
    const std::string sourcePart = sourcePartOfKind(kind);
    if (sourcePart.empty()) {
        return;
    }
    const auto doc = parseXml(source.text(sourcePart), sourcePart);
    const auto sourceRoot = doc.document_element();
    XmlPart& part = endnotes ? target.endnotes : target.footnotes;
    const bool created = !part;
    target.ensurePart(part, kind, "word/" + kind + ".xml", kTypePrefix + kind + "+xml",
                      blankStartTag(endnotes ? "w:endnotes" : "w:footnotes") + "</w:" + kind + ">");
    part.dirty = true;
    auto root = part.doc.document_element();
    const auto namespaces = namespacesOf(root);
    const char* element = endnotes ? "w:endnote" : "w:footnote";
    std::unordered_set<long long> used;
    long long next = 1;
    for (auto note : root.children(element)) {
        const long long id = note.attribute("w:id").as_llong();
        used.insert(id);
        next = std::max(next, id + 1);
    }
    auto& ids = endnotes ? endnoteIds : footnoteIds;
    std::unordered_map<std::string, std::string> separatorIds;
    const auto body = sourceDoc.document_element().child("w:body");
    // Separators come first, so the notes are numbered above whatever ids they took.
    for (auto note : notesInReadingOrder(sourceRoot, element, body,
                                         endnotes ? "w:endnoteReference" : "w:footnoteReference")) {
        const bool special = isSeparator(note);
        if (special && !created) {
            continue; // the target's own separators stay; ours are never duplicated
        }
        auto copy = root.append_copy(note);
        const auto sourceId = note.attribute("w:id");
        auto id = copy.attribute("w:id");
        if (!id) {
            id = copy.append_attribute("w:id");
        }
        if (special) {
            // A separator keeps its id where it is free: producers differ (-1 and 0, or 0 and
            // 1), and the settings name separators by it.
            long long value = sourceId.as_llong();
            if (!sourceId || !used.insert(value).second) {
                value = next;
                used.insert(value);
            }
            next = std::max(next, value + 1);
            separatorIds[sourceId.value()] = std::to_string(value);
            id.set_value(value);
        } else {
            used.insert(next);
            ids[sourceId.value()] = std::to_string(next);
            id.set_value(next++);
        }
        remap(copy, sourceRoot, sourcePart, part.name);
        declareMissingNamespaces(copy, sourceRoot, namespaces);
    }
    if (created && target.settings) {
        // The settings name the separators: they follow the ids the separators got.
        const char* prName = endnotes ? "w:endnotePr" : "w:footnotePr";
        const auto pr = sourceSettings().document_element().child(prName);
        if (pr && !target.settings.doc.document_element().child(prName)) {
            auto copy = insertOrdered(target.settings.doc.document_element(), pr, kSettingsOrder);
            for (auto named = copy.child(element); named;) {
                const auto following = named.next_sibling(element);
                const auto it = separatorIds.find(named.attribute("w:id").value());
                if (it != separatorIds.end()) {
                    named.attribute("w:id").set_value(it->second.c_str());
                } else {
                    copy.remove_child(named); // names no separator of ours
                }
                named = following;
            }
            target.settings.dirty = true;
        }
    }
}

void PasteSession::insertBody() {
    const auto sourceRoot = sourceDoc.document_element();
    auto body = sourceRoot.child("w:body");
    const bool hadHeaders = target.hasHeaders;
    Body& targetBody = target.body;
    const bool hasPrevious = !targetBody.isEmpty();

    // No list of all blocks: a body of millions of empty paragraphs would need one that size.
    pugi::xml_node lastSectPr;
    for (auto child = body.last_child(); child; child = child.previous_sibling()) {
        if (child.type() == pugi::node_element) {
            lastSectPr = std::strcmp(child.name(), "w:sectPr") == 0 ? child : pugi::xml_node();
            break;
        }
    }
    auto blockAfter = [&lastSectPr](pugi::xml_node node) {
        do {
            node = node.next_sibling();
        } while (node && (node.type() != pugi::node_element || node == lastSectPr));
        return node;
    };
    anchorLeadingFloatingTable(*this, body); // before the first block is known
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
    prepareSourceSections(*this, sections);
    keepTableStylesOverDefaults(*this, body);
    keepTablePlacesAcrossLayoutModes(*this, body);
    keepAutoSpacingAtDocumentStart(*this, body);
    // Blocks are remapped in document order. In a long body, a block that nothing below edits
    // any more is compressed at once and its nodes freed, so that the body never holds all its
    // remapped blocks (which a remap may make larger) beside their text; kept as nodes are the
    // first block, which may take the carried break, the last, which stays open, and the
    // blocks holding a section break, which the sections join below. A short body stays whole
    // and is compressed as one stream, which compresses better than stretches between
    // sections.
    const bool compressEarly = source.find(sourceMain)->size() > kCompressEarlyAbove;
    std::vector<PastedBlock> pasted;
    BlockCompressor compressor;
    for (auto block = firstBlock; block;) {
        const auto next = blockAfter(block);
        remap(block, sourceRoot, sourceMain, target.mainPart);
        declareMissingNamespaces(block, sourceRoot, target.body.namespaces());
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
        remap(lastSectPr, sourceRoot, sourceMain, target.mainPart);
        declareMissingNamespaces(lastSectPr, sourceRoot, target.body.namespaces());
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
    const Landing landing{targetSect, hasPrevious, pageBreak, hadHeaders};
    if (joinSections(*this, sections, landing) && pageBreak) {
        carried.remove_child(carriedRuns); // the section starts the new page
        carriedRuns = carried.append_child("runs");
    }
    if (lastSectPr) {
        auto open = targetBody.openRoot();
        if (hasPrevious && targetSect) {
            auto last = open.last_child();
            if (!last || std::strcmp(last.name(), "w:p") != 0 ||
                last.child("w:pPr").child("w:sectPr")) {
                last = open.append_child("w:p");
            }
            insertOrdered(childOrPrepend(last, "w:pPr"), targetSect, kParagraphPropertyOrder);
        }
        targetBody.setFinalSectPr(lastSectPr);
    }
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
            pasted.insert(pasted.begin(), paragraph);
        }
    }
    targetBody.appendBlocks(pasted);
}

} // namespace paperloom::engine
