#include "platform/Timer.h"

#include "platform/Installed.h"

#include <algorithm>
#include <utility>

namespace m2::platform {

namespace {

Installed<TimerScheduler, ManualTimerScheduler> g_mainScheduler;

}  // namespace

TimerScheduler& TimerScheduler::main() {
    return g_mainScheduler.get();
}

std::shared_ptr<TimerScheduler> TimerScheduler::installMain(
    std::shared_ptr<TimerScheduler> scheduler) {
    return g_mainScheduler.install(std::move(scheduler));
}

class ManualTimerScheduler::ManualTimer final : public Timer {
  public:
    explicit ManualTimer(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
    ~ManualTimer() override { invalidate(); }
    void invalidate() override { entry_->valid = false; }
    bool isValid() const override { return entry_->valid; }

  private:
    std::shared_ptr<Entry> entry_;
};

std::unique_ptr<Timer> ManualTimerScheduler::scheduleRepeating(std::chrono::milliseconds interval,
                                                               std::function<void()> action) {
    // A zero interval would make advance() spin for ever.
    interval = std::max(interval, std::chrono::milliseconds(1));
    auto entry =
        std::make_shared<Entry>(Entry{interval, now_ + interval, sequence_++, std::move(action)});
    entries_.push_back(entry);
    return std::make_unique<ManualTimer>(std::move(entry));
}

std::size_t ManualTimerScheduler::advance(std::chrono::milliseconds by) {
    const auto target = now_ + by;
    std::size_t fired = 0;
    for (;;) {
        std::erase_if(entries_, [](const auto& entry) { return !entry->valid; });
        const auto next =
            std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
                return a->due != b->due ? a->due < b->due : a->sequence < b->sequence;
            });
        if (next == entries_.end() || (*next)->due > target) {
            break;
        }
        // Held here, since the action may drop the last other reference to its timer.
        const std::shared_ptr<Entry> entry = *next;
        now_ = entry->due;
        entry->due += entry->interval;
        const auto action = entry->action;
        action();
        ++fired;
    }
    now_ = target;
    return fired;
}

std::size_t ManualTimerScheduler::validTimerCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e->valid; }));
}

}  // namespace m2::platform
