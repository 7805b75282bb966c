// Line numbers only where a document numbers its lines, once documents are joined.
#include "engine/mergers/LineNumbers.h"

#include "engine/model/DocumentModel.h"
#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <algorithm>
#include <cstring>

namespace paperloom::engine {
namespace {

bool isNamed(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

/// States the suppression on one paragraph; true when it was not stated already.
bool suppressIn(pugi::xml_node paragraph) {
    auto pPr = paragraph.child("w:pPr");
    if (!pPr) {
        pPr = paragraph.prepend_child("w:pPr");
    }
    auto flag = pPr.child("w:suppressLineNumbers");
    if (flag && !flag.attribute("w:val")) {
        return false;
    }
    orderedChild(pPr, "w:suppressLineNumbers", kParagraphPropertyOrder).remove_attributes();
    return true;
}

} // namespace

bool numbersLines(const pugi::xml_node& sectPr) {
    return static_cast<bool>(sectPr.child("w:lnNumType"));
}

bool suppressLineNumbers(pugi::xml_node block) {
    bool changed = false;
    forEachElement(block, [&](pugi::xml_node element) {
        if (isNamed(element, "w:p")) {
            changed = suppressIn(element) || changed;
            return false; // text boxes inside are not numbered anyway
        }
        return !isNamed(element, "w:sectPr");
    });
    return changed;
}

void keepLineNumbersToTheirSections(DocumentModel& target, pugi::xml_node body,
                                    const std::vector<pugi::xml_node>& sections) {
    const bool pastedNumbers = std::any_of(sections.begin(), sections.end(), numbersLines);
    if (pastedNumbers && !target.numbersLines) {
        target.numbersLines = true;
        if (!target.body.isEmpty()) {
            target.body.editBlocks(suppressLineNumbers);
        }
    }
    if (!target.numbersLines) {
        return;
    }
    // A paragraph belongs to the section whose properties come next: those in its own last
    // paragraph, or the final ones.
    std::size_t section = 0;
    for (auto block : body.children()) {
        if (block.type() != pugi::node_element || isNamed(block, "w:sectPr")) {
            continue;
        }
        if (section >= sections.size() || !numbersLines(sections[section])) {
            suppressLineNumbers(block);
        }
        if (block.child("w:pPr").child("w:sectPr")) {
            ++section;
        }
    }
}

void keepLastLineUnnumbered(DocumentModel& target) {
    if (target.numbersLines && !numbersLines(target.body.finalSectPr())) {
        suppressIn(target.body.tail());
    }
}

} // namespace paperloom::engine
