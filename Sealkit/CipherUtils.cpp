#include "Sealkit/CipherUtils.h"

#include <fcntl.h>

#include <cstring>
#include <memory>

#include "Sealkit/FileAccess.h"
#include "Sealkit/Hash/sha2.h"
#include "Sealkit/PathUtils.h"

namespace Morvane::Security {

namespace {

constexpr char kMarker[] = "<qvx>";
constexpr long kMarkerLength = 5;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool CipherUtils::isEncrypted(FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0 || ::ftello(file) <= kMarkerLength) {
        return false;
    }
    char tail[kMarkerLength] = {};
    const bool read = std::fseek(file, -kMarkerLength, SEEK_END) == 0 &&
                      std::fread(tail, 1, sizeof tail, file) == sizeof tail;
    return read && std::memcmp(tail, kMarker, sizeof tail) == 0;
}

bool CipherUtils::isEncrypted(const std::string& name) {
    return name.find(g_morvaneFileExtension) != std::string::npos;
}

bool CipherUtils::isEncryptedFullCheck(const std::string& path) {
    const FilePtr file(openRegularFile(path, O_RDONLY, "rb"));
    return file != nullptr && isEncrypted(file.get());
}

bool CipherUtils::checkHash(const unsigned char* digest, const unsigned char* key,
                            const CCipherConstraints& constraints) {
    const int strength = constraints.getKeyStrength();
    return strength > 0 && std::memcmp(digest, key, static_cast<std::size_t>(strength)) == 0;
}

std::string CipherUtils::setFileExtension(const std::string& path, const std::string& extension,
                                          bool replace, bool /*unused*/) {
    const bool hasExtension = !PathUtils::GetFileExtension(path).empty();
    const std::string dot =
        (hasExtension && !extension.empty() && extension.find('.') == std::string::npos) ? "." : "";
    // Without an extension there is nothing to replace: the new one is appended as is.
    const std::string base = (replace && hasExtension) ? PathUtils::RemoveExtension(path) : path;

    std::string candidate = (replace && hasExtension) ? base + dot + extension : path;
    if (!extension.empty() && !endsWith(candidate, extension)) {
        candidate += extension;
    }
    if (!PathUtils::doesFileExist(candidate)) {
        return candidate;
    }
    for (int n = 1; n <= kMaxCopyNumber; ++n) {
        candidate = base + "_(copy " + std::to_string(n) + ")" + dot + extension;
        if (!PathUtils::doesFileExist(candidate)) {
            return candidate;
        }
    }
    return {};
}

std::string CipherUtils::binaryToHex(const unsigned char* bytes, std::size_t count) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string CipherUtils::createHashFromData(const unsigned char* bytes, std::size_t count,
                                            bool stretch) {
    sha2 hash(bytes, static_cast<int>(count));
    if (stretch) {
        hash.StretchKey();
    }
    return hash.StringHash();
}

std::string CipherUtils::createKeyfileData(const std::string& path) {
    const FilePtr file(openRegularFile(path, O_RDONLY, "rb"));
    if (file == nullptr) {
        return g_keyfileError;
    }
    unsigned char head[kKeyfileBytes];
    if (std::fread(head, 1, sizeof head, file.get()) != sizeof head) {
        return g_keyfileError;
    }
    return createHashFromData(head, sizeof head, false);
}

}  // namespace Morvane::Security
