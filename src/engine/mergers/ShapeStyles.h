// What the style references of a shape take from its theme's formatting scheme.
#pragma once

#include <pugixml.hpp>

#include <functional>
#include <string>

namespace paperloom::engine {

/// A theme's formatting scheme (fill, line and effect styles), which a shape's style
/// (wps:style: a:fillRef, a:lnRef, a:effectRef) names by index. Under another theme the same
/// index means another fill or line, so a pasted shape gets its own theme's stated in its
/// properties instead.
class ShapeStyles {
public:
    /// Reads a:fmtScheme as text; an empty or unparsable text states nothing.
    void load(const std::string& formatScheme);
    [[nodiscard]] bool empty() const { return !m_scheme.document_element(); }
    /// Writes into the shape properties beside style the fill, line and effects its references
    /// name, where the properties state none of their own, with the reference's colour in place
    /// of the placeholder; resolveColour is given each copied colour to resolve. A gradient of
    /// the shape's own without a shading gets what the gradient its fill reference names adds to
    /// it, and the reference then names no fill.
    void state(pugi::xml_node style,
               const std::function<void(pugi::xml_node)>& resolveColour) const;

private:
    pugi::xml_document m_scheme;
};

} // namespace paperloom::engine
