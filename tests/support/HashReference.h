#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Sealkit/Hash/Sha256Compress.h"

namespace m2test {

// The lengths the digest tests cover: 0 to 200 bytes, 2048 and 10000.
std::vector<std::size_t> digestTestLengths();

// Python hashlib's hex digests of patternBytes(n) for each length, one entry per length
// holding one digest per algorithm name ("md5", "sha256", ...). Empty when Python fails.
std::vector<std::vector<std::string>> hashlibDigests(const std::vector<std::size_t>& lengths,
                                                     const std::vector<std::string>& algorithms);

// Runs body once per SHA-256 compression the processor offers (portable, then the SHA
// instructions when present), with the name of each; the default is restored after.
template <class Body>
void forEachSha256Backend(Body body) {
    Morvane::Security::sha256::useHardware(false);
    body("portable");
    if (Morvane::Security::sha256::useHardware(true)) {
        body("SHA instructions");
    }
    Morvane::Security::sha256::useHardware(true);
}

}  // namespace m2test
