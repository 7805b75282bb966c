// Where the lines of a section with a line grid start, kept whatever notes the joined document has.
#include "engine/settings/LineGrid.h"

#include "engine/package/Xml.h"

#include <cstring>
#include <string>
#include <string_view>

namespace paperloom::engine {
namespace {

/// Spare space left between the margins: LibreOffice measures the page in hundredths of a
/// millimetre, and a body of exactly so many lines can come out a twip short of the last one.
constexpr long long kSlack = 6;
/// Less than this of a shift (half a point) does not move a line on any page.
constexpr long long kLeastShift = 10;

bool hasLineGrid(const pugi::xml_node& sectPr) {
    const std::string_view type = sectPr.child("w:docGrid").attribute("w:type").value();
    return type == "lines" || type == "linesAndChars" || type == "snapToChars";
}

bool isHorizontal(const pugi::xml_node& sectPr) {
    const auto direction = sectPr.child("w:textDirection");
    const std::string_view value = direction.attribute("w:val").value();
    return !direction || value == "lrTb";
}

/// Page borders and vertical alignment follow the margins, not the lines: such a section is
/// left as it is.
bool placesMoreThanLines(const pugi::xml_node& sectPr) {
    const std::string_view align = sectPr.child("w:vAlign").attribute("w:val").value();
    return sectPr.child("w:pgBorders") || (!align.empty() && align != "top");
}

bool stateInSection(pugi::xml_node sectPr) {
    if (!hasLineGrid(sectPr) || !isHorizontal(sectPr) || placesMoreThanLines(sectPr)) {
        return false;
    }
    const long long pitch = sectPr.child("w:docGrid").attribute("w:linePitch").as_llong(0);
    const long long height = sectPr.child("w:pgSz").attribute("w:h").as_llong(0);
    auto margins = sectPr.child("w:pgMar");
    auto top = margins.attribute("w:top");
    auto bottom = margins.attribute("w:bottom");
    if (pitch <= 0 || !top || !bottom || top.as_llong(-1) < 0 || bottom.as_llong(-1) < 0) {
        return false;
    }
    const long long body = height - top.as_llong() - bottom.as_llong();
    if (body < pitch) {
        return false;
    }
    const long long spare = body % pitch;
    const long long shift = spare / 2;
    if (shift < kLeastShift) {
        return false;
    }
    top = std::to_string(top.as_llong() + shift).c_str();
    bottom = std::to_string(bottom.as_llong() + spare - shift - kSlack).c_str();
    return true;
}

} // namespace

bool stateLineGridPosition(pugi::xml_node mainRoot) {
    bool changed = false;
    forEachElement(mainRoot, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:sectPrChange") == 0) {
            return false; // a section as it was before a tracked change
        }
        if (std::strcmp(element.name(), "w:sectPr") != 0) {
            return true;
        }
        changed = stateInSection(element) || changed;
        return false;
    });
    return changed;
}

} // namespace paperloom::engine
