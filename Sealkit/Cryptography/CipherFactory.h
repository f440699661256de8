#pragma once

#include <memory>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/IBlockCipher.h"

namespace Morvane::Security {

// The block cipher of a configuration: AES for cipher type 1, Blowfish for 0.
class CipherFactory {
  public:
    virtual ~CipherFactory() = default;
    // Null for any other cipher type (only a record that skipped validation has one).
    [[nodiscard]] std::unique_ptr<IBlockCipher> createCipher(CCipherConstraints& constraints);
};

}  // namespace Morvane::Security
