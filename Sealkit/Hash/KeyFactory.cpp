#include "Sealkit/Hash/KeyFactory.h"

#include "Sealkit/Hash/MD5.h"
#include "Sealkit/Hash/sha2.h"

namespace Morvane::Security {

std::unique_ptr<IKeyBase> KeyFactory::createKey(CCipherConstraints& constraints,
                                                std::string& password, bool stretch) {
    const std::string text = password;
    std::unique_ptr<IKeyBase> key;
    if (constraints.getKeyType() == 2) {
        key = std::make_unique<sha2>(reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
    } else {
        key = std::make_unique<MD5>(text.c_str());
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
