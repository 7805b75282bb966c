// Button feedback: the press cycle and the window's pointer state.
#include <optional>

#include <QCheckBox>
#include <QRadioButton>
#include <QtTest>

#include "FormFixture.h"
#include "shell/PictureCheckBox.h"
#include "shell/PointerState.h"

using namespace paperloom;
using paperloom::test::FormFixture;

class FeedbackTest : public QObject {
    Q_OBJECT

private:
    static void moveOver(QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

private slots:
    void pressRunsTheCommandOnceAndLeavesTheButtonUp() {
        PictureCheckBox button;
        button.setText("Move Up");
        button.resize(57, 73);
        button.show();
        int commands = 0;
        int clicks = 0;
        bool upWhileRunning = false;
        QObject::connect(&button, &PictureCheckBox::Click, [&] {
            ++clicks;
            if (button.Value() != 1) {
                return;
            }
            button.setValue(0);
            upWhileRunning = button.Value() == 0;
            ++commands;
        });

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(commands, 1);
        QCOMPARE(clicks, 2); // the nested Click finds 0 and does nothing
        QVERIFY(upWhileRunning);
        QCOMPARE(button.Value(), 0);

        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Space);
        QCOMPARE(commands, 2);
        QCOMPARE(button.Value(), 0);
    }

    void hoverStateMachine() {
        using enum MousePointerValue;
        std::optional<MousePointerValue> applied;
        PointerState pointer([&](MousePointerValue value) { applied = value; });
        pointer.hoverButton();
        QCOMPARE(pointer.value(), Custom);
        QCOMPARE(applied, std::optional(Custom));
        pointer.hoverBareWindow();
        QCOMPARE(pointer.value(), Default);
        pointer.set(Busy);
        pointer.hoverButton();
        pointer.hoverBareWindow();
        QCOMPARE(pointer.value(), Busy);
        QCOMPARE(applied, std::optional(Busy));
        pointer.set(Default);
        QCOMPARE(applied, std::optional(Default));
    }

    void pointerOverTheWindowsControls() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        moveOver(form.Check1);
        QCOMPARE(form.MousePointer(), MousePointerValue::Custom);
        moveOver(&form);
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);

        moveOver(form.Check3);
        QCOMPARE(form.MousePointer(), MousePointerValue::Custom);
        // Controls without a hover handler keep whatever the pointer shows.
        moveOver(form.Option1);
        QCOMPARE(form.MousePointer(), MousePointerValue::Custom);
        moveOver(form.Check5);
        QCOMPARE(form.MousePointer(), MousePointerValue::Custom);
        moveOver(&form);
        moveOver(form.Option2);
        QCOMPARE(form.MousePointer(), MousePointerValue::Default);

        form.setMousePointer(MousePointerValue::Busy);
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        for (QWidget* over : std::initializer_list<QWidget*>{form.Check1, form.Check2, form.Check3,
                                                             form.Check4, &form}) {
            moveOver(over);
            QCOMPARE(form.MousePointer(), MousePointerValue::Busy);
        }
        form.setMousePointer(MousePointerValue::Default);
        moveOver(form.Check2);
        QCOMPARE(form.MousePointer(), MousePointerValue::Custom);
        moveOver(form.Check4);
        QCOMPARE(form.MousePointer(), MousePointerValue::Custom);
    }

    void buttonsNeverStayPressed() {
        FormFixture fixture;
        Form1& form = *fixture.form;
        form.show();
        for (PictureCheckBox* button :
             {form.Check1, form.Check2, form.Check4, form.Check5, form.Check6}) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(button->Value(), 0);
        }
    }
};

QTEST_MAIN(FeedbackTest)
#include "tst_feedback.moc"
