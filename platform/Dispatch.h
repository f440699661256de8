#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace m2::platform {

using Work = std::function<void()>;

// A queue that runs work items asynchronously. Every operation may be called from any
// thread.
class DispatchQueue {
  public:
    virtual ~DispatchQueue() = default;
    virtual void async(Work work) = 0;
    // Runs the work no earlier than `delay` from now.
    virtual void asyncAfter(std::chrono::milliseconds delay, Work work) = 0;
};

// The queue of the main thread: runs work in the order it was posted, one item at a
// time, on the thread that owns the views.
class MainQueue : public DispatchQueue {
  public:
    [[nodiscard]] virtual bool isMainThread() const = 0;
};

enum class QualityOfService { userInitiated, background };

namespace Dispatch {

// The installed main queue. Until a program or a test installs one, a ManualMainQueue
// owned by the thread that first asked is used, so no work is ever dropped.
[[nodiscard]] MainQueue& main();

// Process-wide worker queues. Work runs concurrently on a small pool of threads; a pool
// grows while all its threads are busy, so blocking work does not starve the others.
[[nodiscard]] DispatchQueue& global(QualityOfService qos);

// Waits until no work runs or is due on the worker queues (work delayed to later is not
// waited for), calling `whileWaiting` between looks: the program's end runs the main
// thread's events there, so a job that waits on the main thread can end. True once idle;
// false when `timeout` passed first.
[[nodiscard]] bool waitForWorkers(std::chrono::milliseconds timeout,
                                  const std::function<void()>& whileWaiting = {});

[[nodiscard]] inline bool isMainThread() {
    return main().isMainThread();
}

// Replaces the main queue and answers the previous one. Install before other threads
// post work; the caller keeps the previous queue alive while work may still reach it.
std::shared_ptr<MainQueue> installMain(std::shared_ptr<MainQueue> queue);

}  // namespace Dispatch

// A main queue that runs only when its owner drains it: the main queue of tests, and of
// code that has no event loop. Delayed work follows a manual clock moved by advance().
class ManualMainQueue final : public MainQueue {
  public:
    // The constructing thread is the main thread.
    ManualMainQueue();

    void async(Work work) override;
    void asyncAfter(std::chrono::milliseconds delay, Work work) override;
    [[nodiscard]] bool isMainThread() const override;

    // Runs queued work in order until none is left, including work posted while draining.
    // Answers how many items ran. Call on the main thread.
    std::size_t drain();
    // Runs the oldest queued item, if any; answers whether one ran.
    bool runOne();
    // Moves the manual clock forward; delayed work that falls due joins the queue in the
    // order of its due time (then of posting). Does not run anything.
    void advance(std::chrono::milliseconds by);
    [[nodiscard]] std::size_t pending() const;
    [[nodiscard]] std::size_t pendingDelayed() const;
    // Hands every waiting item, queued and delayed (with the delay it has left), to `next`
    // in order, leaving this queue empty: work posted before a program installs its real
    // main queue is not lost.
    void moveWorkTo(DispatchQueue& next);

  private:
    struct Delayed {
        std::chrono::milliseconds due;
        std::size_t sequence;
        Work work;
    };

    mutable std::mutex mutex_;
    std::vector<Work> ready_;
    std::size_t head_ = 0;
    std::vector<Delayed> delayed_;
    std::chrono::milliseconds now_{0};
    std::size_t sequence_ = 0;
    std::thread::id owner_;
};

// Installs a fresh ManualMainQueue for the scope of a test and restores the previous
// main queue afterwards.
class ScopedManualMainQueue {
  public:
    ScopedManualMainQueue();
    ~ScopedManualMainQueue();
    ScopedManualMainQueue(const ScopedManualMainQueue&) = delete;
    ScopedManualMainQueue& operator=(const ScopedManualMainQueue&) = delete;

    ManualMainQueue& queue() { return *queue_; }
    ManualMainQueue* operator->() { return queue_.get(); }

  private:
    std::shared_ptr<ManualMainQueue> queue_;
    std::shared_ptr<MainQueue> previous_;
};

}  // namespace m2::platform

// Views and the lists they show change only on the main thread.
#ifdef NDEBUG
#define M2_ASSERT_MAIN_THREAD() ((void)0)
#else
#include <cassert>
#define M2_ASSERT_MAIN_THREAD() assert(::m2::platform::Dispatch::isMainThread())
#endif
