#pragma once

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <string>
#include <vector>

class QMimeData;

namespace m2 {

class DropDestination;

// The drag-and-drop rules both drop targets share: only local files and folders
// ("text/uri-list" with file URLs) are taken, and they go to the main window's content
// controller, not to the view's own controller.

// The main window's content controller when it takes drops; nullptr otherwise.
[[nodiscard]] DropDestination* mainDropDestination();
// The local paths among the dragged URLs, in their order.
[[nodiscard]] std::vector<std::string> droppedFilePaths(const QMimeData* data);
// Accepts a drag of local files that may be copied; ignores any other.
void enterFileDrag(QDragEnterEvent* event);
// A drag that was let in stays a copy wherever it moves.
void moveFileDrag(QDragMoveEvent* event);
// Hands the dropped paths to the main window's content controller. False when the drag
// held no URLs at all; true otherwise, also when nothing could be handed over.
bool performFileDrop(QDropEvent* event);

// A widget that takes file drops by the rules above.
template <class Widget>
class FileDropTarget : public Widget {
  public:
    using Widget::Widget;

    // Whether the last drop was taken (the drop's answer to its source).
    [[nodiscard]] bool lastDropAccepted() const { return lastDropAccepted_; }

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override { enterFileDrag(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { moveFileDrag(event); }
    void dropEvent(QDropEvent* event) override { lastDropAccepted_ = performFileDrop(event); }

  private:
    bool lastDropAccepted_ = false;
};

}  // namespace m2
