#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/SecurityManager.h"
#include "app/services/ProcessReport.h"
#include "platform/Progress.h"

namespace m2 {

class LibraryManager;
class MainViewServices;
class PasswordCredentials;

// Whether the launcher has the document at this sealed path open for editing.
using OpenForEditing = std::function<bool(const std::string& encryptedPath)>;

// The failure reason of a document the launcher has open: sealing it now would be undone
// when the launcher seals its copy back under the old password.
inline constexpr const char* openForEditingReason = "File is open for editing";
// The refusal when the keyring does not keep the new password: no file may be re-keyed to a
// password nothing can check.
inline constexpr const char* keyringRefusedReason =
    "The system keyring could not store the new password.";

// What one change of the master password works on, copied on the main thread when the run is
// admitted; the worker reads only this.
struct RekeyingJob {
    std::vector<SecurityManager::BatchEntry> entries;  // the encrypted entries, library order
    std::string notesPath;                             // empty: no notes file to re-key
    std::string oldPassword;
    std::string oldHint;
    std::string newPassword;
    std::string newHint;
};

// Main thread: the job for the entries of `library` marked encrypted and the notes file at
// `notesPath` (left out when no file is there), from the `current` logged-in password to the
// new one.
[[nodiscard]] RekeyingJob rekeyingJob(const std::vector<FileItemPtr>& library,
                                      const std::string& notesPath,
                                      const PasswordCredentials& current, std::string newPassword,
                                      std::string newHint);

// How one document fared.
struct RekeyOutcome {
    enum class Stage { rekeyed, notOpened, notSealed };
    Stage stage = Stage::notOpened;
    std::string reason;  // empty when re-keyed
};

// Moves the sealed document at `path` from the old password to the new one through a plain
// copy in a private working sub-folder: the document on disk is under the old or the new
// password at every moment, keeps its name and its read-only flag, and the sub-folder is
// gone afterwards. Any thread.
[[nodiscard]] RekeyOutcome rekeyDocument(const std::string& path, const RekeyingJob& job);

// Re-keys the job's notes file and then its entries one by one on the calling (worker)
// thread, skipping documents open for editing; the progress is posted to the main queue. The
// report (process changePassword) lists the documents now under the new password, then as
// failures those that could not be sealed again, then those that were not opened or were
// skipped. `progress` and `progressLabel` may be null.
[[nodiscard]] ProcessReport rekeyDocuments(const RekeyingJob& job,
                                           const OpenForEditing& openForEditing,
                                           std::shared_ptr<platform::ProgressIndicator> progress,
                                           std::shared_ptr<platform::TextField> progressLabel);

// The change of the master password as the application's one running process.
class MasterPasswordChange {
  public:
    // Why a change did not start: the alert's message and details.
    struct Refusal {
        std::string message;
        std::string details;
    };

    struct Run {
        PasswordCredentials& newCredentials;  // validated; its digest and hint go to the keyring
        PasswordCredentials& loggedIn;        // takes the new password once the files are done
        MainViewServices& mainView;           // holds the one running process
        LibraryManager& library;              // its encrypted entries are re-keyed, then saved
        std::string notesPath;
        OpenForEditing openForEditing;
        std::shared_ptr<platform::ProgressIndicator> progress;
        std::shared_ptr<platform::TextField> progressLabel;
        // Main queue, last: the process is idel again and the library saved.
        std::function<void(const ProcessReport&)> finished;
    };

    // Main thread. Refuses while another process runs, and when the keyring does not keep the
    // new password (nothing is touched then). Otherwise registers changePassword, snapshots the
    // library and starts the worker; answers nothing.
    [[nodiscard]] static std::optional<Refusal> start(Run run);
};

}  // namespace m2
