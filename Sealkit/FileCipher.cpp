#include "Sealkit/FileCipher.h"

#include <cstring>

#include "Sealkit/CipherUtils.h"
#include "Sealkit/Cryptography/CipherFactory.h"
#include "Sealkit/Cryptography/ModeFactory.h"
#include "Sealkit/Cryptography/Wipe.h"
#include "Sealkit/Hash/KeyFactory.h"
#include "Sealkit/Hash/sha2.h"
#include "Sealkit/PathUtils.h"

namespace Morvane::Security {

namespace {

constexpr int kIvBytes = 16;
constexpr int kAesKeyBytes = 32;
constexpr int kAesCipherType = 1;
constexpr std::size_t kShortNameDigits = 16;

// The key bytes a configuration may use: what its key object defines, and at least
// the 32 bytes AES always reads.
bool keyBytesDefined(const CCipherConstraints& c) {
    const int strength = c.getKeyStrength();
    return strength > 0 && strength <= KeyFactory::definedKeyBytes(c.getKeyType()) &&
           (c.getCipherType() != kAesCipherType || strength >= kAesKeyBytes);
}

}  // namespace

FileCipher::FileCipher(bool encryptFilename_, std::string_view password_)
    : encryptFilename(encryptFilename_),
      password(password_),
      cipherFactory(std::make_unique<CipherFactory>()),
      keyFactory(std::make_unique<KeyFactory>()),
      secureDelete(std::make_unique<CSecureDelete>(1)),
      modeFactory(std::make_unique<ModeFactory>()),
      iv(std::make_unique<IV>(kIvBytes)) {}

FileCipher::FileCipher(bool encryptFilename_, std::string_view password_,
                       CCipherConstraints& constraints_)
    : FileCipher(encryptFilename_, password_) {
    (void)setConstraints(constraints_);
}

FileCipher::~FileCipher() {
    if (key != nullptr) {
        wipe(key.get(), static_cast<std::size_t>(constraints.getKeyStrength()));
    }
    wipeStackBelow();
}

bool FileCipher::setConstraints(CCipherConstraints& given) {
    if (key != nullptr) {
        wipe(key.get(), static_cast<std::size_t>(constraints.getKeyStrength()));
    }
    cipher.reset();
    key.reset();
    checkDigest.reset();
    mode.reset();
    constraints = CCipherConstraints();

    std::unique_ptr<IBlockCipher> newCipher(cipherFactory->createCipher(given));
    std::unique_ptr<ICipherMode> newMode(modeFactory->createMode(given));
    std::unique_ptr<IKeyBase> keyObject(keyFactory->createKey(given, password.view(), true));
    ++keyDerivations;
    // The strength is read after createKey, which may have rewritten it.
    if (newCipher == nullptr || newMode == nullptr || keyObject == nullptr ||
        keyObject->getDigestRaw() == nullptr || !keyBytesDefined(given)) {
        return false;
    }
    const auto strength = static_cast<std::size_t>(given.getKeyStrength());
    auto newKey = std::make_unique<unsigned char[]>(strength);
    std::memcpy(newKey.get(), keyObject->getDigestRaw(), strength);
    wipe(keyObject->getDigestRaw(), strength);
    newCipher->Initialize(newKey.get(), static_cast<int>(strength));
    // Both ciphers encode whole blocks: 16 and 8 divide every strength allowed here.
    auto newDigest = std::make_unique<unsigned char[]>(strength);
    newCipher->Encode(newKey.get(), newDigest.get(), static_cast<unsigned>(strength));

    wipeStackBelow();
    cipher = std::move(newCipher);
    mode = std::move(newMode);
    key = std::move(newKey);
    checkDigest = std::move(newDigest);
    constraints = given;
    return true;
}

std::string FileCipher::temporaryNameFor(const std::string& document, const std::string& suffix) {
    const std::string own = PathUtils::FileNameOf(document);
    if (PathUtils::NameFits(PathUtils::FolderOf(document) + "/" + own + suffix)) {
        return own + suffix;
    }
    const sha2 digest(reinterpret_cast<const unsigned char*>(own.data()),
                      static_cast<int>(own.size()));
    return "." + digest.StringHash().substr(0, kShortNameDigits) + suffix;
}

void FileCipher::removeStaleTemporary(const std::string& path) {
    if (isOwnTemporary(path)) {
        (void)secureDelete->deleteFile(path);
    }
}

bool FileCipher::isEncrypted() const {
    return input != nullptr && CipherUtils::isEncrypted(input.get());
}

}  // namespace Morvane::Security
