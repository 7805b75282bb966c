// Tabs of a pasted document whose default tab interval is not the joined document's, kept where
// its own interval puts them.
#pragma once

#include "engine/model/StyleIndex.h"

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace paperloom::engine {

/// The interval of default tab stops a settings part gives (w:defaultTabStop), in twips: 720,
/// what readers take, when it gives none or no positive value.
[[nodiscard]] long defaultTabInterval(const pugi::xml_node& settingsRoot);

/// False when a part's XML certainly holds no tab character (a run's w:tab, written without
/// attributes, unlike a tab stop), so it need not be parsed.
[[nodiscard]] bool mayHoldTabCharacters(std::string_view xml);

/// The text widths of a main part's sections, for the stops of parts the body does not hold.
struct SectionWidths {
    /// Each header or footer relationship id with the narrowest section that names it.
    std::unordered_map<std::string, long> byReference;
    /// The narrowest section (notes, comments, unnamed headers).
    long narrowest = 0;
};
[[nodiscard]] SectionWidths sectionWidths(const pugi::xml_node& documentRoot);

/// A tab goes to the next stop of its paragraph; past the last stop its own or its style chain
/// (with list level) sets, to the next multiple of the document's default interval. Once the
/// joined document's interval applies there, the stops are stated instead: each paragraph that
/// holds a tab gets left stops at the pasted document's interval beyond its last stop and its
/// left indent (so the tab after a list number still goes to the level's indent), up to the
/// text width. Right-to-left paragraphs are left alone, as are paragraphs beyond a bound of
/// added stops (a hostile document would otherwise grow many times over).
class DefaultTabStops {
public:
    /// stylesRoot and numberingRoot (either may be empty) are the document's w:styles and
    /// w:numbering as they were; they must outlive this object. interval is its own, in twips.
    DefaultTabStops(const pugi::xml_node& stylesRoot, const pugi::xml_node& numberingRoot,
                    long interval);

    /// States the stops in a main part, each paragraph up to its own section's text width.
    /// Returns true when it changed anything.
    bool stateInBody(pugi::xml_node documentRoot);
    /// States the stops in a header, footer, notes or comments part whose text is at most
    /// textWidth wide. Returns true when it changed anything.
    bool stateInPart(pugi::xml_node partRoot, long textWidth);

private:
    /// The w:pPr of the list level a paragraph (with its style chain) is numbered with.
    [[nodiscard]] pugi::xml_node listLevel(const pugi::xml_node& pPr,
                                           const std::vector<pugi::xml_node>& chain) const;
    bool stateInParagraph(pugi::xml_node paragraph, long textWidth);

    StyleIndex m_styles;
    pugi::xml_node m_defaults; // w:docDefaults/w:pPrDefault/w:pPr
    std::unordered_map<std::string, pugi::xml_node> m_abstractById;
    std::unordered_map<std::string, pugi::xml_node> m_numById;
    long m_interval;
    std::size_t m_budget; // stops that may still be added
};

} // namespace paperloom::engine
