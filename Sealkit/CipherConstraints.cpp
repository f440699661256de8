#include "Sealkit/CipherConstraints.h"

namespace Morvane::Security {

CCipherConstraints::CCipherConstraints(int cipherType_, int keyType_, int keyStrength_,
                                       int version_)
    : cipherType(cipherType_), keyType(keyType_), keyStrength(keyStrength_), version(version_) {
    if (!isValid(cipherType, keyType, keyStrength)) {
        CreateUserConstraint();
    }
}

bool CCipherConstraints::isValid(int cipherType, int keyType, int keyStrength) {
    const bool strengthOk =
        keyStrength == 16 || keyStrength == 32 || keyStrength == 64 || keyStrength == 128;
    // Unsigned comparisons, so negative types are invalid too.
    return strengthOk && static_cast<unsigned>(cipherType) < 2u &&
           static_cast<unsigned>(keyType) < 3u;
}

bool CCipherConstraints::validate() {
    if (isValid(cipherType, keyType, keyStrength)) {
        return false;
    }
    CreateUserConstraint();
    return true;
}

void CCipherConstraints::CreateUserConstraint() {
    cipherType = 1;
    keyType = 2;
    keyStrength = 32;
    version = 6;
}

int CCipherConstraints::getKeyLength() const {
    switch (keyType) {
        case 0:
            return 16;
        case 1:
            return 28;
        case 2:
            return 32;
        default:
            return 0;
    }
}

int CCipherConstraints::getBlockSize() const {
    return cipherType == 1 ? 16 : 8;
}

bool CCipherConstraints::operator==(const CCipherConstraints& other) const {
    return cipherType == other.cipherType && keyType == other.keyType &&
           keyStrength == other.keyStrength && version == other.version;
}

}  // namespace Morvane::Security
