// Charts of a document whose theme fonts differ from the joined document's: their text keeps
// the typefaces its own theme gave it, or, without a theme, the reader's own sans serif and
// hairlines.
#include "engine/mergers/FontMerge.h"
#include "engine/package/Xml.h"
#include "engine/paste/PartRewrite.h"

#include <cstring>

namespace paperloom::engine {
namespace {

constexpr const char* kDrawingMl = "http://schemas.openxmlformats.org/drawingml/2006/main";

// Chart-space children that follow c:txPr (ECMA-376 Part 1, §21.2.2.29).
constexpr const char* kAfterTextProperties[] = {"externalData", "printSettings", "userShapes",
                                                "extLst"};
// Text run property children that follow a:latin (§21.1.2.3.2).
constexpr const char* kAfterLatin[] = {"ea",  "cs",    "sym", "hlinkClick", "hlinkMouseOver",
                                       "rtl", "extLst"};

template <std::size_t N>
pugi::xml_node firstChildAmong(pugi::xml_node parent, const char* const (&locals)[N]) {
    for (auto child : parent.children()) {
        for (const char* local : locals) {
            if (localName(child.name()) == local) {
                return child;
            }
        }
    }
    return {};
}

// Readers draw the chart text of a document without a theme in a sans serif of their own
// (LibreOffice: Liberation Sans, which it also draws for Arial); joined after a themed document,
// the same text would take that document's minor font.
constexpr const char* kThemelessChartFace = "Arial";

// The typeface a theme font reference ("+mn-lt", "+mj-ea", ...) stands for; "" when the
// reference is unknown or the theme leaves that slot empty.
std::string themeTypeface(const ThemeFonts& fonts, std::string_view reference) {
    if (reference.size() != 6 || reference[0] != '+' || reference[3] != '-') {
        return {};
    }
    const std::string_view group = reference.substr(1, 2);
    const std::string_view script = reference.substr(4);
    const std::string* slots = group == "mn" ? fonts.minor : group == "mj" ? fonts.major : nullptr;
    const int slot = script == "lt" ? 0 : script == "ea" ? 1 : script == "cs" ? 2 : -1;
    return slots == nullptr || slot < 0 ? std::string() : slots[slot];
}

} // namespace

PartDataPtr withThemeFontsStated(const Package& source, const std::string& chartPart,
                                 const ThemeFonts& theme) {
    ThemeFonts fonts = theme;
    for (std::string* slots : {fonts.minor, fonts.major}) {
        if (slots[0].empty()) {
            slots[0] = kThemelessChartFace;
        }
    }
    auto doc = parseXml(source.text(chartPart), chartPart);
    auto root = doc.document_element();
    if (localName(root.name()) != "chartSpace") {
        return nullptr;
    }
    std::string a = prefixFor(root, kDrawingMl);
    if (a.empty()) {
        a = "a";
        for (int n = 2; root.attribute(("xmlns:" + a).c_str()); ++n) {
            a = "a" + std::to_string(n);
        }
        root.append_attribute(("xmlns:" + a).c_str()).set_value(kDrawingMl);
    }
    const std::string aColon = a + ':';

    // Lines that state no width take it from the theme's line styles; without a theme, from the
    // reader's own default, a hairline. (The chart area's own border has a default of its own.)
    const std::string c(prefixOf(root.name()));
    const std::string cColon = c.empty() ? std::string() : c + ':';
    const std::string shapeProperties = cColon + "spPr";
    const bool hairlines = theme.formats.empty();

    // Text that names a theme font gets the typeface the source theme gave it.
    forEachElement(root, [&](pugi::xml_node element) {
        if (hairlines && element.name() == shapeProperties && element.parent() != root) {
            auto line = element.child((aColon + "ln").c_str());
            if (line && !line.attribute("w")) {
                line.prepend_attribute("w").set_value("0");
            }
            return true;
        }
        if (std::strncmp(element.name(), aColon.c_str(), aColon.size()) == 0) {
            auto typeface = element.attribute("typeface");
            if (typeface && typeface.value()[0] == '+') {
                const std::string resolved = themeTypeface(fonts, typeface.value());
                if (!resolved.empty()) {
                    typeface.set_value(resolved.c_str());
                }
            }
        }
        return true;
    });

    // Text that names no font at all is set in the theme's minor font: state the source's as
    // the chart's default, under whatever default text properties the chart already has.
    auto txPr = root.child((cColon + "txPr").c_str());
    if (!txPr) {
        const auto before = firstChildAmong(root, kAfterTextProperties);
        txPr = before ? root.insert_child_before((cColon + "txPr").c_str(), before)
                      : root.append_child((cColon + "txPr").c_str());
        txPr.append_child((aColon + "bodyPr").c_str());
        txPr.append_child((aColon + "lstStyle").c_str());
        txPr.append_child((aColon + "p").c_str())
            .append_child((aColon + "pPr").c_str())
            .append_child((aColon + "defRPr").c_str());
    }
    // The name outlives the loop: the range keeps a pointer to it.
    const std::string paragraphName = aColon + "p";
    for (auto paragraph : txPr.children(paragraphName.c_str())) {
        auto pPr = childOrPrepend(paragraph, (aColon + "pPr").c_str());
        auto defRPr = pPr.child((aColon + "defRPr").c_str());
        if (!defRPr) {
            const auto extLst = pPr.child((aColon + "extLst").c_str());
            defRPr = extLst ? pPr.insert_child_before((aColon + "defRPr").c_str(), extLst)
                            : pPr.append_child((aColon + "defRPr").c_str());
        }
        if (defRPr.child((aColon + "latin").c_str())) {
            continue;
        }
        const auto before = firstChildAmong(defRPr, kAfterLatin);
        auto latin = before ? defRPr.insert_child_before((aColon + "latin").c_str(), before)
                            : defRPr.append_child((aColon + "latin").c_str());
        latin.append_attribute("typeface").set_value(fonts.minor[0].c_str());
    }
    return PartData::fromText(serializeDocument(doc));
}

} // namespace paperloom::engine
