#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/Secret.h"

namespace Morvane::Security {

class CFileHeader;

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

    // The configuration recorded in a file's trailer. A trailer that cannot be loaded
    // gives the legacy configuration (Blowfish, key type 0, 16, version 2); an invalid
    // cipher, key type and strength become the user configuration, but the version
    // always stays the trailer's, so a newer file is recognised as such.
    [[nodiscard]] static CCipherConstraints getFileConstraints(const std::string& path);
    [[nodiscard]] static CCipherConstraints constraintsOf(const CFileHeader& header);

    // Derives the key of password (stretched) and compares key-strength bytes.
    [[nodiscard]] static bool checkHash(const unsigned char* digest, std::string_view password,
                                        CCipherConstraints constraints);
    // True when the first key-strength bytes of digest and key are equal.
    [[nodiscard]] static bool checkHash(const unsigned char* digest, const unsigned char* key,
                                        const CCipherConstraints& constraints);

    // A name for the output that no file holds yet: with replace the path's extension is
    // swapped for the given one, otherwise the extension is appended; a taken name gets
    // "_(copy n)" before the extension, n from 1 to 4999. Empty when every name is taken.
    [[nodiscard]] static std::string setFileExtension(const std::string& path,
                                                      const std::string& extension, bool replace,
                                                      bool unused = false);

    // The trailer's hint; "Cant read hint!" when the file cannot be opened or holds no
    // trailer, "No hint available" when the hint is empty.
    [[nodiscard]] static std::string getHint(const std::string& path);

    // An output name no file holds: the source folder, "//", the upper-case hex digest of
    // a pseudo-random integer's decimal text followed by the source path, the source's
    // extension (unless hideExtension) and ".m2p". nameOut receives the part from "//".
    // Empty when no free name was drawn.
    [[nodiscard]] static std::string obfuscateFileName(const std::string& path,
                                                       std::string& nameOut,
                                                       const CCipherConstraints& constraints,
                                                       bool hideExtension);
    // Replaces the per-process seeded source of obfuscated names; an empty function
    // restores it.
    static void setNameRandomSource(NameRandomSource source);

    // Upper-case hex, two digits a byte.
    [[nodiscard]] static std::string binaryToHex(const unsigned char* bytes, std::size_t count);
    // 64 lower-case hex digits of SHA-256, stretched first when asked.
    [[nodiscard]] static std::string createHashFromData(const unsigned char* bytes,
                                                        std::size_t count, bool stretch);
    // The key text of a key file: createHashFromData of exactly its first 2048 bytes, or
    // g_keyfileError when it is shorter, unreadable or not a regular file.
    [[nodiscard]] static Secret createKeyfileData(const std::string& path);
};

}  // namespace Morvane::Security
