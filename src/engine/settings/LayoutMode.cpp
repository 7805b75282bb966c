// Tables of a pasted document written in another layout mode than the joined document's.
#include "engine/settings/LayoutMode.h"

#include "engine/mergers/SectionMerge.h"
#include "engine/model/DocumentModel.h"
#include "engine/model/StyleIndex.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PastedDocument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace paperloom::engine {
namespace {

/// Children of w:tblPr in schema order.
constexpr std::initializer_list<const char*> kTablePropertyOrder = {"w:tblStyle",
                                                                    "w:tblpPr",
                                                                    "w:tblOverlap",
                                                                    "w:bidiVisual",
                                                                    "w:tblStyleRowBandSize",
                                                                    "w:tblStyleColBandSize",
                                                                    "w:tblW",
                                                                    "w:jc",
                                                                    "w:tblCellSpacing",
                                                                    "w:tblInd",
                                                                    "w:tblBorders",
                                                                    "w:shd",
                                                                    "w:tblLayout",
                                                                    "w:tblCellMar",
                                                                    "w:tblLook",
                                                                    "w:tblCaption",
                                                                    "w:tblDescription",
                                                                    "w:tblPrChange"};

/// Word 2013 and later (mode 15) measure table indents to the border.
bool measuresToBorder(const pugi::xml_node& settingsRoot) {
    for (auto setting : settingsRoot.child("w:compat").children("w:compatSetting")) {
        if (std::strcmp(setting.attribute("w:name").value(), "compatibilityMode") == 0) {
            return setting.attribute("w:val").as_int() >= 15;
        }
    }
    return false;
}

/// A twips measure of a table width element (w:w with type dxa or no type); false otherwise.
bool twips(const pugi::xml_node& measure, long long& value) {
    if (!measure || !measure.attribute("w:w")) {
        return false;
    }
    const char* type = measure.attribute("w:type").value();
    if (*type != '\0' && std::strcmp(type, "dxa") != 0) {
        return false;
    }
    value = measure.attribute("w:w").as_llong();
    return true;
}

/// The width of a left border in sixteenths of a point (its w:sz is in eighths), which is half
/// the border; 0 for none.
long long halfLeftBorder(const pugi::xml_node& borders) {
    auto left = borders.child("w:left");
    if (!left) {
        left = borders.child("w:start");
    }
    const std::string val = left.attribute("w:val").value();
    if (!left || val.empty() || val == "nil" || val == "none") {
        return 0;
    }
    const long long eighths = left.attribute("w:sz").as_llong();
    return eighths > 0 ? eighths : 0;
}

/// The borders that draw the table's left edge where its text begins: those of its first cell
/// where that cell states a left border (even none), otherwise the table's.
pugi::xml_node leftEdgeBorders(const pugi::xml_node& table, const pugi::xml_node& tableBorders) {
    pugi::xml_node cell;
    forEachElement(table, [&](pugi::xml_node element) {
        if (!cell && std::strcmp(element.name(), "w:tc") == 0) {
            cell = element;
        }
        return !cell && (element == table || std::strcmp(element.name(), "w:tbl") != 0);
    });
    const auto own = cell.child("w:tcPr").child("w:tcBorders");
    return own.child("w:left") || own.child("w:start") ? own : tableBorders;
}

/// The tables that stand in the text column of a body: its own and those of the content
/// controls and custom XML around its blocks, not those nested in cells.
void columnTables(pugi::xml_node container, std::vector<pugi::xml_node>& out) {
    for (auto block : container.children()) {
        const char* name = block.name();
        if (std::strcmp(name, "w:tbl") == 0) {
            out.push_back(block);
        } else if (std::strcmp(name, "w:sdt") == 0) {
            columnTables(block.child("w:sdtContent"), out);
        } else if (std::strcmp(name, "w:customXml") == 0) {
            columnTables(block, out);
        }
    }
}

} // namespace

void keepTablePlacesAcrossLayoutModes(PastedDocument& pasted, DocumentModel& target,
                                      pugi::xml_node body) {
    const auto& sourceSettings = pasted.settings();
    const bool sourceToBorder = measuresToBorder(sourceSettings.document_element());
    const bool targetToBorder =
        target.settings && measuresToBorder(target.settings.doc().document_element());
    if (sourceToBorder == targetToBorder) {
        return;
    }
    const StyleIndex styles(pasted.styles().document_element());
    std::vector<pugi::xml_node> tables;
    columnTables(body, tables);
    for (auto table : tables) {
        auto tblPr = table.child("w:tblPr");
        std::string style = tblPr.child("w:tblStyle").attribute("w:val").value();
        if (style.empty()) {
            style = styles.defaultTable();
        }
        auto property = [&](const char* name) {
            const auto own = tblPr.child(name);
            return own ? own : styles.property(style, "w:tblPr", name);
        };
        const std::string jc = property("w:jc").attribute("w:val").value();
        if (!tblPr || tblPr.child("w:tblpPr") || (!jc.empty() && jc != "left" && jc != "start")) {
            continue;
        }
        const auto margins = property("w:tblCellMar");
        auto leftMargin = margins.child("w:left");
        if (!leftMargin) {
            leftMargin = margins.child("w:start");
        }
        long long margin = 108; // the format's default left cell margin
        if (leftMargin && !twips(leftMargin, margin)) {
            continue;
        }
        long long indent = 0;
        if (const auto ind = property("w:tblInd"); ind && !twips(ind, indent)) {
            continue;
        }
        // The newer mode puts the text half the left border in from the edge, and then the
        // cell margin but at least another half border (a table with no cell margin moves by
        // its whole border): the first cell's border where it states one (complex1_NOR).
        const double half = // twips
            static_cast<double>(halfLeftBorder(leftEdgeBorders(table, property("w:tblBorders")))) *
            1.25;
        const auto shift = std::llround(std::max(static_cast<double>(margin), half) + half);
        indent += sourceToBorder ? shift : -shift;
        auto ind = orderedChild(tblPr, "w:tblInd", kTablePropertyOrder);
        ind.remove_attributes();
        ind.append_attribute("w:w") = indent;
        ind.append_attribute("w:type") = "dxa";
    }
}

} // namespace paperloom::engine
