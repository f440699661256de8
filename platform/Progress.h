#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace m2::platform {

// A determinate progress bar. Main thread only.
class ProgressIndicator {
  public:
    virtual ~ProgressIndicator() = default;
    virtual void setMaxValue(double maximum) = 0;
    virtual void setDoubleValue(double value) = 0;
    [[nodiscard]] virtual double doubleValue() const = 0;
    // Advances the bar; it never goes past its maximum.
    virtual void incrementBy(double delta) = 0;
};

// A one-line text shown to the user, such as a progress label. Main thread only.
class TextField {
  public:
    virtual ~TextField() = default;
    virtual void setStringValue(const std::string& text) = 0;
    [[nodiscard]] virtual std::string stringValue() const = 0;
};

// Carries a worker's progress to a bar and a text line on the main queue at most once per
// interval: steps reported meanwhile add up and the newest text wins, so the window redraws
// a few dozen times a second however fast the work goes, and flush() sends what is left. The
// worker never waits for the main thread. Any thread may report; the bar and the text are
// touched on the main thread only.
class CoalescedProgress : public std::enable_shared_from_this<CoalescedProgress> {
  public:
    static constexpr std::chrono::milliseconds defaultInterval{33};

    [[nodiscard]] static std::shared_ptr<CoalescedProgress> make(
        std::shared_ptr<ProgressIndicator> bar, std::shared_ptr<TextField> text,
        std::chrono::milliseconds interval = defaultInterval);

    // Adds `steps` to the bar and, when given, replaces the text.
    void report(double steps, std::optional<std::string> text = std::nullopt);
    // Work for the main thread (a model change) that goes with the next update, in the order
    // given: the main thread wakes a few dozen times a second, not once per file.
    void post(std::function<void()> work);
    // Posts what is pending at once: it reaches the window before any main-queue work
    // posted after this call.
    void flush();

  private:
    CoalescedProgress(std::shared_ptr<ProgressIndicator> bar, std::shared_ptr<TextField> text,
                      std::chrono::milliseconds interval);
    // Sends the pending state now, or after the interval; the caller holds the lock.
    void scheduleLocked();
    void deliver();

    using Clock = std::chrono::steady_clock;
    const std::shared_ptr<ProgressIndicator> bar_;
    const std::shared_ptr<TextField> text_;
    const std::chrono::milliseconds interval_;
    std::mutex mutex_;
    double steps_ = 0;
    std::optional<std::string> pendingText_;
    std::vector<std::function<void()>> work_;
    bool scheduled_ = false;
    Clock::time_point lastDelivery_{};
};

}  // namespace m2::platform
