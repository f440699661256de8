#pragma once

namespace m2::platform {

// Marks a modal alert or panel of ours as on screen for its lifetime. Work that must not
// interrupt the user (the idle lock) skips while any is open.
class ModalSession {
  public:
    ModalSession();
    ~ModalSession();
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;
};

// How many modal alerts and panels of ours are on screen now; any thread.
[[nodiscard]] int modalSessionsInProgress();

}  // namespace m2::platform
