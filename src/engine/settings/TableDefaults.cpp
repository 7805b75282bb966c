// Table styles over the document defaults of a pasted document whose defaults differ.
#include "engine/settings/TableDefaults.h"

#include "engine/model/DocumentModel.h"
#include "engine/model/StyleIndex.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"
#include "engine/paste/PastedDocument.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace paperloom::engine {
void keepTableStylesOverDefaults(PastedDocument& pasted, DocumentModel& target,
                                 pugi::xml_node body) {
    const auto& sourceDoc = pasted.styles();
    if (!sourceDoc.document_element() || !target.styles) {
        return;
    }
    const auto sourceDefaults =
        sourceDoc.document_element().child("w:docDefaults").child("w:pPrDefault").child("w:pPr");
    const auto targetDefaults = target.styles.doc()
                                    .document_element()
                                    .child("w:docDefaults")
                                    .child("w:pPrDefault")
                                    .child("w:pPr");
    std::vector<std::string> differing;
    for (const auto& props : {sourceDefaults, targetDefaults}) {
        for (auto property : props.children()) {
            const char* name = property.name();
            const auto mine = sourceDefaults.child(name);
            const auto theirs = targetDefaults.child(name);
            if ((!mine || !theirs || serializeNode(mine) != serializeNode(theirs)) &&
                std::strcmp(name, "w:rPr") != 0 &&
                std::find(differing.begin(), differing.end(), name) == differing.end()) {
                differing.emplace_back(name);
            }
        }
    }
    if (differing.empty()) {
        return;
    }
    const StyleIndex styles(sourceDoc.document_element());
    forEachElement(body, [&](pugi::xml_node table) {
        if (std::strcmp(table.name(), "w:tbl") != 0) {
            return true;
        }
        std::string tableStyle =
            table.child("w:tblPr").child("w:tblStyle").attribute("w:val").value();
        if (tableStyle.empty()) {
            tableStyle = styles.defaultTable();
        }
        for (const auto& name : differing) {
            const auto fromTable = styles.property(tableStyle, "w:pPr", name.c_str());
            if (!fromTable) {
                continue;
            }
            for (auto row : table.children("w:tr")) {
                for (auto cell : row.children("w:tc")) {
                    for (auto paragraph : cell.children("w:p")) {
                        auto pPr = paragraph.child("w:pPr");
                        if (pPr.child(name.c_str())) {
                            continue;
                        }
                        std::string style = pPr.child("w:pStyle").attribute("w:val").value();
                        if (style.empty()) {
                            style = styles.defaultParagraph();
                        }
                        if (styles.property(style, "w:pPr", name.c_str())) {
                            continue;
                        }
                        insertOrdered(childOrPrepend(paragraph, "w:pPr"), fromTable,
                                      kParagraphPropertyOrder);
                    }
                }
            }
        }
        return true; // nested tables have their own style
    });
}

} // namespace paperloom::engine
