#pragma once

#include <string>

namespace m2 {

// True, after the warning `message` with the running process's text as details, while the
// main view runs a process (adding files, a batch, a cloud refresh); false when it is idle
// or there is no main view.
[[nodiscard]] bool refusedWhileBusy(const std::string& message);

}  // namespace m2
