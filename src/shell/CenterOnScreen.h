// Placing the main window in the middle of the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace paperloom {

/// The top-left corner that centres a window of the given outer size on the screen's whole
/// geometry. A screen smaller than the window gives a negative left or top, used as it is.
[[nodiscard]] QPoint centredPosition(QSize windowOuterSize, QRect screen);

/// Moves the window so that it stands in the middle of the screen.
void CenterOnScreen(QWidget& window, QRect screen);

} // namespace paperloom
