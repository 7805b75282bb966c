// Stacking positions of floating shapes, read and moved.
//
// LibreOffice places each floating shape it reads among the shapes it read before by comparing
// positions, but a picture anchored in a floating table does not keep the place its position
// gives it. Where two joined documents' positions interleave, a later document's shapes that
// fall below such a picture of an earlier one lose their own order (a white card drawn under
// the grey one it covers alone). Each pasted document's positions in front of the text are
// therefore moved above the joined document's: documents keep their own order and share no
// range. Those behind the text (negative z-indexes) stay: moved below the others' they came to
// lie among an earlier document's shapes behind the text, and lost their order there (an
// invitation's circles drawn under its background).
#include "engine/model/StackingOrder.h"

#include "engine/package/Xml.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace paperloom::engine {
namespace {

constexpr std::int64_t maxPosition = std::numeric_limits<std::int32_t>::max();

struct ZIndexSpan {
    std::size_t begin = 0; // of the number, sign included
    std::size_t end = 0;
};

/// Where the number of the z-index property stands in a VML style.
std::optional<ZIndexSpan> zIndexSpan(const std::string& style) {
    std::size_t at = 0;
    while ((at = style.find("z-index", at)) != std::string::npos) {
        const bool starts = at == 0 || style[at - 1] == ';' ||
                            std::isspace(static_cast<unsigned char>(style[at - 1])) != 0;
        std::size_t i = at + std::strlen("z-index");
        at = i;
        if (!starts) {
            continue;
        }
        while (i < style.size() && std::isspace(static_cast<unsigned char>(style[i])) != 0) {
            ++i;
        }
        if (i == style.size() || style[i] != ':') {
            continue;
        }
        ++i;
        while (i < style.size() && std::isspace(static_cast<unsigned char>(style[i])) != 0) {
            ++i;
        }
        ZIndexSpan span{i, i};
        if (span.end < style.size() && (style[span.end] == '-' || style[span.end] == '+')) {
            ++span.end;
        }
        const std::size_t digits = span.end;
        while (span.end < style.size() && span.end - digits < 12 &&
               std::isdigit(static_cast<unsigned char>(style[span.end])) != 0) {
            ++span.end;
        }
        if (span.end == digits ||
            (span.end < style.size() && style[span.end] != ';' &&
             std::isspace(static_cast<unsigned char>(style[span.end])) == 0)) {
            return std::nullopt; // "auto", a fraction or a number too long to be one
        }
        return span;
    }
    return std::nullopt;
}

bool isAnchor(const pugi::xml_node& element) {
    return localName(element.name()) == "anchor" && element.attribute("relativeHeight");
}

} // namespace

std::optional<std::int64_t> stackingPosition(const pugi::xml_node& element) {
    if (isAnchor(element)) {
        const char* text = element.attribute("relativeHeight").value();
        char* end = nullptr;
        const long long value = std::strtoll(text, &end, 10);
        if (end == text || *end != '\0' || value < 0 || value > maxPosition) {
            return std::nullopt;
        }
        return value;
    }
    const auto style = element.attribute("style");
    if (!style || prefixOf(element.name()) == "w") {
        return std::nullopt;
    }
    const std::string text = style.value();
    const auto span = zIndexSpan(text);
    if (!span) {
        return std::nullopt;
    }
    const long long value = std::strtoll(text.c_str() + span->begin, nullptr, 10);
    if (value > maxPosition || value < -maxPosition) {
        return std::nullopt;
    }
    return value;
}

void setStackingPosition(pugi::xml_node element, std::int64_t value) {
    if (isAnchor(element)) {
        element.attribute("relativeHeight").set_value(std::to_string(value).c_str());
        return;
    }
    auto style = element.attribute("style");
    if (!style) {
        return;
    }
    std::string text = style.value();
    if (const auto span = zIndexSpan(text)) {
        text.replace(span->begin, span->end - span->begin, std::to_string(value));
        style.set_value(text.c_str());
    }
}

void StackingRange::add(const pugi::xml_node& node) {
    forEachElement(node, [this](pugi::xml_node element) {
        if (const auto position = stackingPosition(element); position && *position >= 0) {
            least = least < 0 ? *position : std::min(least, *position);
            most = std::max(most, *position);
        }
        return true;
    });
}

std::int64_t stackingShift(std::int64_t targetMost, const StackingRange& pasted) {
    if (pasted.least < 0 || pasted.least > targetMost) {
        return 0;
    }
    const std::int64_t shift = targetMost + 1 - pasted.least;
    return pasted.most + shift > maxPosition ? 0 : shift;
}

std::int64_t shiftedPosition(std::int64_t value, std::int64_t shift) {
    return value < 0 ? value : value + shift;
}

} // namespace paperloom::engine
