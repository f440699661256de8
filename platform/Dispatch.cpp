#include "platform/Dispatch.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <queue>
#include <utility>

namespace m2::platform {

namespace {

std::mutex& mainMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<MainQueue>& mainSlot() {
    static std::shared_ptr<MainQueue> slot;
    return slot;
}

// A throw out of one job ends that job only: the program and the pool's other work go on.
// Jobs that must report their failure catch it themselves; this is the last resort.
void runCaught(const Work& work) {
    try {
        work();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "A background task failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "A background task failed\n");
    }
}

// A pool of worker threads that grows up to a cap while every thread is busy. Pools live
// until the process ends (their threads are detached, idle ones touch nothing); the
// program's end waits for the work itself (waitForWorkers).
class ThreadPool final : public DispatchQueue {
  public:
    ThreadPool(std::size_t maxThreads, int niceness) : maxThreads_(maxThreads), nice_(niceness) {}

    void async(Work work) override { schedule(Clock::now(), std::move(work)); }

    void asyncAfter(std::chrono::milliseconds delay, Work work) override {
        schedule(Clock::now() + std::max(delay, std::chrono::milliseconds(0)), std::move(work));
    }

    // Work running, or queued and due.
    [[nodiscard]] bool busy() {
        const std::lock_guard lock(mutex_);
        return running_ > 0 || (!items_.empty() && items_.top().due <= Clock::now());
    }

  private:
    using Clock = std::chrono::steady_clock;
    struct Item {
        Clock::time_point due;
        std::size_t sequence;
        Work work;
        bool operator>(const Item& other) const {
            return due != other.due ? due > other.due : sequence > other.sequence;
        }
    };

    void schedule(Clock::time_point due, Work work) {
        std::unique_lock lock(mutex_);
        items_.push(Item{due, sequence_++, std::move(work)});
        // A new thread joins while queued items outnumber the idle threads, so items
        // posted together do not wait for one another.
        if (items_.size() > idle_ && threads_ < maxThreads_) {
            ++threads_;
            std::thread([this] { run(); }).detach();
        }
        lock.unlock();
        ready_.notify_one();
    }

    void run() {
        if (nice_ != 0) {
            // Linux applies this to the calling thread only; failure just keeps the default.
            (void)setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice_);
        }
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            while (items_.empty() || items_.top().due > Clock::now()) {
                if (items_.empty()) {
                    ready_.wait(lock);
                } else {
                    // A copy: the queue may grow, and move its items, while this thread waits.
                    const Clock::time_point due = items_.top().due;
                    ready_.wait_until(lock, due);
                }
            }
            --idle_;
            // priority_queue::top is const; the item is popped right after the move.
            Work work = std::move(const_cast<Item&>(items_.top()).work);
            items_.pop();
            // Others may be due too (or a later item may now be the earliest).
            if (!items_.empty()) {
                ready_.notify_one();
            }
            ++running_;
            lock.unlock();
            runCaught(work);
            work = nullptr;
            lock.lock();
            --running_;
        }
    }

    const std::size_t maxThreads_;
    const int nice_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> items_;
    std::size_t sequence_ = 0;
    std::size_t threads_ = 0;
    std::size_t idle_ = 0;
    std::size_t running_ = 0;
};

std::size_t poolCap() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::max<std::size_t>(8, 2 * static_cast<std::size_t>(cores));
}

}  // namespace

namespace Dispatch {

MainQueue& main() {
    std::lock_guard lock(mainMutex());
    auto& slot = mainSlot();
    if (!slot) {
        slot = std::make_shared<ManualMainQueue>();
    }
    return *slot;
}

std::shared_ptr<MainQueue> installMain(std::shared_ptr<MainQueue> queue) {
    std::lock_guard lock(mainMutex());
    return std::exchange(mainSlot(), std::move(queue));
}

namespace {

ThreadPool& pool(QualityOfService qos) {
    // Deliberately never destroyed: see ThreadPool.
    static auto* const userInitiated = new ThreadPool(poolCap(), 0);
    static auto* const background = new ThreadPool(poolCap(), 10);
    return qos == QualityOfService::background ? *background : *userInitiated;
}

}  // namespace

DispatchQueue& global(QualityOfService qos) {
    return pool(qos);
}

bool waitForWorkers(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // An idle answer is checked once more: a job of one pool may post to the other just
        // before it ends.
        bool busy = false;
        for (int look = 0; look < 2 && !busy; ++look) {
            busy = pool(QualityOfService::userInitiated).busy() ||
                   pool(QualityOfService::background).busy();
        }
        if (!busy) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        if (whileWaiting) {
            whileWaiting();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

}  // namespace Dispatch

ManualMainQueue::ManualMainQueue() : owner_(std::this_thread::get_id()) {}

void ManualMainQueue::async(Work work) {
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(work));
}

void ManualMainQueue::asyncAfter(std::chrono::milliseconds delay, Work work) {
    std::lock_guard lock(mutex_);
    delayed_.push_back(Delayed{now_ + std::max(delay, std::chrono::milliseconds(0)), sequence_++,
                               std::move(work)});
}

bool ManualMainQueue::isMainThread() const {
    return std::this_thread::get_id() == owner_;
}

bool ManualMainQueue::runOne() {
    Work work;
    {
        std::lock_guard lock(mutex_);
        if (head_ == ready_.size()) {
            return false;
        }
        work = std::move(ready_[head_++]);
        if (head_ == ready_.size()) {
            ready_.clear();
            head_ = 0;
        }
    }
    // Run outside the lock: the work may post more work.
    work();
    return true;
}

std::size_t ManualMainQueue::drain() {
    std::size_t ran = 0;
    while (runOne()) {
        ++ran;
    }
    return ran;
}

void ManualMainQueue::advance(std::chrono::milliseconds by) {
    std::lock_guard lock(mutex_);
    now_ += by;
    std::stable_sort(delayed_.begin(), delayed_.end(), [](const Delayed& a, const Delayed& b) {
        return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    auto firstLater = std::find_if(delayed_.begin(), delayed_.end(),
                                   [this](const Delayed& d) { return d.due > now_; });
    for (auto it = delayed_.begin(); it != firstLater; ++it) {
        ready_.push_back(std::move(it->work));
    }
    delayed_.erase(delayed_.begin(), firstLater);
}

void ManualMainQueue::moveWorkTo(DispatchQueue& next) {
    std::vector<Work> ready;
    std::vector<Delayed> delayed;
    std::chrono::milliseconds now{};
    {
        std::lock_guard lock(mutex_);
        ready.assign(std::make_move_iterator(ready_.begin() + static_cast<long>(head_)),
                     std::make_move_iterator(ready_.end()));
        ready_.clear();
        head_ = 0;
        delayed.swap(delayed_);
        now = now_;
    }
    for (auto& work : ready) {
        next.async(std::move(work));
    }
    for (auto& d : delayed) {
        next.asyncAfter(d.due - now, std::move(d.work));
    }
}

std::size_t ManualMainQueue::pending() const {
    std::lock_guard lock(mutex_);
    return ready_.size() - head_;
}

std::size_t ManualMainQueue::pendingDelayed() const {
    std::lock_guard lock(mutex_);
    return delayed_.size();
}

ScopedManualMainQueue::ScopedManualMainQueue()
    : queue_(std::make_shared<ManualMainQueue>()), previous_(Dispatch::installMain(queue_)) {}

ScopedManualMainQueue::~ScopedManualMainQueue() {
    Dispatch::installMain(std::move(previous_));
}

}  // namespace m2::platform
