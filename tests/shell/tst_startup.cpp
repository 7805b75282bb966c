// Start-up decisions: centring arithmetic, the promotional draw, the hand cursor file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "shell/CenterOnScreen.h"
#include "shell/Main.h"

using namespace paperloom;
using paperloom::test::FormFixture;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void centredPosition_data() {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("even") << QSize(472, 336) << QRect(0, 0, 1920, 1080) << QPoint(724, 372);
        QTest::newRow("odd halves floor")
            << QSize(471, 335) << QRect(0, 0, 1920, 1080) << QPoint(724, 372);
        QTest::newRow("screen smaller than window")
            << QSize(466, 306) << QRect(0, 0, 400, 300) << QPoint(-33, -3);
        QTest::newRow("screen with an offset")
            << QSize(466, 306) << QRect(-1280, 0, 1280, 1024) << QPoint(-1280 + 407, 359);
    }

    void centredPosition() {
        QFETCH(QSize, window);
        QFETCH(QRect, screen);
        QFETCH(QPoint, expected);
        QCOMPARE(paperloom::centredPosition(window, screen), expected);
    }

    void promotionalDraw_data() {
        QTest::addColumn<double>("number");
        QTest::addColumn<bool>("launches");
        QTest::newRow("n = 1") << 0.0 << false;
        QTest::newRow("n = 6, just below") << 0.0599999 << false;
        QTest::newRow("n = 7, lowest") << 0.06 << true;
        QTest::newRow("n = 7, highest") << 0.0699999 << true;
        QTest::newRow("n = 8") << 0.07 << false;
        QTest::newRow("n = 100") << 0.9999999 << false;
    }

    void promotionalDraw() {
        QFETCH(double, number);
        QFETCH(bool, launches);
        test::QueuedRandom random;
        test::FixedClock clock;
        test::RecordingLauncher launcher;
        random.numbers.push_back(number);
        OpenHomePageAtRandom(random, clock, launcher);
        QCOMPARE(random.seeds, std::vector<double>{clock.seconds});
        QCOMPARE(launcher.launched,
                 launches ? QStringList{"https://paperloom.example/"} : QStringList{});
    }

    void windowStartsAfterThePromotionalLaunch() {
        test::RecordingLauncher launcher;
        test::ScriptedPrompts prompts;
        test::AbsentWord word;
        test::QueuedRandom random;
        random.numbers.push_back(0.065);
        test::FixedClock clock;
        Form1 form({prompts, word, launcher, random, clock, QString()});
        form.Form_Load(QRect(0, 0, 1000, 800));
        QCOMPARE(launcher.launched.size(), 1);
        QCOMPARE(form.windowTitle(), QStringLiteral("Paperloom"));
        QCOMPARE(form.pos(), QPoint(267, 247));
    }

    void handCursorFile() {
        // A drawn hand beside the program becomes the custom pointer image, with its hot spot.
        const QString built = QCoreApplication::applicationDirPath() + "/../bin/HAND-M.CUR";
        if (!QFile::exists(built)) {
            QSKIP("the built cursor file is not beside the tests");
        }
        FormFixture fixture(QFileInfo(built).absolutePath());
        QVERIFY(fixture.form->mouseIcon().has_value());
        QCOMPARE(fixture.form->mouseIcon()->hotSpot(), QPoint(11, 1));
        QCOMPARE(fixture.form->mouseIcon()->pixmap().size(), QSize(32, 32));
    }

    void missingOrDamagedHandCursorFile() {
        QTemporaryDir empty;
        FormFixture missing(empty.path());
        QVERIFY(!missing.form->mouseIcon().has_value());
        QVERIFY(missing.prompts.asked.empty());

        QTemporaryDir damaged;
        QFile file(damaged.filePath("HAND-M.CUR"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\0\0\2\0\1\0 not really a cursor at all, just some text", 48);
        file.close();
        FormFixture broken(damaged.path());
        QVERIFY(!broken.form->mouseIcon().has_value());
        QVERIFY(broken.prompts.asked.empty());

        // Without an image the hand of the platform shows over the buttons.
        broken.form->Check1_MouseMove();
        QCOMPARE(broken.form->MousePointer(), MousePointerValue::Custom);
        QCOMPARE(broken.form->cursor().shape(), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
