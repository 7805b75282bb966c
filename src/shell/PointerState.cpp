// Transitions of the window's pointer state.
#include "shell/PointerState.h"

#include <utility>

namespace paperloom {

PointerState::PointerState(std::function<void(int)> apply) : m_apply(std::move(apply)) {}

void PointerState::set(int value) {
    m_value = value;
    if (m_apply) {
        m_apply(value);
    }
}

void PointerState::hoverButton() {
    if (m_value != vbHourglass && m_value != vbCustom) {
        set(vbCustom);
    }
}

void PointerState::hoverBareWindow() {
    if (m_value != vbHourglass && m_value != vbDefault) {
        set(vbDefault);
    }
}

} // namespace paperloom
