// The main window's pointer state: default, busy or the custom hand.
#pragma once

#include <functional>

#include "join/MousePointerValue.h"

namespace paperloom {

/// Holds the window's MousePointer and applies each change through a callback. Hovering never
/// replaces the busy pointer.
class PointerState {
public:
    explicit PointerState(std::function<void(MousePointerValue)> apply);

    [[nodiscard]] MousePointerValue value() const { return m_value; }
    /// Sets the value and applies it.
    void set(MousePointerValue value);
    /// The pointer moved over a button with a hover handler: the hand unless busy.
    void hoverButton();
    /// The pointer moved over the bare window or the list: the default pointer unless busy.
    void hoverBareWindow();

private:
    MousePointerValue m_value = MousePointerValue::Default;
    std::function<void(MousePointerValue)> m_apply;
};

} // namespace paperloom
