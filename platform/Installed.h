#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace m2::platform {

// The one implementation of a platform interface a program has installed, made as `Default`
// when asked for before anything was installed.
template <typename Interface, typename Default>
class Installed {
  public:
    [[nodiscard]] Interface& get() {
        const std::lock_guard lock(mutex_);
        if (!current_) {
            current_ = std::make_shared<Default>();
        }
        return *current_;
    }
    // Answers the previous one, which the caller keeps alive while it may still be in use.
    std::shared_ptr<Interface> install(std::shared_ptr<Interface> next) {
        const std::lock_guard lock(mutex_);
        return std::exchange(current_, std::move(next));
    }

  private:
    std::mutex mutex_;
    std::shared_ptr<Interface> current_;
};

}  // namespace m2::platform
