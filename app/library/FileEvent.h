#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace m2 {

// One file-system change: the path as the event service reported it, its event flags and
// its event id, all unchanged.
struct FileEvent {
    FileEvent(std::string path, std::uint32_t flag, std::uint64_t id)
        : eventPath(std::move(path)), eventFlag(flag), eventId(id) {}

    std::string eventPath;
    std::uint32_t eventFlag;
    std::uint64_t eventId;

    friend bool operator==(const FileEvent&, const FileEvent&) = default;
};

}  // namespace m2
