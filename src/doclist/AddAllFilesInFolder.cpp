// The folder command: the two questions, the search, and the appends.
#include "doclist/AddAllFilesInFolder.h"

#include "doclist/ListItems.h"
#include "platform/Prompts.h"

namespace paperloom {

void addAllFilesInFolder(Prompts& prompts, ListItems& items, FolderReader& reader,
                         const FolderAddHooks& hooks) {
    const QString extension =
        prompts.InputBox(QStringLiteral("Enter file extension to load:"), QStringLiteral("doc"));
    if (extension.isEmpty()) {
        return;
    }
    const QString chosen = BrowseForFolder(prompts, QStringLiteral("Please select folder to add:"));
    if (chosen.isEmpty()) {
        return;
    }
    if (hooks.setBusy) {
        hooks.setBusy(true);
    }

    // Every entry ends in exactly one '/', the root "/" included.
    QStringList workList{chosen.endsWith(QChar('/')) ? chosen : chosen + QChar('/')};
    if (!CollectSubfolders(workList, reader, hooks.search)) {
        return;
    }
    const QString pattern = QStringLiteral("*.") + extension;
    // Folders are all collected before the first file is appended; listing and appending run
    // without letting events in, so nothing else changes the list in between.
    for (const QString& entry : workList) {
        const QString folder = entry.chopped(1);
        for (const QString& name : ListMatchingFiles(folder, pattern, reader)) {
            // Lock and temporary files of the word processor, such as ~$report.doc.
            if (name.startsWith(QChar('~'))) {
                continue;
            }
            items.Add(folder + QChar('/') + name);
        }
    }
    if (hooks.setBusy) {
        hooks.setBusy(false);
    }
}

} // namespace paperloom
