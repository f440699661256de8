#include "app/library/PasswordRekeying.h"

#include <sys/stat.h>

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

}  // namespace

RekeyingJob rekeyingJob(const std::vector<FileItemPtr>& library, const std::string& notesPath,
                        const PasswordCredentials& current, std::string newPassword,
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
        path, job.oldPassword, job.oldHint, platform::WorkingFolderPurpose::Rekeying);
    if (opened.result != securityResult::OK) {
        return {RekeyOutcome::Stage::notOpened,
                opened.reason.empty() ? asString(opened.result) : opened.reason};
    }
    // A locked document is replaced all the same, and locked again whatever happened.
    const bool wasLocked = extensions.removeReadonlyAttribute(path);
    const securityResult sealed =
        extensions.encryptTempBackToOriginal(opened.location, path, job.newPassword, job.newHint);
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
                             std::shared_ptr<platform::TextField> progressLabel) {
    std::vector<Document> documents;
    documents.reserve(job.entries.size() + 1);
    // The notes first: they are read at every log-on, so they follow the new password as
    // early as possible.
    if (!job.notesPath.empty()) {
        documents.push_back({job.notesPath, "-"});
    }
    for (const auto& entry : job.entries) {
        documents.push_back({entry.filePath + "/" + entry.fileName, entry.id});
    }

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
        if (openForEditing && openForEditing(document.path)) {
            notOpened.emplace_back(false, openForEditingReason, document.path, document.id);
            continue;
        }
        const RekeyOutcome outcome = rekeyDocument(document.path, job);
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
    auto& failures = report.failure();
    failures.insert(failures.end(), notSealed.begin(), notSealed.end());
    failures.insert(failures.end(), notOpened.begin(), notOpened.end());
    return report;
}

std::optional<MasterPasswordChange::Refusal> MasterPasswordChange::start(Run run) {
    if (const CurrentProcess state = run.mainView.currentState(); state != CurrentProcess::idel) {
        return Refusal{"Could not change password.", asString(state)};
    }
    if (!run.newCredentials.saveToKeychain()) {
        return Refusal{"Error", keyringRefusedReason};
    }
    run.mainView.setCurrentState(CurrentProcess::changePassword);
    auto job = std::make_shared<const RekeyingJob>(
        rekeyingJob(run.library.fileManager.library, run.notesPath, run.loggedIn,
                    run.newCredentials.password(), run.newCredentials.hint()));
    auto shared = std::make_shared<Run>(std::move(run));
    platform::Dispatch::global(platform::QualityOfService::userInitiated).async([shared, job] {
        auto report = std::make_shared<const ProcessReport>(
            rekeyDocuments(*job, shared->openForEditing, shared->progress, shared->progressLabel));
        // The new password is handed over on the main queue, where its readers are, and
        // before the run counts as done.
        platform::Dispatch::main().async([shared, job] {
            shared->loggedIn.setPassword(job->newPassword);
            shared->loggedIn.setPassword2(job->newPassword);
            shared->loggedIn.setHint(job->newHint);
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

}  // namespace m2
