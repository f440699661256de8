#pragma once

#include <QObject>

#include <deque>
#include <memory>
#include <mutex>

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
    class Receiver;
    // Runs the oldest waiting work item; one wake-up event is posted per item.
    void runNext();

    // Owned here; events posted to it run on its thread.
    QObject* context_;
    // The work itself passes through this list under a standard mutex, not through Qt's
    // event queue, so the hand-over from a worker is visible to ThreadSanitizer.
    std::mutex mutex_;
    std::deque<Work> pending_;
};

}  // namespace m2::platform::ui
