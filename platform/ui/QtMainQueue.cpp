#include "platform/ui/QtMainQueue.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace m2::platform::ui {

QtMainQueue::QtMainQueue() : context_(new QObject) {}

QtMainQueue::~QtMainQueue() {
    // Work still queued for the context is dropped with it; the queue lives as long as
    // the program, so this happens only at exit.
    delete context_;
}

void QtMainQueue::async(Work work) {
    // Queued invocations on one receiver are delivered in the order they were posted.
    QMetaObject::invokeMethod(context_, std::move(work), Qt::QueuedConnection);
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
