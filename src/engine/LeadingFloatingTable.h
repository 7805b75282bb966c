// A pasted document that begins with a floating table keeps that table on its own first page.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class PasteSession;

/// Readers anchor a floating table (w:tblpPr) to the paragraph before it; at the start of a
/// pasted body, after a section break, that is the previous document's last paragraph, and the
/// table (a cover page, say) is drawn on the previous document's last page. Puts an empty
/// paragraph of one point before such a table, looking through content controls and custom
/// XML, so that it is anchored in its own document. Runs on the source body before the remap;
/// does nothing when the target is empty (nothing stands before the table then).
void anchorLeadingFloatingTable(PasteSession& session, pugi::xml_node body);

} // namespace paperloom::engine
