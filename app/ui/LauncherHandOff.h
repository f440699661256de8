#pragma once

#include <string>

namespace m2 {

// Hands an encrypted document to the launcher with its password (on the launcher's standard
// input, never its command line). Answers whether the launcher started; when it is missing
// or cannot start the user is told why. A path without ".m2p" starts nothing and says nothing.
[[nodiscard]] bool startLauncherForDocument(const std::string& file, std::string_view password);

}  // namespace m2
