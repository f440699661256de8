#pragma once

#include <string>

#include "app/services/SecurityResult.h"

namespace m2 {

// What decryptToTempLocation answers: on OK `location` is the plain working copy.
struct TempLocationResult {
    securityResult result = securityResult::CouldNotCopyToTempLocation;
    std::string location;
    std::string reason;
};

// Operations on one encrypted document outside the library batch: open it as a plain working
// copy in the private temporary folder, seal the copy back over the original, remove a file,
// and lock or unlock a file. No state; safe from any thread, one document per call.
class SecurityManagerExtensions {
  public:
    SecurityManagerExtensions() = default;
    [[nodiscard]] static SecurityManagerExtensions& instance();

    // Seals the plain file at `path` (which the encryption destroys) and puts the sealed file
    // in place of `destinationFile`, replacing it in one step. On any failure the destination
    // is as it was.
    [[nodiscard]] securityResult encryptTempBackToOriginal(const std::string& path,
                                                           const std::string& destinationFile,
                                                           const std::string& password,
                                                           const std::string& hint) const;
    // Copies the encrypted file at `path` into the private temporary folder and decrypts the
    // copy there. A failed decryption removes the copy and answers CouldNotOpenFile with the
    // engine's message.
    [[nodiscard]] TempLocationResult decryptToTempLocation(const std::string& path,
                                                           const std::string& password,
                                                           const std::string& hint) const;
    // Removes the file (no overwriting): OK or CouldNotShredFile.
    [[nodiscard]] securityResult shredFile(const std::string& path) const;
    // Locks the file (clears the owner-write bit); errors are ignored.
    void addReadonlyAttribute(const std::string& path) const;
    // Unlocks the file; true only when it was locked and now is not.
    [[nodiscard]] bool removeReadonlyAttribute(const std::string& path) const;
};

}  // namespace m2
