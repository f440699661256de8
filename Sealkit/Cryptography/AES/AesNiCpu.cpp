#include <cpuid.h>

#include "Sealkit/Cryptography/AES/AesNi.h"

namespace Morvane::Security::aes::ni {

// Kept apart from the instruction code, which is built for processors that have it.
bool available() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    const bool aes = (ecx & bit_AES) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    return aes && sse41;
}

}  // namespace Morvane::Security::aes::ni
