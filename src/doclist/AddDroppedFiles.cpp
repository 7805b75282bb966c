// Accepting and taking dropped file lists.
#include "doclist/AddDroppedFiles.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "doclist/ListItems.h"

namespace paperloom {

QStringList droppedLocalPaths(const QMimeData& data) {
    QStringList paths;
    if (!data.hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

void acceptLocalFilesOnly(QDropEvent& event) {
    const QMimeData* data = event.mimeData();
    if (data == nullptr || droppedLocalPaths(*data).isEmpty()) {
        event.ignore();
        return;
    }
    // A move would tell the source to delete what it dragged once the drop is done.
    if (event.possibleActions().testFlag(Qt::CopyAction)) {
        event.setDropAction(Qt::CopyAction);
    } else if (event.possibleActions().testFlag(Qt::LinkAction)) {
        event.setDropAction(Qt::LinkAction);
    } else {
        event.ignore();
        return;
    }
    event.accept();
}

void addDroppedFiles(QDropEvent& event, ListItems& items) {
    acceptLocalFilesOnly(event);
    if (!event.isAccepted()) {
        return;
    }
    const QStringList paths = droppedLocalPaths(*event.mimeData());
    for (const QString& path : paths) {
        items.Add(path);
    }
}

} // namespace paperloom
