// The page background of a joined document, and each document's own on its own pages.
#pragma once

#include "engine/package/Package.h"

#include <string>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;
class PasteRemap;

/// A document has one page background, shown on every page: the first document's becomes the
/// joined document's, with the picture or texture its fill names, and stays whatever the
/// documents after it have (they state their own, see statePageBackground).
void mergePageBackground(PastedDocument& pasted, DocumentModel& target, PasteRemap& remap);

/// The page background the joined document shows, as w:background markup: "" when it has none,
/// or when its settings do not display it (w:displayBackgroundShape), as readers then show none.
[[nodiscard]] std::string shownPageBackground(const DocumentModel& target);

/// Where the background of a document pasted after the first (in out, its main part mainPart;
/// shown: its settings display it) differs from the joined document's (joinedBackground, as
/// shownPageBackground gives it), states the pasted document's own page colour in its
/// sections: a shape of that colour (white for none) behind the text, covering the page, in
/// every header its sections show. Sections without a header get a stand-in one of a 1 pt line
/// holding the shape. Pictures, textures and gradients become the background's colour, as
/// LibreOffice draws them. A main part, its relationships or content types that do not parse
/// leave out as it is, for the paste to report.
void statePageBackground(Package& out, const std::string& mainPart, bool shown,
                         const std::string& joinedBackground);

} // namespace paperloom::engine
