// The 1-based entry operations over the list control's own items.
#include "doclist/ListItems.h"

#include <QItemSelectionModel>
#include <QTableWidget>

namespace paperloom {
namespace {

QTableWidgetItem* newEntry(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

ListItem::ListItem(QTableWidget& view, const QPersistentModelIndex& index)
    : m_view(&view), m_index(index) {}

bool ListItem::isValid() const {
    return m_index.isValid();
}

int ListItem::checkedRow() const {
    if (!m_index.isValid()) {
        throw ListItemError("the entry is no longer in the list");
    }
    return m_index.row();
}

QString ListItem::Text() const {
    return m_view->item(checkedRow(), 0)->text();
}

void ListItem::setText(const QString& text) {
    m_view->item(checkedRow(), 0)->setText(text);
}

int ListItem::Index() const {
    return checkedRow() + 1;
}

void ListItem::setSelected() {
    const int row = checkedRow();
    m_view->selectionModel()->setCurrentIndex(m_view->model()->index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
}

void ListItem::EnsureVisible() {
    m_view->scrollToItem(m_view->item(checkedRow(), 0));
}

ListItems::ListItems(QTableWidget& view) : m_view(&view) {}

ListItem ListItems::Add(const QString& text) {
    return Add(Count() + 1, text);
}

ListItem ListItems::Add(int index, const QString& text) {
    if (index < 1 || index > Count() + 1) {
        throw ListItemError("position out of range");
    }
    const int row = index - 1;
    m_view->insertRow(row);
    m_view->setItem(row, 0, newEntry(text));
    return itemAtRow(row);
}

void ListItems::Remove(int index) {
    if (index < 1 || index > Count()) {
        throw ListItemError("position out of range");
    }
    m_view->removeRow(index - 1);
}

int ListItems::Count() const {
    return m_view->rowCount();
}

ListItem ListItems::operator()(int index) const {
    if (index < 1 || index > Count()) {
        throw ListItemError("position out of range");
    }
    return itemAtRow(index - 1);
}

std::optional<ListItem> ListItems::SelectedItem() const {
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return itemAtRow(rows.front().row());
}

std::optional<ListItem> ListItems::HitTest(QPoint point) const {
    const int row = m_view->rowAt(point.y());
    if (row < 0) {
        return std::nullopt;
    }
    return itemAtRow(row);
}

ListItem ListItems::itemAtRow(int row) const {
    return {*m_view, QPersistentModelIndex(m_view->model()->index(row, 0))};
}

} // namespace paperloom
