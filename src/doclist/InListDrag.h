// Reordering by dragging an entry inside the list: the button-held flag and the drag entry.
#pragma once

#include <functional>
#include <optional>

#include <QPoint>

#include "doclist/ListItems.h"

namespace paperloom {

/// Screen rows, in pixels from the top of the screen, at which a drag scrolls the list.
inline constexpr int kUpperScrollRow = 305;
inline constexpr int kLowerScrollRow = 365;

/// While a button is held in the list, each move over another entry exchanges the dragged path
/// with that entry's path, so the path travels with the pointer one exchange at a time. No
/// drag-and-drop of the platform is involved.
///
/// The drag entry is kept as a ListItem, which knows when its entry has been removed (by a
/// double-click or a move of the buttons): such an entry counts as none until the next click.
class InListDrag {
public:
    /// The pointer's row on the screen, in pixels.
    using ScreenRow = std::function<int()>;

    /// Works on items; screenRow tells where the pointer stands when the list may scroll.
    InListDrag(ListItems& items, ScreenRow screenRow);

    /// Replaces where the pointer's screen row comes from.
    void setScreenRow(ScreenRow screenRow);

    /// A click on an entry: the selected entry becomes the drag entry.
    void itemClick();
    /// Any button pressed in the list.
    void mouseDown() { m_buttonHeld = true; }
    /// Any button released; the drag entry stays as it is.
    void mouseUp() { m_buttonHeld = false; }
    /// The pointer moved to at (the entries' own pixels): with a button held and over another
    /// entry whose path differs, the two paths change places, the entry under the pointer is
    /// selected and becomes the drag entry, and the list scrolls by the pointer's screen row.
    void mouseMove(QPoint at);

    [[nodiscard]] bool buttonHeld() const { return m_buttonHeld; }
    /// The drag entry, if one was set; it may have been removed since (isValid() false).
    [[nodiscard]] const std::optional<ListItem>& dragEntry() const { return m_dragEntry; }

private:
    void scrollAround(int position);

    ListItems* m_items;
    ScreenRow m_screenRow;
    bool m_buttonHeld = false;
    std::optional<ListItem> m_dragEntry;
};

} // namespace paperloom
