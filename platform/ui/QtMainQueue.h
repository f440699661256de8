#pragma once

#include <QObject>

#include "platform/Dispatch.h"

namespace m2::platform::ui {

// The main queue of the programs: work runs on the Qt event loop of the thread that made
// the queue (make it on the GUI thread after the QApplication exists). Work posted from
// one thread runs in posting order.
class QtMainQueue final : public MainQueue {
  public:
    QtMainQueue();
    ~QtMainQueue() override;

    void async(Work work) override;
    void asyncAfter(std::chrono::milliseconds delay, Work work) override;
    [[nodiscard]] bool isMainThread() const override;

    // Makes a QtMainQueue and installs it as Dispatch::main(), taking over the work waiting in
    // the hand-drained queue used until then; answers the queue.
    static std::shared_ptr<QtMainQueue> install();

  private:
    // Owned here; events posted to it run on its thread.
    QObject* context_;
};

}  // namespace m2::platform::ui
