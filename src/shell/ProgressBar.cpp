// The progress bar's value and background.
#include "shell/ProgressBar.h"

#include <cmath>

namespace paperloom {

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    QProgressBar::setValue(0);
    setTextVisible(false);
    setFocusPolicy(Qt::NoFocus);
}

void ProgressBar::setValue(float value) {
    m_value = value;
    QProgressBar::setValue(static_cast<int>(std::lround(value)));
    if (isVisible()) {
        repaint();
    }
}

void ProgressBar::setWhiteBackground() {
    QPalette white = palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
}

} // namespace paperloom
