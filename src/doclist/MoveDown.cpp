// Move Down, as an insert below the next entry and a removal of the old entry.
#include "doclist/MoveDown.h"

#include <optional>

#include "doclist/ListItems.h"

namespace paperloom {

void moveDown(ListItems& items) {
    const std::optional<ListItem> selected = items.SelectedItem();
    if (!selected) {
        return;
    }
    try {
        const int p = selected->Index();
        if (p >= items.Count()) {
            return;
        }
        const QString path = selected->Text();
        // Just after the entry below; the selected entry stays at p until it is removed, and
        // the new one then ends at p + 1.
        ListItem moved = items.Add(p + 2, path);
        items.Remove(p);
        // As with Move Up: the entry that carries the path stays selected for the next press.
        moved.setSelected();
    } catch (const ListItemError&) {
        // A move that cannot be made leaves the list as far as it got, without a message.
    }
}

} // namespace paperloom
