// Small helpers shared by the document-list widget tests.
#pragma once

#include <QAbstractItemView>
#include <QStringList>

#include "doclist/ListItems.h"

namespace paperloom::test {

/// The entries' texts from position 1 to Count.
inline QStringList texts(const ListItems& items) {
    QStringList result;
    for (int i = 1; i <= items.Count(); ++i) {
        result << items(i).Text();
    }
    return result;
}

/// The selected entry's position, or 0 when none is selected.
inline int selectedPosition(const ListItems& items) {
    const std::optional<ListItem> selected = items.SelectedItem();
    return selected ? selected->Index() : 0;
}

/// The centre of an entry's row (position from 1) in the list's viewport.
inline QPoint rowCentre(QAbstractItemView& view, int position) {
    return view.visualRect(view.model()->index(position - 1, 0)).center();
}

} // namespace paperloom::test
