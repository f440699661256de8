#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "Sealkit/CipherConstraints.h"

namespace Morvane::Security {

inline const std::string g_morvaneFileExtension = ".m2p";
inline const std::string g_zipExtension = ".zip";
inline const std::string g_keyfileError = "Error, could not create keyfile";

// Static operations the file pipelines share.
class CipherUtils {
  public:
    // Gives the pseudo-random integers of obfuscated names; tests inject their own.
    using NameRandomSource = std::function<int()>;

    static constexpr int kMaxCopyNumber = 4999;
    static constexpr std::size_t kKeyfileBytes = 2048;

    virtual ~CipherUtils() = default;

    // True when the open file is at least 6 bytes long and ends in "<qvx>"; leaves the
    // position at the end.
    [[nodiscard]] static bool isEncrypted(FILE* file);
    // True when the name contains ".m2p" anywhere.
    [[nodiscard]] static bool isEncrypted(const std::string& name);
    [[nodiscard]] static bool isEncryptedFullCheck(const std::string& path);

    // True when the first key-strength bytes of digest and key are equal.
    [[nodiscard]] static bool checkHash(const unsigned char* digest, const unsigned char* key,
                                        const CCipherConstraints& constraints);

    // A name for the output that no file holds yet: with replace the path's extension is
    // swapped for the given one, otherwise the extension is appended; a taken name gets
    // "_(copy n)" before the extension, n from 1 to 4999. Empty when every name is taken.
    [[nodiscard]] static std::string setFileExtension(const std::string& path,
                                                      const std::string& extension, bool replace,
                                                      bool unused = false);

    // Upper-case hex, two digits a byte.
    [[nodiscard]] static std::string binaryToHex(const unsigned char* bytes, std::size_t count);
    // 64 lower-case hex digits of SHA-256, stretched first when asked.
    [[nodiscard]] static std::string createHashFromData(const unsigned char* bytes,
                                                        std::size_t count, bool stretch);
    // The key text of a key file: createHashFromData of exactly its first 2048 bytes, or
    // g_keyfileError when it is shorter, unreadable or not a regular file.
    [[nodiscard]] static std::string createKeyfileData(const std::string& path);
};

}  // namespace Morvane::Security
