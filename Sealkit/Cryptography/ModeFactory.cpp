#include "Sealkit/Cryptography/ModeFactory.h"

#include "Sealkit/Cryptography/CBCMode.h"
#include "Sealkit/Cryptography/ECBMode.h"

namespace Morvane::Security {

std::unique_ptr<ICipherMode> ModeFactory::createMode(CCipherConstraints& constraints) {
    const int blockSize = constraints.getBlockSize();
    if (constraints.getMorvaneVersion() > 2) {
        return std::make_unique<CBCMode>(blockSize);
    }
    return std::make_unique<ECBMode>(blockSize);
}

}  // namespace Morvane::Security
