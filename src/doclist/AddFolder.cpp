// Browsing for a folder, collecting the folders below it and listing their matching files.
//
// The directory order of Linux file systems is arbitrary (hash order on ext4, creation order
// elsewhere), so the names of each folder are put in a stable order: by name without regard to
// letter case, then by exact name. Two searches of one tree therefore always list its files in
// the same order, and siblings come in the order a file manager shows them.
#include "doclist/AddFolder.h"

#include <algorithm>
#include <memory>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "doclist/FolderReader.h"
#include "doclist/NamePattern.h"
#include "platform/Prompts.h"

namespace paperloom {
namespace {

void sortByName(std::vector<FolderEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int folded = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
}

bool isHidden(const QString& name) {
    return name.startsWith(QChar('.'));
}

} // namespace

std::function<void()> eventsAtMostEvery(std::chrono::milliseconds interval) {
    auto since = std::make_shared<QElapsedTimer>();
    return [since, interval] {
        if (!since->isValid() || since->elapsed() >= interval.count()) {
            QCoreApplication::processEvents();
            since->start();
        }
    };
}

bool letEventsRun(const SearchHooks& hooks) {
    if (hooks.yield) {
        hooks.yield();
    }
    return !(hooks.stopRequested && hooks.stopRequested());
}

QString BrowseForFolder(Prompts& prompts, const QString& title) {
    return prompts.BrowseForFolder(title);
}

bool CollectSubfolders(QStringList& workList, FolderReader& reader, const SearchHooks& hooks) {
    // Searching the list while it grows visits the starting entries, then all their direct
    // sub-folders, then the next level, each parent's folders together: breadth first.
    for (qsizetype next = 0; next < workList.size(); ++next) {
        const QString folder = workList[next];
        std::optional<std::vector<FolderEntry>> entries = reader.read(folder);
        if (!letEventsRun(hooks)) {
            return false;
        }
        if (!entries) {
            continue;
        }
        sortByName(*entries);
        for (const FolderEntry& entry : *entries) {
            if (!letEventsRun(hooks)) {
                return false;
            }
            if (entry.kind == FolderEntry::Kind::Folder && !isHidden(entry.name)) {
                workList << folder + entry.name + QChar('/');
            }
        }
    }
    return true;
}

QStringList ListMatchingFiles(const QString& folder, const QString& pattern, FolderReader& reader) {
    const QString path = folder.endsWith(QChar('/')) ? folder : folder + QChar('/');
    std::optional<std::vector<FolderEntry>> entries = reader.read(path);
    QStringList names;
    if (!entries) {
        return names;
    }
    sortByName(*entries);
    for (const FolderEntry& entry : *entries) {
        if (entry.kind == FolderEntry::Kind::File && matchesNamePattern(entry.name, pattern)) {
            names << entry.name;
        }
    }
    return names;
}

} // namespace paperloom
