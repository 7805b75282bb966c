// Move Up: the selected entry of the document list, one position towards the top.
#pragma once

namespace paperloom {

class ListItems;

/// Carries the selected entry's path to a new entry one position higher and removes the old
/// entry; the new entry is then the selected one. Nothing happens on the first entry, with
/// nothing selected, or on an empty list; a step that fails is passed over silently.
void moveUp(ListItems& items);

} // namespace paperloom
