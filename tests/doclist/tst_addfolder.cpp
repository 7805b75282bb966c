// Adding every file of one extension from a folder tree: matching, order, links, the window.
#include <map>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "FormFixture.h"
#include "ListTestHelpers.h"
#include "doclist/AddAllFilesInFolder.h"
#include "doclist/FolderReader.h"
#include "doclist/NamePattern.h"
#include "shell/PictureCheckBox.h"

using namespace paperloom;
using paperloom::test::FormFixture;
using paperloom::test::ScriptedPrompts;
using paperloom::test::texts;

namespace {

// Makes a file (with any folders above it) under root; a path ending in '/' makes a folder.
void make(const QString& root, const QString& relative) {
    const QString path = root + QChar('/') + relative;
    if (relative.endsWith(QChar('/'))) {
        QVERIFY(QDir().mkpath(path));
        return;
    }
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList under(const QString& root, const QStringList& relatives) {
    QStringList paths;
    for (const QString& relative : relatives) {
        paths << root + QChar('/') + relative;
    }
    return paths;
}

// Folders read from a table instead of the disk; a folder missing from it cannot be read.
class TableReader final : public FolderReader {
public:
    std::map<QString, std::vector<FolderEntry>> folders;
    QStringList reads;

    std::optional<std::vector<FolderEntry>> read(const QString& folder) override {
        reads << folder;
        const auto found = folders.find(folder);
        if (found == folders.end()) {
            return std::nullopt;
        }
        return found->second;
    }
};

// The disk, except for folders that are made unreadable.
class FailingReader final : public FolderReader {
public:
    QStringList unreadable;
    std::optional<std::vector<FolderEntry>> read(const QString& folder) override {
        if (unreadable.contains(folder)) {
            return std::nullopt;
        }
        return disk.read(folder);
    }

private:
    FileSystemFolderReader disk;
};

// Records the pointer shapes the window shows, in order, each change once.
class PointerWatcher : public QObject {
public:
    explicit PointerWatcher(QWidget& window) : m_window(window) { window.installEventFilter(this); }
    QList<Qt::CursorShape> shapes;
    [[nodiscard]] bool showedBusy() const { return shapes.contains(Qt::WaitCursor); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::CursorChange &&
            (shapes.isEmpty() || shapes.back() != m_window.cursor().shape())) {
            shapes << m_window.cursor().shape();
        }
        return false;
    }

private:
    QWidget& m_window;
};

} // namespace

class AddFolderTest : public QObject {
    Q_OBJECT

private:
    // Answers both questions and presses "Add All Word Files In Folder".
    static void addFolder(FormFixture& fixture, const QString& extension, const QString& folder) {
        fixture.prompts.inputBoxAnswers.push_back(extension);
        fixture.prompts.folderAnswers.push_back(folder);
        QTest::mouseClick(fixture.form->Check4, Qt::LeftButton);
    }

    // The command over a table of folders, answering both questions.
    static QStringList addFromTable(TableReader& reader, const QString& extension,
                                    const QString& folder) {
        ScriptedPrompts prompts;
        prompts.inputBoxAnswers.push_back(extension);
        prompts.folderAnswers.push_back(folder);
        QTableWidget view(0, 1);
        ListItems items(view);
        addAllFilesInFolder(prompts, items, reader, {});
        return texts(items);
    }

private slots:
    void namePatterns_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("matches");

        QTest::newRow("plain") << "report.doc"
                               << "doc" << true;
        QTest::newRow("upper-case name") << "REPORT.DOC"
                                         << "doc" << true;
        QTest::newRow("upper-case extension") << "Report.Doc"
                                              << "DOC" << true;
        QTest::newRow("four letters begin with three") << "a.docx"
                                                       << "doc" << true;
        QTest::newRow("macro document") << "a.DOCM"
                                        << "doc" << true;
        QTest::newRow("other three letters") << "a.dot"
                                             << "doc" << false;
        QTest::newRow("shorter extension") << "a.do"
                                           << "doc" << false;
        QTest::newRow("extension only inside") << "a.doc.txt"
                                               << "doc" << false;
        QTest::newRow("dots before") << "a.b.doc"
                                     << "doc" << true;
        QTest::newRow("no dot") << "doc"
                                << "doc" << false;
        QTest::newRow("rich text") << "a.rtf"
                                   << "rtf" << true;
        QTest::newRow("word document for rtf") << "a.doc"
                                               << "rtf" << false;
        QTest::newRow("four letters typed") << "a.docx"
                                            << "docx" << true;
        QTest::newRow("four letters typed, three found") << "a.doc"
                                                         << "docx" << false;
        QTest::newRow("four letters typed, five found") << "a.docxy"
                                                        << "docx" << false;
        QTest::newRow("question mark") << "a.dot"
                                       << "do?" << true;
        QTest::newRow("question mark, long extension") << "a.docx"
                                                       << "do?" << true;
        QTest::newRow("question mark needs a character") << "a.do"
                                                         << "do?" << false;
        QTest::newRow("star in the extension") << "a.docx"
                                               << "d*" << true;
        QTest::newRow("star in the extension, other") << "a.txt"
                                                      << "d*" << false;
        QTest::newRow("star: every name") << "README"
                                          << "*" << true;
        QTest::newRow("star: hidden name") << ".profile"
                                           << "*" << true;
        QTest::newRow("star: many dots") << "a.b.c"
                                         << "*" << true;
        QTest::newRow("leading dot kept") << "a.doc"
                                          << ".doc" << false;
        QTest::newRow("non-ASCII letters") << "Übersicht.ÄBC"
                                           << "äbc" << true;
        QTest::newRow("two-part extension") << "notes.tar.gz"
                                            << "tar.gz" << true;
    }

    void namePatterns() {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(bool, matches);
        QCOMPARE(matchesNamePattern(name, QStringLiteral("*.") + extension), matches);
    }

    void foldersAreCollectedLevelByLevel() {
        QTemporaryDir root;
        const QString d = root.path();
        // Made deepest and last first: the order on disk must not matter.
        for (const char* relative :
             {"B/B1/", "A/A1/", "B/", "A/", "a/", ".hidden/inner/", "~old/", "B/B1/B2/"}) {
            make(d, relative);
        }
        QVERIFY(QFile::link(d + "/A", d + "/B/link-to-A"));

        QStringList workList{d + "/"};
        QVERIFY(CollectSubfolders(workList, *std::make_unique<FileSystemFolderReader>(), {}));
        QCOMPARE(workList, under(d, {"", "A/", "a/", "B/", "~old/", "A/A1/", "B/B1/", "B/B1/B2/"}));
    }

    void exampleTreeThroughTheButton() {
        QTemporaryDir root;
        const QString d = root.path();
        for (const char* relative : {"B/B1/y.doc", "A/A1/x.doc", "B/b.doc", "A/a.doc", "z.doc",
                                     "a.doc", "~$a.doc", "notes.txt"}) {
            make(d, relative);
        }
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        form.listItems().Add("/earlier/entry.doc");
        PointerWatcher pointer(form);

        addFolder(fixture, "doc", d);

        QCOMPARE(texts(form.listItems()), QStringList{"/earlier/entry.doc"} +
                                              under(d, {"a.doc", "z.doc", "A/a.doc", "B/b.doc",
                                                        "A/A1/x.doc", "B/B1/y.doc"}));
        QCOMPARE(fixture.prompts.asked.size(), size_t(2));
        QCOMPARE(fixture.prompts.asked[0].text, QStringLiteral("Enter file extension to load:"));
        QCOMPARE(fixture.prompts.asked[0].defaultText, QStringLiteral("doc"));
        QCOMPARE(fixture.prompts.asked[1].text, QStringLiteral("Please select folder to add:"));
        QVERIFY(fixture.prompts.messages().isEmpty());
        QCOMPARE(pointer.shapes, (QList<Qt::CursorShape>{Qt::WaitCursor, Qt::ArrowCursor}));
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(form.Check4->Value(), 0);

        // The same folder again: every file a second time, after the first set.
        addFolder(fixture, "doc", d + "/");
        QCOMPARE(form.listItems().Count(), 13);
        QCOMPARE(form.listItems()(8).Text(), d + "/a.doc");
        QCOMPARE(form.listItems()(13).Text(), d + "/B/B1/y.doc");
    }

    void tildeNamesAndHiddenFoldersAreLeftOut() {
        QTemporaryDir root;
        const QString d = root.path();
        for (const char* relative : {"a.doc", "~$a.doc", ".hidden.doc", ".secret/s.doc",
                                     "~old/c.doc", "Sub/~$lock.doc", "Sub/d.doc", "Sub/.e.doc"}) {
            make(d, relative);
        }
        FormFixture fixture;
        addFolder(fixture, "doc", d);
        QCOMPARE(texts(fixture.form->listItems()),
                 under(d, {".hidden.doc", "a.doc", "Sub/.e.doc", "Sub/d.doc", "~old/c.doc"}));
    }

    void extensionsMatchWithoutRegardToCase() {
        QTemporaryDir root;
        const QString d = root.path();
        for (const char* relative : {"A.DOC", "b.docx", "c.docm", "d.dot", "e.rtf", "f.doc.bak",
                                     "REPORT.Doc", "g.RTF", "folder.doc/h.txt"}) {
            make(d, relative);
        }
        FormFixture fixture;
        addFolder(fixture, "doc", d);
        QCOMPARE(texts(fixture.form->listItems()),
                 under(d, {"A.DOC", "b.docx", "c.docm", "REPORT.Doc"}));

        FormFixture rtf;
        addFolder(rtf, "rtf", d);
        QCOMPARE(texts(rtf.form->listItems()), under(d, {"e.rtf", "g.RTF"}));

        FormFixture star;
        addFolder(star, "*", d);
        QCOMPARE(texts(star.form->listItems()),
                 under(d, {"A.DOC", "b.docx", "c.docm", "d.dot", "e.rtf", "f.doc.bak", "g.RTF",
                           "REPORT.Doc", "folder.doc/h.txt"}));
    }

    void linksToFoldersAreNotFollowed() {
        QTemporaryDir root;
        const QString d = root.path();
        make(d, "a.doc");
        make(d, "sub/real.doc");
        QVERIFY(QFile::link(d, d + "/loop"));
        QVERIFY(QFile::link(d + "/sub", d + "/sub/up"));
        QVERIFY(QFile::link(d + "/sub/real.doc", d + "/linked.doc"));
        QVERIFY(QFile::link(d + "/nowhere.doc", d + "/broken.doc"));
        QVERIFY(QFile::link(d + "/sub", d + "/folder-link.doc"));
        QCOMPARE(::mkfifo(QFile::encodeName(d + "/pipe.doc").constData(), 0600), 0);

        FormFixture fixture;
        addFolder(fixture, "doc", d);
        QCOMPARE(texts(fixture.form->listItems()),
                 under(d, {"a.doc", "linked.doc", "sub/real.doc"}));
    }

    void unreadableFoldersArePassedOver() {
        QTemporaryDir root;
        const QString d = root.path();
        for (const char* relative : {"a.doc", "A/a.doc", "A/deep/x.doc", "B/b.doc"}) {
            make(d, relative);
        }
        FailingReader reader;
        reader.unreadable << d + "/A/";
        ScriptedPrompts prompts;
        prompts.inputBoxAnswers.push_back("doc");
        prompts.folderAnswers.push_back(d);
        QTableWidget view(0, 1);
        ListItems items(view);
        addAllFilesInFolder(prompts, items, reader, {});
        QCOMPARE(texts(items), under(d, {"a.doc", "B/b.doc"}));
        QVERIFY(prompts.messages().isEmpty());
    }

    void unreadableFoldersOnDiskArePassedOver() {
        if (::geteuid() == 0) {
            QSKIP("the superuser reads every folder");
        }
        QTemporaryDir root;
        const QString d = root.path();
        make(d, "a.doc");
        make(d, "closed/c.doc");
        make(d, "open/o.doc");
        QVERIFY(QFile::setPermissions(d + "/closed", QFileDevice::Permissions()));
        FormFixture fixture;
        addFolder(fixture, "doc", d);
        QFile::setPermissions(d + "/closed", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
        QCOMPARE(texts(fixture.form->listItems()), under(d, {"a.doc", "open/o.doc"}));
        QVERIFY(fixture.prompts.messages().isEmpty());
    }

    void theRootFolderGivesSingleSeparators() {
        TableReader reader;
        reader.folders["/"] = {{"a.doc", FolderEntry::Kind::File},
                               {"home", FolderEntry::Kind::Folder},
                               {"proc", FolderEntry::Kind::Folder}};
        reader.folders["/home/"] = {{"b.doc", FolderEntry::Kind::File},
                                    {"ann", FolderEntry::Kind::Folder}};
        reader.folders["/home/ann/"] = {{"c.docx", FolderEntry::Kind::File}};
        QCOMPARE(addFromTable(reader, "doc", "/"),
                 (QStringList{"/a.doc", "/home/b.doc", "/home/ann/c.docx"}));
        // "/proc/" could not be read and was passed over.
        QVERIFY(reader.reads.contains("/proc/"));
    }

    void namesComeInAStableOrder() {
        TableReader reader;
        reader.folders["/d/"] = {
            {"b.doc", FolderEntry::Kind::File},     {"B.doc", FolderEntry::Kind::File},
            {"a.doc", FolderEntry::Kind::File},     {"C.doc", FolderEntry::Kind::File},
            {"Émile.doc", FolderEntry::Kind::File}, {"10.doc", FolderEntry::Kind::File},
            {"2.doc", FolderEntry::Kind::File}};
        QCOMPARE(addFromTable(reader, "doc", "/d"),
                 (QStringList{"/d/10.doc", "/d/2.doc", "/d/a.doc", "/d/B.doc", "/d/b.doc",
                              "/d/C.doc", "/d/Émile.doc"}));
    }

    void cancelAtEitherQuestionShowsNoBusyPointer_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<size_t>("questions");
        QTest::newRow("extension cancelled or empty") << QString() << "/tmp" << size_t(1);
        QTest::newRow("folder browser cancelled") << "doc" << QString() << size_t(2);
    }

    void cancelAtEitherQuestionShowsNoBusyPointer() {
        QFETCH(QString, extension);
        QFETCH(QString, folder);
        QFETCH(size_t, questions);
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        form.listItems().Add("/d/a.doc");
        PointerWatcher pointer(form);

        addFolder(fixture, extension, folder);

        QCOMPARE(fixture.prompts.asked.size(), questions);
        QVERIFY(!pointer.showedBusy());
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(texts(form.listItems()), QStringList{"/d/a.doc"});
        QVERIFY(fixture.prompts.messages().isEmpty());
    }

    void theBusyPointerShowsUntilTheLastAppend() {
        TableReader reader;
        reader.folders["/d/"] = {{"a.doc", FolderEntry::Kind::File},
                                 {"s", FolderEntry::Kind::Folder}};
        reader.folders["/d/s/"] = {{"b.doc", FolderEntry::Kind::File}};
        ScriptedPrompts prompts;
        prompts.inputBoxAnswers.push_back("doc");
        prompts.folderAnswers.push_back("/d");
        QTableWidget view(0, 1);
        ListItems items(view);
        QList<std::pair<bool, int>> busyAt;
        int yields = 0;
        FolderAddHooks hooks;
        hooks.setBusy = [&](bool busy) { busyAt.append({busy, items.Count()}); };
        hooks.search.yield = [&] {
            ++yields;
            QCOMPARE(busyAt.size(), 1);
        };
        addAllFilesInFolder(prompts, items, reader, hooks);
        QCOMPARE(busyAt, (QList<std::pair<bool, int>>{{true, 0}, {false, 2}}));
        // Once per folder searched and once per name in it; none while appending.
        QCOMPARE(yields, 5);
    }

    void aStopWhileSearchingEndsAtOnce() {
        TableReader reader;
        reader.folders["/d/"] = {{"a.doc", FolderEntry::Kind::File},
                                 {"s", FolderEntry::Kind::Folder}};
        reader.folders["/d/s/"] = {{"b.doc", FolderEntry::Kind::File}};
        ScriptedPrompts prompts;
        prompts.inputBoxAnswers.push_back("doc");
        prompts.folderAnswers.push_back("/d");
        QTableWidget view(0, 1);
        ListItems items(view);
        QList<bool> busy;
        int offers = 0;
        FolderAddHooks hooks;
        hooks.setBusy = [&](bool value) { busy << value; };
        hooks.search.stopRequested = [&] { return ++offers == 3; };
        addAllFilesInFolder(prompts, items, reader, hooks);
        QCOMPARE(items.Count(), 0);
        // The window may be gone: the pointer is left alone.
        QCOMPARE(busy, QList<bool>{true});
    }

    void eventsRunAtTheFirstOfferAndThenAtMostOncePerInterval() {
        int ran = 0;
        const auto post = [&] {
            QMetaObject::invokeMethod(
                this, [&] { ++ran; }, Qt::QueuedConnection);
        };
        const std::function<void()> slow = eventsAtMostEvery(std::chrono::hours(1));
        post();
        slow();
        QCOMPARE(ran, 1);
        post();
        slow();
        QCOMPARE(ran, 1);
        const std::function<void()> always = eventsAtMostEvery(std::chrono::milliseconds(0));
        always();
        QCOMPARE(ran, 2);
        post();
        always();
        QCOMPARE(ran, 3);
    }

    void eventsRunWhileTheWindowSearches() {
        QTemporaryDir root;
        make(root.path(), "a.doc");
        make(root.path(), "sub/b.doc");
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        std::optional<MousePointerValue> pointerDuringSearch;
        int entriesDuringSearch = -1;
        QTimer::singleShot(0, &form, [&] {
            pointerDuringSearch = form.MousePointer();
            entriesDuringSearch = form.listItems().Count();
            // A second press while the first search runs is passed over.
            QTest::mouseClick(form.Check4, Qt::LeftButton);
        });
        addFolder(fixture, "doc", root.path());
        QCOMPARE(pointerDuringSearch, std::optional(MousePointerValue::Busy));
        QCOMPARE(entriesDuringSearch, 0);
        QCOMPARE(fixture.prompts.asked.size(), size_t(2));
        QCOMPARE(form.listItems().Count(), 2);
        QCOMPARE(form.Check4->Value(), 0);
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);
    }

    void closingTheWindowEndsTheSearch() {
        QTemporaryDir root;
        make(root.path(), "a.doc");
        make(root.path(), "sub/b.doc");
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        QTimer::singleShot(0, &form, [&] { form.close(); });
        addFolder(fixture, "doc", root.path());
        QVERIFY(form.isClosing());
        QCOMPARE(form.listItems().Count(), 0);
        QVERIFY(fixture.prompts.messages().isEmpty());
    }

    void aWindowDestroyedDuringTheSearchIsNotTouched() {
        QTemporaryDir root;
        make(root.path(), "a.doc");
        make(root.path(), "sub/b.doc");
        FormFixture fixture;
        Form1* form = fixture.form.get();
        form->show();
        fixture.prompts.inputBoxAnswers.push_back("doc");
        fixture.prompts.folderAnswers.push_back(root.path());
        QTimer::singleShot(0, [&] { fixture.form.reset(); });
        {
            const QSignalBlocker quiet(form->Check4);
            form->Check4->setValue(1);
        }
        form->Check4_Click();
        QVERIFY(!fixture.form);
    }
};

QTEST_MAIN(AddFolderTest)
#include "tst_addfolder.moc"
