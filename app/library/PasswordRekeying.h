#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/Secret.h"
#include "app/library/RekeyingJournal.h"
#include "app/library/SecurityManager.h"
#include "app/services/ProcessReport.h"
#include "platform/Progress.h"

namespace m2 {

class LibraryManager;
class MainViewServices;
class PasswordCredentials;
using Morvane::Security::Secret;

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
    Secret oldPassword;
    std::string oldHint;
    Secret newPassword;
    std::string newHint;
    // Where the run keeps what is still under the old password; empty: no journal.
    std::string journalPath;
    // Finishing a stopped run: a document that no longer opens with the old password but
    // opens with the new one was re-keyed before the stop, and counts as done.
    bool finishing = false;
};

// Set by tests only: called on the worker after each document, once the journal says so
// (the journal is then written at every document).
using RekeyingStepHook = void (*)(std::size_t documentsDone);
void setRekeyingStepHook(RekeyingStepHook hook);

// The journal of a job before anything is re-keyed: every document of it is pending.
[[nodiscard]] RekeyingJournal journalOf(const RekeyingJob& job);

// Main thread: the job for the entries of `library` marked encrypted and the notes file at
// `notesPath` (left out when no file is there), from the `current` logged-in password to the
// new one.
[[nodiscard]] RekeyingJob rekeyingJob(const std::vector<FileItemPtr>& library,
                                      const std::string& notesPath,
                                      const PasswordCredentials& current, Secret newPassword,
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
// thread, skipping documents open for editing; the progress is posted to the main queue.
// The journal, when the job has one, is written before the first document, brought up to
// date every second or every few hundred documents, and removed at the end. The
// report (process changePassword) lists the documents now under the new password, then as
// failures those that could not be sealed again, then those that were not opened or were
// skipped. `progress` and `progressLabel` may be null. After MasterPasswordChange::stop the
// run ends before its next document: the report is marked canceled and the journal keeps
// naming what is left. `notesDone`, when given, is called on
// the worker as soon as the notes file is done with, telling whether it was re-keyed.
[[nodiscard]] ProcessReport rekeyDocuments(const RekeyingJob& job,
                                           const OpenForEditing& openForEditing,
                                           std::shared_ptr<platform::ProgressIndicator> progress,
                                           std::shared_ptr<platform::TextField> progressLabel,
                                           const std::function<void(bool rekeyed)>& notesDone = {});

// Whether the sealed document at `path` opens with `password`; the plain copy made to find
// out lies only in a private working folder, which goes at once. Any thread.
[[nodiscard]] bool documentOpensWith(const std::string& path, std::string_view password);

// How a password given to finish a stopped change fares on the journal's documents.
enum class PreviousPassword { matches, wrong, nothingPending };

// Tries `previous` on the first pending document that still exists (the notes first); the
// documents found already under `current` on the way are taken off `journal`. Nothing is
// written. Any thread.
[[nodiscard]] PreviousPassword checkPreviousPassword(RekeyingJournal& journal,
                                                     std::string_view previous,
                                                     const std::string& current);

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
    // library and starts the worker; answers nothing. The main view's notes file owner lends
    // the notes file to the worker until it is re-keyed.
    [[nodiscard]] static std::optional<Refusal> start(Run run);

    // Finishing a change that was stopped, from its journal, to the password the user logged
    // on with.
    struct Finish {
        Secret previousPassword;
        PasswordCredentials& loggedIn;  // holds the current password and hint
        MainViewServices& mainView;     // holds the one running process
        std::string journalPath;
        OpenForEditing openForEditing;
        // Main queue: `previousPassword` does not open the pending documents; nothing was
        // written and the journal is as it was.
        std::function<void()> refused;
        // Main queue, last: the process is idel again.
        std::function<void(const ProcessReport&)> finished;
    };

    // Main thread. Refuses while another process runs; otherwise registers changePassword
    // and checks the previous password and re-keys what the journal names on a worker. A
    // notes file the journal names is lent by the main view's notes file owner meanwhile.
    [[nodiscard]] static std::optional<Refusal> finish(Finish run);

    // Any thread: the program ends. A running change (or finish) stops between documents,
    // its journal naming what is still under the previous password; it then ends as ever.
    static void stop();
};

}  // namespace m2
