#pragma once

#include <cstdint>
#include <optional>

namespace m2::platform {

// A session-bus idle service: who answers, where, and the reply's number type.
struct IdleBusMethod {
    const char* service;
    const char* objectPath;
    const char* interface;
    const char* method;
    const char* replyType;  // "(t)" or "(u)": milliseconds since the last input
};

// Asks the service once, without starting it; absent when nobody answers in time or the
// service refuses.
[[nodiscard]] std::optional<std::uint64_t> callIdleMethod(const IdleBusMethod& call);

}  // namespace m2::platform
