// The in-list drag: exchanges of paths as the pointer passes over entries.
#include "doclist/InListDrag.h"

#include <utility>

namespace paperloom {

InListDrag::InListDrag(ListItems& items, ScreenRow screenRow)
    : m_items(&items), m_screenRow(std::move(screenRow)) {}

void InListDrag::setScreenRow(ScreenRow screenRow) {
    m_screenRow = std::move(screenRow);
}

void InListDrag::itemClick() {
    m_dragEntry = m_items->SelectedItem();
}

void InListDrag::mouseMove(QPoint at) {
    if (!m_buttonHeld) {
        return;
    }
    const std::optional<ListItem> hovered = m_items->HitTest(at);
    if (!hovered || !m_dragEntry || !m_dragEntry->isValid()) {
        return;
    }
    try {
        const QString dragged = m_dragEntry->Text();
        const QString under = hovered->Text();
        // Equal paths (also the drag entry itself): nothing to exchange.
        if (dragged == under) {
            return;
        }
        const int position = hovered->Index();
        (*m_items)(m_dragEntry->Index()).setText(under);
        ListItem landed = (*m_items)(position);
        landed.setText(dragged);
        landed.setSelected();
        m_dragEntry = landed;
        scrollAround(position);
    } catch (const ListItemError&) {
        // An entry that vanished between the hit test and the exchange: this move does nothing.
    }
}

void InListDrag::scrollAround(int position) {
    if (!m_screenRow) {
        return;
    }
    const int row = m_screenRow();
    if (row < kUpperScrollRow) {
        if (position >= 2) {
            (*m_items)(position - 1).EnsureVisible();
        }
    } else if (row >= kLowerScrollRow) {
        if (position + 1 <= m_items->Count()) {
            (*m_items)(position + 1).EnsureVisible();
        }
    }
}

} // namespace paperloom
