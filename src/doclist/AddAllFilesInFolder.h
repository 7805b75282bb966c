// Add All Word Files In Folder: every file of one extension in a folder tree, appended.
#pragma once

#include <functional>

#include "doclist/AddFolder.h"

namespace paperloom {

class FolderReader;
class ListItems;
class Prompts;

/// What the command needs from the window beyond the list.
struct FolderAddHooks {
    /// Shows the busy pointer (true) or the default one (false).
    std::function<void(bool)> setBusy;
    /// Lets waiting events run during the search, and says when the search must end early.
    SearchHooks search;
};

/// Asks for an extension ("doc" preset) and a folder, then appends every file of the folder
/// and of all folders below it whose name matches "*." and the extension, the chosen folder's
/// own first and deeper levels later, leaving out names that begin with '~'. Cancel at either
/// question ends it silently without the busy pointer. The busy pointer shows from the chosen
/// folder to the last append.
///
/// Waiting events run while the folders are collected; listing and appending the files does
/// not let them in. When the hooks ask it to stop, the command returns at once and touches
/// neither the list nor the pointer again: the window may be gone by then.
void addAllFilesInFolder(Prompts& prompts, ListItems& items, FolderReader& reader,
                         const FolderAddHooks& hooks);

} // namespace paperloom
