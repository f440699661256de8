#include "app/ui/FileDrops.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/ui/DropDestination.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"

namespace m2 {

DropDestination* mainDropDestination() {
    return dynamic_cast<DropDestination*>(
        platform::ui::Application::instance().mainWindowContentViewController());
}

std::vector<std::string> droppedFilePaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
        }
    }
    return paths;
}

void enterFileDrag(QDragEnterEvent* event) {
    if ((event->possibleActions() & Qt::CopyAction) != 0 &&
        !droppedFilePaths(event->mimeData()).empty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void moveFileDrag(QDragMoveEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

bool performFileDrop(QDropEvent* event) {
    if (event->mimeData() == nullptr || !event->mimeData()->hasUrls()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const std::vector<std::string> paths = droppedFilePaths(event->mimeData());
    if (paths.empty()) {
        return true;
    }
    if (DropDestination* destination = mainDropDestination()) {
        destination->addDroppedFiles(paths);
    }
    return true;
}

}  // namespace m2
