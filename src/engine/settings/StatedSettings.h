// What a pasted document's settings and writer mean to readers, stated in its own parts.
#pragma once

#include "engine/package/Package.h"

#include <optional>
#include <string>

namespace paperloom::engine {

/// A copy of source (sharing the parts it leaves alone) in which what the document's settings
/// and its writer imply for readers is written into its own parts, where the joined document's
/// settings, one set for all its documents, can no longer change it: the defaults of charts
/// written by Office 2007, the paragraph spacing that styles linked to a template
/// (w:linkStyles) take from it, automatic paragraph spacing of the fixed kind
/// (w:doNotUseHTMLParagraphAutoSpacing, then taken out of the settings), gutters at the top of
/// the page (w:gutterAtTop, likewise taken out) as top margins, paragraph marks moved past the
/// page break that ends their paragraph (w:splitPgBreakAndParaMark, likewise), where tabs land
/// when joinedTabInterval (the joined document's default tab interval; none when the pasted
/// document leads and its settings become the joined document's) differs from its own, and
/// where the lines of a section with a line grid start when joinedHasNotes (the joined document
/// has footnotes or endnotes; see LineGrid), unless the document leads (its settings and
/// styles become the joined document's) the style a reader gives what follows a break inside
/// a paragraph (see splitAtInnerBreaks), the values of the document's properties in the
/// content controls bound to them (see BoundProperties), and its page background where
/// joinedBackground (the joined document's shownPageBackground; none when the pasted document
/// leads) differs from it (see PageBackground). A part that does not parse is left as it is,
/// for the paste to report.
[[nodiscard]] Package withOwnSettingsStated(const Package& source, const std::string& mainPart,
                                            std::optional<long> joinedTabInterval,
                                            bool joinedHasNotes,
                                            const std::optional<std::string>& joinedBackground,
                                            bool leads);

} // namespace paperloom::engine
