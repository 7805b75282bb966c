// Where the lines of a section with a line grid start once the joined document has notes.
#include "engine/settings/LineGrid.h"

#include "engine/model/DocumentModel.h"
#include "engine/package/Xml.h"

#include <cstring>
#include <string>
#include <string_view>

namespace paperloom::engine {
namespace {

bool hasLineGrid(const pugi::xml_node& sectPr) {
    const std::string_view type = sectPr.child("w:docGrid").attribute("w:type").value();
    return type == "lines" || type == "linesAndChars" || type == "snapToChars";
}

bool isHorizontal(const pugi::xml_node& sectPr) {
    const auto direction = sectPr.child("w:textDirection");
    const std::string_view value = direction.attribute("w:val").value();
    return !direction || value == "lrTb";
}

/// What readers take for a header distance the section leaves out.
constexpr long long kDefaultHeaderDistance = 720;
/// Room for one line of a header above the top margin.
constexpr long long kHeaderLine = 240;

/// Page borders and vertical alignment follow the margins, not the lines; a header that
/// reaches below the top margin pushes the lines down by its own height, which only a reader
/// knows. Such a section is left as it is.
bool linesStartElsewhere(const pugi::xml_node& sectPr) {
    const std::string_view align = sectPr.child("w:vAlign").attribute("w:val").value();
    const auto margins = sectPr.child("w:pgMar");
    const long long header = margins.attribute("w:header").as_llong(kDefaultHeaderDistance);
    return sectPr.child("w:pgBorders") || (!align.empty() && align != "top") ||
           margins.attribute("w:top").as_llong(0) < header + kHeaderLine;
}

} // namespace

bool stateLineGridStart(pugi::xml_node sectPr) {
    if (!hasLineGrid(sectPr) || !isHorizontal(sectPr) || linesStartElsewhere(sectPr)) {
        return false;
    }
    const long long pitch = sectPr.child("w:docGrid").attribute("w:linePitch").as_llong(0);
    const long long height = sectPr.child("w:pgSz").attribute("w:h").as_llong(0);
    auto margins = sectPr.child("w:pgMar");
    auto top = margins.attribute("w:top");
    const auto bottom = margins.attribute("w:bottom");
    if (pitch <= 0 || !top || !bottom || top.as_llong(-1) < 0 || bottom.as_llong(-1) < 0) {
        return false;
    }
    const long long body = height - top.as_llong() - bottom.as_llong();
    if (body < pitch) {
        return false;
    }
    const long long shift = body % pitch / 2;
    if (shift == 0) {
        return false;
    }
    top = std::to_string(top.as_llong() + shift).c_str();
    return true;
}

bool stateLineGridPosition(pugi::xml_node mainRoot) {
    bool changed = false;
    forEachElement(mainRoot, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:sectPr") != 0) {
            return true;
        }
        changed = stateLineGridStart(element) || changed;
        return false; // not the former properties a tracked change keeps
    });
    return changed;
}

bool holdsNotes(const pugi::xml_node& notesRoot) {
    for (auto note : notesRoot.children()) {
        const std::string_view type = note.attribute("w:type").value();
        if ((std::strcmp(note.name(), "w:footnote") == 0 ||
             std::strcmp(note.name(), "w:endnote") == 0) &&
            (type.empty() || type == "normal")) {
            return true;
        }
    }
    return false;
}

bool hasNotes(const DocumentModel& document) {
    return holdsNotes(document.footnotes.doc().document_element()) ||
           holdsNotes(document.endnotes.doc().document_element());
}

} // namespace paperloom::engine
