#pragma once

#include <memory>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/ICipherMode.h"

namespace Morvane::Security {

// The chaining mode of a configuration: CBC from format version 3 on, ECB before.
class ModeFactory {
  public:
    [[nodiscard]] std::unique_ptr<ICipherMode> createMode(CCipherConstraints& constraints);
};

}  // namespace Morvane::Security
