#pragma once

#include <string>

namespace m2 {

// A password dialog that offers a key file: the key file sheet hands it the key text
// followed by the password typed in the sheet.
class keyfileDelegate {
  public:
    virtual ~keyfileDelegate() = default;
    virtual void useKeyfile(std::string_view key) = 0;
};

}  // namespace m2
