// Merging the pasted document's styles into the target's: share the same, rename the different.
#include "engine/BlankDocument.h"
#include "engine/PasteSession.h"
#include "engine/Xml.h"
#include "engine/XmlOrder.h"

#include <cctype>
#include <cstring>
#include <set>
#include <tuple>
#include <unordered_set>

namespace paperloom::engine {
namespace {

constexpr const char* kStylesType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml";

std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

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
           lower(originName(style.child("w:name").attribute("w:val").value()));
}

/// What an absent document default amounts to, for properties the target sets and the source
/// leaves at the format's default.
pugi::xml_node neutralProperty(pugi::xml_document& scratch, const std::string& name) {
    static const std::pair<const char*, const char*> kNeutral[] = {
        {"w:sz", "<w:sz w:val=\"20\"/>"},
        {"w:szCs", "<w:szCs w:val=\"20\"/>"},
        {"w:spacing", "<w:spacing w:before=\"0\" w:after=\"0\" w:line=\"240\" "
                      "w:lineRule=\"auto\"/>"},
        {"w:ind", "<w:ind w:left=\"0\" w:right=\"0\" w:firstLine=\"0\"/>"},
        {"w:jc", "<w:jc w:val=\"left\"/>"},
        {"w:rFonts", "<w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New Roman\" "
                     "w:eastAsia=\"Times New Roman\" w:cs=\"Times New Roman\"/>"},
    };
    for (const auto& [element, xml] : kNeutral) {
        if (name == element) {
            const std::string wrapped = std::string("<x xmlns:w=\"") + ns::W + "\">" + xml + "</x>";
            scratch.load_string(wrapped.c_str());
            return scratch.document_element().first_child();
        }
    }
    return {};
}

/// The properties of the source's document defaults that differ from the target's.
void defaultsDelta(PasteSession& session, const pugi::xml_node& sourceProps,
                   const pugi::xml_node& targetProps, pugi::xml_node delta) {
    pugi::xml_document resolved;
    auto source = resolved.append_copy(sourceProps);
    if (session.resolveThemeFonts && source.child("w:rFonts")) {
        session.resolveFonts(source.child("w:rFonts"));
    }
    std::set<std::string> names;
    for (auto child : source.children()) {
        names.insert(child.name());
    }
    for (auto child : targetProps.children()) {
        names.insert(child.name());
    }
    for (const auto& name : names) {
        if (name == "w:lang" || name == "w:rPr") {
            continue;
        }
        const auto mine = source.child(name.c_str());
        const auto theirs = targetProps.child(name.c_str());
        if (mine && theirs && serializeNode(mine) == serializeNode(theirs)) {
            continue;
        }
        if (mine) {
            delta.append_copy(mine);
        } else {
            pugi::xml_document scratch;
            if (const auto neutral = neutralProperty(scratch, name)) {
                delta.append_copy(neutral);
            }
        }
    }
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
    if (sourcePart.empty()) {
        return;
    }
    const auto sourceDoc = parseXml(session.source.text(sourcePart), sourcePart);
    const auto sourceRoot = sourceDoc.document_element();
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
        targetNames.insert(lower(style.child("w:name").attribute("w:val").value()));
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

    pugi::xml_document deltaDoc;
    auto rDelta = deltaDoc.append_child("w:rPr");
    auto pDelta = deltaDoc.append_child("w:pPr");
    const auto sourceDefaults = sourceRoot.child("w:docDefaults");
    const auto targetDefaults = targetRoot.child("w:docDefaults");
    defaultsDelta(session, sourceDefaults.child("w:rPrDefault").child("w:rPr"),
                  targetDefaults.child("w:rPrDefault").child("w:rPr"), rDelta);
    defaultsDelta(session, sourceDefaults.child("w:pPrDefault").child("w:pPr"),
                  targetDefaults.child("w:pPrDefault").child("w:pPr"), pDelta);

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
            if (basedOn.empty() && type == "paragraph" &&
                (pDelta.first_child() || rDelta.first_child())) {
                for (auto [delta, name, order] :
                     {std::tuple{pDelta, "w:pPr", kParagraphPropertyOrder},
                      std::tuple{rDelta, "w:rPr", kRunPropertyOrder}}) {
                    if (!delta.first_child()) {
                        continue;
                    }
                    auto props = orderedChild(copy, name, kStyleOrder);
                    for (auto property : delta.children()) {
                        if (!props.child(property.name())) {
                            insertOrdered(props, property, order);
                        }
                    }
                }
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
            for (unsigned n = 2; !newName.empty() && targetNames.count(lower(newName)) != 0; ++n) {
                newName = name + " (" + std::to_string(n) + ")";
            }
            copy.attribute("w:styleId").set_value(newId.c_str());
            copy.remove_attribute("w:default");
            if (nameNode && newName != name) {
                nameNode.attribute("w:val").set_value(newName.c_str());
                // A renamed built-in heading is no longer known by name: keep its level.
                const std::string builtIn = lower(name);
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
            targetNames.insert(lower(newName));
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
}

} // namespace paperloom::engine
