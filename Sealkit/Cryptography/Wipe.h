#pragma once

#include <cstddef>
#include <string>

namespace Morvane::Security {

// Overwrites key material and plain text with zeros in a way the optimiser keeps, as
// the memory is about to be freed.
inline void wipe(void* data, std::size_t length) {
    auto* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < length; ++i) {
        p[i] = 0;
    }
}

// Overwrites the stack below the caller's frame, where the functions it called left key
// material behind: spilled registers of the key schedule, copies of blocks. A thread's stack
// is not given back when it ends its work, so these would stay for as long as the thread.
[[gnu::noinline]] inline void wipeStackBelow() {
    unsigned char area[32 * 1024];
    wipe(area, sizeof area);
    asm volatile("" : : "r"(area) : "memory");
}

// Overwrites the whole buffer of a text that held a secret, spare capacity included (a text
// that shrank keeps the longer one there), and empties it.
inline void wipe(std::string& text) {
    text.resize(text.capacity());
    wipe(text.data(), text.size());
    text.clear();
}

}  // namespace Morvane::Security
