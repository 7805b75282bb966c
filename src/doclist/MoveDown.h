// Move Down: the selected entry of the document list, one position towards the bottom.
#pragma once

namespace paperloom {

class ListItems;

/// Carries the selected entry's path to a new entry one position lower and removes the old
/// entry; the new entry is then the selected one. Nothing happens on the last entry, with
/// nothing selected, or on an empty list; a step that fails is passed over silently.
void moveDown(ListItems& items);

} // namespace paperloom
