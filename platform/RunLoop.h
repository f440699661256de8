#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace m2::platform {

// A registration with a run loop. Destroying it ends the registration: its handler is not
// called again, even when that happens inside the handler itself.
class RunLoopSource {
  public:
    virtual ~RunLoopSource() = default;
};

// The event loop of the main thread, as far as file descriptors are concerned.
class RunLoop {
  public:
    virtual ~RunLoop() = default;

    // Calls `onReadable` on the loop's thread whenever `fd` has data to read, until the
    // answered source is destroyed. The handler must read what is there: the loop keeps
    // calling it while the descriptor stays readable.
    [[nodiscard]] virtual std::unique_ptr<RunLoopSource> addReadableSource(
        int fd, std::function<void()> onReadable) = 0;

    // The installed main run loop. Until a program or a test installs one, a PollRunLoop is
    // used, which runs only when someone calls its run functions.
    [[nodiscard]] static RunLoop& main();
    // Replaces the main run loop and answers the previous one. Install before anything
    // registers with it.
    static std::shared_ptr<RunLoop> installMain(std::shared_ptr<RunLoop> loop);
};

// A run loop over poll(2) that turns only when its owner calls runOnce or runUntil: the
// main loop of tests and of code without an event loop.
class PollRunLoop final : public RunLoop {
  public:
    std::unique_ptr<RunLoopSource> addReadableSource(int fd,
                                                     std::function<void()> onReadable) override;

    // Waits up to `timeout` for a registered descriptor to become readable, then calls the
    // handler of each readable one once. Answers how many handlers ran.
    std::size_t runOnce(std::chrono::milliseconds timeout);
    // Turns the loop until `done()` answers true or `timeout` has passed; answers `done()`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    [[nodiscard]] std::size_t sourceCount() const;

  private:
    struct Entry {
        int fd;
        std::function<void()> handler;
        bool active = true;
    };
    class Source;

    void prune();

    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace m2::platform
