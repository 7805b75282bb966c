// Where the paragraph mark after a page break goes (w:splitPgBreakAndParaMark), and the
// paragraph a reader starts at a break inside a paragraph, kept as the document lays them out.
#pragma once

#include <pugixml.hpp>

#include <string>

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

/// LibreOffice ends a paragraph at a page or column break that follows something it lays out
/// and lays out the rest as a paragraph of the document's default paragraph style with the
/// paragraph's own properties; where a shape (VML, or a drawing of a shape, group or canvas)
/// follows the break, wherever it stands, the rest is of the default style without properties
/// of its own. In a joined document that is the first document's default style. Each such
/// paragraph of mainRoot (a body part's document element) whose style is the default one anyway
/// (defaultStyle, or none) is split there in two, the first of its properties ending in the
/// break, so that the rest names its own document's default style as the paste gives it (word
/// processors lay out a paragraph that ends in a break the same way). Paragraphs in tables, with a
/// number, a frame, revisions of their properties, fields, or markup besides runs, bookmarks and
/// comment ranges stay as they are. Returns true when it changed anything.
bool splitAtInnerBreaks(pugi::xml_node mainRoot, const std::string& defaultStyle);

} // namespace paperloom::engine
