// The document list's 1-based operations and double-click removal.
#include <QtTest>

#include "FormFixture.h"
#include "doclist/DocumentListView.h"

using namespace paperloom;
using paperloom::test::FormFixture;

class ListItemsTest : public QObject {
    Q_OBJECT

private:
    static QStringList texts(ListItems& items) {
        QStringList result;
        for (int i = 1; i <= items.Count(); ++i) {
            result << items(i).Text();
        }
        return result;
    }

    static void doubleClickRow(Form1& form, int row) {
        QTableWidget* view = form.ListView1;
        const QPoint at = row < 0 ? QPoint(10, view->viewport()->height() - 3)
                                  : view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

private slots:
    void positionsAreOneBased() {
        FormFixture fixture;
        ListItems& items = fixture.form->listItems();
        QCOMPARE(items.Count(), 0);
        items.Add("/b.docx");
        items.Add("/d.docx");
        items.Add(1, "/a.docx");
        items.Add(3, "/c.docx");
        items.Add(5, "/e.docx");
        QCOMPARE(texts(items),
                 (QStringList{"/a.docx", "/b.docx", "/c.docx", "/d.docx", "/e.docx"}));
        QCOMPARE(items(1).Index(), 1);
        QCOMPARE(items(5).Index(), 5);
        items.Remove(2);
        QCOMPARE(texts(items), (QStringList{"/a.docx", "/c.docx", "/d.docx", "/e.docx"}));

        QVERIFY_THROWS_EXCEPTION(ListItemError, items(0));
        QVERIFY_THROWS_EXCEPTION(ListItemError, items(5));
        QVERIFY_THROWS_EXCEPTION(ListItemError, items.Add(6, "/x"));
        QVERIFY_THROWS_EXCEPTION(ListItemError, items.Add(0, "/x"));
        QVERIFY_THROWS_EXCEPTION(ListItemError, items.Remove(5));
        QCOMPARE(items.Count(), 4);
    }

    void entriesKeepTheirTextAndKnowWhenTheyAreGone() {
        FormFixture fixture;
        ListItems& items = fixture.form->listItems();
        const QString longPath = "/home/ann/" + QString(300, QChar('x')) + "/ünïcode report.docx";
        ListItem first = items.Add(longPath);
        ListItem second = items.Add(longPath);
        QCOMPARE(items.Count(), 2);
        QCOMPARE(first.Text(), longPath);
        QVERIFY(!(first == second));

        second.setText("/other.doc");
        QCOMPARE(items(2).Text(), QStringLiteral("/other.doc"));
        items.Remove(1);
        QVERIFY(!first.isValid());
        QVERIFY_THROWS_EXCEPTION(ListItemError, first.Text());
        QVERIFY_THROWS_EXCEPTION(ListItemError, first.setSelected());
        QCOMPARE(second.Index(), 1);
        QVERIFY(!fixture.form->ListView1->item(0, 0)->flags().testFlag(Qt::ItemIsEditable));
    }

    void selectionAndHitTest() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        ListItems& items = form.listItems();
        QVERIFY(!items.SelectedItem().has_value());
        items.Add("/a");
        items.Add("/b");
        items.Add("/c");
        items(2).setSelected();
        QCOMPARE(items.SelectedItem()->Text(), QStringLiteral("/b"));
        items(3).setSelected();
        QCOMPARE(items.SelectedItem()->Index(), 3);

        const QRect row2 = form.ListView1->visualRect(form.ListView1->model()->index(1, 0));
        QCOMPARE(items.HitTest(row2.center())->Text(), QStringLiteral("/b"));
        QVERIFY(!items.HitTest(QPoint(5, form.ListView1->viewport()->height() - 2)).has_value());
    }

    void doubleClickRemovesTheSelectedEntry() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ListItems& items = form.listItems();

        doubleClickRow(form, -1); // empty list
        QCOMPARE(items.Count(), 0);

        items.Add("A");
        items.Add("B");
        items.Add("C");
        form.ListView1_DblClick(); // none selected
        QCOMPARE(items.Count(), 3);

        doubleClickRow(form, 1);
        QCOMPARE(texts(items), (QStringList{"A", "C"}));
        QCOMPARE(items(2).Text(), QStringLiteral("C"));
        QVERIFY(fixture.prompts.asked.empty());
    }

    void doubleClickBelowTheEntriesKeepsTheSelectedOneOnlyIfSelected() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ListItems& items = form.listItems();
        items.Add("A");
        items.Add("A");
        items(2).setSelected();
        form.ListView1_DblClick();
        QCOMPARE(texts(items), QStringList{"A"});
    }
};

QTEST_MAIN(ListItemsTest)
#include "tst_listitems.moc"
