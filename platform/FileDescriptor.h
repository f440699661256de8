#pragma once

#include <unistd.h>

#include <utility>

namespace m2::platform {

// Owns one POSIX file descriptor and closes it when it goes out of scope.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    ~UniqueFd() { reset(); }

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Closes the descriptor now; answers false when close() reported an error, which for a
    // file just written can mean the data did not reach the disk.
    bool reset(int fd = -1) {
        bool ok = true;
        if (fd_ >= 0) {
            ok = ::close(fd_) == 0;
        }
        fd_ = fd;
        return ok;
    }
    [[nodiscard]] int release() { return std::exchange(fd_, -1); }

  private:
    int fd_ = -1;
};

}  // namespace m2::platform
