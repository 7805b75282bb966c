// The document list's entries with 1-based positions: the only way commands read or change it.
//
// The entries of the list control are the document list itself; these classes are a thin layer
// over the control's model, with no copy of the texts. An entry handle keeps a persistent model
// index, so it knows when its entry has been removed.
#pragma once

#include <optional>
#include <stdexcept>

#include <QPersistentModelIndex>
#include <QPoint>
#include <QString>

class QTableWidget;

namespace paperloom {

/// A position out of range, or an entry that is no longer in the list.
class ListItemError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

/// One entry: its text is the full path of one document.
class ListItem {
public:
    ListItem(QTableWidget& view, const QPersistentModelIndex& index);

    /// False once the entry has been removed from the list.
    [[nodiscard]] bool isValid() const;
    /// The entry's path; throws ListItemError when the entry is gone.
    [[nodiscard]] QString Text() const;
    /// Replaces the path and changes nothing else; throws ListItemError when the entry is gone.
    void setText(const QString& text);
    /// The entry's current position, from 1; throws ListItemError when the entry is gone.
    [[nodiscard]] int Index() const;
    /// Makes this entry the selected one; throws ListItemError when the entry is gone.
    void setSelected();
    /// Scrolls the list so that the entry's row shows; throws ListItemError when it is gone.
    void EnsureVisible();

    [[nodiscard]] bool operator==(const ListItem& other) const { return m_index == other.m_index; }

private:
    [[nodiscard]] int checkedRow() const;

    QTableWidget* m_view;
    QPersistentModelIndex m_index;
};

class ListItems {
public:
    explicit ListItems(QTableWidget& view);

    /// Appends an entry with the text at position Count + 1.
    ListItem Add(const QString& text);
    /// Inserts an entry at position index (1 to Count + 1); throws ListItemError out of range.
    ListItem Add(int index, const QString& text);
    /// Removes the entry at position index (1 to Count); throws ListItemError out of range.
    void Remove(int index);
    [[nodiscard]] int Count() const;
    /// The entry at position index (1 to Count); throws ListItemError out of range.
    [[nodiscard]] ListItem operator()(int index) const;
    /// The selected entry, or none.
    [[nodiscard]] std::optional<ListItem> SelectedItem() const;
    /// The entry whose row lies under a point in the list's own (viewport) pixels, or none.
    [[nodiscard]] std::optional<ListItem> HitTest(QPoint point) const;

private:
    [[nodiscard]] ListItem itemAtRow(int row) const;

    QTableWidget* m_view;
};

} // namespace paperloom
