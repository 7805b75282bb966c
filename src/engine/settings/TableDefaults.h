// Table styles over the document defaults of a pasted document whose defaults differ.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;

/// Where the pasted document's defaults (docDefaults) differ from the target's, the style merge
/// states the source's values in its paragraph styles, which outrank table styles. For
/// paragraphs in tables whose table style sets such a property and whose own style does not,
/// this states the table style's value on the paragraph (a paragraph property) or on its runs
/// and mark (a run property, typeface by typeface, where neither the run nor its character
/// style sets it), as the source showed it. Spacing and indents go attribute group by group,
/// as they inherit (a style that sets only the space after leaves the line height to the
/// table style). Runs on the source body before the remap (style ids are the source's).
/// Also states, on the default-style paragraphs of tables that name a table style, the text
/// size that style (or else the defaults) gave them where the default paragraph style is of
/// 11 or 12 pt, which readers let such a table style outrank; the renamed default style of a
/// joined document would not be outranked.
void keepTableStylesOverDefaults(PastedDocument& pasted, DocumentModel& target,
                                 pugi::xml_node body);

} // namespace paperloom::engine
