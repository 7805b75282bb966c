// Where the gutter of a document's pages goes (w:gutterAtTop), kept as the document lays it out.
#include "engine/settings/GutterPosition.h"

#include "engine/package/Xml.h"

#include <cstring>
#include <string>

namespace paperloom::engine {
namespace {

/// What readers take for a page margin or header distance the section leaves out.
constexpr long long kDefaultTopMargin = 1440;
constexpr long long kDefaultHeaderDistance = 720;

void setTwips(pugi::xml_node margins, const char* name, long long value) {
    auto attr = margins.attribute(name);
    if (!attr) {
        attr = margins.append_attribute(name);
    }
    attr = std::to_string(value).c_str();
}

} // namespace

bool stateGutterAtTop(pugi::xml_node mainRoot) {
    bool changed = false;
    forEachElement(mainRoot, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:pgMar") != 0) {
            return true;
        }
        const long long gutter = element.attribute("w:gutter").as_llong(0);
        if (gutter <= 0) {
            return false;
        }
        // A negative top margin is a fixed one (the text does not give way to a long header):
        // the gutter widens it all the same.
        const long long top = element.attribute("w:top").as_llong(kDefaultTopMargin);
        setTwips(element, "w:top", top < 0 ? top - gutter : top + gutter);
        setTwips(element, "w:header",
                 element.attribute("w:header").as_llong(kDefaultHeaderDistance) + gutter);
        setTwips(element, "w:gutter", 0);
        changed = true;
        return false;
    });
    return changed;
}

} // namespace paperloom::engine
