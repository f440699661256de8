#pragma once

#include "platform/OpenPanel.h"

class QWidget;

namespace m2::platform::ui {

// The open panel as a QFileDialog, modal over the given parent window (may be null). The
// dialog is Qt's own rather than the desktop's, so folders too can be chosen several at once.
class QtOpenPanel final : public OpenPanel {
  public:
    explicit QtOpenPanel(QWidget* parent = nullptr) : parent_(parent) {}
    [[nodiscard]] OpenPanelResult runModal(const OpenPanelOptions& options) override;

  private:
    QWidget* parent_;
};

}  // namespace m2::platform::ui
