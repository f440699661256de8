#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace m2::test {

// Holds worker threads at one point until the test lets them through, so a test can act
// while work is known to be half done. Every call is safe from any thread.
class WorkerGate {
  public:
    // Called by the worker: counts its arrival and blocks until the gate is open.
    void pass() {
        std::unique_lock lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }

    // Called by the test: waits until `count` workers have arrived; false on time-out.
    [[nodiscard]] bool waitForArrivals(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return arrived_ >= count; });
    }
    [[nodiscard]] std::size_t arrived() const {
        const std::lock_guard lock(mutex_);
        return arrived_;
    }

    // Lets every waiting and later worker through.
    void release() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t arrived_ = 0;
    bool open_ = false;
};

}  // namespace m2::test
