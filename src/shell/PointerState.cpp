// Transitions of the window's pointer state.
#include "shell/PointerState.h"

#include <utility>

namespace paperloom {

PointerState::PointerState(std::function<void(MousePointerValue)> apply)
    : m_apply(std::move(apply)) {}

void PointerState::set(MousePointerValue value) {
    m_value = value;
    if (m_apply) {
        m_apply(value);
    }
}

void PointerState::hoverButton() {
    if (m_value != MousePointerValue::Busy && m_value != MousePointerValue::Custom) {
        set(MousePointerValue::Custom);
    }
}

void PointerState::hoverBareWindow() {
    if (m_value != MousePointerValue::Busy && m_value != MousePointerValue::Default) {
        set(MousePointerValue::Default);
    }
}

} // namespace paperloom
