#pragma once

#include <memory>

#include "platform/RunLoop.h"
#include "platform/Timer.h"

namespace m2::platform::ui {

// The run loop of the programs: descriptors are watched with QSocketNotifier on the Qt event
// loop of the thread that registers them (the GUI thread).
class QtRunLoop final : public RunLoop {
  public:
    std::unique_ptr<RunLoopSource> addReadableSource(int fd,
                                                     std::function<void()> onReadable) override;

    // Makes a QtRunLoop and installs it as RunLoop::main(); answers it.
    static std::shared_ptr<QtRunLoop> install();
};

// Repeating timers of the programs, as QTimer on the event loop of the scheduling thread.
class QtTimerScheduler final : public TimerScheduler {
  public:
    std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval,
                                             std::function<void()> action) override;

    // Makes a QtTimerScheduler and installs it as TimerScheduler::main(); answers it.
    static std::shared_ptr<QtTimerScheduler> install();
};

}  // namespace m2::platform::ui
