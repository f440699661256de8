#pragma once

#include <cstdint>

#include "platform/Idle.h"

namespace m2 {

// Reads how long the whole session has been without keyboard or mouse input.
class IdleObject {
  public:
    IdleObject();  // the process's own idle source
    explicit IdleObject(platform::IdleTimeSource& source) : source_(source) {}

    // In units of nanoseconds shifted right by 30 (about 1.074 s); -1 when it cannot be read.
    [[nodiscard]] std::int64_t SystemIdleTime() const;
    // Whether idle time can be read on this desktop at all; when not, automatic locking
    // cannot work and the user should be told.
    [[nodiscard]] bool isAvailable() const { return SystemIdleTime() >= 0; }

  private:
    platform::IdleTimeSource& source_;
};

}  // namespace m2
