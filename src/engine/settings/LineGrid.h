// Where the lines of a section with a line grid start, kept whatever notes the joined document has.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

/// A section with a line grid (w:docGrid of type lines, linesAndChars or snapToChars) fits a
/// whole number of grid lines between its top and bottom margins. LibreOffice centres those
/// lines in the space between the margins, but only in a document without footnotes or
/// endnotes: a document of that kind starts them half the spare space lower than the same
/// document does after a join with one that has notes. For each such horizontal section of
/// mainRoot (a body part's document element, of a document without notes) without page
/// borders or vertical alignment, moves half the spare space into the top margin and the rest,
/// but for a few twips, into the bottom margin, so that readers start the lines where
/// LibreOffice put them, with or without centring, and fit as many on a page. Returns true when
/// it changed anything.
bool stateLineGridPosition(pugi::xml_node mainRoot);

} // namespace paperloom::engine
