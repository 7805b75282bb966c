// A check box drawn as a push button: a picture centred above a caption that wraps.
#pragma once

#include <QAbstractButton>
#include <QIcon>

namespace paperloom {

/// The button-styled check box. Its Value is its checked state: 1 pressed in, 0 up. Every change
/// of Value raises Click, as the press cycle of the commands expects; a mouse click or Space
/// turns Value from 0 to 1. Pointer moves over it raise MouseMove and go no further.
class PictureCheckBox : public QAbstractButton {
    Q_OBJECT

public:
    explicit PictureCheckBox(QWidget* parent = nullptr);

    [[nodiscard]] int Value() const { return isChecked() ? 1 : 0; }
    void setValue(int value) { setChecked(value == 1); }

    void setPicture(const QIcon& picture);

    [[nodiscard]] QSize sizeHint() const override;

signals:
    void Click();
    void MouseMove();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void nextCheckState() override;
};

/// Registers the accessible interface that shows the button to screen readers as a push button
/// named by its caption.
void installPictureCheckBoxAccessibility();

} // namespace paperloom
