// "Join To One Doc" through the main window: dialog, overwrite, guard, progress and messages.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "FormFixture.h"
#include "RecordingWord.h"
#include "engine/automation/DocumentEngine.h"
#include "shell/PictureCheckBox.h"
#include "shell/ProgressBar.h"

using namespace paperloom;
using paperloom::test::AskedPrompt;
using paperloom::test::FormFixture;
using paperloom::test::RecordingWord;

namespace {

const QString kSuccess = QStringLiteral("The following Word document has been successfully "
                                        "created: \r\r");

// A window over a recording word processor, with the progress bar's value and the pointer
// noted each time a source document is opened.
struct JoinFixture {
    RecordingWord word;
    FormFixture fixture{QString(), &word};
    Form1& form = *fixture.form;
    QList<float> progress;
    QList<MousePointerValue> pointers;

    explicit JoinFixture(const QStringList& entries = {}) {
        for (const QString& entry : entries) {
            form.listItems().Add(entry);
        }
        word.onCall = [this, entries](const std::string& call) {
            for (const QString& entry : entries) {
                if (call == "Documents.Open(" + entry.toStdString() + ")") {
                    progress << form.ProgressBar1->Value();
                    pointers << form.MousePointer();
                }
            }
        };
    }

    /// Presses the button as the user does.
    void press() { form.Check2->click(); }

    [[nodiscard]] int count(const std::string& call) const {
        return static_cast<int>(std::count(word.calls.begin(), word.calls.end(), call));
    }
};

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class JoinCommandTest : public QObject {
    Q_OBJECT

private slots:
    void cancelInTheSaveDialogEndsSilently() {
        JoinFixture join({"/in/a.docx"});
        join.press();

        QCOMPARE(join.fixture.prompts.asked.size(), size_t(1));
        const AskedPrompt& dialog = join.fixture.prompts.asked[0];
        QCOMPARE(dialog.kind, AskedPrompt::Kind::ShowSave);
        QCOMPARE(dialog.dialog.FileName, QString());
        QCOMPARE(dialog.dialog.Flags, 2621953);
        QCOMPARE(dialog.dialog.DialogTitle, QStringLiteral("Output Word Doc"));
        QCOMPARE(dialog.dialog.Filter, QStringLiteral("Word Documents (*.doc)|*.doc|"));
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(join.form.ProgressBar1->Value(), 0.0F);
        QCOMPARE(join.form.Check2->Value(), 0);
    }

    void emptyListIsReportedAfterTheDialog() {
        JoinFixture join;
        join.fixture.prompts.saveAnswers.push_back(QStringLiteral("/nowhere/out.doc"));
        join.press();

        QCOMPARE(join.fixture.prompts.messages(), QStringList{"No files added."});
        QCOMPARE(join.fixture.prompts.asked.back().buttons, MsgBoxButtons::OK);
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
    }

    void existingFileAnsweredNoStaysAsItWas() {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("old.doc"));
        QVERIFY(writeFile(output, "old content"));
        JoinFixture join({"/in/a.docx"});
        join.fixture.prompts.saveAnswers.push_back(output);
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::No);
        join.press();

        QCOMPARE(join.fixture.prompts.messages(),
                 QStringList{"Are you sure you wish to overwrite " + output + " ?"});
        QCOMPARE(join.fixture.prompts.asked.back().buttons, MsgBoxButtons::YesNo);
        QVERIFY(QFile::exists(output));
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
    }

    void existingFileAnsweredYesIsDeletedEvenWhenTheListIsEmpty() {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("old.doc"));
        QVERIFY(writeFile(output, "old content"));
        JoinFixture join;
        join.fixture.prompts.saveAnswers.push_back(output);
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::Yes);
        join.press();

        QCOMPARE(join.fixture.prompts.messages(),
                 (QStringList{"Are you sure you wish to overwrite " + output + " ?",
                              "No files added."}));
        QVERIFY(!QFile::exists(output));
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
    }

    void existingFileAnsweredYesIsReplacedByTheJoin() {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("old.doc"));
        QVERIFY(writeFile(output, "old content"));
        JoinFixture join({"/in/a.docx"});
        join.fixture.prompts.saveAnswers.push_back(output);
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::Yes);
        join.word.onCall = [&](const std::string& call) {
            if (call == "create") {
                QVERIFY(!QFile::exists(output));
            }
        };
        join.press();

        QCOMPARE(join.fixture.prompts.messages().size(), 2);
        QCOMPARE(join.fixture.prompts.messages().back(), kSuccess + output);
        QCOMPARE(join.count("ActiveDocument.SaveAs(" + output.toStdString() + ")"), 1);
    }

    void aFileThatCannotBeDeletedIsReportedAndNothingIsJoined() {
        QTemporaryDir dir;
        // A folder under the chosen name exists, but a folder cannot be deleted as a file.
        const QString output = dir.filePath(QStringLiteral("taken.doc"));
        QVERIFY(QDir().mkpath(output + QStringLiteral("/inside")));
        JoinFixture join({"/in/a.docx"});
        join.fixture.prompts.saveAnswers.push_back(output);
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::Yes);
        join.press();

        const QStringList messages = join.fixture.prompts.messages();
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages[1].startsWith("\"" + output + "\" could not be replaced: "),
                 qPrintable(messages[1]));
        QVERIFY(messages[1].endsWith(QStringLiteral("Nothing was joined.")));
        QVERIFY(QFileInfo(output).isDir());
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
    }

    void anOutputThatIsAPipeIsRefusedBeforeAnythingIsAsked() {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("pipe.doc"));
        QCOMPARE(::mkfifo(QFile::encodeName(output).constData(), 0600), 0);
        JoinFixture join({"/in/a.docx"});
        join.fixture.prompts.saveAnswers.push_back(output);
        join.press();

        QCOMPARE(join.fixture.prompts.messages(),
                 QStringList{"\"" + output +
                             "\" is a named pipe, not a file, and cannot be the output document. "
                             "Please choose another name."});
        struct stat st {};
        QVERIFY(::lstat(QFile::encodeName(output).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
    }

    void anOutputThatIsALinkIsReplacedBehindTheLink() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("real.doc"));
        const QString link = dir.filePath(QStringLiteral("link.doc"));
        QVERIFY(writeFile(target, "old content"));
        QVERIFY(QFile::link(QStringLiteral("real.doc"), link));
        JoinFixture join({"/in/a.docx"});
        join.fixture.prompts.saveAnswers.push_back(link);
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::Yes);
        bool linkKept = false;
        join.word.onCall = [&](const std::string& call) {
            if (call == "create") {
                linkKept = QFileInfo(link).isSymLink() && !QFile::exists(target);
            }
        };
        join.press();

        QVERIFY2(linkKept, "the link's target is deleted, the link stays");
        QCOMPARE(join.fixture.prompts.messages().back(), kSuccess + link);
    }

    void anOutputThatIsOneOfTheEntriesIsRefused() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("b.docx"));
        QVERIFY(writeFile(source, "precious"));
        JoinFixture join({"/in/a.docx", dir.path() + QStringLiteral("/./b.docx")});
        join.fixture.prompts.saveAnswers.push_back(source);
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::Yes);
        join.press();

        const QStringList messages = join.fixture.prompts.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(QStringLiteral("is one of the documents to join")));
        QVERIFY(QFile::exists(source));
        QVERIFY(join.word.calls.empty());
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
    }

    void runningWordProcessorAnsweredNoEndsWithoutJoining() {
        JoinFixture join({"/in/a.docx", "/in/b.docx"});
        join.word.running = true;
        join.fixture.prompts.saveAnswers.push_back(QStringLiteral("/out/x.doc"));
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::No);
        join.press();

        QCOMPARE(join.fixture.prompts.messages(),
                 QStringList{"Word may be open. It is recommended that you close Word first."
                             "\r\n\r\nWould you like to proceed anyway?"});
        QCOMPARE(join.count("create"), 0);
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(join.form.ProgressBar1->Value(), 0.0F);
    }

    void runningWordProcessorAnsweredYesJoinsAndIsAskedOnce() {
        JoinFixture join({"/in/a.docx", "/in/b.docx", "/in/c.docx"});
        join.word.running = true;
        join.fixture.prompts.saveAnswers.push_back(QStringLiteral("/out/x.doc"));
        join.fixture.prompts.msgBoxAnswers.push_back(MsgBoxResult::Yes);
        join.press();

        QCOMPARE(join.count("findRunningInstance"), 1);
        QCOMPARE(join.fixture.prompts.messages().size(), 2);
        QCOMPARE(join.fixture.prompts.messages().back(), kSuccess + "/out/x.doc");
        QCOMPARE(join.count("ActiveDocument.SaveAs(/out/x.doc)"), 3);
    }

    void entriesAreJoinedWithProgressAndSuccess_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QList<float>>("progress");
        QTest::newRow("one") << QStringList{"/in/a.docx"} << QList<float>{100.0F};
        QTest::newRow("two") << QStringList{"/in/a.docx", "/in/b.docx"}
                             << QList<float>{50.0F, 100.0F};
        QTest::newRow("three") << QStringList{"/in/a.docx", "/in/b.docx", "/in/c.docx"}
                               << QList<float>{33.333332F, 66.666664F, 100.0F};
    }

    void entriesAreJoinedWithProgressAndSuccess() {
        QFETCH(QStringList, entries);
        QFETCH(QList<float>, progress);
        JoinFixture join(entries);
        // A name without an extension is used exactly as chosen.
        const QString output = QStringLiteral("/out/joined");
        join.fixture.prompts.saveAnswers.push_back(output);
        join.press();

        QCOMPARE(join.progress, progress);
        QCOMPARE(join.pointers, QList<MousePointerValue>(entries.size(), MousePointerValue::Busy));
        QCOMPARE(join.fixture.prompts.messages(), QStringList{kSuccess + output});
        QCOMPARE(join.fixture.prompts.asked.back().buttons, MsgBoxButtons::OK);
        QCOMPARE(join.count("Documents.Add"), 1);
        QCOMPARE(join.count("ActiveDocument.SaveAs(/out/joined)"), int(entries.size()));
        QCOMPARE(join.count("Documents.Open(/out/joined)"), int(entries.size()) - 1);
        QCOMPARE(join.count("findRunningInstance"), 1);
        QCOMPARE(join.form.ProgressBar1->Value(), 0.0F);
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(join.form.Check2->Value(), 0);
        QCOMPARE(join.word.liveInstances(), 0);
    }

    void choicesComeFromTheWindowsControls() {
        JoinFixture join({"/in/a.docx", "/in/b.docx"});
        join.form.Check3->setChecked(true);
        join.form.Option2->setChecked(true);
        join.fixture.prompts.saveAnswers.push_back(QStringLiteral("/out/x.doc"));
        join.press();

        QCOMPARE(join.count("PageSetup.Orientation=1"), 1);
        QCOMPARE(join.count("InsertBreak(Type=7)"), 2);
        QCOMPARE(join.count("TypeBackspace"), 1);
    }

    void aFailingStepIsReportedAndEverythingRestored() {
        JoinFixture join({"/in/a.docx", "/in/b.docx", "/in/c.docx"});
        join.word.failCall("PasteAndFormat(0)");
        join.word.failCall("Paste", 2);
        join.fixture.prompts.saveAnswers.push_back(QStringLiteral("/out/x.doc"));
        join.press();

        QCOMPARE(
            join.fixture.prompts.messages(),
            QStringList{
                QString::fromStdString(RecordingWord::failureMessage("Paste")) +
                "\r\rThe join stopped at document 2 of 3, \"/in/b.docx\"; \"/out/x.doc\" holds the "
                "documents before it."});
        QCOMPARE(join.count("Documents.Open(/in/c.docx)"), 0);
        QCOMPARE(join.progress, (QList<float>{33.333332F, 66.666664F}));
        QCOMPARE(join.form.ProgressBar1->Value(), 0.0F);
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(join.word.liveInstances(), 0);
    }

    void aStopAskedForDuringTheJoinEndsItWithoutAMessage() {
        JoinFixture join({"/in/a.docx", "/in/b.docx"});
        join.fixture.prompts.saveAnswers.push_back(QStringLiteral("/out/x.doc"));
        join.word.onCall = [](const std::string& call) {
            if (call == "Documents.Open(/in/b.docx)") {
                throw WordInterrupted("Asked to end.");
            }
        };
        join.press();

        QCOMPARE(join.fixture.prompts.messages(), QStringList{});
        QCOMPARE(join.count("Documents.Open(/out/x.doc)"), 0);
        QCOMPARE(join.form.ProgressBar1->Value(), 0.0F);
        QCOMPARE(join.form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(join.word.liveInstances(), 0);
    }

    // The window over the real engine, with names the file system must get byte for byte.
    void documentsAreJoinedByTheEngine() {
        QTemporaryDir dir;
        engine::DocumentEngine engine;
        QStringList entries;
        for (const QString& name :
             {QStringLiteral("erste Seite ä.docx"), QStringLiteral("b.docx")}) {
            entries << dir.filePath(name);
            std::unique_ptr<WordApplication> word = engine.createInstance();
            word->Documents().Add();
            word->ActiveDocument().SaveAs(QFile::encodeName(entries.back()).toStdString());
            word->Quit();
        }
        FormFixture fixture(QString(), &engine);
        for (const QString& entry : entries) {
            fixture.form->listItems().Add(entry);
        }
        const QString output = dir.filePath(QStringLiteral("Zusammen ß.doc"));
        fixture.prompts.saveAnswers.push_back(output);
        fixture.form->Check2->click();

        QCOMPARE(fixture.prompts.messages(), QStringList{kSuccess + output});
        QFile joined(output);
        QVERIFY(joined.open(QIODevice::ReadOnly));
        QCOMPARE(joined.read(2), QByteArray("PK"));
    }

    void aPressWhileReleasedDoesNothing() {
        JoinFixture join({"/in/a.docx"});
        join.form.Check2_Click();
        QVERIFY(join.fixture.prompts.asked.empty());
    }
};

QTEST_MAIN(JoinCommandTest)
#include "tst_joincommand.moc"
