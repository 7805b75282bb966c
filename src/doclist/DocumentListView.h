// ListView1: the list control that holds the document list, in report view with one column.
#pragma once

#include <optional>

#include <QCursor>
#include <QTableWidget>

class QDragMoveEvent;
class QDropEvent;

namespace paperloom {

/// The tooltip that tells the user how to use the list.
inline const QString kDocumentListToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move bar to right and out of "
    "window to reveal full names.");

/// The values of the list's own MousePointer.
enum class ListPointer : int { Default = 0, Arrow = 1, Custom = 99 };

/// A flat list of paths under one column header: no grid, no row numbers, one selected row,
/// no editing in place, texts cut at the column's edge. Its events are passed on as signals
/// named after the handlers that take them.
///
/// The list is never a drag source. Dragged data is refused unless a handler of OLEDragOver
/// accepts it, and drops are reported to OLEDragDrop; nothing switches that off.
class DocumentListView : public QTableWidget {
    Q_OBJECT

public:
    explicit DocumentListView(QWidget* parent = nullptr);

    /// Gives the list its one column with the header text, width in pixels.
    void addColumn(const QString& header, int width);

    /// The pointer shown over the entries: default, arrow, or the custom image (MouseIcon).
    [[nodiscard]] ListPointer MousePointer() const { return m_pointer; }
    void setMousePointer(ListPointer pointer);
    /// The image the custom pointer shows; takes effect at once when the custom one is shown.
    void setMouseIcon(const QCursor& icon);

signals:
    void DblClick();
    /// A press on an entry, after the press has made it the selected entry.
    void ItemClick();
    /// Any mouse button pressed over the entries, whatever button, keys or place.
    void MouseDown();
    /// The pointer moved over the entries; at is in the entries' own (viewport) pixels.
    void MouseMove(QPoint at);
    /// Any mouse button released after a press in the list, wherever the pointer is.
    void MouseUp();
    /// Dragged data entered or moved over the list; refused unless a handler accepts it.
    void OLEDragOver(QDragMoveEvent* event);
    /// Dragged data was released over the list.
    void OLEDragDrop(QDropEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void applyPointer();

    ListPointer m_pointer = ListPointer::Default;
    std::optional<QCursor> m_mouseIcon;
};

} // namespace paperloom
