#pragma once

#include <memory>
#include <string_view>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/IKeyBase.h"

namespace Morvane::Security {

// The password-derived key object of a configuration.
class KeyFactory {
  public:
    // Key type 2: SHA-256 over every byte of the password. Key type 0: the MD5-variant
    // digest of the password up to its first zero byte. Any other type gets the same
    // MD5-variant key, and the caller's record is rewritten to key type 0, strength 16.
    // Stretched when stretch is set and the version is 3 or more.
    [[nodiscard]] std::unique_ptr<IKeyBase> createKey(CCipherConstraints& constraints,
                                                      std::string_view password, bool stretch);

    // How many bytes at getDigestRaw() the key object of this key type defines: 64 for
    // SHA-256 (the digest, then zeros), 16 for the MD5 variant. A strength above this
    // asks for bytes no key object holds.
    [[nodiscard]] static int definedKeyBytes(int keyType) { return keyType == 2 ? 64 : 16; }
};

}  // namespace Morvane::Security
