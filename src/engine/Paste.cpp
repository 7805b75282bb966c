// The order of a paste, notes and comments, and where the pasted body lands.
#include "engine/AutoSpacing.h"
#include "engine/BlankDocument.h"
#include "engine/FirstDocument.h"
#include "engine/LayoutMode.h"
#include "engine/PasteSession.h"
#include "engine/SectionMerge.h"
#include "engine/TableDefaults.h"
#include "engine/Xml.h"
#include "engine/XmlOrder.h"

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr const char* kTypePrefix =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";

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
    adoptFirstDocument(*this);
    prepareNumbering(*this);
    mergeStyles(*this);
    emitNumbering(*this);
    collectBookmarks(sourceDoc.document_element().child("w:body"));
    mergeNotes(false);
    mergeNotes(true);
    insertBody();
    mergeComments();
    mergeFonts();
    drainPendingParts();
    ++target.version;
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
    long long next = 1;
    for (auto note : root.children(element)) {
        next = std::max(next, note.attribute("w:id").as_llong() + 1);
    }
    auto& ids = endnotes ? endnoteIds : footnoteIds;
    const auto body = sourceDoc.document_element().child("w:body");
    for (auto note : notesInReadingOrder(sourceRoot, element, body,
                                         endnotes ? "w:endnoteReference" : "w:footnoteReference")) {
        const bool special = isSeparator(note);
        if (special && !created) {
            continue; // the target's own separators stay; ours are never duplicated
        }
        auto copy = root.append_copy(note);
        if (!special) {
            ids[note.attribute("w:id").value()] = std::to_string(next);
            copy.attribute("w:id").set_value(next++);
        }
        remap(copy, sourcePart, part.name);
        declareMissingNamespaces(copy, sourceRoot, namespaces);
    }
    if (created && target.settings) {
        // Separators kept their ids, so the settings that name them come along unchanged.
        const std::string settingsPart = sourcePartOfKind("settings");
        const char* prName = endnotes ? "w:endnotePr" : "w:footnotePr";
        if (!settingsPart.empty() && !target.settings.doc.document_element().child(prName)) {
            const auto settings = parseXml(source.text(settingsPart), settingsPart);
            if (const auto pr = settings.document_element().child(prName)) {
                insertOrdered(target.settings.doc.document_element(), pr, kSettingsOrder);
                target.settings.dirty = true;
            }
        }
    }
}

void PasteSession::insertBody() {
    const auto sourceRoot = sourceDoc.document_element();
    auto body = sourceRoot.child("w:body");
    const bool hadHeaders = target.hasHeaders;
    Body& targetBody = target.body;
    const bool hasPrevious = !targetBody.isEmpty();

    std::vector<pugi::xml_node> blocks;
    std::vector<pugi::xml_node> sections;
    for (auto child : body.children()) {
        if (child.type() == pugi::node_element) {
            blocks.push_back(child);
            if (auto inner = child.child("w:pPr").child("w:sectPr")) {
                sections.push_back(inner);
            }
        }
    }
    pugi::xml_node lastSectPr;
    if (!blocks.empty() && std::strcmp(blocks.back().name(), "w:sectPr") == 0) {
        lastSectPr = blocks.back();
        blocks.pop_back();
        sections.push_back(lastSectPr);
    }
    prepareSourceSections(*this, sections);
    keepTableStylesOverDefaults(*this, body);
    keepTablePlacesAcrossLayoutModes(*this, body);
    keepAutoSpacingAtDocumentStart(*this, body);
    remap(body, sourceMain, target.mainPart);
    for (auto block : blocks) {
        declareMissingNamespaces(block, sourceRoot, target.body.namespaces());
    }
    if (lastSectPr) {
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
        const bool firstIsParagraph =
            !blocks.empty() && std::strcmp(blocks.front().name(), "w:p") == 0;
        if (firstIsParagraph && pageBreak) {
            // A page break before the pasted content: said by the paragraph itself, which
            // leaves its text and its list item as they were.
            auto pPr = childOrPrepend(blocks.front(), "w:pPr");
            auto before = orderedChild(pPr, "w:pageBreakBefore", kParagraphPropertyOrder);
            before.remove_attributes();
        } else if (firstIsParagraph) {
            auto first = blocks.front();
            const auto pPr = first.child("w:pPr");
            for (auto run = carriedRuns.last_child(); run; run = run.previous_sibling()) {
                if (pPr) {
                    first.insert_copy_after(run, pPr);
                } else {
                    first.prepend_copy(run);
                }
            }
        } else {
            auto paragraph =
                body.insert_child_before("w:p", blocks.empty() ? pugi::xml_node() : blocks.front());
            if (!paragraph) {
                paragraph = body.append_child("w:p");
            }
            for (auto run : carriedRuns.children()) {
                paragraph.append_copy(run);
            }
            blocks.insert(blocks.begin(), paragraph);
        }
    }
    targetBody.appendBlocks(blocks);
}

} // namespace paperloom::engine
