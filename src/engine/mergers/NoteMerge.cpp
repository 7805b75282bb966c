// The pasted document's footnotes and endnotes: separators, ids in reading order, and the
// settings that name the separators.
#include "engine/mergers/NoteMerge.h"

#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteRemap.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr const char* kTypePrefix =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";

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

} // namespace

NoteMerger::NoteMerger(PastedDocument& source, DocumentModel& target)
    : m_source(source), m_target(target) {}

const std::string* NoteMerger::renamed(bool endnote, const std::string& sourceId) const {
    const auto& ids = endnote ? m_endnoteIds : m_footnoteIds;
    const auto it = ids.find(sourceId);
    return it == ids.end() ? nullptr : &it->second;
}

void NoteMerger::merge(bool endnotes, PasteRemap& remap) {
    const std::string kind = endnotes ? "endnotes" : "footnotes";
    const std::string sourcePart = m_source.partOfKind(kind);
    if (sourcePart.empty()) {
        return;
    }
    const auto doc = parseXml(m_source.package().text(sourcePart), sourcePart);
    const auto sourceRoot = doc.document_element();
    XmlPart& part = endnotes ? m_target.endnotes : m_target.footnotes;
    const bool created = !part;
    m_target.ensurePart(part, kind, "word/" + kind + ".xml", kTypePrefix + kind + "+xml",
                        blankStartTag(endnotes ? "w:endnotes" : "w:footnotes") + "</w:" + kind +
                            ">");
    auto root = part.edit().document_element();
    const auto namespaces = namespacesOf(root);
    const char* element = endnotes ? "w:endnote" : "w:footnote";
    std::unordered_set<long long> used;
    long long next = 1;
    for (auto note : root.children(element)) {
        const long long id = note.attribute("w:id").as_llong();
        used.insert(id);
        next = std::max(next, id + 1);
    }
    auto& ids = endnotes ? m_endnoteIds : m_footnoteIds;
    std::unordered_map<std::string, std::string> separatorIds;
    const auto body = m_source.mainDocument().document_element().child("w:body");
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
        remap.remap(copy, sourceRoot, sourcePart, part.name());
        declareMissingNamespaces(copy, sourceRoot, namespaces);
    }
    if (created && m_target.settings) {
        // The settings name the separators: they follow the ids the separators got.
        const char* prName = endnotes ? "w:endnotePr" : "w:footnotePr";
        const auto pr = m_source.settings().document_element().child(prName);
        if (pr && !m_target.settings.doc().document_element().child(prName)) {
            auto copy =
                insertOrdered(m_target.settings.edit().document_element(), pr, kSettingsOrder);
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
        }
    }
}

} // namespace paperloom::engine
