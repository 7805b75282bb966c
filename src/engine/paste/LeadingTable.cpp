// A pasted document that begins with a table keeps that table where it stands on its first page.
#include "engine/paste/LeadingTable.h"

#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PasteSession.h"

#include <algorithm>
#include <string_view>

namespace paperloom::engine {
namespace {

/// The first table or paragraph of the body, looking into content controls and custom XML.
pugi::xml_node firstBlock(pugi::xml_node body) {
    for (auto node = body.first_child(); node;) {
        const std::string_view name = node.name();
        if (name == "w:p" || name == "w:tbl") {
            return node;
        }
        if (name == "w:sdt" && node.child("w:sdtContent").first_child()) {
            node = node.child("w:sdtContent").first_child();
            continue;
        }
        if (name == "w:customXml" && node.first_child()) {
            node = node.first_child();
            continue;
        }
        if (name == "w:sectPr") {
            return {};
        }
        node = node.next_sibling(); // bookmarks, permissions, proofing marks
    }
    return {};
}

/// Whether a comment or a note is anchored anywhere in the table.
bool holdsAnnotations(const pugi::xml_node& table) {
    bool found = false;
    forEachElement(table, [&found](pugi::xml_node element) {
        const std::string_view name = element.name();
        found = found || name == "w:commentRangeStart" || name == "w:commentReference" ||
                name == "w:footnoteReference" || name == "w:endnoteReference";
        return !found;
    });
    return found;
}

/// Whether a footnote or an endnote is referenced anywhere in the body.
bool referencesNotes(const pugi::xml_node& body) {
    bool found = false;
    forEachElement(body, [&found](pugi::xml_node element) {
        const std::string_view name = element.name();
        found = found || name == "w:footnoteReference" || name == "w:endnoteReference";
        return !found;
    });
    return found;
}

/// The section properties that hold for the first block of the body.
pugi::xml_node firstSection(pugi::xml_node body) {
    for (auto node = body.first_child(); node; node = node.next_sibling()) {
        if (auto inner = node.child("w:pPr").child("w:sectPr")) {
            return inner;
        }
    }
    return body.child("w:sectPr");
}

/// Whether LibreOffice makes a floating table at the start of a section a frame, which takes the
/// section's page break with it: where text fits beside it (its width, the distances it keeps
/// from text and 266 twips more are less than the text area's width, or, when it is placed
/// from the page's edge, than the page's width less the narrower side margin), or where the
/// section has columns. Wider tables stay in the text, where the page break holds.
bool becomesFrame(const pugi::xml_node& table, const pugi::xml_node& sectPr) {
    const auto tblPr = table.child("w:tblPr");
    const auto placement = tblPr.child("w:tblpPr");
    if (sectPr.child("w:cols").attribute("w:num").as_int(1) > 1) {
        return true;
    }
    const long long page = sectPr.child("w:pgSz").attribute("w:w").as_llong(0);
    const auto margins = sectPr.child("w:pgMar");
    const long long left = margins.attribute("w:left").as_llong(0);
    const long long right = margins.attribute("w:right").as_llong(0);
    const long long text = page - left - right;
    if (page <= 0 || text <= 0) {
        return false;
    }
    const auto width = tblPr.child("w:tblW");
    const std::string_view type = width.attribute("w:type").value();
    long long tableWidth = 0;
    if (type == "pct") {
        // Fiftieths of a per cent, or a per cent sign after the number.
        const std::string_view value = width.attribute("w:w").value();
        const double share = value.find('%') != std::string_view::npos
                                 ? width.attribute("w:w").as_double() / 100.0
                                 : width.attribute("w:w").as_double() / 5000.0;
        tableWidth = static_cast<long long>(share * static_cast<double>(text));
    } else if ((type.empty() || type == "dxa") && width.attribute("w:w").as_llong(0) > 0) {
        tableWidth = width.attribute("w:w").as_llong(0);
    } else {
        for (auto column : table.child("w:tblGrid").children("w:gridCol")) {
            tableWidth += column.attribute("w:w").as_llong(0);
        }
    }
    // 4.69 mm: where less room than this is left beside the table, LibreOffice wraps nothing.
    constexpr long long kLeastRoomBeside = 266;
    const long long needed = tableWidth + placement.attribute("w:leftFromText").as_llong(0) +
                             placement.attribute("w:rightFromText").as_llong(0) + kLeastRoomBeside;
    if (needed < text) {
        return true;
    }
    return std::string_view(placement.attribute("w:horzAnchor").value()) == "page" &&
           needed < page - std::min(left, right);
}

/// Whether a floating table nested in the table stays in the text (LibreOffice makes no frame of
/// it).
bool holdsFloatingTableInText(const pugi::xml_node& table, const pugi::xml_node& sectPr) {
    bool found = false;
    forEachElement(table, [&](pugi::xml_node element) {
        found =
            found || (element != table && std::string_view(element.name()) == "w:tbl" &&
                      element.child("w:tblPr").child("w:tblpPr") && !becomesFrame(element, sectPr));
        return !found;
    });
    return found;
}

/// Whether the first cell of the table's first row opens with another table.
bool opensWithTableInFirstCell(const pugi::xml_node& table) {
    for (auto node = table.child("w:tr").child("w:tc").first_child(); node;
         node = node.next_sibling()) {
        const std::string_view name = node.name();
        if (name == "w:tbl") {
            return true;
        }
        if (name == "w:p" || name == "w:sdt" || name == "w:customXml") {
            return false;
        }
    }
    return false;
}

/// Whether the section lays its lines on a grid (w:docGrid of type lines, linesAndChars or
/// snapToChars).
bool hasLineGrid(const pugi::xml_node& sectPr) {
    const std::string_view type = sectPr.child("w:docGrid").attribute("w:type").value();
    return !type.empty() && type != "default";
}

/// Whether the two sections lay their lines on the same grid, or neither on one.
bool sameLineGrid(const pugi::xml_node& a, const pugi::xml_node& b) {
    if (!hasLineGrid(a) || !hasLineGrid(b)) {
        return hasLineGrid(a) == hasLineGrid(b);
    }
    const auto gridA = a.child("w:docGrid");
    const auto gridB = b.child("w:docGrid");
    return std::string_view(gridA.attribute("w:type").value()) ==
               gridB.attribute("w:type").value() &&
           gridA.attribute("w:linePitch").as_llong(0) == gridB.attribute("w:linePitch").as_llong(0);
}

/// LibreOffice lays out a table that opens a section on the line grid of the section before it:
/// after a section with a grid, the rows of a table from a section without one grow to whole
/// grid lines. Paragraphs that do not snap to the grid keep their height, and where the table's
/// own section has no grid, not snapping changes nothing.
void keepOffPreviousLineGrid(pugi::xml_node table, const pugi::xml_node& sectPr) {
    if (hasLineGrid(sectPr)) {
        return;
    }
    forEachElement(table, [](pugi::xml_node element) {
        if (std::string_view(element.name()) != "w:p") {
            return true;
        }
        auto pPr = childOrPrepend(element, "w:pPr");
        if (!pPr.child("w:snapToGrid")) {
            orderedChild(pPr, "w:snapToGrid", kParagraphPropertyOrder).append_attribute("w:val") =
                "0";
        }
        return true;
    });
}

} // namespace

void anchorLeadingTable(const DocumentModel& target, pugi::xml_node body) {
    if (target.body.isEmpty()) {
        return;
    }
    const auto first = firstBlock(body);
    if (!first || std::string_view(first.name()) != "w:tbl") {
        return;
    }
    // The paragraph goes before the outermost element that holds the table: a content control
    // stays as it was.
    auto outermost = first;
    while (outermost.parent() != body) {
        outermost = outermost.parent();
    }
    // LibreOffice opens a document that begins with a table with an empty paragraph of its
    // default style, and drops it again unless the document has notes (anywhere) or the table
    // holds a comment; it then anchors a floating table's frame to that paragraph.
    if (holdsAnnotations(first) || referencesNotes(body)) {
        body.insert_child_before("w:p", outermost);
        return;
    }
    const auto section = firstSection(body);
    keepOffPreviousLineGrid(first, section);
    const bool floating = first.child("w:tblPr").child("w:tblpPr");
    // Readers find the anchor of a floating table that stands in the body itself, but
    // LibreOffice loses the page break before one that it makes a frame. A table in the text
    // that holds floating tables LibreOffice keeps in the text, once the page before holds more
    // than a few lines, is laid out within that page's margins instead of its own (BingoSheet
    // after BiographyReport: its cards 54 pt to the right).
    if (floating ? outermost == first && !becomesFrame(first, section)
                 : !holdsFloatingTableInText(first, section)) {
        // A table whose first cell opens with another table LibreOffice lays out on the paper
        // and within the margins of the page before, once that holds more than a few lines
        // (hyperlink-in table after PFVI_Nutrition: on A4). An empty paragraph before it
        // starts the section's own page; with its mark hidden, no reader gives it a line.
        // So is a table on a line grid of its own after such a page without that grid: its rows
        // lost their whole grid lines (table--1's after the 2003 Consumer Confidence Report).
        if (!floating &&
            (opensWithTableInFirstCell(first) ||
             (hasLineGrid(section) && !sameLineGrid(section, target.body.finalSectPr())))) {
            auto paragraph = body.insert_child_before("w:p", outermost);
            paragraph.append_child("w:pPr").append_child("w:rPr").append_child("w:vanish");
        }
        return;
    }
    // An empty paragraph whose mark is hidden: readers anchor the table to it, and it takes no
    // line, so the table and the text after it stay where they stood alone.
    auto paragraph = body.insert_child_before("w:p", outermost);
    paragraph.append_child("w:pPr").append_child("w:rPr").append_child("w:vanish");
}

} // namespace paperloom::engine
