// The open dialog's result cut into paths, and the command that appends them.
#include "doclist/AddWordFiles.h"

#include "doclist/ListItems.h"
#include "platform/Prompts.h"

namespace paperloom {

QStringList pathsFromOpenDialogResult(const QString& result) {
    if (result.isEmpty()) {
        return {};
    }
    const QStringList pieces = result.split(QChar(0));
    if (pieces.size() == 1) {
        return pieces;
    }
    const QString& directory = pieces.front();
    const QString separator = directory.endsWith(QChar('/')) ? QString() : QStringLiteral("/");
    QStringList paths;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        if (!pieces[i].isEmpty()) {
            paths << directory + separator + pieces[i];
        }
    }
    return paths;
}

void addWordFiles(Prompts& prompts, ListItems& items) {
    FileDialogSettings settings;
    // An empty name before showing means that an empty one afterwards is a Cancel.
    settings.FileName = QString();
    settings.Flags = kOpenDialogFlags;
    settings.DialogTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
    settings.Filter = QStringLiteral("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*");
    for (const QString& path : pathsFromOpenDialogResult(prompts.ShowOpen(settings))) {
        items.Add(path);
    }
}

} // namespace paperloom
