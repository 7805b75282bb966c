// Table styles over the document defaults of a pasted document whose defaults differ.
#include "engine/settings/TableDefaults.h"

#include "engine/model/DocumentModel.h"
#include "engine/model/StyleIndex.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PastedDocument.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace paperloom::engine {
namespace {

/// The typeface attributes of w:rFonts, each with the theme attribute that stands for it: a
/// level that sets either of a pair sets that typeface.
constexpr std::array<std::array<const char*, 2>, 4> kFontSlots = {
    {{"w:ascii", "w:asciiTheme"},
     {"w:hAnsi", "w:hAnsiTheme"},
     {"w:eastAsia", "w:eastAsiaTheme"},
     {"w:cs", "w:cstheme"}}};

/// The paragraph properties whose attributes inherit one by one, in groups of attributes that
/// say one thing (a spacing in points or in lines, a line height and its rule): a level that
/// sets one attribute of a group sets the group.
struct AttributeGroups {
    const char* property;
    std::vector<std::vector<const char*>> groups;
};
const std::array<AttributeGroups, 2>& attributeGroups() {
    static const std::array<AttributeGroups, 2> groups = {
        {{"w:spacing",
          {{"w:before", "w:beforeLines", "w:beforeAutospacing"},
           {"w:after", "w:afterLines", "w:afterAutospacing"},
           {"w:line", "w:lineRule"}}},
         {"w:ind",
          {{"w:left", "w:start", "w:leftChars", "w:startChars"},
           {"w:right", "w:end", "w:rightChars", "w:endChars"},
           {"w:hanging", "w:firstLine", "w:hangingChars", "w:firstLineChars"}}}}};
    return groups;
}

/// Names of the properties in which two sets of defaults (a w:pPr or w:rPr each, possibly
/// empty) differ, leaving out the one named skip.
std::vector<std::string> differingProperties(const pugi::xml_node& mine,
                                             const pugi::xml_node& theirs, const char* skip) {
    std::vector<std::string> out;
    for (const auto& props : {mine, theirs}) {
        for (auto property : props.children()) {
            const char* name = property.name();
            const auto own = mine.child(name);
            const auto other = theirs.child(name);
            if ((!own || !other || serializeNode(own) != serializeNode(other)) &&
                std::strcmp(name, skip) != 0 &&
                std::find(out.begin(), out.end(), name) == out.end()) {
                out.emplace_back(name);
            }
        }
    }
    return out;
}

/// The runs of a paragraph, through hyperlinks, fields and content controls, but not those of
/// text boxes, which no table style reaches.
std::vector<pugi::xml_node> runsOf(pugi::xml_node paragraph) {
    std::vector<pugi::xml_node> runs;
    forEachElement(paragraph, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:r") == 0) {
            runs.push_back(element);
            return false;
        }
        return std::strcmp(element.name(), "w:txbxContent") != 0;
    });
    return runs;
}

/// A place where run properties are stated: a run, or the paragraph mark (run is empty), with
/// the character style it names ("" for the mark, whose style is the paragraph's).
struct RunPlace {
    pugi::xml_node paragraph;
    pugi::xml_node run;
    std::string characterStyle;

    /// Its properties as they are (possibly empty).
    [[nodiscard]] pugi::xml_node properties() const {
        return run ? run.child("w:rPr") : paragraph.child("w:pPr").child("w:rPr");
    }
    /// Its properties, made where it has none.
    [[nodiscard]] pugi::xml_node ensureProperties() const {
        return run ? childOrPrepend(run, "w:rPr")
                   : orderedChild(childOrPrepend(paragraph, "w:pPr"), "w:rPr",
                                  kParagraphPropertyOrder);
    }
};

/// Each run of the paragraph and its mark.
std::vector<RunPlace> runPlacesOf(pugi::xml_node paragraph) {
    std::vector<RunPlace> out{{paragraph, {}, ""}};
    for (auto run : runsOf(paragraph)) {
        out.push_back(
            {paragraph, run, run.child("w:rPr").child("w:rStyle").attribute("w:val").value()});
    }
    return out;
}

/// States the table style's run property name on the paragraph's runs where neither the
/// paragraph's style chain (style) nor a run's own properties or character style set it.
void keepRunProperty(const StyleIndex& styles, const std::string& tableStyle,
                     const std::string& style, pugi::xml_node paragraph, const char* name) {
    const auto fromTable = styles.property(tableStyle, "w:rPr", name);
    if (!fromTable || styles.property(style, "w:rPr", name)) {
        return;
    }
    const bool fonts = std::strcmp(name, "w:rFonts") == 0;
    for (const auto& place : runPlacesOf(paragraph)) {
        const auto own = place.properties();
        if (!fonts) {
            if (!own.child(name) && !styles.property(place.characterStyle, "w:rPr", name)) {
                insertOrdered(place.ensureProperties(), fromTable, kRunPropertyOrder);
            }
            continue;
        }
        // Typefaces inherit one by one.
        for (const auto& slot : kFontSlots) {
            auto setsSlot = [&](const std::string& id) {
                return styles.attribute(id, "w:rPr", "w:rFonts", slot[0]) ||
                       styles.attribute(id, "w:rPr", "w:rFonts", slot[1]);
            };
            const auto ownFonts = own.child("w:rFonts");
            if (!setsSlot(tableStyle) || setsSlot(style) || ownFonts.attribute(slot[0]) ||
                ownFonts.attribute(slot[1]) || setsSlot(place.characterStyle)) {
                continue;
            }
            auto target = orderedChild(place.ensureProperties(), "w:rFonts", kRunPropertyOrder);
            for (const char* attribute : slot) {
                if (const auto value =
                        styles.attribute(tableStyle, "w:rPr", "w:rFonts", attribute)) {
                    target.append_attribute(attribute) = value.value();
                }
            }
        }
    }
}

/// The children of container with this name, and those inside the content controls and custom
/// XML that wrap rows, cells and paragraphs.
std::vector<pugi::xml_node> wrappedChildren(const pugi::xml_node& container, const char* name) {
    std::vector<pugi::xml_node> out;
    std::vector<pugi::xml_node> pending{container};
    while (!pending.empty()) {
        const auto parent = pending.back();
        pending.pop_back();
        // Pushed in reverse so that the children come out in document order.
        std::vector<pugi::xml_node> wrappers;
        for (auto child : parent.children()) {
            if (std::strcmp(child.name(), name) == 0) {
                out.push_back(child);
            } else if (std::strcmp(child.name(), "w:sdt") == 0) {
                wrappers.push_back(child.child("w:sdtContent"));
            } else if (std::strcmp(child.name(), "w:customXml") == 0) {
                wrappers.push_back(child);
            }
        }
        pending.insert(pending.end(), wrappers.rbegin(), wrappers.rend());
    }
    return out;
}

/// The paragraphs of a table's own cells, also in rows, cells and paragraphs wrapped in content
/// controls or custom XML (not those of the tables nested in them).
std::vector<pugi::xml_node> cellParagraphs(const pugi::xml_node& table) {
    std::vector<pugi::xml_node> out;
    for (auto row : wrappedChildren(table, "w:tr")) {
        for (auto cell : wrappedChildren(row, "w:tc")) {
            for (auto paragraph : wrappedChildren(cell, "w:p")) {
                out.push_back(paragraph);
            }
        }
    }
    return out;
}

/// The text size (half points) a style chain sets, 0 where none of it does.
int chainSize(const StyleIndex& styles, const std::string& id) {
    return styles.attribute(id, "w:rPr", "w:sz", "w:val").as_int(0);
}

/// LibreOffice sizes text in a table that names a table style by that style, not by the default
/// paragraph style, where the latter makes it 11 or 12 pt (the sizes its makers ship). Once
/// joined after another document the default style is renamed and loses that standing, so the
/// text would grow: the size the pasted document showed is stated on runs and marks of its
/// default-style paragraphs that neither say nor take from a character style.
void keepTableStyleSizes(const StyleIndex& styles, const pugi::xml_node& sourceDefaults,
                         pugi::xml_node body) {
    const std::string& defaultStyle = styles.defaultParagraph();
    const int defaultSize = chainSize(styles, defaultStyle);
    if (defaultStyle.empty() || (defaultSize != 22 && defaultSize != 24)) {
        return;
    }
    const int documentSize = sourceDefaults.child("w:rPrDefault")
                                 .child("w:rPr")
                                 .child("w:sz")
                                 .attribute("w:val")
                                 .as_int(20); // the format's 10 pt
    forEachElement(body, [&](pugi::xml_node table) {
        if (std::strcmp(table.name(), "w:tbl") != 0) {
            return true;
        }
        // Only a style the table names: the default table style alone does not do it.
        const std::string tableStyle =
            table.child("w:tblPr").child("w:tblStyle").attribute("w:val").value();
        if (tableStyle.empty()) {
            return true;
        }
        const int fromTable = chainSize(styles, tableStyle);
        const int size = fromTable != 0 ? fromTable : documentSize;
        if (size == defaultSize) {
            return true;
        }
        for (auto paragraph : cellParagraphs(table)) {
            const std::string style =
                paragraph.child("w:pPr").child("w:pStyle").attribute("w:val").value();
            if (!style.empty() && style != defaultStyle) {
                continue;
            }
            for (const auto& place : runPlacesOf(paragraph)) {
                if (place.properties().child("w:sz") ||
                    chainSize(styles, place.characterStyle) != 0) {
                    continue;
                }
                orderedChild(place.ensureProperties(), "w:sz", kRunPropertyOrder)
                    .append_attribute("w:val") = size;
            }
        }
        return true; // nested tables name their own style
    });
}

/// States the table style's value of a paragraph property whose attributes inherit one by one
/// (w:spacing, w:ind) where the paragraph or its style chain (style) sets some of its groups:
/// each group that the table style sets and they do not. A style that sets only the space
/// after a paragraph leaves its line height to the table style over the defaults
/// (PurchaseOrder's instructions: lines of 1.15 from the document defaults under a table style
/// of single lines).
void keepParagraphAttributes(const StyleIndex& styles, const std::string& tableStyle,
                             const std::string& style, pugi::xml_node paragraph,
                             const AttributeGroups& property) {
    for (const auto& group : property.groups) {
        bool fromTable = false;
        bool stated = false;
        const auto own = paragraph.child("w:pPr").child(property.property);
        for (const char* name : group) {
            fromTable = fromTable || styles.attribute(tableStyle, "w:pPr", property.property, name);
            stated = stated || own.attribute(name) ||
                     styles.attribute(style, "w:pPr", property.property, name);
        }
        if (!fromTable || stated) {
            continue;
        }
        auto target = orderedChild(childOrPrepend(paragraph, "w:pPr"), property.property,
                                   kParagraphPropertyOrder);
        for (const char* name : group) {
            if (const auto value = styles.attribute(tableStyle, "w:pPr", property.property, name)) {
                target.append_attribute(name) = value.value();
            }
        }
    }
}

} // namespace

void keepTableStylesOverDefaults(PastedDocument& pasted, DocumentModel& target,
                                 pugi::xml_node body) {
    const auto& sourceDoc = pasted.styles();
    if (!sourceDoc.document_element() || !target.styles) {
        return;
    }
    const auto sourceDefaults = sourceDoc.document_element().child("w:docDefaults");
    const auto targetDefaults = target.styles.doc().document_element().child("w:docDefaults");
    const auto differingParagraph =
        differingProperties(sourceDefaults.child("w:pPrDefault").child("w:pPr"),
                            targetDefaults.child("w:pPrDefault").child("w:pPr"), "w:rPr");
    const auto differingRun =
        differingProperties(sourceDefaults.child("w:rPrDefault").child("w:rPr"),
                            targetDefaults.child("w:rPrDefault").child("w:rPr"), "");
    const StyleIndex styles(sourceDoc.document_element());
    keepTableStyleSizes(styles, sourceDefaults, body);
    if (differingParagraph.empty() && differingRun.empty()) {
        return;
    }
    forEachElement(body, [&](pugi::xml_node table) {
        if (std::strcmp(table.name(), "w:tbl") != 0) {
            return true;
        }
        std::string tableStyle =
            table.child("w:tblPr").child("w:tblStyle").attribute("w:val").value();
        if (tableStyle.empty()) {
            tableStyle = styles.defaultTable();
        }
        for (auto paragraph : cellParagraphs(table)) {
            std::string style =
                paragraph.child("w:pPr").child("w:pStyle").attribute("w:val").value();
            if (style.empty()) {
                style = styles.defaultParagraph();
            }
            for (const auto& name : differingParagraph) {
                const auto fromTable = styles.property(tableStyle, "w:pPr", name.c_str());
                if (!fromTable) {
                    continue;
                }
                if (paragraph.child("w:pPr").child(name.c_str()) ||
                    styles.property(style, "w:pPr", name.c_str())) {
                    const auto grouped =
                        std::find_if(attributeGroups().begin(), attributeGroups().end(),
                                     [&](const AttributeGroups& g) { return name == g.property; });
                    if (grouped != attributeGroups().end()) {
                        keepParagraphAttributes(styles, tableStyle, style, paragraph, *grouped);
                    }
                    continue;
                }
                insertOrdered(childOrPrepend(paragraph, "w:pPr"), fromTable,
                              kParagraphPropertyOrder);
            }
            for (const auto& name : differingRun) {
                keepRunProperty(styles, tableStyle, style, paragraph, name.c_str());
            }
        }
        return true; // nested tables have their own style
    });
}

} // namespace paperloom::engine
