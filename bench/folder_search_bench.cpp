// Measures Add All Word Files In Folder over a large tree: files per second, the longest time
// the window goes without processing its events, and the peak memory.
//
// usage: folder_search_bench [FOLDERS [FILES_PER_FOLDER]]   (defaults 20000 and 10)
// The tree is built in a temporary folder and removed afterwards.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "doclist/AddAllFilesInFolder.h"
#include "doclist/DocumentListView.h"
#include "doclist/FolderReader.h"
#include "doclist/ListItems.h"
#include "platform/Prompts.h"

namespace {

using Clock = std::chrono::steady_clock;

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Answers the two questions of the command and nothing else.
class FixedAnswers final : public paperloom::Prompts {
public:
    explicit FixedAnswers(QString folder) : m_folder(std::move(folder)) {}
    paperloom::MsgBoxResult MsgBox(const QString&, paperloom::MsgBoxButtons) override {
        return paperloom::MsgBoxResult::OK;
    }
    QString InputBox(const QString&, const QString& defaultText) override { return defaultText; }
    QString ShowOpen(const paperloom::FileDialogSettings&) override { return {}; }
    QString ShowSave(const paperloom::FileDialogSettings&) override { return {}; }
    QString BrowseForFolder(const QString&) override { return m_folder; }

private:
    QString m_folder;
};

// Three levels below the root: 20 folders, 10 in each, the rest spread over the third level.
// Each folder holds Word documents, lock files, newer documents and other files.
void buildTree(const QString& root, int folders, int filesPerFolder, int& made) {
    const QStringList kinds{"report %1.doc", "~$lock %1.doc", "draft %1.docx", "notes %1.txt",
                            "Letter %1.DOC"};
    QStringList level{root};
    QStringList all;
    int remaining = folders;
    for (int width : {20, 10, std::max(1, (folders - 220 + 199) / 200)}) {
        QStringList next;
        for (const QString& parent : level) {
            for (int i = 0; i < width && remaining > 0; ++i, --remaining) {
                const QString path = parent + QStringLiteral("/folder %1").arg(i);
                QDir().mkdir(path);
                next << path;
            }
        }
        all << next;
        level = next;
    }
    all.prepend(root);
    for (const QString& folder : all) {
        for (int i = 0; i < filesPerFolder; ++i) {
            QFile file(folder + QChar('/') + kinds[i % kinds.size()].arg(i));
            if (file.open(QIODevice::WriteOnly)) {
                ++made;
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int folders = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : 10;

    QTemporaryDir root;
    if (!root.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    int files = 0;
    const auto building = Clock::now();
    buildTree(root.path(), folders, filesPerFolder, files);
    std::printf("tree: %d files in about %d folders, built in %.1f s\n", files, folders + 1,
                secondsSince(building));

    paperloom::DocumentListView list;
    list.addColumn(QStringLiteral("Word File(s)"), 333);
    list.show();
    paperloom::ListItems items(list);
    FixedAnswers prompts(root.path());
    paperloom::FileSystemFolderReader reader;

    // A zero timer fires whenever the application gets to process its events; the longest
    // time between two of its rounds is how long the window stood still.
    long rounds = 0;
    double longestGap = 0;
    auto lastRound = Clock::now();
    QTimer heartbeat;
    heartbeat.setInterval(0);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, secondsSince(lastRound));
        lastRound = Clock::now();
        ++rounds;
    });

    paperloom::FolderAddHooks hooks;
    hooks.setBusy = [&](bool busy) {
        if (busy) {
            heartbeat.start();
            lastRound = Clock::now();
        } else {
            longestGap = std::max(longestGap, secondsSince(lastRound));
            heartbeat.stop();
        }
    };
    hooks.search.yield = paperloom::eventsAtMostEvery(std::chrono::milliseconds(15));
    const auto searching = Clock::now();
    paperloom::addAllFilesInFolder(prompts, items, reader, hooks);
    const double seconds = secondsSince(searching);

    std::printf("search: %d files seen, %d entries added in %.2f s\n", files, items.Count(),
                seconds);
    std::printf("  %.0f files per second, %ld event rounds, longest time without events %.0f ms\n",
                files / seconds, rounds, longestGap * 1000);
    std::printf("  peak memory %.0f MiB\n", peakRssMiB());
    return 0;
}
