// Putting the list in order: Move Up, Move Down and dragging an entry inside the list.
#include <QImage>
#include <QScrollBar>
#include <QtTest>

#include "FormFixture.h"
#include "ListTestHelpers.h"
#include "doclist/DocumentListView.h"
#include "shell/PictureCheckBox.h"

using namespace paperloom;
using paperloom::test::FormFixture;
using paperloom::test::rowCentre;
using paperloom::test::selectedPosition;
using paperloom::test::texts;

class ReorderTest : public QObject {
    Q_OBJECT

private:
    // A shown window whose list holds the entries; the pointer stands between the scroll rows.
    static std::unique_ptr<FormFixture> shownWith(const QStringList& entries,
                                                  const QString& programFolder = QString()) {
        auto fixture = std::make_unique<FormFixture>(programFolder);
        Form1& form = *fixture->form;
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) {
            qFatal("the window did not show");
        }
        for (const QString& entry : entries) {
            form.listItems().Add(entry);
        }
        form.listDrag().setScreenRow([] { return 330; });
        // The list lays its rows out, and sets its scroll range, once events run.
        QCoreApplication::processEvents();
        return fixture;
    }

    static QWidget* entries(Form1& form) { return form.ListView1->viewport(); }

    static void press(Form1& form, QPoint at) {
        QTest::mousePress(entries(form), Qt::LeftButton, Qt::NoModifier, at);
    }
    static void pressOn(Form1& form, int position) {
        press(form, rowCentre(*form.ListView1, position));
    }
    // QTest carries the held button into the move.
    static void dragTo(Form1& form, QPoint at) { QTest::mouseMove(entries(form), at); }
    static void dragOver(Form1& form, int position) {
        dragTo(form, rowCentre(*form.ListView1, position));
    }
    static void release(Form1& form, QPoint at) {
        QTest::mouseRelease(entries(form), Qt::LeftButton, Qt::NoModifier, at);
    }
    static void releaseOn(Form1& form, int position) {
        release(form, rowCentre(*form.ListView1, position));
    }
    static void moveWithoutButton(Form1& form, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, entries(form)->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(entries(form), &move);
    }
    static QPoint belowTheEntries(Form1& form) { return {20, entries(form)->height() - 4}; }

    static bool rowFullyShown(Form1& form, int position) {
        const QRect row =
            form.ListView1->visualRect(form.ListView1->model()->index(position - 1, 0));
        return row.top() >= 0 && row.bottom() < entries(form)->height();
    }

private slots:
    void moveButtons_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("selectedAfter");

        const QStringList abc{"A", "B", "C"};
        QTest::newRow("up from the middle") << abc << 2 << true << QStringList{"B", "A", "C"} << 1;
        QTest::newRow("down from the middle")
            << abc << 2 << false << QStringList{"A", "C", "B"} << 3;
        QTest::newRow("up at the top") << abc << 1 << true << abc << 1;
        QTest::newRow("down at the bottom") << abc << 3 << false << abc << 3;
        QTest::newRow("up from the bottom") << abc << 3 << true << QStringList{"A", "C", "B"} << 2;
        QTest::newRow("down from the top") << abc << 1 << false << QStringList{"B", "A", "C"} << 2;
        QTest::newRow("equal paths up")
            << QStringList{"A", "B", "A"} << 3 << true << QStringList{"A", "A", "B"} << 2;
        QTest::newRow("equal paths down")
            << QStringList{"A", "A", "B"} << 1 << false << QStringList{"A", "A", "B"} << 2;
        QTest::newRow("one entry up") << QStringList{"A"} << 1 << true << QStringList{"A"} << 1;
        QTest::newRow("one entry down") << QStringList{"A"} << 1 << false << QStringList{"A"} << 1;
        QTest::newRow("none selected up") << abc << 0 << true << abc << 0;
        QTest::newRow("none selected down") << abc << 0 << false << abc << 0;
        QTest::newRow("empty list up") << QStringList{} << 0 << true << QStringList{} << 0;
        QTest::newRow("empty list down") << QStringList{} << 0 << false << QStringList{} << 0;
    }

    void moveButtons() {
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(bool, up);
        QFETCH(QStringList, expected);
        QFETCH(int, selectedAfter);

        auto fixture = shownWith(entries);
        Form1& form = *fixture->form;
        ListItems& items = form.listItems();
        if (selected > 0) {
            items(selected).setSelected();
        }
        PictureCheckBox* button = up ? form.Check5 : form.Check6;
        QTest::mouseClick(button, Qt::LeftButton);

        QCOMPARE(texts(items), expected);
        QCOMPARE(selectedPosition(items), selectedAfter);
        QCOMPARE(button->Value(), 0);
        QVERIFY(fixture->prompts.asked.empty());
    }

    void eachPressMovesOnceAndTheMovedEntryStaysSelected() {
        auto fixture = shownWith({"A", "B", "C", "D"});
        Form1& form = *fixture->form;
        ListItems& items = form.listItems();
        items(4).setSelected();

        QTest::mouseClick(form.Check5, Qt::LeftButton);
        QCOMPARE(texts(items), (QStringList{"A", "B", "D", "C"}));
        QTest::mouseClick(form.Check5, Qt::LeftButton);
        QTest::mouseClick(form.Check5, Qt::LeftButton);
        QCOMPARE(texts(items), (QStringList{"D", "A", "B", "C"}));
        QTest::mouseClick(form.Check5, Qt::LeftButton);
        QCOMPARE(texts(items), (QStringList{"D", "A", "B", "C"}));

        form.Check6->setFocus();
        QTest::keyClick(form.Check6, Qt::Key_Space);
        QCOMPARE(texts(items), (QStringList{"A", "D", "B", "C"}));
        QCOMPARE(items.SelectedItem()->Text(), QStringLiteral("D"));
        QCOMPARE(form.Check6->Value(), 0);
    }

    void movedEntryIsShownInALongList() {
        QStringList many;
        for (int i = 1; i <= 40; ++i) {
            many << QStringLiteral("/docs/%1.doc").arg(i);
        }
        auto fixture = shownWith(many);
        Form1& form = *fixture->form;
        form.listItems()(1).setSelected();
        for (int i = 0; i < 30; ++i) {
            QTest::mouseClick(form.Check6, Qt::LeftButton);
        }
        QCOMPARE(form.listItems()(31).Text(), QStringLiteral("/docs/1.doc"));
        QVERIFY(rowFullyShown(form, 31));
    }

    void pressAndDragDownRowByRow() {
        auto fixture = shownWith({"A", "B", "C", "D"});
        Form1& form = *fixture->form;
        ListItems& items = form.listItems();

        pressOn(form, 1);
        QCOMPARE(selectedPosition(items), 1);
        dragOver(form, 2);
        QCOMPARE(texts(items), (QStringList{"B", "A", "C", "D"}));
        QCOMPARE(selectedPosition(items), 2);
        dragOver(form, 3);
        QCOMPARE(texts(items), (QStringList{"B", "C", "A", "D"}));
        QCOMPARE(selectedPosition(items), 3);
        dragOver(form, 4);
        QCOMPARE(texts(items), (QStringList{"B", "C", "D", "A"}));
        // Back up again: the path follows the pointer both ways.
        dragOver(form, 2);
        QCOMPARE(texts(items), (QStringList{"B", "A", "D", "C"}));
        QCOMPARE(items.SelectedItem()->Text(), QStringLiteral("A"));
        releaseOn(form, 2);
        QVERIFY(fixture->prompts.asked.empty());
    }

    void aMoveThatSkipsRowsExchangesWithTheEntryItLandsOn() {
        auto fixture = shownWith({"A", "B", "C", "D"});
        Form1& form = *fixture->form;
        pressOn(form, 1);
        dragOver(form, 3);
        QCOMPARE(texts(form.listItems()), (QStringList{"C", "B", "A", "D"}));
        QCOMPARE(selectedPosition(form.listItems()), 3);
        releaseOn(form, 3);
    }

    void overTheDragEntryItselfNothingChanges() {
        auto fixture = shownWith({"A", "B", "C"});
        Form1& form = *fixture->form;
        const QRect rowB = form.ListView1->visualRect(form.ListView1->model()->index(1, 0));
        press(form, rowB.center());
        dragTo(form, rowB.topLeft() + QPoint(3, 1));
        dragTo(form, rowB.bottomRight() - QPoint(3, 1));
        QCOMPARE(texts(form.listItems()), (QStringList{"A", "B", "C"}));
        QCOMPARE(selectedPosition(form.listItems()), 2);
        release(form, rowB.center());
    }

    void equalPathsAreNotExchanged() {
        auto fixture = shownWith({"X", "X", "C"});
        Form1& form = *fixture->form;
        ListItems& items = form.listItems();
        pressOn(form, 1);
        dragOver(form, 2);
        QCOMPARE(texts(items), (QStringList{"X", "X", "C"}));
        QCOMPARE(form.listDrag().dragEntry()->Index(), 1);
        // The drag entry stayed at the first X, so the next exchange is between 1 and 3.
        dragOver(form, 3);
        QCOMPARE(texts(items), (QStringList{"C", "X", "X"}));
        QCOMPARE(selectedPosition(items), 3);
        releaseOn(form, 3);
    }

    void exchangesAreCaseSensitive() {
        auto fixture = shownWith({"/d/Report.doc", "/d/report.doc"});
        Form1& form = *fixture->form;
        pressOn(form, 1);
        dragOver(form, 2);
        QCOMPARE(texts(form.listItems()), (QStringList{"/d/report.doc", "/d/Report.doc"}));
        releaseOn(form, 2);
    }

    void movingWithoutAButtonChangesNoEntryButResetsThePointer() {
        auto fixture = shownWith({"A", "B", "C"});
        Form1& form = *fixture->form;
        QTest::mouseClick(entries(form), Qt::LeftButton, Qt::NoModifier,
                          rowCentre(*form.ListView1, 1));

        form.setMousePointer(MousePointerValue::Custom);
        moveWithoutButton(form, rowCentre(*form.ListView1, 2));
        QCOMPARE(texts(form.listItems()), (QStringList{"A", "B", "C"}));
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);

        // The busy pointer of a running search stays.
        form.setMousePointer(MousePointerValue::Busy);
        moveWithoutButton(form, rowCentre(*form.ListView1, 3));
        QCOMPARE(form.MousePointer(), MousePointerValue::Busy);
        QCOMPARE(texts(form.listItems()), (QStringList{"A", "B", "C"}));

        // With a button held the pointer is reset as well.
        form.setMousePointer(MousePointerValue::Custom);
        pressOn(form, 1);
        dragOver(form, 2);
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);
        releaseOn(form, 2);
    }

    void belowTheLastEntryNothingChanges() {
        auto fixture = shownWith({"A", "B", "C"});
        Form1& form = *fixture->form;
        pressOn(form, 1);
        dragTo(form, belowTheEntries(form));
        QCOMPARE(texts(form.listItems()), (QStringList{"A", "B", "C"}));
        QCOMPARE(selectedPosition(form.listItems()), 1);
        release(form, belowTheEntries(form));
    }

    void releaseEndsTheDragButTheDragEntryRemains() {
        auto fixture = shownWith({"A", "B", "C", "D"});
        Form1& form = *fixture->form;
        ListItems& items = form.listItems();
        pressOn(form, 1);
        dragOver(form, 2);
        releaseOn(form, 2);
        QCOMPARE(texts(items), (QStringList{"B", "A", "C", "D"}));

        moveWithoutButton(form, rowCentre(*form.ListView1, 3));
        moveWithoutButton(form, rowCentre(*form.ListView1, 4));
        QCOMPARE(texts(items), (QStringList{"B", "A", "C", "D"}));

        // A press that lands on no entry and then moves over entries drags the last drag
        // entry again: the release did not forget it.
        press(form, belowTheEntries(form));
        dragOver(form, 3);
        QCOMPARE(texts(items), (QStringList{"B", "C", "A", "D"}));
        releaseOn(form, 3);
    }

    void aRemovedDragEntryNoLongerDrags() {
        auto fixture = shownWith({"A", "B", "C"});
        Form1& form = *fixture->form;
        ListItems& items = form.listItems();

        QTest::mouseClick(entries(form), Qt::LeftButton, Qt::NoModifier,
                          rowCentre(*form.ListView1, 2));
        QTest::mouseDClick(entries(form), Qt::LeftButton, Qt::NoModifier,
                           rowCentre(*form.ListView1, 2));
        QTest::mouseRelease(entries(form), Qt::LeftButton, Qt::NoModifier,
                            rowCentre(*form.ListView1, 2));
        QCOMPARE(texts(items), (QStringList{"A", "C"}));
        QVERIFY(!form.listDrag().dragEntry()->isValid());
        press(form, belowTheEntries(form));
        dragOver(form, 1);
        dragOver(form, 2);
        QCOMPARE(texts(items), (QStringList{"A", "C"}));
        release(form, belowTheEntries(form));

        // Move Up carries the path to a new entry: the old one, the drag entry, is gone.
        items.Add("D");
        QTest::mouseClick(entries(form), Qt::LeftButton, Qt::NoModifier,
                          rowCentre(*form.ListView1, 3));
        QTest::mouseClick(form.Check5, Qt::LeftButton);
        QCOMPARE(texts(items), (QStringList{"A", "D", "C"}));
        press(form, belowTheEntries(form));
        dragOver(form, 1);
        dragOver(form, 3);
        QCOMPARE(texts(items), (QStringList{"A", "D", "C"}));
        release(form, belowTheEntries(form));

        // The next click on an entry drags again.
        pressOn(form, 2);
        dragOver(form, 3);
        QCOMPARE(texts(items), (QStringList{"A", "C", "D"}));
        releaseOn(form, 3);
    }

    void scrollingFollowsThePointersScreenRow() {
        QStringList many;
        for (int i = 1; i <= 30; ++i) {
            many << QStringLiteral("/docs/%1.doc").arg(i);
        }
        auto fixture = shownWith(many);
        Form1& form = *fixture->form;
        QScrollBar* bar = form.ListView1->verticalScrollBar();
        int screenRow = 0;
        form.listDrag().setScreenRow([&] { return screenRow; });

        // Entry 11 is the top row: dragging onto it from entry 12 above row 305 shows entry 10.
        const auto dragUpOntoTheTopRow = [&](int row) {
            bar->setValue(10);
            screenRow = row;
            pressOn(form, 12);
            dragOver(form, 11);
            releaseOn(form, 11);
        };
        dragUpOntoTheTopRow(304);
        QVERIFY(rowFullyShown(form, 10));
        QCOMPARE(bar->value(), 9);
        dragUpOntoTheTopRow(305);
        QCOMPARE(bar->value(), 10);
        dragUpOntoTheTopRow(364);
        QCOMPARE(bar->value(), 10);

        // Onto the last fully shown row at or below row 365: the entry below it shows.
        bar->setValue(10);
        int lastShown = 11;
        while (rowFullyShown(form, lastShown + 1)) {
            ++lastShown;
        }
        screenRow = 364;
        pressOn(form, lastShown - 1);
        dragOver(form, lastShown);
        releaseOn(form, lastShown);
        QCOMPARE(bar->value(), 10);
        screenRow = 365;
        pressOn(form, lastShown - 1);
        dragOver(form, lastShown);
        releaseOn(form, lastShown);
        QVERIFY(rowFullyShown(form, lastShown + 1));
        QVERIFY(bar->value() > 10);

        // Nothing above the first entry, nothing below the last.
        bar->setValue(0);
        screenRow = 0;
        pressOn(form, 2);
        dragOver(form, 1);
        releaseOn(form, 1);
        QCOMPARE(bar->value(), 0);
        bar->setValue(bar->maximum());
        screenRow = 1000;
        pressOn(form, 29);
        dragOver(form, 30);
        releaseOn(form, 30);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(form.listItems().Count(), 30);
    }

    void clickShowsTheDragImageAndReleaseTheArrow() {
        QTemporaryDir folder;
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::darkBlue);
        QVERIFY(image.save(folder.filePath("drag.ico"), "ICO"));
        auto fixture = shownWith({"A", "B"}, folder.path());
        Form1& form = *fixture->form;
        DocumentListView& list = *form.ListView1;
        QCOMPARE(list.MousePointer(), ListPointer::Default);

        pressOn(form, 1);
        QCOMPARE(list.MousePointer(), ListPointer::Custom);
        QCOMPARE(list.viewport()->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(list.viewport()->cursor().pixmap().size(), QSize(32, 32));
        releaseOn(form, 1);
        QCOMPARE(list.MousePointer(), ListPointer::Arrow);
        QCOMPARE(list.viewport()->cursor().shape(), Qt::ArrowCursor);

        // The file is read at every click: once it is gone the pointer stays as it is.
        QVERIFY(QFile::remove(folder.filePath("drag.ico")));
        pressOn(form, 2);
        QCOMPARE(list.MousePointer(), ListPointer::Arrow);
        releaseOn(form, 2);

        QFile damaged(folder.filePath("drag.ico"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not an icon");
        damaged.close();
        pressOn(form, 1);
        QCOMPARE(list.MousePointer(), ListPointer::Arrow);
        releaseOn(form, 1);

        // No drag of entries to other programs ever starts from the list.
        QVERIFY(!list.dragEnabled());
        QVERIFY(fixture->prompts.asked.empty());
    }
};

QTEST_MAIN(ReorderTest)
#include "tst_reorder.moc"
