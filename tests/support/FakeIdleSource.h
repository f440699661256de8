#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "platform/Idle.h"

namespace m2::test {

// An idle source whose reading the test sets; -1 milliseconds stands for "cannot be read".
class FakeIdleSource final : public platform::IdleTimeSource {
  public:
    platform::IdleSourceKind kind() const override { return platform::IdleSourceKind::none; }
    std::optional<std::uint64_t> idleMilliseconds() override {
        const std::int64_t ms = milliseconds;
        if (ms < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(ms);
    }

    std::atomic<std::int64_t> milliseconds{-1};
};

}  // namespace m2::test
