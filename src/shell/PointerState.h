// The main window's pointer state: default, busy or the custom hand.
#pragma once

#include <functional>

namespace paperloom {

/// The values of the window's MousePointer.
enum MousePointerValue : int { vbDefault = 0, vbArrow = 1, vbHourglass = 11, vbCustom = 99 };

/// Holds the window's MousePointer and applies each change through a callback. Hovering never
/// replaces the busy pointer.
class PointerState {
public:
    explicit PointerState(std::function<void(int)> apply);

    [[nodiscard]] int value() const { return m_value; }
    /// Sets the value and applies it.
    void set(int value);
    /// The pointer moved over a button with a hover handler: the hand unless busy.
    void hoverButton();
    /// The pointer moved over the bare window or the list: the default pointer unless busy.
    void hoverBareWindow();

private:
    int m_value = vbDefault;
    std::function<void(int)> m_apply;
};

} // namespace paperloom
