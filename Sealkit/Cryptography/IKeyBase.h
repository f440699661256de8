#pragma once

namespace Morvane::Security {

// A key derived from a password; the bytes live inside the object.
class IKeyBase {
  public:
    virtual ~IKeyBase() = default;
    virtual unsigned char* getDigestRaw() = 0;
    // Transforms the key bytes in place.
    virtual void StretchKey() = 0;
};

}  // namespace Morvane::Security
