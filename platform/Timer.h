#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace m2::platform {

// A repeating timer on the main loop. Destroying it invalidates it.
class Timer {
  public:
    virtual ~Timer() = default;
    // Stops the timer for good; its action is not called again, even when this happens
    // inside the action itself.
    virtual void invalidate() = 0;
    [[nodiscard]] virtual bool isValid() const = 0;
};

class TimerScheduler {
  public:
    virtual ~TimerScheduler() = default;

    // Calls `action` on the main loop every `interval` until the answered timer is
    // invalidated or destroyed.
    [[nodiscard]] virtual std::unique_ptr<Timer> scheduleRepeating(
        std::chrono::milliseconds interval, std::function<void()> action) = 0;

    // The installed scheduler of the main loop. Until a program or a test installs one, a
    // ManualTimerScheduler is used, whose timers fire only when it is advanced.
    [[nodiscard]] static TimerScheduler& main();
    // Replaces the main scheduler and answers the previous one.
    static std::shared_ptr<TimerScheduler> installMain(std::shared_ptr<TimerScheduler> scheduler);
};

// Timers driven by a hand-moved clock, for tests: nothing fires until advance().
class ManualTimerScheduler final : public TimerScheduler {
  public:
    std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval,
                                             std::function<void()> action) override;

    // Moves the clock forward by `by`, firing every timer that falls due on the way, in the
    // order of due time and then of scheduling. Answers how many actions ran.
    std::size_t advance(std::chrono::milliseconds by);
    [[nodiscard]] std::chrono::milliseconds now() const { return now_; }
    [[nodiscard]] std::size_t validTimerCount() const;

  private:
    struct Entry {
        std::chrono::milliseconds interval;
        std::chrono::milliseconds due;
        std::uint64_t sequence;
        std::function<void()> action;
        bool valid = true;
    };
    class ManualTimer;

    std::vector<std::shared_ptr<Entry>> entries_;
    std::chrono::milliseconds now_{0};
    std::uint64_t sequence_ = 0;
};

}  // namespace m2::platform
