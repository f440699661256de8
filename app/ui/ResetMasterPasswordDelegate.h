#pragma once

namespace m2 {

// The confirmation view of a forgotten password, told when the setup sheet in reset mode
// is done (created or cancelled).
class resetMasterPasswordDelegate {
  public:
    virtual ~resetMasterPasswordDelegate() = default;
    virtual void reset() = 0;
};

}  // namespace m2
