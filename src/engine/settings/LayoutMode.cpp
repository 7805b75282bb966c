// The layout mode of a joined document: chosen over the list of documents it will hold, and the
// tables of the documents written in another.
#include "engine/settings/LayoutMode.h"

#include "engine/mergers/SectionMerge.h"
#include "engine/model/DocumentModel.h"
#include "engine/model/StyleIndex.h"
#include "engine/package/PackageOpener.h"
#include "engine/package/Relationships.h"
#include "engine/package/StrictPackage.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/package/ZipReader.h"
#include "engine/paste/PastedDocument.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
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

struct ModeAndText {
    int mode = 0;
    std::uint64_t text = 0; // bytes of the main part
};

/// The layout mode and main part size of the package at path; nullopt where it is not a
/// WordprocessingML package that can be read as it is.
std::optional<ModeAndText> readModeAndText(const std::string& path, const PackageLimits& limits) {
    try {
        // A named pipe or a device would block or never end here; opening it refuses it.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
        if (sniffFile(path) != FileKind::WordPackage) {
            return std::nullopt;
        }
        // Only markup: the pictures and embeddings that make packages large are not read.
        const Package package = readZipPackage(
            path, limits, [](std::string_view name) { return isMarkupPartName(name); });
        std::uint64_t markup = 0;
        for (const auto& [name, data] : package.parts) {
            markup += data->size();
        }
        // Opening such a package refuses it before inflating anything; so does this look.
        if (markup > limits.maxDocumentText || isStrictPackage(package)) {
            return std::nullopt;
        }
        const auto rels = Relationships::parse(package.text("_rels/.rels"), "_rels/.rels");
        const Relationship* main = rels.firstOfType("officeDocument");
        if (main == nullptr || main->external) {
            return std::nullopt;
        }
        const std::string mainPart = resolvePartName("", main->target);
        const PartData* mainData = package.find(mainPart);
        if (mainData == nullptr) {
            return std::nullopt;
        }
        ModeAndText found;
        found.text = mainData->size();
        const std::string mainRels = relsPartName(mainPart);
        if (!package.contains(mainRels)) {
            return found;
        }
        const auto partRels = Relationships::parse(package.text(mainRels), mainRels);
        const Relationship* settings = partRels.firstOfType("settings");
        if (settings == nullptr || settings->external) {
            return found;
        }
        const std::string settingsPart = resolvePartName(mainPart, settings->target);
        if (!package.contains(settingsPart)) {
            return found;
        }
        const auto doc = parseXml(package.text(settingsPart), settingsPart);
        found.mode = layoutModeOf(doc.document_element());
        return found;
    } catch (...) {
        // Opening it will say what is wrong with it; here it only has no say.
        return std::nullopt;
    }
}

} // namespace

int layoutModeOf(const pugi::xml_node& settingsRoot) {
    for (auto setting : settingsRoot.child("w:compat").children("w:compatSetting")) {
        if (std::strcmp(setting.attribute("w:name").value(), "compatibilityMode") == 0) {
            return std::max(setting.attribute("w:val").as_int(), 0);
        }
    }
    return 0;
}

void keepTablePlacesAcrossLayoutModes(PastedDocument& pasted, DocumentModel& target,
                                      pugi::xml_node body) {
    const auto& sourceSettings = pasted.settings();
    const bool sourceToBorder = measuresToBorder(layoutModeOf(sourceSettings.document_element()));
    const bool targetToBorder =
        target.settings && measuresToBorder(layoutModeOf(target.settings.doc().document_element()));
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

std::optional<LayoutModeChoice> joinedLayoutMode(const std::vector<std::string>& paths,
                                                 const PackageLimits& limits) {
    if (paths.size() < 2) {
        return std::nullopt;
    }
    const auto first = readModeAndText(paths.front(), limits);
    if (!first) {
        return std::nullopt;
    }
    const bool firstSide = measuresToBorder(first->mode);
    std::uint64_t ownSide = first->text;
    std::uint64_t otherSide = 0;
    std::map<int, std::uint64_t> otherModes;
    for (std::size_t i = 1; i < paths.size(); ++i) {
        const auto found = readModeAndText(paths[i], limits);
        if (!found) {
            continue;
        }
        if (measuresToBorder(found->mode) == firstSide) {
            ownSide += found->text;
        } else {
            otherSide += found->text;
            otherModes[found->mode] += found->text;
        }
    }
    // The first document surely loses its own mode, and text is only a rough measure of how
    // many pages the mode reshapes, so the others must hold clearly more: at a bare majority
    // the corpus lost more pages than it gained (a 15-page document in mode 15 after one of 3
    // pages of denser markup in none).
    if (otherSide <= 2 * ownSide) {
        return std::nullopt;
    }
    LayoutModeChoice choice{paths.front(), 0};
    std::uint64_t most = 0;
    for (const auto& [mode, text] : otherModes) {
        if (text > most) {
            most = text;
            choice.mode = mode;
        }
    }
    return choice;
}

void setLayoutMode(pugi::xml_node settingsRoot, int mode) {
    auto compat = settingsRoot.child("w:compat");
    for (auto setting = compat.child("w:compatSetting"); setting;) {
        const auto next = setting.next_sibling("w:compatSetting");
        if (std::strcmp(setting.attribute("w:name").value(), "compatibilityMode") == 0) {
            compat.remove_child(setting);
        }
        setting = next;
    }
    if (mode == 0) {
        return;
    }
    if (!compat) {
        compat = orderedChild(settingsRoot, "w:compat", kSettingsOrder);
    }
    // Settings of the compatibility options come after the options themselves.
    auto setting = compat.append_child("w:compatSetting");
    setting.append_attribute("w:name") = "compatibilityMode";
    setting.append_attribute("w:uri") = "http://schemas.microsoft.com/office/word";
    setting.append_attribute("w:val") = mode;
}

} // namespace paperloom::engine
