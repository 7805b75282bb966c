// The one conversion between the window's twips and the screen's pixels.
#pragma once

#include <QRect>

namespace paperloom {

/// Twips to a pixel at 96 dots per inch. Qt's logical pixels are 96-dpi pixels scaled by the
/// screen's device pixel ratio, so the conversion holds on high-density screens too.
inline constexpr int kTwipsPerPixel = 15;

[[nodiscard]] constexpr int twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

[[nodiscard]] constexpr double pixelsToTwips(double pixels) {
    return pixels * kTwipsPerPixel;
}

[[nodiscard]] constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace paperloom
