#include "support/MemoryScan.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory_resource>
#include <sstream>

#include "Sealkit/Hash/sha2.h"

namespace m2::test {
namespace {

constexpr std::size_t kChunk = 1 << 20;
// What the allocator writes over the start of a block it takes back.
constexpr std::size_t kFreedHeader = 16;
// Shorter tails could be anything.
constexpr std::size_t kShortestTail = 12;
constexpr std::size_t kArenaBytes = 16 << 20;
constexpr std::size_t kMapsLimit = 8 << 20;
constexpr std::size_t kMostFindings = 1000;

struct Region {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    std::pmr::string line;
};

// The writable mappings, read with plain reads into memory from `arena`: the scan must not
// take memory from the allocator, whose reuse of freed blocks would overwrite the very copies
// it looks for.
std::pmr::vector<Region> writableRegions(std::pmr::memory_resource* arena) {
    std::pmr::string text(arena);
    text.reserve(kMapsLimit);
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    char piece[4096];
    for (ssize_t n = 0; fd >= 0 && (n = ::read(fd, piece, sizeof piece)) > 0;) {
        text.append(piece, static_cast<std::size_t>(n));
    }
    if (fd >= 0) {
        ::close(fd);
    }
    std::pmr::vector<Region> regions(arena);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::pmr::string::npos ? text.size() : end;
        const std::pmr::string line(text.substr(at, end - at), arena);
        at = end + 1;
        unsigned long begin = 0;
        unsigned long last = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &begin, &last, perms) == 3 &&
            perms[0] == 'r' && perms[1] == 'w') {
            regions.push_back({begin, last, line});
        }
    }
    return regions;
}

// Whether the value, from byte `offset` of it on, lies at `bytes`.
bool matchesAt(const unsigned char* bytes, std::size_t available, const MaskedValue& value,
               std::size_t offset) {
    if (available < value.size() - offset) {
        return false;
    }
    for (std::size_t i = offset; i < value.size(); ++i) {
        if (bytes[i - offset] != value.at(i)) {
            return false;
        }
    }
    return true;
}

struct Form {
    const SoughtValue* value;
    std::size_t offset;  // 0: whole; otherwise what a freed copy keeps
};

}  // namespace

MaskedValue MaskedValue::of(std::string_view plain) {
    MaskedValue value;
    value.masked_.resize(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        value.masked_[i] = static_cast<unsigned char>(plain[i]) ^ maskAt(i);
    }
    return value;
}

MaskedValue MaskedValue::utf16() const {
    MaskedValue out;
    auto push = [&out](unsigned unit) {
        for (const unsigned byte : {unit & 0xFFu, unit >> 8}) {
            const std::size_t i = out.masked_.size();
            out.masked_.push_back(static_cast<unsigned char>(byte) ^ maskAt(i));
        }
    };
    for (std::size_t i = 0; i < size();) {
        const unsigned lead = at(i);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t scalar = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length && i + k < size(); ++k) {
            scalar = (scalar << 6) | (at(i + k) & 0x3Fu);
        }
        i += length;
        if (scalar >= 0x10000) {
            push(0xD800 + ((scalar - 0x10000) >> 10));
            push(0xDC00 + ((scalar - 0x10000) & 0x3FF));
        } else {
            push(scalar);
        }
    }
    return out;
}

MaskedValue MaskedValue::hex() const {
    static const char digits[] = "0123456789abcdef";
    MaskedValue out;
    for (std::size_t i = 0; i < size(); ++i) {
        for (const unsigned nibble : {unsigned{at(i)} >> 4u, unsigned{at(i)} & 15u}) {
            const std::size_t k = out.masked_.size();
            out.masked_.push_back(static_cast<unsigned char>(digits[nibble]) ^ maskAt(k));
        }
    }
    return out;
}

std::string MaskedValue::maskedHex() const {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : masked_) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

MaskedValue MaskedValue::fromMaskedHex(std::string_view hex) {
    MaskedValue value;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        value.masked_.push_back(
            static_cast<unsigned char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return value;
}

Morvane::Security::Secret MaskedValue::reveal() const {
    Morvane::Security::Secret plain;
    plain.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) {
        plain.push_back(static_cast<char>(at(i)));
    }
    return plain;
}

std::vector<MemoryFinding> scanWritableMemory(const std::vector<SoughtValue>& sought) {
    std::size_t longest = 1;
    for (const SoughtValue& s : sought) {
        longest = std::max(longest, s.value.size());
    }
    // One mapping of its own, left out of the scan, for everything the scan needs.
    const std::size_t capacity = kChunk + longest;
    const std::size_t size = capacity + kArenaBytes;
    void* mapped =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const int mem = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (mapped == MAP_FAILED || mem < 0) {
        if (mem >= 0) {
            ::close(mem);
        }
        if (mapped != MAP_FAILED) {
            ::munmap(mapped, size);
        }
        return {{"(the scan could not read /proc/self/mem)", 0, {}}};
    }
    auto* buffer = static_cast<unsigned char*>(mapped);
    std::vector<MemoryFinding> findings;
    {
        std::pmr::monotonic_buffer_resource arena(buffer + capacity, kArenaBytes,
                                                  std::pmr::null_memory_resource());
        const auto own = reinterpret_cast<std::uintptr_t>(mapped);
        struct Found {
            const Form* form;
            std::uintptr_t address;
            const Region* region;
        };
        std::pmr::vector<Form> forms(&arena);
        std::pmr::vector<Found> found(&arena);
        found.reserve(kMostFindings);
        for (const SoughtValue& s : sought) {
            forms.push_back({&s, 0});
            if (s.value.size() >= kFreedHeader + kShortestTail) {
                forms.push_back({&s, kFreedHeader});
            }
        }
        const std::pmr::vector<Region> regions = writableRegions(&arena);
        for (const Region& region : regions) {
            if (own >= region.begin && own < region.end) {
                continue;
            }
            for (std::uintptr_t at = region.begin; at < region.end; at += kChunk) {
                // Each chunk reads on by the longest value, so a value across chunks is found.
                const std::size_t want = std::min<std::uintptr_t>(capacity, region.end - at);
                const ssize_t got = ::pread(mem, buffer, want, static_cast<off_t>(at));
                if (got <= 0) {
                    break;  // a guard page or a device mapping
                }
                const auto length = static_cast<std::size_t>(got);
                const std::size_t starts = std::min(length, kChunk);
                for (const Form& form : forms) {
                    if (form.value->value.size() == form.offset) {
                        continue;
                    }
                    const unsigned char first = form.value->value.at(form.offset);
                    for (std::size_t i = 0; i < starts && found.size() < kMostFindings;) {
                        const void* hit = std::memchr(buffer + i, first, starts - i);
                        if (hit == nullptr) {
                            break;
                        }
                        i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) -
                                                     buffer);
                        if (matchesAt(buffer + i, length - i, form.value->value, form.offset)) {
                            found.push_back({&form, at + i, &region});
                        }
                        ++i;
                    }
                }
            }
        }
        ::close(mem);
        Morvane::Security::wipe(buffer, capacity);
        // Only now, with the scan done, from the allocator.
        for (const Found& f : found) {
            std::string what = f.form->value->what;
            if (f.form->offset != 0) {
                what += " after its first 16 bytes";
            }
            findings.push_back({std::move(what), f.address, std::string(f.region->line)});
        }
    }
    ::munmap(mapped, size);
    return findings;
}

std::vector<SoughtValue> passwordForms(const MaskedValue& password) {
    return {{"the password (UTF-8)", password}, {"the password (UTF-16)", password.utf16()}};
}

std::vector<SoughtValue> passwordAndKeyForms(const MaskedValue& password) {
    std::vector<SoughtValue> forms = passwordForms(password);
    MaskedValue key;
    {
        const Morvane::Security::Secret plain = password.reveal();
        Morvane::Security::sha2 digest(plain.bytes(), static_cast<int>(plain.size()));
        digest.StretchKey();
        key = MaskedValue::of(
            std::string_view(reinterpret_cast<const char*>(digest.getDigestRaw()), 32));
    }
    forms.push_back({"the file key", key});
    forms.push_back({"the file key (hex)", key.hex()});
    return forms;
}

std::string describe(const std::vector<MemoryFinding>& findings) {
    std::ostringstream text;
    for (const MemoryFinding& f : findings) {
        text << f.what << " at 0x" << std::hex << f.address << std::dec << " in " << f.region
             << "\n";
    }
    return text.str();
}

}  // namespace m2::test
