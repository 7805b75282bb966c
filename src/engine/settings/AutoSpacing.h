// Automatic paragraph spacing (w:beforeAutospacing, w:afterAutospacing), kept as the document
// it comes from lays it out.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;
class StyleIndex;

/// True when a settings part switches the fixed kind of automatic spacing on
/// (w:compat/w:doNotUseHTMLParagraphAutoSpacing).
[[nodiscard]] bool usesFixedAutoSpacing(const pugi::xml_node& settingsRoot);

/// Under the fixed kind, automatic spacing is 5 pt before and after a paragraph whatever its
/// w:before and w:after say; the joined document has the HTML kind (14 pt, collapsing between
/// paragraphs, none at the top of the document or of a table cell). Writes 5 pt as plain
/// spacing wherever automatic spacing applies in partRoot (a body, header, footer, notes,
/// styles or numbering part). styles indexes the document's styles as they were before any
/// change, defaults is their w:pPrDefault/w:pPr (either may be empty). Returns true when it
/// changed anything.
bool stateFixedAutoSpacing(pugi::xml_node partRoot, const StyleIndex& styles,
                           const pugi::xml_node& defaults);

/// Under the fixed kind, the gap between two paragraphs is the space after the first plus the
/// space before the second; under the HTML kind (the joined document's), the larger of them.
/// Where both are above 0, states their sum as the first one's space after, which keeps the gap
/// under either kind. Works on the paragraphs of partRoot (a body, header, footer or notes
/// part) after stateFixedAutoSpacing; styles indexes the document's styles as that left them,
/// defaults is their w:pPrDefault/w:pPr. Returns true when it changed anything.
bool stateAddedParagraphSpacing(pugi::xml_node partRoot, const StyleIndex& styles,
                                const pugi::xml_node& defaults);

/// The first paragraph of a document has no automatic spacing before it; pasted after other
/// content it would get 14 pt. States no spacing before it when the pasted body's first
/// paragraph has automatic spacing before. Runs on the source body before the remap (style ids
/// are the source's); does nothing when the target is empty.
void keepAutoSpacingAtDocumentStart(PastedDocument& pasted, DocumentModel& target,
                                    pugi::xml_node body);

} // namespace paperloom::engine
