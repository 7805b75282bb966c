// Painting, pointer moves and accessibility of the button-styled check box.
#include "shell/PictureCheckBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace paperloom {
namespace {

constexpr int kPictureSize = 32;
constexpr int kPictureGap = 2;
constexpr int kTextMargin = 3;

class PictureCheckBoxAccessible final : public QAccessibleWidget {
public:
    explicit PictureCheckBoxAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return button()->text();
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->isChecked();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) {
            button()->click();
        } else {
            QAccessibleWidget::doAction(actionName);
        }
    }

private:
    [[nodiscard]] QAbstractButton* button() const {
        return static_cast<QAbstractButton*>(widget());
    }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("paperloom::PictureCheckBox") && object->isWidgetType()) {
        return new PictureCheckBoxAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

PictureCheckBox::PictureCheckBox(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoMousePropagation);
    setIconSize(QSize(kPictureSize, kPictureSize));
    connect(this, &QAbstractButton::toggled, this, &PictureCheckBox::Click);
}

void PictureCheckBox::setPicture(const QIcon& picture) {
    setIcon(picture);
}

QSize PictureCheckBox::sizeHint() const {
    return {kPictureSize + 4 * kTextMargin, kPictureSize + 2 * fontMetrics().height()};
}

void PictureCheckBox::nextCheckState() {
    // A press only ever switches the box on; the handler switches it off again.
    if (!isChecked()) {
        setChecked(true);
    }
}

void PictureCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.features = QStyleOptionButton::None;
    if (isChecked() || isDown()) {
        option.state |= QStyle::State_Sunken | QStyle::State_On;
    } else {
        option.state |= QStyle::State_Raised;
    }
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect textArea = rect().adjusted(kTextMargin, 0, -kTextMargin, 0);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QRect textBounds = fontMetrics().boundingRect(textArea, flags, text());
    const int blockHeight = kPictureSize + kPictureGap + textBounds.height();
    int top = (height() - blockHeight) / 2;
    if (isChecked() || isDown()) {
        top += 1;
    }
    const QRect pictureRect((width() - kPictureSize) / 2, top, kPictureSize, kPictureSize);
    icon().paint(&painter, pictureRect, Qt::AlignCenter,
                 isEnabled() ? QIcon::Normal : QIcon::Disabled);

    QRect captionRect = textArea;
    captionRect.setTop(top + kPictureSize + kPictureGap);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(captionRect, flags, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void PictureCheckBox::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    emit MouseMove();
    event->accept();
}

void installPictureCheckBoxAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace paperloom
