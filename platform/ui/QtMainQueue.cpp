#include "platform/ui/QtMainQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>

namespace m2::platform::ui {

namespace {

QEvent::Type runNextEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

// The object whose thread runs the work: each wake-up event runs one item.
class QtMainQueue::Receiver final : public QObject {
  public:
    explicit Receiver(QtMainQueue& queue) : queue_(queue) {}
    bool event(QEvent* event) override {
        bool runNext = false;
        {
            // The event was made and posted under the lock, by whichever thread posted it.
            const std::lock_guard lock(queue_.mutex_);
            runNext = event->type() == runNextEvent();
        }
        if (runNext) {
            queue_.runNext();
            return true;
        }
        return QObject::event(event);
    }

  private:
    QtMainQueue& queue_;
};

QtMainQueue::QtMainQueue() : context_(new Receiver(*this)) {}

QtMainQueue::~QtMainQueue() {
    // Work still queued for the context is dropped with it; the queue lives as long as
    // the program, so this happens only at exit.
    delete context_;
}

void QtMainQueue::async(Work work) {
    // Posted events to one receiver are delivered in the order they were posted, and the
    // list keeps that order: event n runs item n.
    const std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
    QCoreApplication::postEvent(context_, new QEvent(runNextEvent()));
}

void QtMainQueue::runNext() {
    Work work;
    {
        const std::lock_guard lock(mutex_);
        if (pending_.empty()) {
            return;
        }
        work = std::move(pending_.front());
        pending_.pop_front();
    }
    if (work) {
        work();
    }
}

void QtMainQueue::asyncAfter(std::chrono::milliseconds delay, Work work) {
    if (delay <= std::chrono::milliseconds(0)) {
        async(std::move(work));
        return;
    }
    QObject* context = context_;
    // A timer must start on the thread that runs it; post the start there.
    async([context, delay, work = std::move(work)]() mutable {
        QTimer::singleShot(delay, context, std::move(work));
    });
}

bool QtMainQueue::isMainThread() const {
    return QThread::currentThread() == context_->thread();
}

std::shared_ptr<QtMainQueue> QtMainQueue::install() {
    auto queue = std::make_shared<QtMainQueue>();
    const std::shared_ptr<MainQueue> previous = Dispatch::installMain(queue);
    if (auto* manual = dynamic_cast<ManualMainQueue*>(previous.get())) {
        manual->moveWorkTo(*queue);
    }
    return queue;
}

}  // namespace m2::platform::ui
