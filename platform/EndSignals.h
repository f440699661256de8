#pragma once

#include <functional>
#include <memory>

#include "platform/RunLoop.h"

namespace m2::platform {

// The signals that ask a program to end (SIGTERM, as a desktop sends at log-out; SIGINT and
// SIGHUP from a terminal): while this lives, each calls `onEnd` on the main run loop's
// thread instead of ending the process where it stands, so workers can be stopped and
// waited for. Afterwards the signals end the process again. One at a time per process.
class EndSignals {
  public:
    // Null when the signals could not be caught (they then end the process as ever).
    [[nodiscard]] static std::unique_ptr<EndSignals> install(std::function<void()> onEnd);
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

  private:
    EndSignals() = default;

    std::function<void()> onEnd_;
    std::unique_ptr<RunLoopSource> source_;
};

}  // namespace m2::platform
