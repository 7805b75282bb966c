// The look of the document list and the events it hands on.
#include "doclist/DocumentListView.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

namespace paperloom {
namespace {

/// A column header whose strip runs the whole width of the list, past the last column, as a
/// report view's header does.
class ReportHeader final : public QHeaderView {
public:
    explicit ReportHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QHeaderView::paintEvent(event);
        const int end = length() - offset();
        if (end >= viewport()->width()) {
            return;
        }
        QPainter painter(viewport());
        QStyleOptionHeader filler;
        initStyleOption(&filler);
        filler.rect = QRect(end, 0, viewport()->width() - end, viewport()->height());
        filler.section = count();
        filler.position = QStyleOptionHeader::End;
        style()->drawControl(QStyle::CE_HeaderSection, &filler, &painter, this);
    }
};

} // namespace

DocumentListView::DocumentListView(QWidget* parent) : QTableWidget(parent) {
    setHorizontalHeader(new ReportHeader(this));
    setColumnCount(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setDragEnabled(false);
    // Files dropped from outside are always welcome; the drop handlers decide what to take.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // Moves without a button held reach the handlers too.
    viewport()->setMouseTracking(true);
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

void DocumentListView::setMousePointer(ListPointer pointer) {
    m_pointer = pointer;
    applyPointer();
}

void DocumentListView::setMouseIcon(const QCursor& icon) {
    m_mouseIcon = icon;
    applyPointer();
}

void DocumentListView::applyPointer() {
    switch (m_pointer) {
    case ListPointer::Arrow:
        viewport()->setCursor(Qt::ArrowCursor);
        break;
    case ListPointer::Custom:
        if (m_mouseIcon) {
            viewport()->setCursor(*m_mouseIcon);
        } else {
            viewport()->unsetCursor();
        }
        break;
    case ListPointer::Default:
        viewport()->unsetCursor();
        break;
    }
}

void DocumentListView::mousePressEvent(QMouseEvent* event) {
    // The list's own handling selects the entry under the pointer first, so that the click
    // handler finds the pressed entry selected and a drag can start with the very next move.
    QTableWidget::mousePressEvent(event);
    emit MouseDown();
    if (indexAt(event->position().toPoint()).isValid()) {
        emit ItemClick();
    }
}

void DocumentListView::mouseMoveEvent(QMouseEvent* event) {
    // With a button held the list would move the selection along with the pointer; during an
    // in-list drag the handlers alone decide which entry is selected.
    if (event->buttons() == Qt::NoButton) {
        QTableWidget::mouseMoveEvent(event);
    }
    emit MouseMove(event->position().toPoint());
}

void DocumentListView::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    emit MouseUp();
}

void DocumentListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableWidget::mouseDoubleClickEvent(event);
    emit DblClick();
}

void DocumentListView::dragEnterEvent(QDragEnterEvent* event) {
    event->ignore();
    emit OLEDragOver(event);
}

void DocumentListView::dragMoveEvent(QDragMoveEvent* event) {
    event->ignore();
    emit OLEDragOver(event);
}

void DocumentListView::dragLeaveEvent(QDragLeaveEvent* event) {
    event->accept();
}

void DocumentListView::dropEvent(QDropEvent* event) {
    event->ignore();
    emit OLEDragDrop(event);
}

} // namespace paperloom
