#pragma once

#include <QTableView>

#include "app/ui/FileDrops.h"

namespace m2 {

// The library table: takes files and folders dropped from a file manager, and turns a
// click on a row's star (the first column) into a toggle of that entry's favourite mark.
// Both go to the main window's content controller.
class DropTableView : public FileDropTarget<QTableView> {
  public:
    explicit DropTableView(QWidget* parent = nullptr);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace m2
