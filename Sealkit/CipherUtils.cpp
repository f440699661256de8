#include "Sealkit/CipherUtils.h"

#include <fcntl.h>

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>

#include "Sealkit/Cryptography/Wipe.h"
#include "Sealkit/FileAccess.h"
#include "Sealkit/FileHeader/Convertor.h"
#include "Sealkit/FileHeader/FileHeader.h"
#include "Sealkit/Hash/KeyFactory.h"
#include "Sealkit/Hash/sha2.h"
#include "Sealkit/PathUtils.h"

namespace Morvane::Security {

namespace {

constexpr char kMarker[] = "<qvx>";
constexpr long kMarkerLength = 5;

constexpr int kLegacyCipher = 0, kLegacyKeyType = 0, kLegacyStrength = 16, kLegacyVersion = 2;
constexpr int kNameDraws = 64;

// Seeded once per process from the system's random device; batches draw from workers.
class NameRandom {
  public:
    int next() {
        const std::lock_guard lock(mutex);
        if (injected) {
            return injected();
        }
        return std::uniform_int_distribution<int>(0, INT_MAX)(engine);
    }
    void inject(CipherUtils::NameRandomSource source) {
        const std::lock_guard lock(mutex);
        injected = std::move(source);
    }

  private:
    std::mutex mutex;
    std::mt19937 engine{std::random_device{}()};
    CipherUtils::NameRandomSource injected;
};

NameRandom& nameRandom() {
    static NameRandom random;
    return random;
}

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

CCipherConstraints CipherUtils::constraintsOf(const CFileHeader& header) {
    CCipherConstraints c(header.getCipherType(), header.getKeyType(), header.getKeySize(),
                         static_cast<int>(header.getVersion()));
    c.setVersion(static_cast<int>(header.getVersion()));
    c.setFileSize(header.getDataSize());
    return c;
}

CCipherConstraints CipherUtils::getFileConstraints(const std::string& path) {
    const FilePtr file(openRegularFile(path, O_RDONLY, "rb"));
    CFileHeader header;
    if (file == nullptr || !header.LoadFromFile(file.get())) {
        return CCipherConstraints(kLegacyCipher, kLegacyKeyType, kLegacyStrength, kLegacyVersion);
    }
    return constraintsOf(header);
}

std::string CipherUtils::getHint(const std::string& path) {
    const FilePtr file(openRegularFile(path, O_RDONLY, "rb"));
    CFileHeader header;
    if (file == nullptr || !header.LoadFromFile(file.get())) {
        return "Cant read hint!";
    }
    const std::string hint = header.getHint();
    return hint.empty() ? "No hint available" : hint;
}

bool CipherUtils::checkHash(const unsigned char* digest, std::string_view password,
                            CCipherConstraints constraints) {
    const std::unique_ptr<IKeyBase> key(KeyFactory().createKey(constraints, password, true));
    return key != nullptr && key->getDigestRaw() != nullptr &&
           checkHash(digest, key->getDigestRaw(), constraints);
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

std::string CipherUtils::obfuscateFileName(const std::string& path, std::string& nameOut,
                                           const CCipherConstraints& constraints,
                                           bool hideExtension) {
    const std::string extension = PathUtils::GetFileExtension(path);
    const std::string suffix =
        (hideExtension || extension.empty() ? "" : "." + extension) + g_morvaneFileExtension;
    // A bare name is in the current folder.
    const std::string folder = PathUtils::FolderOf(path);
    for (int draw = 0; draw < kNameDraws; ++draw) {
        CCipherConstraints c = constraints;
        std::string seed = std::to_string(nameRandom().next()) + path;
        const std::unique_ptr<IKeyBase> digest(KeyFactory().createKey(c, seed, false));
        if (digest == nullptr || digest->getDigestRaw() == nullptr || c.getKeyStrength() <= 0) {
            return {};
        }
        nameOut =
            "//" +
            binaryToHex(digest->getDigestRaw(), static_cast<std::size_t>(c.getKeyStrength())) +
            suffix;
        if (!PathUtils::doesFileExist(folder + nameOut)) {
            return folder + nameOut;
        }
    }
    nameOut.clear();
    return {};
}

void CipherUtils::setNameRandomSource(NameRandomSource source) {
    nameRandom().inject(std::move(source));
}

std::string CipherUtils::binaryToHex(const unsigned char* bytes, std::size_t count) {
    return Morvane::Utils::Convertor::BinaryToHexAscii(bytes, count);
}

std::string CipherUtils::createHashFromData(const unsigned char* bytes, std::size_t count,
                                            bool stretch) {
    sha2 hash(bytes, static_cast<int>(count));
    if (stretch) {
        hash.StretchKey();
    }
    return hash.StringHash();
}

Secret CipherUtils::createKeyfileData(const std::string& path) {
    const FilePtr file(openRegularFile(path, O_RDONLY, "rb"));
    if (file == nullptr) {
        return Secret(g_keyfileError);
    }
    // Unbuffered, so the key file's bytes are only ever in head.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    unsigned char head[kKeyfileBytes];
    const bool complete = std::fread(head, 1, sizeof head, file.get()) == sizeof head;
    Secret key(g_keyfileError);
    if (complete) {
        const sha2 hash(head, static_cast<int>(sizeof head));
        key = Secret(hash.HexHash());
    }
    wipe(head, sizeof head);
    return key;
}

}  // namespace Morvane::Security
