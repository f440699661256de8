#include "platform/RunLoop.h"

#include "platform/Installed.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace m2::platform {

namespace {

Installed<RunLoop, PollRunLoop> g_mainLoop;

}  // namespace

RunLoop& RunLoop::main() {
    return g_mainLoop.get();
}

std::shared_ptr<RunLoop> RunLoop::installMain(std::shared_ptr<RunLoop> loop) {
    return g_mainLoop.install(std::move(loop));
}

// The entry stays shared with the loop, so either may go first.
class PollRunLoop::Source final : public RunLoopSource {
  public:
    explicit Source(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
    ~Source() override { entry_->active = false; }

  private:
    std::shared_ptr<Entry> entry_;
};

std::unique_ptr<RunLoopSource> PollRunLoop::addReadableSource(int fd,
                                                              std::function<void()> onReadable) {
    auto entry = std::make_shared<Entry>(Entry{fd, std::move(onReadable)});
    entries_.push_back(entry);
    return std::make_unique<Source>(std::move(entry));
}

void PollRunLoop::prune() {
    std::erase_if(entries_, [](const auto& entry) { return !entry->active; });
}

std::size_t PollRunLoop::sourceCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e->active; }));
}

std::size_t PollRunLoop::runOnce(std::chrono::milliseconds timeout) {
    prune();
    // A snapshot: handlers may add or end registrations while they run.
    const auto snapshot = entries_;
    std::vector<pollfd> fds;
    fds.reserve(snapshot.size());
    for (const auto& entry : snapshot) {
        fds.push_back({entry->fd, POLLIN, 0});
    }
    int ready = 0;
    do {
        ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    std::size_t ran = 0;
    for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && snapshot[i]->active) {
            snapshot[i]->handler();
            ++ran;
        }
    }
    return ran;
}

bool PollRunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return done();
        }
        runOnce(std::min(left, std::chrono::milliseconds(50)));
    }
    return true;
}

}  // namespace m2::platform
