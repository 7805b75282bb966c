// The values of the MousePointer property of the main window and of the document list.
#pragma once

namespace paperloom {

/// What a window or control shows as its pointer; the numbers are those the property holds.
enum class MousePointerValue : int {
    Default = 0, // the pointer the window or control shows by default
    Arrow = 1,   // the ordinary arrow
    Busy = 11,   // the hourglass, while a join or a folder search runs
    Custom = 99, // the image loaded for the window or control
};

} // namespace paperloom
