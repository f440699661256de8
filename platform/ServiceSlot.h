#pragma once

#include <memory>
#include <mutex>

namespace m2::platform {

// One replaceable service shared by the whole process (the program installs the real one,
// tests a scripted one); safe to read and replace from any thread.
template <typename Service>
class ServiceSlot {
  public:
    void set(std::shared_ptr<Service> service) {
        const std::lock_guard lock(mutex_);
        service_ = std::move(service);
    }
    [[nodiscard]] std::shared_ptr<Service> get() const {
        const std::lock_guard lock(mutex_);
        return service_;
    }

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<Service> service_;
};

}  // namespace m2::platform
