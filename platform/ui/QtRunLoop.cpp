#include "platform/ui/QtRunLoop.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <utility>

namespace m2::platform::ui {

namespace {

// What the Qt object's handler shares with the handle that owns the object: the handle may
// be destroyed inside the handler, and the handler must then touch nothing of it.
struct HandlerState {
    std::function<void()> action;
    bool running = false;
};

void runHandler(const std::shared_ptr<HandlerState>& state) {
    const auto keep = state;
    const auto action = keep->action;
    keep->running = true;
    action();
    keep->running = false;
}

// Ends a Qt object that may be emitting right now: deleted later in that case, so its
// signal returns into a live object.
template <typename QtObject>
void release(std::unique_ptr<QtObject>& object, const HandlerState& state) {
    if (!object) {
        return;
    }
    object->disconnect();
    if (state.running) {
        object.release()->deleteLater();
    } else {
        object.reset();
    }
}

class QtReadableSource final : public RunLoopSource {
  public:
    QtReadableSource(int fd, std::function<void()> onReadable)
        : state_(std::make_shared<HandlerState>(HandlerState{std::move(onReadable)})),
          notifier_(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [state = state_] { runHandler(state); });
    }
    ~QtReadableSource() override {
        notifier_->setEnabled(false);
        release(notifier_, *state_);
    }
    QtReadableSource(const QtReadableSource&) = delete;
    QtReadableSource& operator=(const QtReadableSource&) = delete;

  private:
    std::shared_ptr<HandlerState> state_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

class QtTimer final : public Timer {
  public:
    QtTimer(std::chrono::milliseconds interval, std::function<void()> action)
        : state_(std::make_shared<HandlerState>(HandlerState{std::move(action)})),
          timer_(std::make_unique<QTimer>()) {
        QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(),
                         [state = state_] { runHandler(state); });
        timer_->start(interval);
    }
    ~QtTimer() override { invalidate(); }
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void invalidate() override {
        if (timer_) {
            timer_->stop();
        }
        release(timer_, *state_);
    }
    bool isValid() const override { return timer_ != nullptr; }

  private:
    std::shared_ptr<HandlerState> state_;
    std::unique_ptr<QTimer> timer_;
};

}  // namespace

std::unique_ptr<RunLoopSource> QtRunLoop::addReadableSource(int fd,
                                                            std::function<void()> onReadable) {
    return std::make_unique<QtReadableSource>(fd, std::move(onReadable));
}

std::shared_ptr<QtRunLoop> QtRunLoop::install() {
    auto loop = std::make_shared<QtRunLoop>();
    RunLoop::installMain(loop);
    return loop;
}

std::unique_ptr<Timer> QtTimerScheduler::scheduleRepeating(std::chrono::milliseconds interval,
                                                           std::function<void()> action) {
    return std::make_unique<QtTimer>(interval, std::move(action));
}

std::shared_ptr<QtTimerScheduler> QtTimerScheduler::install() {
    auto scheduler = std::make_shared<QtTimerScheduler>();
    TimerScheduler::installMain(scheduler);
    return scheduler;
}

}  // namespace m2::platform::ui
