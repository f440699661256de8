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

// Overwrites the whole buffer of a text that held a secret, spare capacity included (a text
// that shrank keeps the longer one there), and empties it.
inline void wipe(std::string& text) {
    text.resize(text.capacity());
    wipe(text.data(), text.size());
    text.clear();
}

}  // namespace Morvane::Security
