// Move Up, as an insert above and a removal of the old entry.
#include "doclist/MoveUp.h"

#include <optional>

#include "doclist/ListItems.h"

namespace paperloom {

void moveUp(ListItems& items) {
    const std::optional<ListItem> selected = items.SelectedItem();
    if (!selected) {
        return;
    }
    try {
        const int p = selected->Index();
        if (p <= 1) {
            return;
        }
        const QString path = selected->Text();
        // The entry that stood at p - 1 moves to p, and the selected one to p + 1.
        ListItem moved = items.Add(p - 1, path);
        items.Remove(p + 1);
        // The old entry is gone, so nothing would stay selected; selecting the entry that now
        // carries the path lets the user keep pressing Move Up to carry it further.
        moved.setSelected();
    } catch (const ListItemError&) {
        // A move that cannot be made leaves the list as far as it got, without a message.
    }
}

} // namespace paperloom
