// A pasted document's document defaults, stated where they still reach its content once the
// joined document's defaults are in force.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class FontMerger;

/// The run and paragraph properties in which the pasted document's defaults (w:docDefaults)
/// differ from the joined document's, as the pasted document means them: each differing
/// property is its own value, and an attribute that only the joined document's value sets
/// (w:before of w:spacing, a theme font of w:rFonts) gets the value the format gives it when
/// absent. A document without defaults, or without a styles part, differs by everything the
/// joined document's defaults set. Languages without a value of their own stay the joined
/// document's: the format leaves them to the reader.
class DefaultsDelta {
public:
    /// Compares the defaults under two w:styles elements (either may be empty); the pasted
    /// defaults' theme fonts are resolved as fonts says.
    DefaultsDelta(const FontMerger& fonts, const pugi::xml_node& sourceStyles,
                  const pugi::xml_node& targetStyles);

    /// Run properties (children of a w:rPr) and paragraph properties (of a w:pPr).
    [[nodiscard]] pugi::xml_node runProperties() const { return m_rPr; }
    [[nodiscard]] pugi::xml_node paragraphProperties() const { return m_pPr; }
    [[nodiscard]] bool empty() const { return !m_rPr.first_child() && !m_pPr.first_child(); }

    /// Writes the delta into a paragraph style that inherits from no other style (a copy
    /// about to join the target's styles): every property and attribute it does not set
    /// itself, so that it and the styles based on it look as they did.
    void foldInto(pugi::xml_node style) const;

private:
    pugi::xml_document m_holder;
    pugi::xml_node m_rPr;
    pugi::xml_node m_pPr;
};

} // namespace paperloom::engine
