// Where the paragraph mark after a page break goes (w:splitPgBreakAndParaMark), kept as the
// document lays it out.
#include "engine/settings/PageBreakMarks.h"

#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <cstring>

namespace paperloom::engine {
namespace {

/// What a reader lays out in a run: anything but its properties, an empty text and the mark
/// of where the writer last broke the page.
bool laysOut(const pugi::xml_node& runChild) {
    const char* name = runChild.name();
    if (std::strcmp(name, "w:rPr") == 0 || std::strcmp(name, "w:lastRenderedPageBreak") == 0) {
        return false;
    }
    if (std::strcmp(name, "w:t") == 0 || std::strcmp(name, "w:delText") == 0) {
        return *runChild.child_value() != '\0';
    }
    return true;
}

bool isPageBreak(const pugi::xml_node& element) {
    return std::strcmp(element.name(), "w:br") == 0 &&
           std::strcmp(element.attribute("w:type").value(), "page") == 0;
}

/// The page break that ends a paragraph (nothing laid out after it), and whether anything is
/// laid out before it.
struct EndingBreak {
    pugi::xml_node br;
    bool contentBefore = false;
};

EndingBreak endingBreak(const pugi::xml_node& paragraph) {
    EndingBreak found;
    bool contentSoFar = false;
    forEachElement(paragraph, [&](pugi::xml_node element) {
        if (element == paragraph) {
            return true;
        }
        if (std::strcmp(element.name(), "w:pPr") == 0) {
            return false;
        }
        if (std::strcmp(element.name(), "w:r") != 0) {
            return true; // hyperlinks, insertions, fields: their runs count
        }
        for (auto child : element.children()) {
            if (child.type() != pugi::node_element || !laysOut(child)) {
                continue;
            }
            if (isPageBreak(child)) {
                found = {child, contentSoFar};
            } else {
                found.br = pugi::xml_node();
            }
            contentSoFar = true;
        }
        return false;
    });
    return found;
}

/// Makes the paragraph of these properties start a page.
void startPage(pugi::xml_node properties) {
    orderedChild(properties, "w:pageBreakBefore", kParagraphPropertyOrder)
        .remove_attribute("w:val");
}

/// The empty paragraph that takes the mark to the next page: the properties of the paragraph
/// it came from, without a number of its own (it is not a new item) or the section it ends.
void appendMarkParagraph(pugi::xml_node paragraph) {
    auto mark = paragraph.parent().insert_child_after("w:p", paragraph);
    auto properties = paragraph.child("w:pPr") ? mark.append_copy(paragraph.child("w:pPr"))
                                               : mark.append_child("w:pPr");
    for (const char* dropped : {"w:numPr", "w:sectPr", "w:pPrChange"}) {
        while (auto child = properties.child(dropped)) {
            properties.remove_child(child);
        }
    }
    // Revisions of the mark stay with the mark they were made to (their ids are unique).
    auto markRun = properties.child("w:rPr");
    for (const char* dropped : {"w:ins", "w:del", "w:moveFrom", "w:moveTo", "w:rPrChange"}) {
        while (auto child = markRun.child(dropped)) {
            markRun.remove_child(child);
        }
    }
    auto noNumber = orderedChild(properties, "w:numPr", kParagraphPropertyOrder);
    noNumber.append_child("w:ilvl").append_attribute("w:val") = "0";
    noNumber.append_child("w:numId").append_attribute("w:val") = "0";
    startPage(properties);
}

/// Removes the break, and its run when nothing else is left in it.
void removeBreak(pugi::xml_node br) {
    auto run = br.parent();
    run.remove_child(br);
    for (auto child : run.children()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), "w:rPr") != 0) {
            return;
        }
    }
    run.parent().remove_child(run);
}

/// Walks the blocks of a body (or of a content control in it) in order; firstInSection is true
/// while no paragraph of the current section has passed.
bool stateInBlocks(pugi::xml_node container, bool& firstInSection) {
    bool changed = false;
    for (auto block = container.first_child(); block;) {
        const auto next = block.next_sibling();
        const char* name = block.name();
        if (std::strcmp(name, "w:sdt") == 0) {
            changed = stateInBlocks(block.child("w:sdtContent"), firstInSection) || changed;
        } else if (std::strcmp(name, "w:tbl") == 0) {
            firstInSection = false;
        } else if (std::strcmp(name, "w:p") == 0) {
            const bool endsSection = block.child("w:pPr").child("w:sectPr");
            const auto ending = endsSection ? EndingBreak{} : endingBreak(block);
            if (ending.br) {
                removeBreak(ending.br);
                if (ending.contentBefore || firstInSection) {
                    appendMarkParagraph(block);
                } else {
                    startPage(childOrPrepend(block, "w:pPr"));
                }
                changed = true;
            }
            firstInSection = endsSection;
        }
        block = next;
    }
    return changed;
}

} // namespace

bool stateSplitPageBreaks(pugi::xml_node mainRoot) {
    bool firstInSection = true;
    return stateInBlocks(mainRoot.child("w:body"), firstInSection);
}

} // namespace paperloom::engine
