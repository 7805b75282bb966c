// Where the paragraph mark after a page break goes (w:splitPgBreakAndParaMark), and the
// paragraph a reader starts at a break inside a paragraph, kept as the document lays them out.
#include "engine/settings/PageBreakMarks.h"

#include "engine/package/Xml.h"
#include "engine/package/XmlOrder.h"

#include <cstring>
#include <initializer_list>
#include <string_view>

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

bool isInnerBreak(const pugi::xml_node& element) {
    if (std::strcmp(element.name(), "w:br") != 0) {
        return false;
    }
    const char* type = element.attribute("w:type").value();
    return std::strcmp(type, "page") == 0 || std::strcmp(type, "column") == 0;
}

bool holdsAny(const pugi::xml_node& parent, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (parent.child(name)) {
            return true;
        }
    }
    return false;
}

/// Whether a paragraph can be split in two at a break and read the same: it has the default
/// style, no number or frame, nothing that marks a revision of its properties or its mark (the
/// ids of revisions are unique), and only runs, bookmarks and comment ranges, without fields.
bool splittable(const pugi::xml_node& paragraph, const std::string& defaultStyle) {
    const auto properties = paragraph.child("w:pPr");
    const std::string style = properties.child("w:pStyle").attribute("w:val").value();
    if ((!style.empty() && style != defaultStyle) ||
        holdsAny(properties, {"w:numPr", "w:framePr", "w:pPrChange"}) ||
        holdsAny(properties.child("w:rPr"),
                 {"w:ins", "w:del", "w:moveFrom", "w:moveTo", "w:rPrChange"})) {
        return false;
    }
    for (auto child : paragraph.children()) {
        const std::string_view name = child.name();
        if (name == "w:r") {
            if (holdsAny(child, {"w:fldChar", "w:instrText"}) ||
                child.child("w:rPr").child("w:rPrChange")) {
                return false;
            }
        } else if (name != "w:pPr" && name != "w:bookmarkStart" && name != "w:bookmarkEnd" &&
                   name != "w:proofErr" && name != "w:commentRangeStart" &&
                   name != "w:commentRangeEnd" && name != "w:permStart" && name != "w:permEnd") {
            return false;
        }
    }
    return true;
}

/// Whether a reader takes this run child as a shape of its own: a VML shape, or a drawing of a
/// shape, group or canvas (as such or as the first choice of alternate content). LibreOffice
/// places pictures in the paragraph they are in, but ends a paragraph at a break that opens it
/// when a shape follows, so that the shape lands on the page after the break.
bool startsShape(const pugi::xml_node& runChild) {
    const std::string_view name = runChild.name();
    if (name == "w:pict") {
        return true;
    }
    if (name == "mc:AlternateContent") {
        const auto choice = runChild.child("mc:Choice");
        return choice.child("w:pict") ||
               (choice.child("w:drawing") && startsShape(choice.child("w:drawing")));
    }
    if (name != "w:drawing") {
        return false;
    }
    for (auto frame : runChild.children()) {
        const std::string_view uri =
            frame.child("a:graphic").child("a:graphicData").attribute("uri").value();
        for (const char* kind :
             {"wordprocessingShape", "wordprocessingGroup", "wordprocessingCanvas"}) {
            if (uri.ends_with(kind)) {
                return true;
            }
        }
    }
    return false;
}

/// Where LibreOffice starts a new paragraph in a paragraph: at the first page or column break
/// with something laid out before it that text follows (the new paragraph keeps the
/// paragraph's properties), or that a shape follows, wherever the break stands (the new
/// paragraph starts afresh, of the default style without properties of its own); never at one
/// that ends the paragraph.
struct SplittingBreak {
    pugi::xml_node br;
    bool restStartsAfresh = false;
    explicit operator bool() const { return static_cast<bool>(br); }
};

SplittingBreak splittingBreak(const pugi::xml_node& paragraph) {
    bool contentSoFar = false;
    pugi::xml_node pending;
    bool pendingSplits = false;
    for (auto run : paragraph.children("w:r")) {
        for (auto child : run.children()) {
            if (child.type() != pugi::node_element || !laysOut(child)) {
                continue;
            }
            if (pending && startsShape(child)) {
                return {pending, true};
            }
            if (pending && pendingSplits) {
                return {pending, false};
            }
            pending = isInnerBreak(child) ? child : pugi::xml_node();
            pendingSplits = contentSoFar;
            contentSoFar = true;
        }
    }
    return {};
}

/// Moves what comes before br and br itself into a new paragraph of the same properties
/// before its own (not ending a section: the rest does), splitting br's run in two. A rest that
/// starts afresh keeps only the section it ends.
void splitAfter(pugi::xml_node br, bool restStartsAfresh) {
    auto run = br.parent();
    auto paragraph = run.parent();
    auto head = paragraph.parent().insert_child_before("w:p", paragraph);
    if (const auto properties = paragraph.child("w:pPr")) {
        auto copy = head.append_copy(properties);
        while (auto section = copy.child("w:sectPr")) {
            copy.remove_child(section);
        }
    }
    for (auto child = paragraph.first_child(); child != run;) {
        const auto next = child.next_sibling();
        if (std::strcmp(child.name(), "w:pPr") != 0) {
            head.append_move(child);
        }
        child = next;
    }
    auto headRun = head.append_child("w:r");
    for (auto attribute : run.attributes()) {
        headRun.append_attribute(attribute.name()) = attribute.value();
    }
    if (const auto runProperties = run.child("w:rPr")) {
        headRun.append_copy(runProperties);
    }
    for (auto child = run.first_child(); child;) {
        const auto next = child.next_sibling();
        const bool last = child == br;
        if (std::strcmp(child.name(), "w:rPr") != 0) {
            headRun.append_move(child);
        }
        if (last) {
            break;
        }
        child = next;
    }
    if (restStartsAfresh) {
        auto properties = paragraph.child("w:pPr");
        for (auto child = properties.first_child(); child;) {
            const auto next = child.next_sibling();
            if (std::strcmp(child.name(), "w:sectPr") != 0) {
                properties.remove_child(child);
            }
            child = next;
        }
    }
    for (auto child : run.children()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), "w:rPr") != 0) {
            return;
        }
    }
    paragraph.remove_child(run);
}

bool splitInBlocks(pugi::xml_node container, const std::string& defaultStyle) {
    bool changed = false;
    for (auto block : container.children()) {
        const char* name = block.name();
        if (std::strcmp(name, "w:sdt") == 0) {
            changed = splitInBlocks(block.child("w:sdtContent"), defaultStyle) || changed;
        } else if (std::strcmp(name, "w:customXml") == 0) {
            changed = splitInBlocks(block, defaultStyle) || changed;
        } else if (std::strcmp(name, "w:p") == 0 && splittable(block, defaultStyle)) {
            while (const auto split = splittingBreak(block)) {
                splitAfter(split.br, split.restStartsAfresh);
                changed = true;
            }
        }
    }
    return changed;
}

} // namespace

bool splitAtInnerBreaks(pugi::xml_node mainRoot, const std::string& defaultStyle) {
    return splitInBlocks(mainRoot.child("w:body"), defaultStyle);
}

bool stateSplitPageBreaks(pugi::xml_node mainRoot) {
    bool firstInSection = true;
    return stateInBlocks(mainRoot.child("w:body"), firstInSection);
}

} // namespace paperloom::engine
