#pragma once

#include <atomic>
#include <cstdint>

#include "platform/Idle.h"

namespace m2 {

// The automatic-lock policy: the idle limit, whether the lock is on, and the decision.
class SessionManager {
  public:
    // Reads the settings on first use.
    [[nodiscard]] static SessionManager& instance();

    // Never locks, active, then load(); idle time comes from `source`.
    explicit SessionManager(platform::IdleTimeSource& source = platform::systemIdleTimeSource());

    // Idle limit in SystemIdleTime's units; -1 means never lock.
    [[nodiscard]] std::int64_t timeout() const { return timeout_; }
    void setTimeout(std::int64_t value) { timeout_ = value; }
    [[nodiscard]] bool active() const { return active_; }
    void setActive(bool value) { active_ = value; }

    // The idle limit this policy locks after; -1 when it never locks.
    [[nodiscard]] std::int64_t lockLimit() const;
    // The same for a policy loaded from the settings as they are stored now.
    [[nodiscard]] static std::int64_t storedLockLimit();
    // True only when the lock is on, a limit is set and the idle time is strictly above it;
    // an idle time that cannot be read never locks.
    [[nodiscard]] bool shouldLogout() const;
    // Writes the idle limit to the settings (the period index is the settings sheet's).
    void save() const;
    // Takes the idle limit and the lock state from the settings.
    void load();
    // Whether this desktop lets the idle time be read at all.
    [[nodiscard]] bool idleTimeAvailable() const;

  private:
    platform::IdleTimeSource& source_;
    std::atomic<std::int64_t> timeout_{-1};
    std::int64_t currentActiveTime_ = 0;  // kept for its place in the record; never used
    std::atomic<bool> active_{true};
};

}  // namespace m2
