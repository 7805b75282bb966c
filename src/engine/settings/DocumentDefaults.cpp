// A pasted document's document defaults, stated where they still reach its content once the
// joined document's defaults are in force.
#include "engine/settings/DocumentDefaults.h"

#include "engine/mergers/FontMerge.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

namespace paperloom::engine {
namespace {

bool among(std::string_view name, std::initializer_list<std::string_view> names) {
    for (const auto candidate : names) {
        if (candidate == name) {
            return true;
        }
    }
    return false;
}

/// Elements whose attributes are inherited one by one along the style hierarchy: a style that
/// sets w:after of w:spacing still takes w:line from the defaults.
bool inheritsByAttribute(std::string_view element) {
    return among(element, {"w:spacing", "w:ind", "w:rFonts", "w:lang"});
}

/// The attribute that stands for the same thing as `attribute` of an element inherited by
/// attribute (setting either at a lower level replaces both); null when there is none.
const char* partnerOf(std::string_view element, std::string_view attribute) {
    static const struct {
        std::string_view element;
        const char* first;
        const char* second;
    } kPairs[] = {{"w:ind", "w:firstLine", "w:hanging"},
                  {"w:ind", "w:firstLineChars", "w:hangingChars"},
                  {"w:ind", "w:left", "w:start"},
                  {"w:ind", "w:right", "w:end"},
                  {"w:ind", "w:leftChars", "w:startChars"},
                  {"w:ind", "w:rightChars", "w:endChars"},
                  {"w:rFonts", "w:ascii", "w:asciiTheme"},
                  {"w:rFonts", "w:hAnsi", "w:hAnsiTheme"},
                  {"w:rFonts", "w:eastAsia", "w:eastAsiaTheme"},
                  {"w:rFonts", "w:cs", "w:cstheme"}};
    for (const auto& pair : kPairs) {
        if (pair.element == element) {
            if (attribute == pair.first) {
                return pair.second;
            }
            if (attribute == pair.second) {
                return pair.first;
            }
        }
    }
    return nullptr;
}

bool covered(const pugi::xml_node& element, const char* attribute) {
    const char* partner = partnerOf(element.name(), attribute);
    return element.attribute(attribute) || (partner != nullptr && element.attribute(partner));
}

/// What an attribute of an element inherited by attribute is when nothing sets it: the name
/// and value to write, or a null name when the format leaves it to the reader (languages).
std::pair<const char*, const char*> absentAttribute(std::string_view element,
                                                    std::string_view attribute) {
    if (element == "w:rFonts") {
        // Without any font, readers set text in Times New Roman; a theme reference is
        // stated as that name, since the theme would be the joined document's.
        static const std::pair<std::string_view, const char*> kSlots[] = {
            {"w:ascii", "w:ascii"},
            {"w:asciiTheme", "w:ascii"},
            {"w:hAnsi", "w:hAnsi"},
            {"w:hAnsiTheme", "w:hAnsi"},
            {"w:eastAsia", "w:eastAsia"},
            {"w:eastAsiaTheme", "w:eastAsia"},
            {"w:cs", "w:cs"},
            {"w:cstheme", "w:cs"}};
        for (const auto& [name, slot] : kSlots) {
            if (name == attribute) {
                return {slot, "Times New Roman"};
            }
        }
        return {nullptr, nullptr};
    }
    if (element == "w:spacing") {
        if (attribute == "w:line") {
            return {"w:line", "240"};
        }
        if (attribute == "w:lineRule") {
            return {"w:lineRule", "auto"};
        }
        static const char* const kZero[] = {
            "w:before",          "w:after", "w:beforeLines", "w:afterLines", "w:beforeAutospacing",
            "w:afterAutospacing"};
        for (const char* name : kZero) {
            if (attribute == name) {
                return {name, "0"};
            }
        }
        return {nullptr, nullptr};
    }
    if (element == "w:ind") {
        static const char* const kZero[] = {"w:left",      "w:right",          "w:start",
                                            "w:end",       "w:firstLine",      "w:hanging",
                                            "w:leftChars", "w:rightChars",     "w:startChars",
                                            "w:endChars",  "w:firstLineChars", "w:hangingChars"};
        for (const char* name : kZero) {
            if (attribute == name) {
                return {name, "0"};
            }
        }
    }
    return {nullptr, nullptr};
}

/// On/off properties; the second list holds those that are on when nothing sets them.
bool isToggle(std::string_view element) {
    return among(element, {"w:b",
                           "w:bCs",
                           "w:i",
                           "w:iCs",
                           "w:caps",
                           "w:smallCaps",
                           "w:strike",
                           "w:dstrike",
                           "w:outline",
                           "w:shadow",
                           "w:emboss",
                           "w:imprint",
                           "w:noProof",
                           "w:snapToGrid",
                           "w:vanish",
                           "w:webHidden",
                           "w:rtl",
                           "w:cs",
                           "w:specVanish",
                           "w:keepNext",
                           "w:keepLines",
                           "w:pageBreakBefore",
                           "w:suppressLineNumbers",
                           "w:suppressAutoHyphens",
                           "w:kinsoku",
                           "w:wordWrap",
                           "w:overflowPunct",
                           "w:topLinePunct",
                           "w:autoSpaceDE",
                           "w:autoSpaceDN",
                           "w:bidi",
                           "w:adjustRightInd",
                           "w:contextualSpacing",
                           "w:mirrorIndents"});
}

bool isOnWhenAbsent(std::string_view element) {
    return among(element, {"w:snapToGrid", "w:kinsoku", "w:wordWrap", "w:overflowPunct",
                           "w:autoSpaceDE", "w:autoSpaceDN", "w:adjustRightInd"});
}

/// The value of a single-valued property when nothing sets it; null when the format leaves
/// it to the reader or it is not single-valued.
const char* absentValue(std::string_view element, bool runProperty) {
    if (isToggle(element)) {
        return isOnWhenAbsent(element) ? "1" : "0";
    }
    static const std::pair<std::string_view, const char*> kRun[] = {
        {"w:sz", "20"},          {"w:szCs", "20"},           {"w:kern", "0"}, {"w:color", "auto"},
        {"w:u", "none"},         {"w:position", "0"},        {"w:w", "100"},  {"w:spacing", "0"},
        {"w:highlight", "none"}, {"w:vertAlign", "baseline"}};
    static const std::pair<std::string_view, const char*> kParagraph[] = {
        {"w:jc", "left"}, {"w:textAlignment", "auto"}};
    if (runProperty) {
        for (const auto& [name, value] : kRun) {
            if (name == element) {
                return value;
            }
        }
    } else {
        for (const auto& [name, value] : kParagraph) {
            if (name == element) {
                return value;
            }
        }
    }
    return nullptr;
}

/// The properties of `mine` (the pasted document's defaults) that differ from `theirs`
/// (the joined document's), appended to out as the pasted document means them.
void differences(const pugi::xml_node& mine, const pugi::xml_node& theirs, pugi::xml_node out,
                 bool runProperties) {
    std::set<std::string> names;
    for (const auto& props : {mine, theirs}) {
        for (auto child : props.children()) {
            if (child.type() == pugi::node_element && std::strcmp(child.name(), "w:rPr") != 0) {
                names.insert(child.name());
            }
        }
    }
    for (const auto& name : names) {
        const auto own = mine.child(name.c_str());
        const auto other = theirs.child(name.c_str());
        if (own && other && serializeNode(own) == serializeNode(other)) {
            continue;
        }
        auto piece = own ? out.append_copy(own) : out.append_child(name.c_str());
        if (!other) {
            continue;
        }
        if (inheritsByAttribute(name)) {
            for (auto attr = other.first_attribute(); attr; attr = attr.next_attribute()) {
                if (covered(piece, attr.name())) {
                    continue;
                }
                const auto [absentName, value] = absentAttribute(name, attr.name());
                if (absentName != nullptr && !piece.attribute(absentName)) {
                    piece.append_attribute(absentName) = value;
                }
            }
        } else if (!own) {
            if (const char* value = absentValue(name, runProperties)) {
                piece.append_attribute("w:val") = value;
            }
        }
        if (!own && !piece.first_attribute()) {
            out.remove_child(piece); // nothing to say: the joined document's value stays
        }
    }
}

/// Adds to `mine` every attribute of `theirs` it lacks, leaving attributes that `mine`
/// replaces by another of the same meaning (w:firstLine for w:hanging, w:ascii for
/// w:asciiTheme) alone.
void fillMissingAttributes(pugi::xml_node mine, const pugi::xml_node& theirs) {
    for (auto attr = theirs.first_attribute(); attr; attr = attr.next_attribute()) {
        if (!covered(mine, attr.name())) {
            mine.append_attribute(attr.name()) = attr.value();
        }
    }
}

} // namespace

DefaultsDelta::DefaultsDelta(const FontMerger& fonts, const pugi::xml_node& sourceStyles,
                             const pugi::xml_node& targetStyles) {
    m_rPr = m_holder.append_child("w:rPr");
    m_pPr = m_holder.append_child("w:pPr");
    const auto sourceDefaults = sourceStyles.child("w:docDefaults");
    const auto targetDefaults = targetStyles.child("w:docDefaults");
    pugi::xml_document resolved;
    auto sourceRun = resolved.append_copy(sourceDefaults.child("w:rPrDefault").child("w:rPr"));
    if (fonts.resolvesFonts() && sourceRun.child("w:rFonts")) {
        fonts.resolveFonts(sourceRun.child("w:rFonts"));
    }
    differences(sourceRun, targetDefaults.child("w:rPrDefault").child("w:rPr"), m_rPr, true);
    differences(sourceDefaults.child("w:pPrDefault").child("w:pPr"),
                targetDefaults.child("w:pPrDefault").child("w:pPr"), m_pPr, false);
}

void DefaultsDelta::foldInto(pugi::xml_node style) const {
    for (const auto& [delta, container, order] :
         {std::tuple{m_pPr, "w:pPr", kParagraphPropertyOrder},
          std::tuple{m_rPr, "w:rPr", kRunPropertyOrder}}) {
        if (!delta.first_child()) {
            continue;
        }
        auto props = orderedChild(style, container, kStyleOrder);
        for (auto property : delta.children()) {
            auto own = props.child(property.name());
            if (!own) {
                insertOrdered(props, property, order);
            } else if (inheritsByAttribute(property.name())) {
                fillMissingAttributes(own, property);
            }
        }
    }
}

} // namespace paperloom::engine
