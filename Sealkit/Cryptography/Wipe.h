#pragma once

#include <cstddef>

namespace Morvane::Security {

// Overwrites key material and plain text with zeros in a way the optimiser keeps, as
// the memory is about to be freed.
inline void wipe(void* data, std::size_t length) {
    auto* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < length; ++i) {
        p[i] = 0;
    }
}

}  // namespace Morvane::Security
