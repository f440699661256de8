#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Sealkit/Cryptography/Secret.h"

namespace m2::test {

// Under a sanitizer a scan tells nothing: its shadow memory spans terabytes, and freed blocks
// wait untouched in its quarantine, Qt's own copies among them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool memoryScanTells = false;
#else
inline constexpr bool memoryScanTells = true;
#endif
inline constexpr const char* memoryScanSkipped =
    "a sanitizer build: the memory scan cannot read its shadow memory nor tell its quarantine";

// A value a memory scan looks for, kept masked: the test's own copy never matches it. Its
// plain form exists only inside a Secret handed to the code under test.
class MaskedValue {
  public:
    // Masks the bytes at once; the caller's plain copy is its own to wipe.
    [[nodiscard]] static MaskedValue of(std::string_view plain);
    // The UTF-16 (little-endian) form of a UTF-8 text.
    [[nodiscard]] MaskedValue utf16() const;
    // The lower-case hex text of the bytes.
    [[nodiscard]] MaskedValue hex() const;

    [[nodiscard]] std::size_t size() const { return masked_.size(); }
    [[nodiscard]] unsigned char at(std::size_t i) const {
        return static_cast<unsigned char>(masked_[i] ^ maskAt(i));
    }
    [[nodiscard]] Morvane::Security::Secret reveal() const;
    // The masked bytes as hex, and back: how a value is handed to a process of its own.
    [[nodiscard]] std::string maskedHex() const;
    [[nodiscard]] static MaskedValue fromMaskedHex(std::string_view hex);

  private:
    static unsigned char maskAt(std::size_t i) {
        return static_cast<unsigned char>(0xA5 ^ (i * 29));
    }
    std::vector<unsigned char> masked_;
};

struct MemoryFinding {
    std::string what;  // the name the value was given
    std::uintptr_t address = 0;
    std::string region;  // the mapping's line in /proc/self/maps
};

struct SoughtValue {
    std::string what;
    MaskedValue value;
};

// Every place in this process's writable memory (read through /proc/self/mem, mapping by
// mapping) where one of the values lies. A value longer than the allocator's bookkeeping at
// the start of a freed block (16 bytes) is also sought from there on, since a copy left in
// freed memory has lost its beginning but not the rest.
[[nodiscard]] std::vector<MemoryFinding> scanWritableMemory(const std::vector<SoughtValue>& sought);

// What a scan for a password looks for: its UTF-8 and UTF-16 forms.
[[nodiscard]] std::vector<SoughtValue> passwordForms(const MaskedValue& password);
// What a scan for a password and the file key derived from it looks for: the password's
// forms, and the engine's stretched SHA-256 key, raw and as hex.
[[nodiscard]] std::vector<SoughtValue> passwordAndKeyForms(const MaskedValue& password);

// The findings as lines, for a failure message.
[[nodiscard]] std::string describe(const std::vector<MemoryFinding>& findings);

}  // namespace m2::test
