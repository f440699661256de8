#pragma once

#include <string>

#include "app/services/CurrentProcess.h"
#include "app/services/PasswordCredentials.h"

namespace m2 {

// How the password sheets hand back a validated password.
class PasswordEntryDelegate {
  public:
    virtual ~PasswordEntryDelegate() = default;
    // Run the batch `process` on the selected library entries with this password and hint.
    virtual void processFilesFromPasswordEntrySegue(const PasswordCredentials& credentials,
                                                    CurrentProcess process) = 0;
    // Hand the document at `path` to the launcher with this password.
    virtual void startDecryptAndOpenProcess(const PasswordCredentials& credentials,
                                            const std::string& path) = 0;
};

}  // namespace m2
