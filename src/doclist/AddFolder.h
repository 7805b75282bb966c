// The folder browser and the two searches behind Add All Word Files In Folder.
#pragma once

#include <chrono>
#include <functional>

#include <QStringList>

namespace paperloom {

class FolderReader;
class Prompts;

/// What a search that lets waiting events run needs from its caller.
struct SearchHooks {
    /// Lets the window process its pending events (repaint, input) and returns.
    std::function<void()> yield;
    /// True once the search must end early: the window was closed while events ran.
    std::function<bool()> stopRequested;
};

/// A yield for the hooks that lets the application's waiting events run at its first call and
/// then at most once per interval. The search offers to yield after every name; running the
/// events each time would let the list lay itself out anew after every appended entry.
[[nodiscard]] std::function<void()> eventsAtMostEvery(std::chrono::milliseconds interval);

/// Lets waiting events run; false when the search must end early.
[[nodiscard]] bool letEventsRun(const SearchHooks& hooks);

/// Shows the folder browser with title; the chosen folder's path, or the empty text on Cancel.
[[nodiscard]] QString BrowseForFolder(Prompts& prompts, const QString& title);

/// Appends to workList, whose entries are folder paths ending in '/', every folder below them
/// at any depth, each ending in '/': level by level, grouped by parent in the parents' order,
/// siblings by name. Hidden folders (names beginning with '.') and links to folders are not
/// entered; a folder that cannot be read is passed over. Lets waiting events run once per
/// folder searched and once per name it holds. Returns false, with workList only partly
/// extended, when the hooks ask it to stop.
[[nodiscard]] bool CollectSubfolders(QStringList& workList, FolderReader& reader,
                                     const SearchHooks& hooks);

/// The names of the files (hidden ones included, folders not) directly in folder whose names
/// match pattern, ordered by name; nothing when the folder cannot be read.
[[nodiscard]] QStringList ListMatchingFiles(const QString& folder, const QString& pattern,
                                            FolderReader& reader);

} // namespace paperloom
