#pragma once

#include <QLabel>

#include "app/ui/FileDrops.h"

namespace m2 {

// The picture in the main window onto which files and folders can be dropped; they go to
// the main window's content controller, which adds them to the shown library folder.
class DropImageView : public FileDropTarget<QLabel> {
  public:
    explicit DropImageView(QWidget* parent = nullptr);
};

}  // namespace m2
