// Files dropped on the list from the file manager, appended to the document list.
#pragma once

#include <QStringList>

class QDropEvent;
class QMimeData;

namespace paperloom {

class ListItems;

/// The local file and folder paths the dragged data carries (its text/uri-list), decoded and
/// otherwise unchanged, in the data's order; remote addresses are left out.
[[nodiscard]] QStringList droppedLocalPaths(const QMimeData& data);

/// Accepts dragged data that carries local files, as a copy, and refuses everything else, so
/// that the pointer shows no drop. A source that would only let the files be moved is refused
/// too: the list records where files lie and never takes them away from there.
void acceptLocalFilesOnly(QDropEvent& event);

/// Takes a drop that acceptLocalFilesOnly accepts: appends each local path as a new last entry,
/// in the data's order, wherever over the list it was dropped; folders become single entries.
/// Any other drop is refused and changes nothing.
void addDroppedFiles(QDropEvent& event, ListItems& items);

} // namespace paperloom
