// The look of the document list and the events it hands on.
#include "doclist/DocumentListView.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace paperloom {

DocumentListView::DocumentListView(QWidget* parent) : QTableWidget(parent) {
    setColumnCount(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setDragEnabled(false);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    setToolTip(kDocumentListToolTip);
}

void DocumentListView::addColumn(const QString& header, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    setColumnWidth(column, width);
    // Rows as high as the list's font needs, as a report view draws them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void DocumentListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableWidget::mouseDoubleClickEvent(event);
    emit DblClick();
}

} // namespace paperloom
