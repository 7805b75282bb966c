// What a new document takes over from the first document pasted into it.
#pragma once

#include <optional>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;
class PasteRemap;

/// Before anything else of the paste: when the target holds no content yet, its layout settings
/// (settings.xml), theme and styles (styles.xml) become the pasted document's (a theme it lacks
/// is taken out), so the first document keeps its look and later ones are compared against it.
/// Nothing in the target depends on them yet. Does nothing when the target has content.
/// layoutMode, where given, replaces the pasted document's (see joinedLayoutMode): the paste
/// then restates its tables as for any document in another mode.
void adoptFirstDocument(PastedDocument& pasted, DocumentModel& target, PasteRemap& remap,
                        std::optional<int> layoutMode = std::nullopt);

} // namespace paperloom::engine
