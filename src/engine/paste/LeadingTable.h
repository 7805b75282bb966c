// A pasted document that begins with a table keeps that table where it stands on its first page.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;

/// What readers put before a table that begins a pasted body, where it starts a section of the
/// joined document:
/// - a floating table (w:tblpPr) that opens a content control (a cover page, say) is anchored to
///   the paragraph before it, the previous document's last one, and drawn on the previous
///   document's last page. An empty paragraph whose mark is hidden goes before the content
///   control (or custom XML), so that the table is anchored in its own document; it takes no
///   line, so a table LibreOffice keeps in the text does not move (one of a point moved
///   BusinessReport's cover page down by that). A floating table that
///   stands in the body itself is left alone (readers place it where it belongs) unless
///   LibreOffice makes it a frame, which takes the page break before it along: where text fits
///   beside it, or its section has columns.
/// - LibreOffice opens a section that begins with a table with an empty paragraph, and keeps it
///   where the table holds comments or notes, or the document has notes anywhere: at the start
///   of a document one of its default paragraph style, in the joined document a copy of the
///   paragraph that ends the previous section, the previous document's last. An empty paragraph
///   goes before the table of such a document, floating or not, which the paste gives the
///   pasted document's own default style, so that the table (or the frame LibreOffice anchors
///   to it) and the text after it stand a line of its own document down, as they do alone. (A
///   word processor that adds no such paragraph shows that line.)
/// - LibreOffice lays a table whose first cell opens with another table out on the paper and
///   within the margins of the page before, once that holds more than a few lines, and a table
///   whose section has a line grid, after such a page, on the grid of the section before it, if
///   any. An empty paragraph whose mark is hidden goes before such a table: it starts the
///   section's own page and takes no line.
/// - LibreOffice can lay a table that opens a section out on the line grid of the section before
///   it. Where no paragraph goes before the table and its own section has no line grid, its
///   paragraphs are stated not to snap to a grid, which changes nothing off a grid.
/// Runs on the source body before the remap; does nothing when the target is empty.
void anchorLeadingTable(const DocumentModel& target, pugi::xml_node body);

} // namespace paperloom::engine
