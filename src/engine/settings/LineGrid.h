// Where the lines of a section with a line grid start once the joined document has notes.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;

/// A section with a line grid (w:docGrid of type lines, linesAndChars or snapToChars) fits a
/// whole number of grid lines between its top and bottom margins. LibreOffice centres those
/// lines in the space between the margins, but only in a document without footnotes or
/// endnotes: in a joined document that has notes, a document without them would start its
/// lines up to half a grid line higher than it does on its own. For such a horizontal section
/// (sectPr) without page borders, vertical alignment or a header that may reach below its top
/// margin, moves the top margin down by half the spare space, where the lines started; as many
/// still fit on a page. Returns true when it changed the section.
bool stateLineGridStart(pugi::xml_node sectPr);

/// stateLineGridStart for every section of mainRoot (a body part's document element). Returns
/// true when it changed anything.
bool stateLineGridPosition(pugi::xml_node mainRoot);

/// Whether notesRoot (the document element of a footnotes or endnotes part, or null) holds a
/// note besides the separators.
[[nodiscard]] bool holdsNotes(const pugi::xml_node& notesRoot);

/// Whether document has footnotes or endnotes besides the separators.
[[nodiscard]] bool hasNotes(const DocumentModel& document);

} // namespace paperloom::engine
