// Paragraphs of nothing but fields keep their formatting after a table of contents.
#pragma once

#include "engine/package/Package.h"

#include <pugixml.hpp>

#include <string>

namespace paperloom::engine {

/// True when the part below root holds a table of contents field (TOC, also of figures), a
/// complex or a simple one.
[[nodiscard]] bool holdsTableOfContents(const pugi::xml_node& root);

/// LibreOffice 7.4 shows a field that is all a paragraph holds (a page number in a footer, a
/// date or an author on a line of its own) without its runs' formatting, in the paragraph's,
/// once a table of contents came anywhere before it in the document: a document joined after
/// one with a table of contents lost the size, weight and face of such fields. A character
/// style does reach them. Returns a copy of source (sharing the parts it leaves alone) in which
/// every run of such a paragraph that formats its text also names a character style of the
/// same properties (based on the style it named), its own properties left in place, so that
/// word processors that keep them show the same: in the body up to the document's own first
/// table of contents (after it the document shows its fields so alone too), and in its headers
/// and footers when it has none. Parts that do not parse, and a package without styles, are
/// left as they are.
[[nodiscard]] Package withFieldFormattingStyled(const Package& source, const std::string& mainPart);

} // namespace paperloom::engine
