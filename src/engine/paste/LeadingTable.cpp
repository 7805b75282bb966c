// A pasted document that begins with a table keeps that table where it stands on its first page.
#include "engine/paste/LeadingTable.h"

#include "engine/package/Xml.h"
#include "engine/paste/PasteSession.h"

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
    if (first.child("w:tblPr").child("w:tblpPr")) {
        // Readers find the anchor of a floating table that stands in the body itself.
        if (outermost == first) {
            return;
        }
        // One exact point high, with a mark of one point: the text after the table moves by
        // that.
        auto paragraph = body.insert_child_before("w:p", outermost);
        auto pPr = paragraph.append_child("w:pPr");
        auto spacing = pPr.append_child("w:spacing");
        spacing.append_attribute("w:before") = "0";
        spacing.append_attribute("w:after") = "0";
        spacing.append_attribute("w:line") = "20";
        spacing.append_attribute("w:lineRule") = "exact";
        auto rPr = pPr.append_child("w:rPr");
        rPr.append_child("w:sz").append_attribute("w:val") = "2";
        rPr.append_child("w:szCs").append_attribute("w:val") = "2";
    } else if (holdsAnnotations(first)) {
        body.insert_child_before("w:p", outermost);
    }
}

} // namespace paperloom::engine
