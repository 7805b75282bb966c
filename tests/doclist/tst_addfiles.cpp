// Filling the list from the open dialog and from files dropped on it.
#include <QMimeData>
#include <QtTest>

#include "FormFixture.h"
#include "ListTestHelpers.h"
#include "doclist/AddWordFiles.h"
#include "doclist/DocumentListView.h"
#include "platform/QtPrompts.h"
#include "shell/PictureCheckBox.h"

using namespace paperloom;
using paperloom::test::FormFixture;
using paperloom::test::rowCentre;
using paperloom::test::texts;

namespace {

QString nul(const QStringList& pieces) {
    return pieces.join(QChar(0));
}

// Dragged data carrying a file list, as a file manager sends it.
std::unique_ptr<QMimeData> fileList(const QList<QUrl>& urls) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

struct DropResult {
    bool enterAccepted = false;
    Qt::DropAction enterAction = Qt::IgnoreAction;
    bool moveAccepted = false;
    bool dropAccepted = false;
};

// Enters, moves over and drops on the list at a point, as the platform's drag machinery does.
DropResult dragAndDrop(Form1& form, const QMimeData& data, QPoint at,
                       Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    QWidget* target = form.ListView1->viewport();
    DropResult result;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    result.enterAccepted = enter.isAccepted();
    result.enterAction = enter.dropAction();
    QDragMoveEvent move(at + QPoint(0, 1), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    result.moveAccepted = move.isAccepted();
    // The platform delivers the drop only where the last move was accepted.
    if (result.moveAccepted) {
        QDropEvent drop(at + QPoint(0, 1), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        result.dropAccepted = drop.isAccepted();
    }
    return result;
}

} // namespace

class AddFilesTest : public QObject {
    Q_OBJECT

private:
    static std::unique_ptr<FormFixture> shownWith(const QStringList& entries) {
        auto fixture = std::make_unique<FormFixture>();
        fixture->form->show();
        if (!QTest::qWaitForWindowExposed(fixture->form.get())) {
            qFatal("the window did not show");
        }
        for (const QString& entry : entries) {
            fixture->form->listItems().Add(entry);
        }
        return fixture;
    }

private slots:
    void dialogResult_data() {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("paths");

        QTest::newRow("cancel") << QString() << QStringList{};
        QTest::newRow("one file") << "/home/ann/a.doc" << QStringList{"/home/ann/a.doc"};
        QTest::newRow("one file in the root") << "/a.doc" << QStringList{"/a.doc"};
        QTest::newRow("three files")
            << nul({"/home/ann/Docs", "c.doc", "a.doc", "b.docx"})
            << QStringList{"/home/ann/Docs/c.doc", "/home/ann/Docs/a.doc", "/home/ann/Docs/b.docx"};
        QTest::newRow("two files in the root")
            << nul({"/", "a.doc", "b.doc"}) << QStringList{"/a.doc", "/b.doc"};
        QTest::newRow("directory ending in a separator")
            << nul({"/srv/docs/", "a.doc", "b.doc"})
            << QStringList{"/srv/docs/a.doc", "/srv/docs/b.doc"};
        QTest::newRow("network share")
            << nul({"//server/share/docs", "a.doc", "b.doc"})
            << QStringList{"//server/share/docs/a.doc", "//server/share/docs/b.doc"};
        QTest::newRow("spaces and non-ASCII names")
            << nul({"/home/Zoë/My Documents", "Überblick 2024.doc", " leading space.DOC",
                    "名前.docx"})
            << QStringList{"/home/Zoë/My Documents/Überblick 2024.doc",
                           "/home/Zoë/My Documents/ leading space.DOC",
                           "/home/Zoë/My Documents/名前.docx"};
        QTest::newRow("one file with spaces")
            << "/home/ann/My Docs/a b.doc" << QStringList{"/home/ann/My Docs/a b.doc"};
        QTest::newRow("the same name twice")
            << nul({"/d", "a.doc", "a.doc"}) << QStringList{"/d/a.doc", "/d/a.doc"};
        QTest::newRow("empty names are no files")
            << nul({"/d", "a.doc", "", "b.doc", ""}) << QStringList{"/d/a.doc", "/d/b.doc"};
    }

    void dialogResult() {
        QFETCH(QString, result);
        QFETCH(QStringList, paths);
        QCOMPARE(pathsFromOpenDialogResult(result), paths);
    }

    void addWordFilesAppendsAfterTheExistingEntries() {
        auto fixture = shownWith({"/d/x.doc", "/d/y.doc"});
        Form1& form = *fixture->form;
        fixture->prompts.openAnswers.push_back(nul({"/d", "a.doc", "x.doc"}));
        QTest::mouseClick(form.Check1, Qt::LeftButton);

        QCOMPARE(texts(form.listItems()),
                 (QStringList{"/d/x.doc", "/d/y.doc", "/d/a.doc", "/d/x.doc"}));
        QCOMPARE(form.Check1->Value(), 0);
        QCOMPARE(fixture->prompts.asked.size(), size_t(1));
        const FileDialogSettings& dialog = fixture->prompts.asked.front().dialog;
        QCOMPARE(dialog.DialogTitle,
                 QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
        QCOMPARE(dialog.Flags, 2621953);
        QCOMPARE(dialog.Filter, QStringLiteral("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"));
        QVERIFY(dialog.FileName.isEmpty());

        // Cancel: the dialog was shown, nothing changes, nothing else is asked.
        QTest::mouseClick(form.Check1, Qt::LeftButton);
        QCOMPARE(fixture->prompts.asked.size(), size_t(2));
        QCOMPARE(form.listItems().Count(), 4);
        QVERIFY(fixture->prompts.messages().isEmpty());

        fixture->prompts.openAnswers.push_back("/d/y.doc");
        QTest::mouseClick(form.Check1, Qt::LeftButton);
        QCOMPARE(form.listItems()(5).Text(), QStringLiteral("/d/y.doc"));
    }

    void dialogFiltersInTheDialogsOwnSyntax() {
        QCOMPARE(QtPrompts::nameFilters("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"),
                 (QStringList{"Word Documents (*.do*)", "All Files (*)"}));
        QCOMPARE(QtPrompts::nameFilters("Word Documents (*.doc)|*.doc|"),
                 QStringList{"Word Documents (*.doc)"});
        QCOMPARE(QtPrompts::nameFilters("Documents|*.doc;*.docx"),
                 QStringList{"Documents (*.doc *.docx)"});
    }

    void droppedFilesGoToTheEndInTheDatasOrder() {
        auto fixture = shownWith({"/d/a.doc", "/d/b.doc", "/d/c.doc"});
        Form1& form = *fixture->form;
        QTemporaryDir folder;
        const auto data = fileList(
            {QUrl::fromLocalFile("/home/ann/z.doc"), QUrl::fromLocalFile("/home/ann/picture.png"),
             QUrl::fromLocalFile(folder.path()), QUrl::fromLocalFile("/d/a.doc"),
             QUrl("file:///home/ann/My%20Docs/%C3%9Cberblick.doc")});
        // Dropped onto the middle entry: the position does not matter.
        const DropResult result = dragAndDrop(form, *data, rowCentre(*form.ListView1, 2));

        QVERIFY(result.enterAccepted);
        QCOMPARE(result.enterAction, Qt::CopyAction);
        QVERIFY(result.dropAccepted);
        QCOMPARE(texts(form.listItems()),
                 (QStringList{"/d/a.doc", "/d/b.doc", "/d/c.doc", "/home/ann/z.doc",
                              "/home/ann/picture.png", folder.path(), "/d/a.doc",
                              "/home/ann/My Docs/Überblick.doc"}));
        QVERIFY(fixture->prompts.asked.empty());
    }

    void dataWithoutLocalFilesIsRefused_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("plain text") << 0;
        QTest::newRow("an image") << 1;
        QTest::newRow("remote addresses only") << 2;
        QTest::newRow("an empty file list") << 3;
    }

    void dataWithoutLocalFilesIsRefused() {
        QFETCH(int, kind);
        auto fixture = shownWith({"/d/a.doc"});
        QMimeData data;
        switch (kind) {
        case 0:
            data.setText("/home/ann/a.doc");
            break;
        case 1: {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::red);
            data.setImageData(image);
            break;
        }
        case 2:
            data.setUrls({QUrl("https://example.org/a.doc"), QUrl("sftp://host/b.doc")});
            break;
        default:
            data.setUrls({});
            break;
        }
        const DropResult result =
            dragAndDrop(*fixture->form, data, rowCentre(*fixture->form->ListView1, 1));
        QVERIFY(!result.enterAccepted);
        QVERIFY(!result.moveAccepted);

        // Even a drop delivered regardless takes nothing.
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(fixture->form->ListView1->viewport(), &drop);
        QVERIFY(!drop.isAccepted());
        QCOMPARE(texts(fixture->form->listItems()), QStringList{"/d/a.doc"});
    }

    void onlyTheLocalFilesOfMixedDataAreTaken() {
        auto fixture = shownWith({});
        const auto data =
            fileList({QUrl("https://example.org/a.doc"), QUrl::fromLocalFile("/home/ann/b.doc")});
        const DropResult result = dragAndDrop(*fixture->form, *data, QPoint(10, 10));
        QVERIFY(result.dropAccepted);
        QCOMPARE(texts(fixture->form->listItems()), QStringList{"/home/ann/b.doc"});
    }

    void theFilesAreNeverTakenAwayFromTheirSource() {
        auto fixture = shownWith({});
        const auto data = fileList({QUrl::fromLocalFile("/home/ann/b.doc")});

        const DropResult moveOnly =
            dragAndDrop(*fixture->form, *data, QPoint(10, 10), Qt::MoveAction);
        QVERIFY(!moveOnly.enterAccepted);
        QCOMPARE(fixture->form->listItems().Count(), 0);

        const DropResult link =
            dragAndDrop(*fixture->form, *data, QPoint(10, 10), Qt::LinkAction | Qt::MoveAction);
        QVERIFY(link.dropAccepted);
        QCOMPARE(link.enterAction, Qt::LinkAction);
        QCOMPARE(fixture->form->listItems().Count(), 1);
    }

    void dropsAreStillTakenAfterAnEntryWasClicked() {
        auto fixture = shownWith({"/d/a.doc", "/d/b.doc"});
        Form1& form = *fixture->form;
        QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                          rowCentre(*form.ListView1, 1));
        QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                           rowCentre(*form.ListView1, 1));
        QTest::mouseRelease(form.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                            rowCentre(*form.ListView1, 1));
        QCOMPARE(texts(form.listItems()), QStringList{"/d/b.doc"});

        const auto data = fileList({QUrl::fromLocalFile("/d/c.doc")});
        const DropResult result = dragAndDrop(form, *data, rowCentre(*form.ListView1, 1));
        QVERIFY(result.dropAccepted);
        QCOMPARE(texts(form.listItems()), (QStringList{"/d/b.doc", "/d/c.doc"}));
        QVERIFY(form.ListView1->viewport()->acceptDrops());
        QVERIFY(!form.ListView1->dragEnabled());
    }
};

QTEST_MAIN(AddFilesTest)
#include "tst_addfiles.moc"
