#include "platform/Progress.h"

#include <utility>

#include "platform/Dispatch.h"

namespace m2::platform {

std::shared_ptr<CoalescedProgress> CoalescedProgress::make(std::shared_ptr<ProgressIndicator> bar,
                                                           std::shared_ptr<TextField> text,
                                                           std::chrono::milliseconds interval) {
    return std::shared_ptr<CoalescedProgress>(
        new CoalescedProgress(std::move(bar), std::move(text), interval));
}

CoalescedProgress::CoalescedProgress(std::shared_ptr<ProgressIndicator> bar,
                                     std::shared_ptr<TextField> text,
                                     std::chrono::milliseconds interval)
    : bar_(std::move(bar)), text_(std::move(text)), interval_(interval) {}

void CoalescedProgress::report(double steps, std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    steps_ += steps;
    if (text) {
        pendingText_ = std::move(text);
    }
    scheduleLocked();
}

void CoalescedProgress::post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    work_.push_back(std::move(work));
    scheduleLocked();
}

void CoalescedProgress::scheduleLocked() {
    if (scheduled_) {
        return;  // the step on its way takes this state too
    }
    scheduled_ = true;
    const auto due = lastDelivery_ + interval_;
    const auto now = Clock::now();
    auto step = [self = shared_from_this()] { self->deliver(); };
    if (now >= due) {
        Dispatch::main().async(std::move(step));
    } else {
        Dispatch::main().asyncAfter(std::chrono::ceil<std::chrono::milliseconds>(due - now),
                                    std::move(step));
    }
}

void CoalescedProgress::flush() {
    std::lock_guard lock(mutex_);
    if (steps_ == 0 && !pendingText_ && work_.empty()) {
        return;
    }
    // A delayed step still on its way then finds nothing left to show.
    scheduled_ = true;
    Dispatch::main().async([self = shared_from_this()] { self->deliver(); });
}

void CoalescedProgress::deliver() {
    double steps = 0;
    std::optional<std::string> text;
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        steps = std::exchange(steps_, 0.0);
        text = std::exchange(pendingText_, std::nullopt);
        work.swap(work_);
        scheduled_ = false;
        lastDelivery_ = Clock::now();
    }
    for (const auto& change : work) {
        change();
    }
    if (text && text_) {
        text_->setStringValue(*text);
    }
    if (steps != 0 && bar_) {
        bar_->incrementBy(steps);
    }
}

}  // namespace m2::platform
