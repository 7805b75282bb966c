// Fonts of a paste: theme fonts and colours resolved where the themes differ, and the font
// table, with the font data it embeds.
#include "engine/mergers/FontMerge.h"

#include "engine/model/BlankDocument.h"
#include "engine/package/Xml.h"
#include "engine/paste/PasteRemap.h"

#include <cstring>
#include <unordered_map>

namespace paperloom::engine {
namespace {

constexpr const char* kEmbedded[] = {"w:embedRegular", "w:embedBold", "w:embedItalic",
                                     "w:embedBoldItalic"};

/// The script a theme names fonts by (ISO 15924) for a language tag ("ar-SA" -> "Arab"); ""
/// for languages written in Latin letters and tags it does not know.
std::string_view scriptOf(std::string_view tag) {
    const std::string_view language = tag.substr(0, tag.find('-'));
    const std::string_view region =
        tag.size() > language.size() ? tag.substr(language.size() + 1) : std::string_view();
    if (language == "zh") {
        return region == "TW" || region == "HK" || region == "MO" || region == "Hant" ? "Hant"
                                                                                      : "Hans";
    }
    if ((language == "pa" || language == "sd" || language == "ks") &&
        (region == "PK" || region == "Arab")) {
        return "Arab";
    }
    static const std::pair<std::string_view, std::string_view> kScripts[] = {
        {"ja", "Jpan"},  {"ko", "Hang"},  {"ar", "Arab"},  {"fa", "Arab"},  {"ur", "Arab"},
        {"ps", "Arab"},  {"prs", "Arab"}, {"ks", "Deva"},  {"sd", "Deva"},  {"ug", "Uigh"},
        {"he", "Hebr"},  {"yi", "Hebr"},  {"th", "Thai"},  {"am", "Ethi"},  {"ti", "Ethi"},
        {"bn", "Beng"},  {"as", "Beng"},  {"mni", "Beng"}, {"gu", "Gujr"},  {"km", "Khmr"},
        {"kn", "Knda"},  {"pa", "Guru"},  {"iu", "Cans"},  {"chr", "Cher"}, {"ii", "Yiii"},
        {"bo", "Tibt"},  {"dv", "Thaa"},  {"hi", "Deva"},  {"mr", "Deva"},  {"sa", "Deva"},
        {"kok", "Deva"}, {"ne", "Deva"},  {"te", "Telu"},  {"ta", "Taml"},  {"syr", "Syrc"},
        {"or", "Orya"},  {"ml", "Mlym"},  {"lo", "Laoo"},  {"si", "Sinh"},  {"vi", "Viet"},
        {"ka", "Geor"},  {"hy", "Armn"},  {"el", "Grek"},  {"ru", "Cyrl"},  {"bg", "Cyrl"},
        {"uk", "Cyrl"},  {"be", "Cyrl"},  {"mk", "Cyrl"},  {"kk", "Cyrl"},  {"ky", "Cyrl"},
        {"tt", "Cyrl"},  {"tg", "Cyrl"},  {"ba", "Cyrl"},  {"sah", "Cyrl"}, {"mn", "Cyrl"}};
    for (const auto& [code, script] : kScripts) {
        if (code == language) {
            return script;
        }
    }
    return {};
}

bool embedsData(const pugi::xml_node& font) {
    for (const char* embed : kEmbedded) {
        if (font.child(embed)) {
            return true;
        }
    }
    return false;
}

} // namespace

ThemeFonts readThemeFonts(const Package& package, const std::string& themePart) {
    ThemeFonts fonts;
    if (themePart.empty() || !package.contains(themePart)) {
        return fonts;
    }
    const auto doc = parseXml(package.text(themePart), themePart);
    pugi::xml_node scheme;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        const auto name = localName(element.name());
        if (name == "fontScheme") {
            scheme = element;
            return false;
        }
        if (name == "fmtScheme" || name == "clrScheme") {
            pugi::xml_document scratch;
            auto copy = scratch.append_copy(element);
            copy.remove_attribute("name");
            (name == "clrScheme" ? fonts.colors : fonts.formats) = serializeNode(copy);
        }
        if (name == "fmtScheme") {
            return false;
        }
        if (name == "clrScheme") {
            for (auto slot : element.children()) {
                const auto color = slot.first_child();
                const auto kind = localName(color.name());
                const char* value = kind == "srgbClr"  ? color.attribute("val").value()
                                    : kind == "sysClr" ? color.attribute("lastClr").value()
                                                       : "";
                if (std::strlen(value) == 6) {
                    fonts.schemeColors.emplace(std::string(localName(slot.name())), value);
                }
            }
            return false;
        }
        return true;
    });
    if (!scheme) {
        return fonts;
    }
    for (auto group : scheme.children()) {
        const auto name = localName(group.name());
        std::string* slots = name == "majorFont"   ? fonts.major
                             : name == "minorFont" ? fonts.minor
                                                   : nullptr;
        if (slots == nullptr) {
            continue;
        }
        auto& scripts = name == "majorFont" ? fonts.majorScripts : fonts.minorScripts;
        for (auto font : group.children()) {
            const auto kind = localName(font.name());
            const int slot = kind == "latin" ? 0 : kind == "ea" ? 1 : kind == "cs" ? 2 : -1;
            if (slot >= 0) {
                slots[slot] = font.attribute("typeface").value();
            } else if (kind == "font" && *font.attribute("typeface").value() != '\0') {
                scripts.emplace(font.attribute("script").value(),
                                font.attribute("typeface").value());
            }
        }
    }
    return fonts;
}

ThemeFonts inLanguages(ThemeFonts fonts, const pugi::xml_node& themeFontLang) {
    const std::string_view eastAsian = scriptOf(themeFontLang.attribute("w:eastAsia").value());
    const std::string_view complex = scriptOf(themeFontLang.attribute("w:bidi").value());
    for (auto [slots, scripts] : {std::pair{fonts.major, &fonts.majorScripts},
                                  std::pair{fonts.minor, &fonts.minorScripts}}) {
        for (const auto& [script, typeface] : *scripts) {
            // Where both languages have the same script, its typeface is the complex one.
            if (!complex.empty() && script == complex) {
                slots[2] = typeface;
            } else if (!eastAsian.empty() && script == eastAsian) {
                slots[1] = typeface;
            }
        }
    }
    return fonts;
}

bool stateSchemeColor(pugi::xml_node schemeClr, const ThemeFonts& theme) {
    std::string_view slot = schemeClr.attribute("val").value();
    slot = slot == "tx1"   ? "dk1"
           : slot == "bg1" ? "lt1"
           : slot == "tx2" ? "dk2"
           : slot == "bg2" ? "lt2"
                           : slot;
    const auto color = theme.schemeColors.find(slot);
    if (color == theme.schemeColors.end()) {
        return false;
    }
    const std::string prefix(prefixOf(schemeClr.name()));
    schemeClr.set_name(prefix.empty() ? "srgbClr" : (prefix + ":srgbClr").c_str());
    schemeClr.attribute("val").set_value(color->second.c_str());
    return true;
}

FontMerger::FontMerger(PastedDocument& source, DocumentModel& target)
    : m_source(source), m_target(target) {}

void FontMerger::compareThemes() {
    m_sourceFonts = readThemeFonts(m_source.package(), m_source.partOfKind("theme"));
    const ThemeFonts targetFonts = readThemeFonts(m_target.package, m_target.themeName);
    // The theme font languages choose among the theme's typefaces for east Asian and complex
    // script text: the same theme means other typefaces under the joined document's languages.
    const char* kLanguages = "w:themeFontLang";
    m_sourceTextFonts =
        inLanguages(m_sourceFonts, m_source.settings().document_element().child(kLanguages));
    m_themeFontsDiffer = !m_sourceFonts.sameFonts(targetFonts);
    m_resolveFonts =
        m_themeFontsDiffer ||
        !m_sourceTextFonts.sameFonts(
            inLanguages(targetFonts, m_target.settings.doc().document_element().child(kLanguages)));
    m_resolveColors = !m_sourceFonts.colors.empty() && m_sourceFonts.colors != targetFonts.colors;
    m_shapeStyles.load(m_sourceFonts.formats != targetFonts.formats ? m_sourceFonts.formats
                                                                    : std::string());
}

void FontMerger::resolveShapeStyle(pugi::xml_node style) const {
    m_shapeStyles.state(style, [this](pugi::xml_node colour) {
        if (m_resolveColors && localName(colour.name()) == "schemeClr") {
            stateSchemeColor(colour, m_sourceFonts);
        }
    });
}

void FontMerger::resolveFonts(pugi::xml_node rFonts) const {
    static const struct {
        const char* themeAttr;
        const char* nameAttr;
    } kSlots[] = {{"w:asciiTheme", "w:ascii"},
                  {"w:hAnsiTheme", "w:hAnsi"},
                  {"w:eastAsiaTheme", "w:eastAsia"},
                  {"w:cstheme", "w:cs"}};
    for (const auto& slot : kSlots) {
        const auto theme = rFonts.attribute(slot.themeAttr);
        if (!theme) {
            continue;
        }
        const std::string value = theme.value();
        const std::string* group = value.rfind("major", 0) == 0   ? m_sourceTextFonts.major
                                   : value.rfind("minor", 0) == 0 ? m_sourceTextFonts.minor
                                                                  : nullptr;
        if (group == nullptr) {
            continue;
        }
        const int index = value.find("EastAsia") != std::string::npos ? 1
                          : value.find("Bidi") != std::string::npos   ? 2
                                                                      : 0;
        if (group[index].empty()) {
            continue;
        }
        rFonts.remove_attribute(theme);
        auto name = rFonts.attribute(slot.nameAttr);
        if (!name) {
            name = rFonts.append_attribute(slot.nameAttr);
        }
        name.set_value(group[index].c_str());
    }
}

void FontMerger::resolveColors(pugi::xml_node element) const {
    if (!element.attribute("w:val") && !element.attribute("w:fill") &&
        !element.attribute("w:color")) {
        return; // no stored value to fall back on: the reference stays
    }
    for (auto attr = element.first_attribute(); attr;) {
        const auto next = attr.next_attribute();
        if (std::strncmp(attr.name(), "w:theme", 7) == 0) {
            element.remove_attribute(attr);
        }
        attr = next;
    }
}

void FontMerger::resolve(pugi::xml_node element) const {
    const char* name = element.name();
    if (m_resolveFonts && std::strcmp(name, "w:rFonts") == 0) {
        resolveFonts(element);
    } else if (m_resolveColors &&
               (std::strcmp(name, "w:color") == 0 || std::strcmp(name, "w:shd") == 0 ||
                std::strcmp(name, "w:u") == 0)) {
        resolveColors(element);
    }
}

void FontMerger::dropFontsWithoutData(pugi::xml_node font, const std::string& sourcePart) {
    // A reference to data the source does not have would be a broken reference here; without
    // it, readers fall back to a font of their own.
    for (const char* embed : kEmbedded) {
        const auto data = font.child(embed);
        if (!data) {
            continue;
        }
        std::string relId;
        for (auto attr = data.first_attribute(); attr; attr = attr.next_attribute()) {
            if (localName(attr.name()) == "id" && !prefixOf(attr.name()).empty()) {
                relId = attr.value();
            }
        }
        const Relationship* rel = m_source.relsOf(sourcePart).byId(relId);
        bool present = false;
        try {
            present = rel != nullptr && !rel->external &&
                      m_source.package().contains(resolvePartName(sourcePart, rel->target));
        } catch (const PackageError&) {
            present = false;
        }
        if (!present) {
            font.remove_child(data);
        }
    }
}

void FontMerger::mergeFontTable(PasteRemap& remap) {
    const std::string sourcePart = m_source.partOfKind("fontTable");
    if (sourcePart.empty()) {
        return;
    }
    auto doc = parseXml(m_source.package().text(sourcePart), sourcePart);
    XmlPart& part = m_target.ensurePart(
        m_target.fontTable, "fontTable", "word/fontTable.xml",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml",
        blankStartTag("w:fonts") + "</w:fonts>");
    auto root = part.edit().document_element();
    std::unordered_map<std::string, pugi::xml_node> known;
    for (auto font : root.children("w:font")) {
        known.emplace(font.attribute("w:name").value(), font);
    }
    const auto namespaces = namespacesOf(root);
    for (auto font : doc.document_element().children("w:font")) {
        dropFontsWithoutData(font, sourcePart);
        const std::string name = font.attribute("w:name").value();
        const auto it = known.find(name);
        if (it == known.end()) {
            auto copy = root.append_copy(font);
            known.emplace(name, copy);
            // Embedded data travels as its part; its key stays beside the reference, so the
            // copied (obfuscated) bytes still decode.
            remap.remap(copy, doc.document_element(), sourcePart, part.name());
            declareMissingNamespaces(copy, doc.document_element(), namespaces);
        } else if (!embedsData(it->second) && embedsData(font)) {
            // The target names the font without its data: the pasted text needs the data.
            pugi::xml_node existing = it->second;
            for (const char* embed : kEmbedded) {
                if (const auto data = font.child(embed)) {
                    auto copy = existing.append_copy(data);
                    remap.remap(copy, doc.document_element(), sourcePart, part.name());
                    declareMissingNamespaces(copy, doc.document_element(), namespaces);
                }
            }
        }
    }
}

} // namespace paperloom::engine
