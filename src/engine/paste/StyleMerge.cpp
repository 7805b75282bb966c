// Merging the pasted document's styles into the target's: share the same, rename the different.
#include "engine/model/BlankDocument.h"
#include "engine/package/AsciiText.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteSession.h"
#include "engine/settings/DocumentDefaults.h"

#include <cctype>
#include <cstring>
#include <set>
#include <tuple>
#include <unordered_set>

namespace paperloom::engine {
namespace {

constexpr const char* kStylesType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml";

bool isOn(const pugi::xml_attribute& attr) {
    const std::string value = attr.value();
    return value == "1" || value == "true" || value == "on";
}

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

} // namespace

void mergeStyles(PasteSession& session) {
    DocumentModel& target = session.target;
    session.sourceFonts = readThemeFonts(session.source, session.sourcePartOfKind("theme"));
    const ThemeFonts targetFonts = readThemeFonts(target.package, target.themeName);
    session.resolveThemeFonts = !session.sourceFonts.sameFonts(targetFonts);
    session.resolveThemeColors =
        !session.sourceFonts.colors.empty() && session.sourceFonts.colors != targetFonts.colors;

    const std::string sourcePart = session.sourcePartOfKind("styles");
    pugi::xml_document sourceDoc;
    if (!sourcePart.empty()) {
        sourceDoc = parseXml(session.source.text(sourcePart), sourcePart);
    }
    const auto sourceRoot = sourceDoc.document_element();
    const DefaultsDelta defaults(session, sourceRoot,
                                 target.styles ? target.styles.doc.document_element()
                                               : pugi::xml_node());
    if (sourcePart.empty() && defaults.empty() && !target.styles) {
        return;
    }
    XmlPart& styles = target.ensurePart(target.styles, "styles", "word/styles.xml", kStylesType,
                                        blankStartTag("w:styles") + "</w:styles>");
    auto targetRoot = styles.doc.document_element();

    std::unordered_map<std::string, pugi::xml_node> targetById;
    std::unordered_set<std::string> targetNames;
    std::unordered_map<std::string, std::string> bySignature;
    std::string targetDefault[2]; // paragraph, table
    for (auto style : targetRoot.children("w:style")) {
        const std::string id = style.attribute("w:styleId").value();
        targetById.emplace(id, style);
        targetNames.insert(asciiLower(style.child("w:name").attribute("w:val").value()));
        bySignature.emplace(signatureOf(style), id);
        if (isOn(style.attribute("w:default"))) {
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
        auto style = targetRoot.append_child("w:style");
        style.append_attribute("w:type") = "paragraph";
        style.append_attribute("w:default") = "1";
        style.append_attribute("w:styleId") = id.c_str();
        style.append_child("w:name").append_attribute("w:val") = name.c_str();
        targetById.emplace(id, style);
        targetNames.insert(asciiLower(name));
        bySignature.emplace(signatureOf(style), id);
        targetDefault[0] = id;
        styles.dirty = true;
    }
    std::vector<pugi::xml_node> pending;
    std::unordered_set<std::string> sourceIds;
    for (auto style : sourceRoot.children("w:style")) {
        pending.push_back(style);
        sourceIds.insert(style.attribute("w:styleId").value());
    }
    std::vector<pugi::xml_node> added;
    std::string sourceDefault[2];
    // Parents before children: a style's look depends on what its basedOn became. Styles in a
    // basedOn cycle (or based on one) have no such order and are taken in the order they come.
    bool inCycle = false;
    while (!pending.empty()) {
        std::vector<pugi::xml_node> later;
        for (const auto& style : pending) {
            const std::string basedOn = style.child("w:basedOn").attribute("w:val").value();
            if (!inCycle && !basedOn.empty() && sourceIds.count(basedOn) != 0 &&
                session.styleMap.count(basedOn) == 0) {
                later.push_back(style);
                continue;
            }
            const std::string id = style.attribute("w:styleId").value();
            const std::string type = style.attribute("w:type").value();
            if (id.empty() || session.styleMap.count(id) != 0) {
                continue;
            }
            pugi::xml_document scratch;
            auto copy = scratch.append_copy(style);
            if (session.resolveThemeFonts || session.resolveThemeColors) {
                forEachElement(copy, [&](pugi::xml_node element) {
                    const char* name = element.name();
                    if (session.resolveThemeFonts && std::strcmp(name, "w:rFonts") == 0) {
                        session.resolveFonts(element);
                    } else if (session.resolveThemeColors &&
                               (std::strcmp(name, "w:color") == 0 ||
                                std::strcmp(name, "w:shd") == 0 || std::strcmp(name, "w:u") == 0)) {
                        session.resolveColors(element);
                    }
                    return true;
                });
            }
            if (auto based = copy.child("w:basedOn").attribute("w:val")) {
                const auto it = session.styleMap.find(based.value());
                if (it != session.styleMap.end()) {
                    based.set_value(it->second.c_str());
                }
            }
            if (auto numId = copy.child("w:pPr").child("w:numPr").child("w:numId")) {
                const auto it = session.numMap.find(numId.attribute("w:val").value());
                numId.attribute("w:val").set_value(it != session.numMap.end() ? it->second.c_str()
                                                                              : "0");
            }
            if (basedOn.empty() && type == "paragraph") {
                defaults.foldInto(copy);
            }
            if (isOn(style.attribute("w:default"))) {
                if (type == "paragraph") {
                    sourceDefault[0] = id;
                } else if (type == "table") {
                    sourceDefault[1] = id;
                }
            }
            const std::string signature = signatureOf(copy);
            const auto same = targetById.find(id);
            if (same != targetById.end() && signatureOf(same->second) == signature) {
                session.styleMap[id] = id;
                continue;
            }
            const auto equal = bySignature.find(signature);
            if (equal != bySignature.end()) {
                session.styleMap[id] = equal->second;
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
            auto inserted = targetRoot.append_copy(copy);
            PasteSession::declareMissingNamespaces(inserted, sourceRoot, namespacesOf(targetRoot));
            targetById.emplace(newId, inserted);
            targetNames.insert(asciiLower(newName));
            bySignature.emplace(signature, newId);
            session.styleMap[id] = newId;
            added.push_back(inserted);
            styles.dirty = true;
        }
        inCycle = !later.empty() && later.size() == pending.size();
        pending = std::move(later);
    }
    for (auto style : added) {
        for (const char* link : {"w:next", "w:link"}) {
            if (auto val = style.child(link).attribute("w:val")) {
                const auto it = session.styleMap.find(val.value());
                if (it != session.styleMap.end()) {
                    val.set_value(it->second.c_str());
                }
            }
        }
    }
    for (int kind = 0; kind < 2; ++kind) {
        if (sourceDefault[kind].empty()) {
            continue;
        }
        const std::string mapped = session.styleMap[sourceDefault[kind]];
        if (mapped != targetDefault[kind]) {
            (kind == 0 ? session.defaultParagraphStyle : session.defaultTableStyle) = mapped;
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
        session.defaultParagraphStyle = equal->second;
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
    targetRoot.append_copy(copy);
    styles.dirty = true;
    session.defaultParagraphStyle = newId;
}

} // namespace paperloom::engine
