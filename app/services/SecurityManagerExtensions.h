#pragma once

#include <functional>
#include <string>

#include "app/services/SecurityResult.h"
#include "platform/WorkingFolders.h"

namespace m2 {

// What decryptToTempLocation answers: on OK `location` is the plain working copy.
struct TempLocationResult {
    securityResult result = securityResult::CouldNotCopyToTempLocation;
    std::string location;
    std::string reason;
    // A failed decryption where the password check itself failed (not a damaged file).
    bool passwordRefused = false;
};

// Where the edits are after an edited file was sealed back, and why a failure happened.
struct SealBackResult {
    securityResult result = securityResult::CouldNotReencrypt;
    // OK: the sealed file that now holds the edits. Failure: the file in the working folder
    // that still holds them (empty when none does).
    std::string location;
    // Failure: `location` is a complete sealed copy, so there is nothing to encrypt or shred.
    bool encrypted = false;
    // Failure: the system's or the engine's reason.
    std::string reason;

    [[nodiscard]] bool ok() const { return result == securityResult::OK; }
};

// Operations on one encrypted document outside the library batch: open it as a plain working
// copy in the private temporary folder, seal the copy back over the original, remove a file,
// and lock or unlock a file. No state; safe from any thread, one document per call.
class SecurityManagerExtensions {
  public:
    // The steps of sealing an edited copy back, in order: the plain content kept under a
    // second name, the sealed copy made beside it, the sealed copy in place of the document,
    // the plain content destroyed, the sealed copy removed; then the caller's record removed.
    enum class SealStep { kept, sealed, placed, plainDestroyed, sealedRemoved, recordRemoved };
    // Told of each step as it is done, on the thread that seals; set only by tests (to stop
    // the program at a step), before or while workers seal: it is read under a lock.
    static void setSealStepHook(std::function<void(SealStep)> hook);
    static void reached(SealStep step);

    SecurityManagerExtensions() = default;
    [[nodiscard]] static SecurityManagerExtensions& instance();

    // Seals the plain file at `path` into its working folder, puts the sealed file in place of
    // `destinationFile` (durably, in one rename) and only then destroys the plain file, so at
    // every moment the document or a named file in the working folder holds the edits. On any
    // failure the destination is as it was and the edits stay in the working folder (the
    // plain file when sealing failed, else the sealed copy).
    [[nodiscard]] securityResult encryptTempBackToOriginal(const std::string& path,
                                                           const std::string& destinationFile,
                                                           std::string_view password,
                                                           const std::string& hint) const;
    // Where sealEditedFile puts the sealed copy: over `destinationFile`, or as a new file
    // beside it, named as the engine names its output (the sealed file's name, else
    // "<name>_(copy n).m2p"), never over a file.
    enum class Placement { replaceDestination, besideDestination };
    // encryptTempBackToOriginal with its outcome told in full. A locked file (owner-write bit
    // cleared) is sealed all the same and its lock set again on the placed file.
    [[nodiscard]] SealBackResult sealEditedFile(const std::string& path,
                                                const std::string& destinationFile,
                                                std::string_view password, const std::string& hint,
                                                Placement placement) const;
    // Copies the encrypted file at `path` into a fresh working sub-folder of the private
    // temporary folder, named by `purpose`, and decrypts the copy there; the location is the
    // sub-folder + "//" + the stored name. A failed decryption removes the copy and its
    // sub-folder and answers CouldNotOpenFile with the engine's message. Remove the sub-folder
    // with removeWorkingFolder once the operation ends.
    // The same into a working sub-folder the caller made (and keeps on success).
    [[nodiscard]] TempLocationResult decryptIntoFolder(const std::string& path,
                                                       std::string_view password,
                                                       const std::string& hint,
                                                       const std::filesystem::path& folder) const;
    [[nodiscard]] TempLocationResult decryptToTempLocation(
        const std::string& path, std::string_view password, const std::string& hint,
        platform::WorkingFolderPurpose purpose = platform::WorkingFolderPurpose::Document) const;
    // Removes the working sub-folder that holds `path` (the plain copy, its sealed copy, or an
    // editor's files beside them) with everything in it, overwritten first on a disk. OK, or
    // CouldNotShredFile when it stays or `path` is not inside a working sub-folder.
    [[nodiscard]] securityResult removeWorkingFolder(const std::string& path) const;
    // Removes the file: OK or CouldNotShredFile. A plain copy in a working sub-folder on a
    // disk is overwritten first; anything else is only removed.
    [[nodiscard]] securityResult shredFile(const std::string& path) const;
    // Locks the file (clears the owner-write bit); errors are ignored.
    void addReadonlyAttribute(const std::string& path) const;
    // Unlocks the file; true only when it was locked and now is not.
    [[nodiscard]] bool removeReadonlyAttribute(const std::string& path) const;
};

}  // namespace m2
