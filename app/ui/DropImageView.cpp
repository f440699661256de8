#include "app/ui/DropImageView.h"

namespace m2 {

DropImageView::DropImageView(QWidget* parent) : FileDropTarget<QLabel>(parent) {
    setAcceptDrops(true);
}

}  // namespace m2
