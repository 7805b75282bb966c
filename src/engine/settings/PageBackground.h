// The page background of a joined document.
#pragma once

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;
class PasteRemap;

/// A document has one page background, shown on every page. The first document's becomes the
/// joined document's, with the picture or texture its fill names; as soon as a document with
/// another background (or none) is pasted, the joined document has none, since any one
/// background would change the pages of every document that lacks it.
void mergePageBackground(PastedDocument& pasted, DocumentModel& target, PasteRemap& remap);

} // namespace paperloom::engine
