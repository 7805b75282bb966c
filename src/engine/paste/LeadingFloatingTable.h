// A pasted document that begins with a floating table keeps that table on its own first page.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;

/// Readers anchor a floating table (w:tblpPr) that opens a content control (a cover page, say)
/// to the paragraph before it; at the start of a pasted body, after a section break, that is
/// the previous document's last paragraph, and the table is drawn on the previous document's
/// last page. Puts an empty paragraph of one point before the content control (or custom XML)
/// when the pasted body begins with such a table, so that it is anchored in its own document.
/// A floating table that stands in the body itself is left alone: readers place it where it
/// belongs. Runs on the source body before the remap; does nothing when the target is empty.
void anchorLeadingFloatingTable(const DocumentModel& target, pugi::xml_node body);

} // namespace paperloom::engine
