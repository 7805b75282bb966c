// Centring arithmetic for the main window.
#include "shell/CenterOnScreen.h"

#include <cmath>

#include <QWidget>

namespace paperloom {

QPoint centredPosition(QSize windowOuterSize, QRect screen) {
    // Halves are exact; the pixel grid takes the floor so that negative positions round the
    // same way as positive ones.
    const double left = (screen.width() - windowOuterSize.width()) / 2.0;
    const double top = (screen.height() - windowOuterSize.height()) / 2.0;
    return {screen.left() + static_cast<int>(std::floor(left)),
            screen.top() + static_cast<int>(std::floor(top))};
}

void CenterOnScreen(QWidget& window, QRect screen) {
    window.move(centredPosition(window.frameGeometry().size(), screen));
}

} // namespace paperloom
