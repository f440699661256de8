#include "app/ui/DropTableView.h"

#include <QMouseEvent>

#include "app/ui/DropDestination.h"

namespace m2 {

DropTableView::DropTableView(QWidget* parent) : FileDropTarget<QTableView>(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void DropTableView::mousePressEvent(QMouseEvent* event) {
    // The hit is found before the table handles the click, and the entry of that row is
    // toggled whatever the click did to the selection.
    const QModelIndex hit = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !hit.isValid() || hit.column() != 0) {
        return;
    }
    if (DropDestination* destination = mainDropDestination()) {
        destination->toggleFavourite(static_cast<std::size_t>(hit.row()));
    }
}

}  // namespace m2
