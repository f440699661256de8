#pragma once

#include <string>

namespace m2 {

// Who takes over after the login window accepted the master password.
class LoginDelegate {
  public:
    virtual ~LoginDelegate() = default;
    // The master password is in PasswordCredentials::instance(); start the logged-in state.
    virtual void login() = 0;
    // Hands an encrypted document to the launcher.
    virtual void decryptAndOpenFile(const std::string& file, std::string_view password,
                                    bool appShouldTerminiate) = 0;
};

// What start-up asks of the login window when the file manager opens a document before
// anyone has logged in: remember the file and switch to "Decrypt and Open".
class LoginOpenFileMode {
  public:
    virtual ~LoginOpenFileMode() = default;
    virtual void setFileToOpen(const std::string& path) = 0;
    virtual void updateForOpenFileMode() = 0;
};

}  // namespace m2
