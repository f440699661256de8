#include "Sealkit/Hash/KeyFactory.h"

#include "Sealkit/Cryptography/Secret.h"
#include "Sealkit/Hash/MD5.h"
#include "Sealkit/Hash/sha2.h"

namespace Morvane::Security {

std::unique_ptr<IKeyBase> KeyFactory::createKey(CCipherConstraints& constraints,
                                                std::string_view password, bool stretch) {
    std::unique_ptr<IKeyBase> key;
    if (constraints.getKeyType() == 2) {
        key = std::make_unique<sha2>(reinterpret_cast<const unsigned char*>(password.data()),
                                     static_cast<int>(password.size()));
    } else {
        // The MD5 variant reads a zero-terminated text.
        const Secret text(password);
        key = std::make_unique<MD5>(text.data());
        if (constraints.getKeyType() != 0) {
            // Legacy MD5 keys are the same digest; the caller keeps the rewritten record.
            constraints.setKeyType(0);
            constraints.setStrength(16);
        }
    }
    if (stretch && constraints.getMorvaneVersion() >= 3) {
        key->StretchKey();
    }
    return key;
}

}  // namespace Morvane::Security
