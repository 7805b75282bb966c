// Strict to transitional: a fixed map of namespaces and relationship types, both published with
// the Strict schemas, and the value forms only Strict allows, rewritten in each parsed part.
#include "engine/package/StrictPackage.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace paperloom::engine {
namespace {

constexpr std::string_view kStrictRoot = "http://purl.oclc.org/ooxml/";
constexpr std::string_view kStrictRelTypes =
    "http://purl.oclc.org/ooxml/officeDocument/relationships/";
constexpr const char* kDrawingMain = "http://schemas.openxmlformats.org/drawingml/2006/main";
constexpr const char* kChart = "http://schemas.openxmlformats.org/drawingml/2006/chart";

/// Strict namespace -> transitional namespace.
const std::unordered_map<std::string_view, std::string_view>& namespaceMap() {
    static const std::unordered_map<std::string_view, std::string_view> map = {
        {"http://purl.oclc.org/ooxml/wordprocessingml/main", ns::W},
        {"http://purl.oclc.org/ooxml/officeDocument/relationships", ns::R},
        {"http://purl.oclc.org/ooxml/officeDocument/math",
         "http://schemas.openxmlformats.org/officeDocument/2006/math"},
        {"http://purl.oclc.org/ooxml/officeDocument/sharedTypes",
         "http://schemas.openxmlformats.org/officeDocument/2006/sharedTypes"},
        {"http://purl.oclc.org/ooxml/officeDocument/bibliography",
         "http://schemas.openxmlformats.org/officeDocument/2006/bibliography"},
        {"http://purl.oclc.org/ooxml/officeDocument/customXml",
         "http://schemas.openxmlformats.org/officeDocument/2006/customXml"},
        {"http://purl.oclc.org/ooxml/officeDocument/characteristics",
         "http://schemas.openxmlformats.org/officeDocument/2006/characteristics"},
        {"http://purl.oclc.org/ooxml/officeDocument/customProperties",
         "http://schemas.openxmlformats.org/officeDocument/2006/custom-properties"},
        {"http://purl.oclc.org/ooxml/officeDocument/extendedProperties",
         "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"},
        {"http://purl.oclc.org/ooxml/officeDocument/docPropsVTypes",
         "http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes"},
        {"http://purl.oclc.org/ooxml/drawingml/main", kDrawingMain},
        {"http://purl.oclc.org/ooxml/drawingml/wordprocessingDrawing",
         "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"},
        {"http://purl.oclc.org/ooxml/drawingml/picture",
         "http://schemas.openxmlformats.org/drawingml/2006/picture"},
        {"http://purl.oclc.org/ooxml/drawingml/chart", kChart},
        {"http://purl.oclc.org/ooxml/drawingml/chartDrawing",
         "http://schemas.openxmlformats.org/drawingml/2006/chartDrawing"},
        {"http://purl.oclc.org/ooxml/drawingml/diagram",
         "http://schemas.openxmlformats.org/drawingml/2006/diagram"},
        {"http://purl.oclc.org/ooxml/drawingml/lockedCanvas",
         "http://schemas.openxmlformats.org/drawingml/2006/lockedCanvas"},
        {"http://purl.oclc.org/ooxml/drawingml/compatibility",
         "http://schemas.openxmlformats.org/drawingml/2006/compatibility"},
        {"http://purl.oclc.org/ooxml/drawingml/spreadsheetDrawing",
         "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"},
        {"http://purl.oclc.org/ooxml/schemaLibrary/main",
         "http://schemas.openxmlformats.org/schemaLibrary/2006/main"},
        {"http://purl.oclc.org/ooxml/spreadsheetml/main",
         "http://schemas.openxmlformats.org/spreadsheetml/2006/main"},
        {"http://purl.oclc.org/ooxml/presentationml/main",
         "http://schemas.openxmlformats.org/presentationml/2006/main"},
    };
    return map;
}

/// A Strict relationship type in its transitional form; other types come back unchanged.
std::string transitionalRelationshipType(std::string_view type) {
    if (type.substr(0, kStrictRelTypes.size()) != kStrictRelTypes) {
        return std::string(type);
    }
    std::string_view kind = type.substr(kStrictRelTypes.size());
    if (kind == "extendedProperties") {
        kind = "extended-properties";
    } else if (kind == "customProperties") {
        kind = "custom-properties";
    }
    return ns::RelTypeBase + std::string(kind);
}

/// The number in "12.5" followed by exactly suffixLength more characters, if it is one.
bool leadingNumber(std::string_view text, std::size_t suffixLength, double& value) {
    if (text.size() <= suffixLength) {
        return false;
    }
    const std::string_view digits = text.substr(0, text.size() - suffixLength);
    // from_chars ignores the locale, which a desktop program sets from the user's.
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
}

/// Points in a universal measure ("36pt", "2.5cm"), if the value is one.
bool universalMeasure(std::string_view text, double& points) {
    static const struct {
        const char* unit;
        double points;
    } kUnits[] = {{"pt", 1},         {"in", 72}, {"cm", 72 / 2.54},
                  {"mm", 72 / 25.4}, {"pc", 12}, {"pi", 12}};
    for (const auto& unit : kUnits) {
        if (text.size() > 2 && text.substr(text.size() - 2) == unit.unit &&
            leadingNumber(text, 2, points)) {
            points *= unit.points;
            return true;
        }
    }
    return false;
}

/// True for the attributes that hold lengths (twips, or half points for font sizes): only
/// there does "12pt" mean a length, not a style name or a bookmark.
bool holdsLength(std::string_view element, std::string_view attribute) {
    static const std::unordered_set<std::string_view> kAttributes = {"w",
                                                                     "h",
                                                                     "left",
                                                                     "right",
                                                                     "start",
                                                                     "end",
                                                                     "top",
                                                                     "bottom",
                                                                     "header",
                                                                     "footer",
                                                                     "gutter",
                                                                     "hanging",
                                                                     "firstLine",
                                                                     "before",
                                                                     "after",
                                                                     "line",
                                                                     "pos",
                                                                     "space",
                                                                     "x",
                                                                     "y",
                                                                     "hSpace",
                                                                     "vSpace",
                                                                     "dxaOrig",
                                                                     "dyaOrig",
                                                                     "linePitch",
                                                                     "tblpX",
                                                                     "tblpY",
                                                                     "leftFromText",
                                                                     "rightFromText",
                                                                     "topFromText",
                                                                     "bottomFromText"};
    static const std::unordered_set<std::string_view> kValueElements = {
        "sz",
        "szCs",
        "kern",
        "position",
        "spacing",
        "trHeight",
        "defaultTabStop",
        "hyphenationZone",
        "fitText",
        "drawingGridHorizontalSpacing",
        "drawingGridVerticalSpacing",
        "drawingGridHorizontalOrigin",
        "drawingGridVerticalOrigin"};
    return attribute == "val" ? kValueElements.count(element) != 0
                              : kAttributes.count(attribute) != 0;
}

void setNumber(pugi::xml_attribute attribute, double value) {
    attribute.set_value(static_cast<long long>(std::llround(value)));
}

/// Renames an attribute unless the element already has one of the new name.
void renameAttribute(pugi::xml_node element, const std::string& from, const std::string& to) {
    auto attribute = element.attribute(from.c_str());
    if (attribute && !element.attribute(to.c_str())) {
        attribute.set_name(to.c_str());
    }
}

/// The Strict value forms of one WordprocessingML element, in transitional form.
void convertWordElement(pugi::xml_node element, const std::string& prefix) {
    const std::string_view local = localName(element.name());
    const auto parentLocal = localName(element.parent().name());
    if (local == "document") {
        element.remove_attribute((prefix + "conformance").c_str());
    }
    if ((local == "start" || local == "end") &&
        (parentLocal == "tblBorders" || parentLocal == "tcBorders" || parentLocal == "tblCellMar" ||
         parentLocal == "tcMar")) {
        const std::string renamed = prefix + (local == "start" ? "left" : "right");
        if (!element.parent().child(renamed.c_str())) {
            element.set_name(renamed.c_str());
        }
    }
    if (local == "ind") {
        renameAttribute(element, prefix + "start", prefix + "left");
        renameAttribute(element, prefix + "end", prefix + "right");
        renameAttribute(element, prefix + "startChars", prefix + "leftChars");
        renameAttribute(element, prefix + "endChars", prefix + "rightChars");
    }
    auto val = element.attribute((prefix + "val").c_str());
    if (val && (local == "jc" || local == "lvlJc" || local == "tab")) {
        if (std::strcmp(val.value(), "start") == 0) {
            val.set_value("left");
        } else if (std::strcmp(val.value(), "end") == 0) {
            val.set_value("right");
        }
    }
    if (val && local == "textDirection") {
        static const std::unordered_map<std::string_view, const char*> kDirections = {
            {"tb", "lrTb"},   {"rl", "tbRl"},   {"lr", "btLr"},
            {"tbV", "lrTbV"}, {"rlV", "tbRlV"}, {"lrV", "tbLrV"}};
        const auto it = kDirections.find(val.value());
        if (it != kDirections.end()) {
            val.set_value(it->second);
        }
    }
    // Font sizes, kerning and raised text count half points; every other length twips.
    const bool halfPoints =
        local == "sz" || local == "szCs" || local == "kern" || local == "position";
    const bool percentWidth =
        std::strcmp(element.attribute((prefix + "type").c_str()).value(), "pct") == 0;
    for (auto attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::string_view name = attribute.name();
        if (name.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::string_view attributeLocal = name.substr(prefix.size());
        const std::string_view value = attribute.value();
        double number = 0;
        if (leadingNumber(value, 1, number) && value.back() == '%') {
            // Percentages: table widths in fiftieths, zoom and character scale in whole ones.
            if (attributeLocal == "w" && percentWidth) {
                setNumber(attribute, number * 50);
            } else if ((local == "zoom" && attributeLocal == "percent") ||
                       (local == "w" && attributeLocal == "val")) {
                setNumber(attribute, number);
            }
        } else if (holdsLength(local, attributeLocal) && universalMeasure(value, number)) {
            setNumber(attribute, number * (halfPoints ? 2 : 20));
        }
    }
}

/// DrawingML attributes that hold percentages: Strict writes "50%", transitional thousandths.
bool isDrawingPercentage(std::string_view name) {
    static const char* const kNames[] = {
        "val",      "pos",           "r",      "g",    "b",     "l",      "t",
        "lim",      "amt",           "thresh", "sat",  "lum",   "bright", "contrast",
        "baseline", "fontScale",     "stA",    "endA", "stPos", "endPos", "sx",
        "sy",       "lnSpcReduction"};
    for (const char* known : kNames) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

/// Percentages of DrawingML elements: thousandths of a percent in the main namespace, whole
/// percents in charts.
void convertDrawingElement(pugi::xml_node element, bool chart) {
    for (auto attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::string_view value = attribute.value();
        double number = 0;
        if (value.empty() || value.back() != '%' || !leadingNumber(value, 1, number)) {
            continue;
        }
        if (chart && std::strcmp(attribute.name(), "val") == 0) {
            setNumber(attribute, number);
        } else if (!chart && isDrawingPercentage(attribute.name())) {
            setNumber(attribute, number * 1000);
        }
    }
}

/// Rewrites one parsed part: namespaces, relationship types, then the values of its elements.
void convertPart(pugi::xml_document& doc, bool relationshipsPart) {
    // Prefixes are collected as declarations come, which is before the elements that use them.
    std::unordered_map<std::string, std::string> prefixes;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        for (auto attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            const auto mapped = namespaceMap().find(attribute.value());
            if (mapped != namespaceMap().end()) {
                attribute.set_value(std::string(mapped->second).c_str());
            } else if (relationshipsPart && std::strcmp(attribute.name(), "Type") == 0) {
                attribute.set_value(transitionalRelationshipType(attribute.value()).c_str());
            }
            const std::string_view name = attribute.name();
            if (name.substr(0, 6) == "xmlns:") {
                prefixes.emplace(std::string(name.substr(6)), attribute.value());
            } else if (name == "xmlns") {
                prefixes.emplace("", attribute.value());
            }
        }
        const auto found = prefixes.find(std::string(prefixOf(element.name())));
        if (found == prefixes.end()) {
            return true;
        }
        const std::string& uri = found->second;
        if (uri == ns::W) {
            convertWordElement(element, found->first.empty() ? "" : found->first + ":");
        } else if (uri == kDrawingMain || uri == kChart) {
            convertDrawingElement(element, uri == kChart);
        }
        return true;
    });
}

} // namespace

bool isStrictPackage(const Package& package) {
    if (!package.contains("_rels/.rels")) {
        return false;
    }
    try {
        const auto rels = Relationships::parse(package.text("_rels/.rels"), "_rels/.rels");
        const Relationship* main = rels.firstOfType("officeDocument");
        return main != nullptr &&
               std::string_view(main->type).substr(0, kStrictRelTypes.size()) == kStrictRelTypes;
    } catch (const PackageError&) {
        return false; // whoever reads it next says what is wrong with it
    }
}

void convertStrictToTransitional(Package& package) {
    for (auto& [name, data] : package.parts) {
        if (!isMarkupPartName(name)) {
            continue;
        }
        const std::string text = data->text(name, package.limits);
        if (text.find(kStrictRoot) == std::string::npos) {
            continue; // nothing of Strict in it: written by someone else, left as it is
        }
        pugi::xml_document doc;
        try {
            doc = parseXml(text, name);
        } catch (const PackageError&) {
            continue; // refused with a sentence when (if ever) it is read
        }
        const bool relationshipsPart = name.find("_rels/") != std::string::npos &&
                                       name.size() > 5 &&
                                       name.compare(name.size() - 5, 5, ".rels") == 0;
        convertPart(doc, relationshipsPart);
        data = PartData::fromText(serializeDocument(doc));
    }
}

} // namespace paperloom::engine
