#include "Sealkit/Cryptography/CipherFactory.h"

#include "Sealkit/Cryptography/AesCipher.h"
#include "Sealkit/Cryptography/Blowfish.h"

namespace Morvane::Security {

std::unique_ptr<IBlockCipher> CipherFactory::createCipher(CCipherConstraints& constraints) {
    switch (constraints.getCipherType()) {
        case 1:
            return std::make_unique<AesCipher>();
        case 0:
            return std::make_unique<Blowfish>();
        default:
            return nullptr;
    }
}

}  // namespace Morvane::Security
