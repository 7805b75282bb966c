// Where the paragraph mark after a page break goes (w:splitPgBreakAndParaMark), kept as the
// document lays it out.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

/// When the settings say w:compat/w:splitPgBreakAndParaMark, the mark of a paragraph that ends
/// in a page break goes to the next page, where it takes a line of its own; without it the
/// break falls after the mark and the next paragraph starts the page. The joined document has
/// one such setting for all its documents, so each paragraph of mainRoot (a body part's
/// document element) that ends in a page break says it plainly: the break gives way to an empty
/// paragraph of the same properties (not numbered) that starts the next page, or, where the
/// paragraph holds nothing but the break and does not start a section, the paragraph itself
/// starts the next page. Paragraphs in tables, and those that end a section, stay as they are.
/// Returns true when it changed anything.
bool stateSplitPageBreaks(pugi::xml_node mainRoot);

} // namespace paperloom::engine
