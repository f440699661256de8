#pragma once

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <vector>

namespace m2::test {

// What a file manager puts on the clipboard when files are dragged: their file URLs.
inline std::unique_ptr<QMimeData> fileDrag(const std::vector<std::filesystem::path>& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const auto& path : paths) {
        urls.append(QUrl::fromLocalFile(QString::fromStdString(path.string())));
    }
    data->setUrls(urls);
    return data;
}

// Drags the data over the widget and drops it there, as the window system delivers it:
// enter, then (when let in) a move that must stay a copy, then the drop, which is sent in
// any case. Answers whether the drag was let in as a copy.
inline bool dragAndDrop(QWidget* widget, QMimeData* data, Qt::DropActions actions) {
    const QPoint point(5, 5);
    QDragEnterEvent enter(point, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    bool entered = enter.isAccepted();
    if (entered) {
        QDragMoveEvent move(point, actions, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
        entered = move.isAccepted() && move.dropAction() == Qt::CopyAction;
    }
    QDropEvent drop(QPointF(point), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return entered;
}

}  // namespace m2::test
