// The main window as it first shows: places, captions, fonts, tab order, start-up steps.
#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "FormFixture.h"
#include "doclist/DocumentListView.h"
#include "shell/PictureCheckBox.h"
#include "shell/ProgressBar.h"

using namespace paperloom;
using paperloom::test::FormFixture;

class Form1Test : public QObject {
    Q_OBJECT

private:
    QWidget* control(Form1& form, const QString& name) {
        const QMap<QString, QWidget*> controls{
            {"Command1", form.Command1},         {"Check1", form.Check1},  {"Check2", form.Check2},
            {"ListView1", form.ListView1},       {"Check4", form.Check4},  {"Check3", form.Check3},
            {"ProgressBar1", form.ProgressBar1}, {"Check5", form.Check5},  {"Check6", form.Check6},
            {"Option1", form.Option1},           {"Option2", form.Option2}};
        return controls.value(name);
    }

private slots:
    void controlGeometryAndFont_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("fontPixels");
        QTest::newRow("Command1") << "Command1" << QRect(-48, 176, 41, 33) << "Command1" << 0;
        QTest::newRow("Check1") << "Check1" << QRect(8, 168, 145, 73) << "Add Word File(s)" << 15;
        QTest::newRow("Check2") << "Check2" << QRect(312, 168, 145, 73) << "Join To One Doc" << 15;
        QTest::newRow("ListView1") << "ListView1" << QRect(8, 8, 385, 153) << "" << 12;
        QTest::newRow("Check4") << "Check4" << QRect(160, 168, 145, 73)
                                << "Add All Word Files In Folder" << 15;
        QTest::newRow("Check3") << "Check3" << QRect(16, 248, 273, 17)
                                << "Insert page breaks between documents" << 13;
        QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(8, 272, 449, 25) << "" << 0;
        QTest::newRow("Check5") << "Check5" << QRect(400, 8, 57, 73) << "Move Up" << 15;
        QTest::newRow("Check6") << "Check6" << QRect(400, 88, 57, 73) << "Move Down" << 15;
        QTest::newRow("Option1") << "Option1" << QRect(304, 248, 65, 17) << "Portrait" << 12;
        QTest::newRow("Option2") << "Option2" << QRect(368, 248, 89, 17) << "Landscape" << 12;
    }

    void controlGeometryAndFont() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QFETCH(int, fontPixels);
        FormFixture fixture;
        QWidget* widget = control(*fixture.form, name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        }
        if (fontPixels > 0) {
            QCOMPARE(widget->font().pixelSize(), fontPixels);
            QVERIFY(widget->font().bold());
            QCOMPARE(widget->font().family(), QStringLiteral("Arial"));
        }
        QVERIFY(widget->isEnabled());
    }

    void windowAfterStartUp() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Paperloom"));
        QCOMPARE(form.size(), QSize(466, 306));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));

        const QImage icon = form.windowIcon().pixmap(32, 32).toImage();
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                QCOMPARE(qAlpha(icon.pixel(x, y)), 0);
            }
        }

        QCOMPARE(form.ListView1->columnCount(), 1);
        QCOMPARE(form.ListView1->horizontalHeaderItem(0)->text(), QStringLiteral("Word File(s)"));
        QCOMPARE(form.ListView1->columnWidth(0), 333);
        QCOMPARE(form.ListView1->rowCount(), 0);
        QCOMPARE(form.ListView1->toolTip(), kDocumentListToolTip);
        QVERIFY(form.ListView1->verticalHeader()->isHidden());
        QCOMPARE(form.ListView1->selectionMode(), QAbstractItemView::SingleSelection);

        QVERIFY(form.Option1->isChecked());
        QVERIFY(!form.Option2->isChecked());
        QCOMPARE(form.Check3->checkState(), Qt::Unchecked);
        QCOMPARE(form.ProgressBar1->Value(), 0.0F);
        QCOMPARE(form.ProgressBar1->minimum(), 0);
        QCOMPARE(form.ProgressBar1->maximum(), 100);
        QCOMPARE(form.ProgressBar1->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(form.ProgressBar1->focusPolicy(), Qt::NoFocus);
        for (PictureCheckBox* button :
             {form.Check1, form.Check2, form.Check4, form.Check5, form.Check6}) {
            QCOMPARE(button->Value(), 0);
            QVERIFY(!button->icon().isNull());
        }
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);
    }

    void tabOrderStartsAtHiddenButton() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.Command1);

        // Space and Enter on the hidden button do nothing.
        QTest::keyClick(form.Command1, Qt::Key_Space);
        QTest::keyClick(form.Command1, Qt::Key_Return);
        QVERIFY(fixture.prompts.asked.empty());

        const QList<QWidget*> expected{form.Check1, form.Check2, form.ListView1, form.Check4,
                                       form.Check3, form.Check5, form.Check6,    form.Option1};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void centringOnTheScreenAtStartUp() {
        FormFixture fixture(QString(), nullptr, QRect(0, 0, 1024, 768));
        // Offscreen windows have no frame: the outer size is the client size.
        QCOMPARE(fixture.form->pos(), QPoint((1024 - 466) / 2, (768 - 306) / 2));
    }

    void documentsAddedAreAnnouncedOnceTheListSettles() {
        struct ListWatchingWord : WordAutomation {
            std::unique_ptr<WordApplication> createInstance() override { return nullptr; }
            std::unique_ptr<WordApplication> findRunningInstance() override { return nullptr; }
            void waitForSaves() override {}
            void prepareFor(const std::vector<std::string>& paths) override {
                announced.push_back(paths);
            }
            std::vector<std::vector<std::string>> announced;
        } word;
        FormFixture fixture(QString(), &word);
        for (const char* path : {"/home/ann/a.doc", "/home/ann/b.docx", "/home/ann/c.rtf"}) {
            fixture.form->listItems().Add(QString::fromUtf8(path));
        }
        QTRY_COMPARE(word.announced.size(), std::size_t{1});
        QCoreApplication::processEvents();
        QCOMPARE(word.announced.size(), std::size_t{1});
        QCOMPARE(
            word.announced.front(),
            (std::vector<std::string>{"/home/ann/a.doc", "/home/ann/b.docx", "/home/ann/c.rtf"}));
    }

    void accessibleNamesAndRoles() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        QAccessibleInterface* join = QAccessible::queryAccessibleInterface(form.Check2);
        QVERIFY(join);
        QCOMPARE(join->role(), QAccessible::Button);
        QCOMPARE(join->text(QAccessible::Name), QStringLiteral("Join To One Doc"));

        form.listItems().Add(QStringLiteral("/home/ann/a.docx"));
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form.ListView1);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::Table);
        QAccessibleTableInterface* table = list->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->columnCount(), 1);
        QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("/home/ann/a.docx"));
    }
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
