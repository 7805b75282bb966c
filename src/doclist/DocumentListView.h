// ListView1: the list control that holds the document list, in report view with one column.
#pragma once

#include <QTableWidget>

namespace paperloom {

/// The tooltip that tells the user how to use the list.
inline const QString kDocumentListToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move bar to right and out of "
    "window to reveal full names.");

/// A flat list of paths under one column header: no grid, no row numbers, one selected row,
/// no editing in place, texts cut at the column's edge. Its events are passed on as signals
/// named after the handlers that take them.
class DocumentListView : public QTableWidget {
    Q_OBJECT

public:
    explicit DocumentListView(QWidget* parent = nullptr);

    /// Gives the list its one column with the header text, width in pixels.
    void addColumn(const QString& header, int width);

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace paperloom
