#include "app/library/PasswordRekeying.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>

#include <utility>

#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/Dispatch.h"
#include "platform/PathString.h"

namespace m2 {
namespace {

bool isFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// One document of the run: a library entry, or the notes file (id "-").
struct Document {
    std::string path;
    std::string id;
};

constexpr const char* kNotesId = "-";
// How often the journal is brought up to date during a long run: losing track of a few
// documents costs only a check each when the run is finished.
constexpr auto kJournalInterval = std::chrono::seconds(1);
constexpr std::size_t kJournalBatch = 256;

std::atomic<RekeyingStepHook> g_stepHook{nullptr};
// Set when the program ends: the run stops before its next document.
std::atomic<bool> g_stopRequested{false};

std::vector<Document> documentsOf(const RekeyingJob& job) {
    std::vector<Document> documents;
    documents.reserve(job.entries.size() + 1);
    // The notes first: they are read at every log-on, so they follow the new password as
    // early as possible.
    if (!job.notesPath.empty()) {
        documents.push_back({job.notesPath, kNotesId});
    }
    for (const auto& entry : job.entries) {
        documents.push_back({entry.filePath + "/" + entry.fileName, entry.id});
    }
    return documents;
}

// The journal of the documents from `first` on.
RekeyingJournal pendingFrom(const std::vector<Document>& documents, std::size_t first) {
    RekeyingJournal journal;
    for (std::size_t i = first; i < documents.size(); ++i) {
        if (documents[i].id == kNotesId) {
            journal.notesPath = documents[i].path;
        } else {
            journal.documents.push_back({documents[i].id, documents[i].path});
        }
    }
    return journal;
}

void writeJournal(const RekeyingJob& job, const RekeyingJournal& journal) {
    if (!job.journalPath.empty() && !writeRekeyingJournal(job.journalPath, journal)) {
        std::printf("Could not keep the record of the change of master password at %s\n",
                    job.journalPath.c_str());
    }
}

// The job that finishes `journal`: from `previous` to the logged-in password and hint.
RekeyingJob finishingJob(const RekeyingJournal& journal, std::string_view previous, Secret password,
                         std::string hint, const std::string& journalPath) {
    RekeyingJob job;
    job.notesPath = journal.notesPath;
    for (const auto& document : journal.documents) {
        SecurityManager::BatchEntry entry;
        entry.id = document.id;
        entry.filePath = platform::deletingLastPathComponent(document.path);
        entry.fileName = platform::lastPathComponent(document.path);
        job.entries.push_back(std::move(entry));
    }
    job.oldPassword = Secret(previous);
    job.newPassword = std::move(password);
    job.newHint = std::move(hint);
    job.journalPath = journalPath;
    job.finishing = true;
    return job;
}

// The notes file lent by its owner to one run: handed back once, on the main queue, when the
// worker is done with it (or the run ends without reaching it).
class NotesLoan {
  public:
    NotesLoan(NotesFileOwner* owner, Secret password, std::string hint)
        : owner_(owner), password_(std::move(password)), hint_(std::move(hint)) {
        if (owner_ != nullptr) {
            owner_->rekeyingStarts();
        }
    }
    // Worker.
    void handBack(bool rekeyed) {
        if (owner_ == nullptr || handedBack_.exchange(true)) {
            return;
        }
        platform::Dispatch::main().async(
            [owner = owner_, rekeyed, password = password_, hint = hint_] {
                owner->rekeyingEnded(rekeyed, password.view(), hint);
            });
    }
    // Main thread, after the hand-back.
    void loggedInFollows() const {
        if (owner_ != nullptr) {
            owner_->loggedInPasswordFollows();
        }
    }
    [[nodiscard]] std::function<void(bool)> callback() {
        return [this](bool rekeyed) { handBack(rekeyed); };
    }

  private:
    NotesFileOwner* owner_;
    Secret password_;
    std::string hint_;
    std::atomic<bool> handedBack_{false};
};

}  // namespace

void setRekeyingStepHook(RekeyingStepHook hook) {
    g_stepHook.store(hook);
}

void MasterPasswordChange::stop() {
    g_stopRequested.store(true);
}

RekeyingJournal journalOf(const RekeyingJob& job) {
    return pendingFrom(documentsOf(job), 0);
}

// How a document answers a password: a damaged or unreadable one says nothing about it.
enum class Opening { opens, refused, unreadable };

Opening openingWith(const std::string& path, std::string_view password) {
    const SecurityManagerExtensions& extensions = SecurityManagerExtensions::instance();
    const TempLocationResult opened = extensions.decryptToTempLocation(
        path, password, "", platform::WorkingFolderPurpose::Rekeying);
    if (opened.result != securityResult::OK) {
        return opened.passwordRefused ? Opening::refused : Opening::unreadable;
    }
    if (extensions.removeWorkingFolder(opened.location) != securityResult::OK) {
        std::printf("Could not remove the working folder of %s\n", path.c_str());
    }
    return Opening::opens;
}

PreviousPassword checkPreviousPassword(RekeyingJournal& journal, std::string_view previous,
                                       std::string_view current) {
    // What a document tells: a verdict (it opens with `previous`, or refuses both), that it
    // is already under `current`, or nothing (gone, damaged or unreadable: it stays listed).
    enum class Told { verdict, underCurrent, nothing };
    const auto judge = [&](const std::string& path, PreviousPassword& verdict) {
        if (!isFile(path)) {
            return Told::nothing;
        }
        const Opening withPrevious = openingWith(path, previous);
        if (withPrevious == Opening::opens) {
            verdict = PreviousPassword::matches;
            return Told::verdict;
        }
        if (withPrevious == Opening::unreadable) {
            return Told::nothing;
        }
        switch (openingWith(path, current)) {
            case Opening::opens:
                return Told::underCurrent;
            case Opening::unreadable:
                return Told::nothing;
            case Opening::refused:
                break;
        }
        verdict = PreviousPassword::wrong;
        return Told::verdict;
    };
    PreviousPassword verdict = PreviousPassword::nothingPending;
    if (!journal.notesPath.empty()) {
        const Told told = judge(journal.notesPath, verdict);
        if (told == Told::verdict) {
            return verdict;
        }
        if (told == Told::underCurrent) {
            journal.notesPath.clear();
        }
    }
    for (auto document = journal.documents.begin(); document != journal.documents.end();) {
        const Told told = judge(document->path, verdict);
        if (told == Told::verdict) {
            return verdict;
        }
        document = told == Told::underCurrent ? journal.documents.erase(document) : document + 1;
    }
    return verdict;
}

RekeyingJob rekeyingJob(const std::vector<FileItemPtr>& library, const std::string& notesPath,
                        const PasswordCredentials& current, Secret newPassword,
                        std::string newHint) {
    std::vector<FileItemPtr> encrypted;
    for (const auto& item : library) {
        if (item && item->encrypted) {
            encrypted.push_back(item);
        }
    }
    RekeyingJob job;
    job.entries = SecurityManager::snapshot(encrypted);
    job.notesPath = !notesPath.empty() && isFile(notesPath) ? notesPath : std::string();
    job.oldPassword = current.password();
    job.oldHint = current.hint();
    job.newPassword = std::move(newPassword);
    job.newHint = std::move(newHint);
    return job;
}

RekeyOutcome rekeyDocument(const std::string& path, const RekeyingJob& job) {
    const SecurityManagerExtensions& extensions = SecurityManagerExtensions::instance();
    const TempLocationResult opened = extensions.decryptToTempLocation(
        path, job.oldPassword.view(), job.oldHint, platform::WorkingFolderPurpose::Rekeying);
    if (opened.result != securityResult::OK) {
        return {RekeyOutcome::Stage::notOpened,
                opened.reason.empty() ? asString(opened.result) : opened.reason};
    }
    // A locked document is replaced all the same, and locked again whatever happened.
    const bool wasLocked = extensions.removeReadonlyAttribute(path);
    const securityResult sealed = extensions.encryptTempBackToOriginal(
        opened.location, path, job.newPassword.view(), job.newHint);
    if (wasLocked) {
        extensions.addReadonlyAttribute(path);
    }
    if (extensions.removeWorkingFolder(opened.location) != securityResult::OK) {
        std::printf("Could not remove the working folder of %s\n", path.c_str());
    }
    if (sealed != securityResult::OK) {
        return {RekeyOutcome::Stage::notSealed, asString(sealed)};
    }
    return {RekeyOutcome::Stage::rekeyed, ""};
}

ProcessReport rekeyDocuments(const RekeyingJob& job, const OpenForEditing& openForEditing,
                             std::shared_ptr<platform::ProgressIndicator> progress,
                             std::shared_ptr<platform::TextField> progressLabel,
                             const std::function<void(bool rekeyed)>& notesDone) {
    const std::vector<Document> documents = documentsOf(job);
    writeJournal(job, pendingFrom(documents, 0));
    auto written = std::chrono::steady_clock::now();
    std::size_t writtenAt = 0;

    const std::size_t total = documents.size();
    platform::Dispatch::main().async([progress, total] {
        if (progress) {
            progress->setMaxValue(static_cast<double>(total));
            progress->setDoubleValue(0);
        }
    });

    ProcessReport report;
    report.setCurrentProcess(CurrentProcess::changePassword);
    std::vector<Result> notSealed;
    std::vector<Result> notOpened;
    std::size_t counter = 0;
    for (const Document& document : documents) {
        if (g_stopRequested.exchange(false)) {
            // What is not done stays named, for the next log-on to finish.
            writeJournal(job, pendingFrom(documents, counter));
            report.wasCanceled();
            break;
        }
        if (counter > 0) {
            // The one before this is done: the journal may say so.
            const auto now = std::chrono::steady_clock::now();
            if (now - written >= kJournalInterval || counter - writtenAt >= kJournalBatch) {
                writeJournal(job, pendingFrom(documents, counter));
                written = now;
                writtenAt = counter;
            }
            if (const RekeyingStepHook hook = g_stepHook.load()) {
                writeJournal(job, pendingFrom(documents, counter));
                hook(counter);
            }
        }
        ++counter;
        platform::Dispatch::main().async([progress, progressLabel, counter, total,
                                          name = platform::lastPathComponent(document.path)] {
            if (progressLabel) {
                progressLabel->setStringValue("Changing password (" + std::to_string(counter) +
                                              " of " + std::to_string(total) +
                                              ") files : Current file: " + name);
            }
            if (progress) {
                progress->incrementBy(1.0);
            }
        });
        const bool isNotes = document.id == kNotesId;
        if (openForEditing && openForEditing(document.path)) {
            notOpened.emplace_back(false, openForEditingReason, document.path, document.id);
            if (isNotes && notesDone) {
                notesDone(false);
            }
            continue;
        }
        RekeyOutcome outcome = rekeyDocument(document.path, job);
        if (job.finishing && outcome.stage == RekeyOutcome::Stage::notOpened &&
            openingWith(document.path, job.newPassword.view()) == Opening::opens) {
            outcome = {RekeyOutcome::Stage::rekeyed, ""};
        }
        if (isNotes && notesDone) {
            notesDone(outcome.stage == RekeyOutcome::Stage::rekeyed);
        }
        switch (outcome.stage) {
            case RekeyOutcome::Stage::rekeyed:
                report.success().emplace_back(true, "", document.path, document.id);
                break;
            case RekeyOutcome::Stage::notSealed:
                notSealed.emplace_back(false, outcome.reason, document.path, document.id);
                break;
            case RekeyOutcome::Stage::notOpened:
                notOpened.emplace_back(false, outcome.reason, document.path, document.id);
                break;
        }
    }
    if (!report.canceled()) {
        // What failed is in the report; nothing is left for a later run to finish.
        writeJournal(job, RekeyingJournal{});
    }
    auto& failures = report.failure();
    failures.insert(failures.end(), notSealed.begin(), notSealed.end());
    failures.insert(failures.end(), notOpened.begin(), notOpened.end());
    return report;
}

std::optional<MasterPasswordChange::Refusal> MasterPasswordChange::start(Run run) {
    if (const CurrentProcess state = run.mainView.currentState(); state != CurrentProcess::idel) {
        return Refusal{"Could not change password.", asString(state)};
    }
    RekeyingJob prepared = rekeyingJob(run.library.fileManager.library, run.notesPath, run.loggedIn,
                                       run.newCredentials.password(), run.newCredentials.hint());
    prepared.journalPath = rekeyingJournalPath().string();
    // Kept before the keyring changes: from then on a stop would strand the documents.
    writeJournal(prepared, journalOf(prepared));
    if (!run.newCredentials.saveToKeychain()) {
        writeJournal(prepared, RekeyingJournal{});
        return Refusal{"Error", keyringRefusedReason};
    }
    run.mainView.setCurrentState(CurrentProcess::changePassword);
    g_stopRequested.store(false);
    auto job = std::make_shared<const RekeyingJob>(std::move(prepared));
    auto loan = std::make_shared<NotesLoan>(
        job->notesPath.empty() ? nullptr : run.mainView.notesFileOwner(), job->newPassword,
        job->newHint);
    auto shared = std::make_shared<Run>(std::move(run));
    platform::Dispatch::global(platform::QualityOfService::userInitiated)
        .async([shared, job, loan] {
            auto report = std::make_shared<const ProcessReport>(
                rekeyDocuments(*job, shared->openForEditing, shared->progress,
                               shared->progressLabel, loan->callback()));
            loan->handBack(false);
            // The new password is handed over on the main queue, where its readers are, and
            // before the run counts as done.
            platform::Dispatch::main().async([shared, job, loan] {
                shared->loggedIn.setPassword(job->newPassword);
                shared->loggedIn.setPassword2(job->newPassword);
                shared->loggedIn.setHint(job->newHint);
                loan->loggedInFollows();
            });
            platform::Dispatch::main().async([shared, report] {
                LibraryManager& library = shared->library;
                if (library.tableView != nullptr) {
                    library.tableView->reloadData();
                }
                if (library.folderView != nullptr) {
                    library.folderView->reloadData();
                }
                library.save();
                shared->mainView.setCurrentState(CurrentProcess::idel);
                if (shared->finished) {
                    shared->finished(*report);
                }
            });
        });
    return std::nullopt;
}

std::optional<MasterPasswordChange::Refusal> MasterPasswordChange::finish(Finish run) {
    if (const CurrentProcess state = run.mainView.currentState(); state != CurrentProcess::idel) {
        return Refusal{"Could not finish the change of your master password.", asString(state)};
    }
    run.mainView.setCurrentState(CurrentProcess::changePassword);
    g_stopRequested.store(false);
    // The logged-in password is read here, on the main thread, where its writers are.
    auto current = std::make_shared<const std::pair<Secret, std::string>>(run.loggedIn.password(),
                                                                          run.loggedIn.hint());
    const auto pending = readRekeyingJournal(run.journalPath);
    auto loan = std::make_shared<NotesLoan>(
        pending && !pending->notesPath.empty() ? run.mainView.notesFileOwner() : nullptr,
        current->first, current->second);
    auto shared = std::make_shared<Finish>(std::move(run));
    platform::Dispatch::global(platform::QualityOfService::userInitiated)
        .async([shared, current, loan] {
            RekeyingJournal journal =
                readRekeyingJournal(shared->journalPath).value_or(RekeyingJournal{});
            const PreviousPassword verdict = checkPreviousPassword(
                journal, shared->previousPassword.view(), current->first.view());
            if (verdict == PreviousPassword::wrong) {
                loan->handBack(false);
                platform::Dispatch::main().async([shared] {
                    shared->mainView.setCurrentState(CurrentProcess::idel);
                    if (shared->refused) {
                        shared->refused();
                    }
                });
                return;
            }
            const RekeyingJob job =
                finishingJob(journal, shared->previousPassword.view(), current->first,
                             current->second, shared->journalPath);
            auto report = std::make_shared<const ProcessReport>(
                rekeyDocuments(job, shared->openForEditing, nullptr, nullptr, loan->callback()));
            loan->handBack(false);
            platform::Dispatch::main().async([shared, report] {
                shared->mainView.setCurrentState(CurrentProcess::idel);
                if (shared->finished) {
                    shared->finished(*report);
                }
            });
        });
    return std::nullopt;
}

}  // namespace m2
