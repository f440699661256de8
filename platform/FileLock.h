#pragma once

#include <filesystem>

#include "platform/FileDescriptor.h"

namespace m2::platform {

// An exclusive advisory lock (flock) on a lock file, held until the object goes. Every process and
// thread that locks the same file takes turns; the lock file itself is never removed, as
// removing it would let two holders lock two different files.
class FileLock {
  public:
    // Waits until the lock is held. Not held when the lock file cannot be opened or made
    // (a missing or read-only folder); the caller then goes on without it.
    [[nodiscard]] static FileLock acquire(const std::filesystem::path& lockFile);
    // Takes the lock only when no one holds it; not held otherwise (or as acquire fails).
    [[nodiscard]] static FileLock tryAcquire(const std::filesystem::path& lockFile);

    [[nodiscard]] bool held() const { return fd_.valid(); }

  private:
    explicit FileLock(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;  // closing it releases the lock
};

}  // namespace m2::platform
