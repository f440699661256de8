#pragma once

#include <QObject>
#include <memory>

#include "platform/AlertPresenter.h"

namespace m2::platform::ui {

// Shows alerts as modal QMessageBoxes on the GUI thread. A call from another thread is run on
// the GUI thread and blocks its caller until the user has answered, so the GUI thread must
// never wait for that caller while an alert may be up.
class QtAlertPresenter final : public AlertPresenter {
  public:
    // Make it on the GUI thread once the QApplication exists.
    QtAlertPresenter();
    ~QtAlertPresenter() override;

    int present(const AlertRequest& request) override;

    // Makes a presenter and installs it for every alert of the process; answers it.
    static std::shared_ptr<QtAlertPresenter> install();

  private:
    std::unique_ptr<QObject> context_;  // lives on the GUI thread; calls are queued to it
};

}  // namespace m2::platform::ui
