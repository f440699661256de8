#pragma once

#include <string>

namespace m2 {

// Whether the launcher has the sealed document at `encryptedPath` open for editing: the
// open-files list holds a record for it ("//" and "/" alike) whose plain copy is still there.
// Only reads the list. Any thread.
[[nodiscard]] bool isOpenForEditing(const std::string& encryptedPath);

}  // namespace m2
