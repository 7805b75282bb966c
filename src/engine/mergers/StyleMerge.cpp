// Merging the pasted document's styles into the target's: share the same, rename the different.
#include "engine/mergers/StyleMerge.h"

#include "engine/mergers/FontMerge.h"
#include "engine/mergers/NumberingMerge.h"
#include "engine/model/BlankDocument.h"
#include "engine/package/AsciiText.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteRemap.h"
#include "engine/settings/DocumentDefaults.h"
#include "engine/settings/LineGrid.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <tuple>
#include <unordered_set>

namespace paperloom::engine {
namespace {

constexpr const char* kStylesType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml";

/// The name a style had before we gave it a " (n)" suffix.
std::string originName(std::string name) {
    if (name.size() > 4 && name.back() == ')') {
        const auto open = name.rfind(" (");
        if (open != std::string::npos && open + 3 < name.size()) {
            bool digits = true;
            for (std::size_t i = open + 2; i + 1 < name.size(); ++i) {
                digits = digits && std::isdigit(static_cast<unsigned char>(name[i])) != 0;
            }
            if (digits) {
                name.resize(open);
            }
        }
    }
    return name;
}

/// True for the names LibreOffice gives spacing of its own where the style's basedOn comes after
/// it in the part (the headings, title, subtitle, contents heading). Under any other name a
/// style written before its parent looks the same renamed or not.
bool readerSpacesByName(const std::string& name) {
    const std::string lower = asciiLower(name);
    if (lower.size() == 9 && lower.rfind("heading ", 0) == 0 && lower[8] >= '1' &&
        lower[8] <= '9') {
        return true;
    }
    return lower == "title" || lower == "subtitle" || lower == "toc heading";
}

/// What a style looks like, apart from the names it is known by.
std::string signatureOf(const pugi::xml_node& style) {
    pugi::xml_document scratch;
    auto copy = scratch.append_copy(style);
    copy.remove_attribute("w:styleId");
    copy.remove_attribute("w:default");
    for (const char* name : {"w:name", "w:next", "w:link", "w:rsid", "w:aliases"}) {
        copy.remove_child(name);
    }
    return std::string(style.attribute("w:type").value()) + '|' + serializeNode(copy) + '|' +
           asciiLower(originName(style.child("w:name").attribute("w:val").value()));
}

/// The kind of notes ("footnotes", "endnotes") a built-in style of this name sets, or null.
const char* notesSetBy(const std::string& lowerName) {
    if (lowerName == "footnote text") {
        return "footnotes";
    }
    return lowerName == "endnote text" ? "endnotes" : nullptr;
}

/// True when anything of target names the style id: a style based on it, or a paragraph, run
/// or table of the body, the notes, the comments, the headers or the footers.
bool targetNamesStyle(DocumentModel& target, const std::string& id) {
    for (auto style : target.styles.doc().document_element().children("w:style")) {
        if (id == style.child("w:basedOn").attribute("w:val").value()) {
            return true;
        }
    }
    const std::string quoted = "w:val=\"" + id + '"';
    const std::string apostrophed = "w:val='" + id + '\'';
    const auto names = [&](std::string_view text) {
        return text.find(quoted) != std::string_view::npos ||
               text.find(apostrophed) != std::string_view::npos;
    };
    for (const XmlPart* part : {&target.footnotes, &target.endnotes, &target.comments}) {
        if (*part && names(serializeNode(part->doc().document_element()))) {
            return true;
        }
    }
    for (const auto& rel : target.relsOf(target.mainPart).all()) {
        const std::string_view type = rel.type;
        if (!rel.external && (type.ends_with("/header") || type.ends_with("/footer")) &&
            names(target.package.text(resolvePartName(target.mainPart, rel.target)))) {
            return true;
        }
    }
    return names(target.body.text());
}

} // namespace

StyleMerger::StyleMerger(PastedDocument& source, DocumentModel& target, const FontMerger& fonts,
                         const NumberingMerger& numbering)
    : m_source(source), m_target(target), m_fonts(fonts), m_numbering(numbering) {}

const std::string* StyleMerger::renamed(const std::string& sourceId) const {
    const auto it = m_map.find(sourceId);
    return it == m_map.end() ? nullptr : &it->second;
}

bool StyleMerger::targetDefines(const std::string& id) {
    if (!m_targetStylesIndexed) {
        m_targetStylesIndexed = true;
        if (m_target.styles) {
            for (auto style : m_target.styles.doc().document_element().children("w:style")) {
                m_targetStyles.insert(style.attribute("w:styleId").value());
            }
        }
    }
    return m_targetStyles.count(id) != 0;
}

pugi::xml_node
StyleMerger::unusedNoteStyle(const pugi::xml_node& pasted,
                             const std::unordered_map<std::string, pugi::xml_node>& targetById) {
    const std::string name = asciiLower(pasted.child("w:name").attribute("w:val").value());
    const char* notes = notesSetBy(name);
    if (notes == nullptr || std::string_view(pasted.attribute("w:type").value()) != "paragraph") {
        return {};
    }
    pugi::xml_node joined;
    for (const auto& [id, style] : targetById) {
        if (asciiLower(style.child("w:name").attribute("w:val").value()) == name &&
            std::string_view(style.attribute("w:type").value()) == "paragraph") {
            joined = style;
        }
    }
    XmlPart& targetNotes =
        std::strcmp(notes, "footnotes") == 0 ? m_target.footnotes : m_target.endnotes;
    if (!joined || isOnValue(joined.attribute("w:default")) ||
        holdsNotes(targetNotes.doc().document_element())) {
        return {};
    }
    const std::string sourcePart = m_source.partOfKind(notes);
    if (sourcePart.empty()) {
        return {};
    }
    const auto sourceNotes = parseXml(m_source.package().text(sourcePart), sourcePart);
    if (!holdsNotes(sourceNotes.document_element()) ||
        targetNamesStyle(m_target, joined.attribute("w:styleId").value())) {
        return {};
    }
    return joined;
}

void StyleMerger::merge() {
    DocumentModel& target = m_target;
    const std::string sourcePart = m_source.partOfKind("styles");
    pugi::xml_document sourceDoc;
    if (!sourcePart.empty()) {
        sourceDoc = parseXml(m_source.package().text(sourcePart), sourcePart);
    }
    const auto sourceRoot = sourceDoc.document_element();
    const DefaultsDelta defaults(m_fonts, sourceRoot,
                                 target.styles ? target.styles.doc().document_element()
                                               : pugi::xml_node());
    if (sourcePart.empty() && defaults.empty() && !target.styles) {
        return;
    }
    XmlPart& styles = target.ensurePart(target.styles, "styles", "word/styles.xml", kStylesType,
                                        blankStartTag("w:styles") + "</w:styles>");
    const auto targetRoot = styles.doc().document_element();

    std::unordered_map<std::string, pugi::xml_node> targetById;
    std::unordered_set<std::string> targetNames;
    std::unordered_map<std::string, std::string> bySignature;
    std::string targetDefault[2]; // paragraph, table
    for (auto style : targetRoot.children("w:style")) {
        const std::string id = style.attribute("w:styleId").value();
        targetById.emplace(id, style);
        targetNames.insert(asciiLower(style.child("w:name").attribute("w:val").value()));
        bySignature.emplace(signatureOf(style), id);
        if (isOnValue(style.attribute("w:default"))) {
            const std::string type = style.attribute("w:type").value();
            if (type == "paragraph") {
                targetDefault[0] = id;
            } else if (type == "table") {
                targetDefault[1] = id;
            }
        }
    }

    if (targetDefault[0].empty() && !target.body.isEmpty()) {
        // The joined document's paragraphs that name no style were set in its defaults alone.
        // Readers take a style called Normal for the default when none is marked: a pasted
        // Normal must not become theirs, so theirs is stated as a default style of its own.
        std::string id = "Normal";
        for (unsigned n = 2; targetById.count(id) != 0; ++n) {
            id = "Normal_" + std::to_string(n);
        }
        std::string name = "Normal";
        for (unsigned n = 2; targetNames.count(asciiLower(name)) != 0; ++n) {
            name = "Normal (" + std::to_string(n) + ")";
        }
        auto style = styles.edit().document_element().append_child("w:style");
        style.append_attribute("w:type") = "paragraph";
        style.append_attribute("w:default") = "1";
        style.append_attribute("w:styleId") = id.c_str();
        style.append_child("w:name").append_attribute("w:val") = name.c_str();
        targetById.emplace(id, style);
        targetNames.insert(asciiLower(name));
        bySignature.emplace(signatureOf(style), id);
        targetDefault[0] = id;
    }
    std::vector<pugi::xml_node> pending;
    std::unordered_set<std::string> sourceIds;
    for (auto style : sourceRoot.children("w:style")) {
        pending.push_back(style);
        sourceIds.insert(style.attribute("w:styleId").value());
    }
    std::vector<std::pair<double, pugi::xml_node>> added; // place to write it at, copy
    std::unordered_map<std::string, double> placeOf;      // of the added styles, by new id
    std::unordered_map<pugi::xml_node_struct*, std::size_t> sourcePlace;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        sourcePlace.emplace(pending[i].internal_object(), i);
    }
    std::string sourceDefault[2];
    // Parents before children: a style's look depends on what its basedOn became. Styles in a
    // basedOn cycle (or based on one) have no such order and are taken in the order they come.
    bool inCycle = false;
    while (!pending.empty()) {
        std::vector<pugi::xml_node> later;
        for (const auto& style : pending) {
            const std::string basedOn = style.child("w:basedOn").attribute("w:val").value();
            if (!inCycle && !basedOn.empty() && sourceIds.count(basedOn) != 0 &&
                m_map.count(basedOn) == 0) {
                later.push_back(style);
                continue;
            }
            const std::string id = style.attribute("w:styleId").value();
            const std::string type = style.attribute("w:type").value();
            if (id.empty() || m_map.count(id) != 0) {
                continue;
            }
            pugi::xml_document scratch;
            auto copy = scratch.append_copy(style);
            if (m_fonts.resolvesFonts() || m_fonts.resolvesColors()) {
                forEachElement(copy, [&](pugi::xml_node element) {
                    m_fonts.resolve(element);
                    return true;
                });
            }
            if (auto based = copy.child("w:basedOn").attribute("w:val")) {
                const auto it = m_map.find(based.value());
                if (it != m_map.end()) {
                    based.set_value(it->second.c_str());
                }
            }
            if (auto numId = copy.child("w:pPr").child("w:numPr").child("w:numId")) {
                numId.attribute("w:val").set_value(
                    m_numbering.numId(numId.attribute("w:val").value()).c_str());
            }
            if (basedOn.empty() && type == "paragraph") {
                defaults.foldInto(copy);
            }
            if (isOnValue(style.attribute("w:default"))) {
                if (type == "paragraph") {
                    sourceDefault[0] = id;
                } else if (type == "table") {
                    sourceDefault[1] = id;
                }
            }
            const std::string signature = signatureOf(copy);
            const auto same = targetById.find(id);
            if (same != targetById.end() && signatureOf(same->second) == signature) {
                m_map[id] = id;
                continue;
            }
            const auto equal = bySignature.find(signature);
            if (equal != bySignature.end()) {
                m_map[id] = equal->second;
                continue;
            }
            if (const auto unused = unusedNoteStyle(copy, targetById)) {
                // Given the pasted definition under the joined document's id and name.
                const std::string targetId = unused.attribute("w:styleId").value();
                copy.attribute("w:styleId").set_value(targetId.c_str());
                copy.remove_attribute("w:default");
                copy.child("w:name").attribute("w:val").set_value(
                    unused.child("w:name").attribute("w:val").value());
                auto root = styles.edit().document_element();
                auto replacement = root.insert_copy_before(copy, unused);
                declareMissingNamespaces(replacement, sourceRoot, namespacesOf(targetRoot));
                root.remove_child(unused);
                targetById[targetId] = replacement;
                std::erase_if(bySignature,
                              [&](const auto& entry) { return entry.second == targetId; });
                bySignature.emplace(signatureOf(replacement), targetId);
                m_map[id] = targetId;
                continue;
            }
            std::string newId = id;
            for (unsigned n = 2; targetById.count(newId) != 0; ++n) {
                newId = id + "_" + std::to_string(n);
            }
            auto nameNode = copy.child("w:name");
            const std::string name = nameNode.attribute("w:val").value();
            std::string newName = name;
            for (unsigned n = 2; !newName.empty() && targetNames.count(asciiLower(newName)) != 0;
                 ++n) {
                newName = name + " (" + std::to_string(n) + ")";
            }
            copy.attribute("w:styleId").set_value(newId.c_str());
            copy.remove_attribute("w:default");
            if (nameNode && newName != name) {
                nameNode.attribute("w:val").set_value(newName.c_str());
                // A renamed built-in heading is no longer known by name: keep its level.
                const std::string builtIn = asciiLower(name);
                if (builtIn.size() == 9 && builtIn.rfind("heading ", 0) == 0 && builtIn[8] >= '1' &&
                    builtIn[8] <= '9' && !copy.child("w:pPr").child("w:outlineLvl")) {
                    auto pPr = orderedChild(copy, "w:pPr", kStyleOrder);
                    orderedChild(pPr, "w:outlineLvl", kParagraphPropertyOrder)
                        .append_attribute("w:val") = builtIn[8] - '1';
                }
            }
            auto inserted = styles.edit().document_element().append_copy(copy);
            declareMissingNamespaces(inserted, sourceRoot, namespacesOf(targetRoot));
            targetById.emplace(newId, inserted);
            targetNames.insert(asciiLower(newName));
            bySignature.emplace(signature, newId);
            m_map[id] = newId;
            double place = static_cast<double>(sourcePlace[style.internal_object()]);
            if (newName != name && readerSpacesByName(name)) {
                const auto parent =
                    placeOf.find(copy.child("w:basedOn").attribute("w:val").value());
                if (parent != placeOf.end() && parent->second >= place) {
                    place = parent->second + 0.5;
                }
            }
            placeOf.emplace(newId, place);
            added.emplace_back(place, inserted);
        }
        inCycle = !later.empty() && later.size() == pending.size();
        pending = std::move(later);
    }
    // Merged parents first, but written in the order the pasted part has them: LibreOffice takes
    // the spacing a custom style states whole, without what its basedOn style adds to it, where
    // that style comes after it in the part, so such a style written before its parent looks,
    // joined, as it does alone only where it stays before it. A renamed heading, title or
    // subtitle goes after its parent all the same: under its own name LibreOffice spaced it its
    // own way, and the new name makes it a custom one. Any other renamed style keeps its place:
    // a custom one already, it loses its parent's spacing before it as it did alone (a letter's
    // framed date paragraph, renamed "Date (2)").
    std::stable_sort(added.begin(), added.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!added.empty()) {
        auto root = styles.edit().document_element();
        for (const auto& entry : added) {
            root.append_move(entry.second);
        }
    }
    for (const auto& entry : added) {
        const auto style = entry.second;
        for (const char* link : {"w:next", "w:link"}) {
            if (auto val = style.child(link).attribute("w:val")) {
                const auto it = m_map.find(val.value());
                if (it != m_map.end()) {
                    val.set_value(it->second.c_str());
                }
            }
        }
    }
    for (int kind = 0; kind < 2; ++kind) {
        if (sourceDefault[kind].empty()) {
            continue;
        }
        const std::string mapped = m_map[sourceDefault[kind]];
        if (mapped != targetDefault[kind]) {
            (kind == 0 ? m_paragraphDefault : m_tableDefault) = mapped;
        }
    }
    if (!sourceDefault[0].empty()) {
        return;
    }
    // A document without a default paragraph style (or without styles) sets its unstyled
    // paragraphs in its document defaults alone: they get a style that says just that, so
    // that neither the joined document's default style nor its defaults reach them.
    const auto targetNormal = targetById.find(targetDefault[0]);
    const bool normalHasLook =
        targetNormal != targetById.end() && (targetNormal->second.child("w:pPr").first_child() ||
                                             targetNormal->second.child("w:rPr").first_child());
    if (defaults.empty() && !normalHasLook) {
        return;
    }
    const std::string baseId = targetDefault[0].empty() ? "Normal" : targetDefault[0];
    const std::string baseName =
        targetNormal != targetById.end()
            ? originName(targetNormal->second.child("w:name").attribute("w:val").value())
            : "Normal";
    pugi::xml_document scratch;
    auto copy = scratch.append_child("w:style");
    copy.append_attribute("w:type") = "paragraph";
    copy.append_attribute("w:styleId") = baseId.c_str();
    copy.append_child("w:name").append_attribute("w:val") = baseName.c_str();
    copy.append_child("w:qFormat");
    defaults.foldInto(copy);
    const auto equal = bySignature.find(signatureOf(copy));
    if (equal != bySignature.end()) {
        m_paragraphDefault = equal->second;
        return;
    }
    std::string newId = baseId;
    for (unsigned n = 2; targetById.count(newId) != 0; ++n) {
        newId = baseId + "_" + std::to_string(n);
    }
    std::string newName = baseName;
    for (unsigned n = 2; targetNames.count(asciiLower(newName)) != 0; ++n) {
        newName = baseName + " (" + std::to_string(n) + ")";
    }
    copy.attribute("w:styleId").set_value(newId.c_str());
    copy.child("w:name").attribute("w:val").set_value(newName.c_str());
    styles.edit().document_element().append_copy(copy);
    m_paragraphDefault = newId;
}

} // namespace paperloom::engine
