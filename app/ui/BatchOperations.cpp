// The main controller's batches: encrypt, decrypt and shred the selected entries, with the
// password sheets and the report.
//
// Every batch is admitted, and its entries copied, on the main thread; the state is set
// before the worker is dispatched and set back in the batch's last main-queue step, so a
// second batch can never be admitted over the same files. The worker reads only its copy.
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "Sealkit/SealkitFacade.h"
#include "app/library/SecurityManager.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/SecurityManagerExtensions.h"
#include "app/services/Settings.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/DropTableView.h"
#include "app/ui/PasswordController.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/projectViewController.h"
#include "platform/Dispatch.h"
#include "platform/ui/QtProgress.h"
#include "platform/ui/QtTableView.h"

namespace m2 {
namespace {

constexpr const char* openForEditing = "File is open for editing";

// Non-owning handles for the batch runner: the controller outlives every batch, since
// closing its window is refused while one runs.
template <class T>
std::shared_ptr<T> unowned(T* object) {
    return std::shared_ptr<T>(std::shared_ptr<void>(), object);
}

std::string wordFor(CurrentProcess process) {
    return process == CurrentProcess::encrypting ? "encrypt" : "decrypt";
}

// Splits off the entries open in the launcher: their failures, and the entries to process.
std::vector<Result> takeOpenDocuments(std::vector<SecurityManager::BatchEntry>& entries) {
    std::vector<Result> skipped;
    std::vector<std::string> paths;
    paths.reserve(entries.size());
    for (const auto& entry : entries) {
        paths.push_back(entry.filePath + "/" + entry.fileName);
    }
    // Read now, once for the whole batch: the launcher may have opened one meanwhile.
    const std::vector<bool> open = OpenFileManager().areOpenForEditing(paths);
    std::vector<SecurityManager::BatchEntry> kept;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (open[i]) {
            skipped.emplace_back(false, openForEditing, paths[i], entries[i].id);
        } else {
            kept.push_back(std::move(entries[i]));
        }
    }
    entries = std::move(kept);
    return skipped;
}

}  // namespace

bool projectViewController::canProcessSelectedFiles(const std::string& word) {
    if (currentState_ != CurrentProcess::idel) {
        warningAlert("Could not " + word + " files.", asString(currentState_));
        return false;
    }
    if (table_ == nullptr || table_->selectedRowIndexes().empty()) {
        warningAlert("No files selected.", "Please select at least one file and try again.");
        return false;
    }
    return true;
}

std::vector<FileItemPtr> projectViewController::selectedEntries() const {
    std::vector<FileItemPtr> entries;
    if (table_ == nullptr) {
        return entries;
    }
    const std::vector<FileItemPtr>& shown = libraryManager.fileManager.shownList();
    for (const std::size_t row : table_->selectedRowIndexes()) {
        if (row < shown.size()) {
            entries.push_back(shown[row]);
        }
    }
    return entries;
}

void projectViewController::encryptSelectedItems() {
    if (!canProcessSelectedFiles("encrypt")) {
        return;
    }
    if (!Settings::instance().SingleSignOn()) {
        performSegueIfDefined("passwordEntrySegue", nullptr);
        return;
    }
    secureSelectedFiles("encrypt", CurrentProcess::encrypting, PasswordCredentials::instance());
}

void projectViewController::decryptSelectedItems() {
    if (!canProcessSelectedFiles("decrypt")) {
        return;
    }
    if (!Settings::instance().SingleSignOn()) {
        performSegueIfDefined("decryptPasswordSegue", nullptr);
        return;
    }
    secureSelectedFiles("decrypt", CurrentProcess::decrypting, PasswordCredentials::instance());
}

void projectViewController::processFilesFromPasswordEntrySegue(
    const PasswordCredentials& credentials, CurrentProcess process) {
    // The sheet was open while an add or a cloud rescan could start, or the selection change.
    const std::string word = wordFor(process);
    if (!canProcessSelectedFiles(word)) {
        return;
    }
    secureSelectedFiles(word, process, credentials);
}

void projectViewController::secureSelectedFiles(const std::string&, CurrentProcess process,
                                                const PasswordCredentials& credentials) {
    auto entries = SecurityManager::snapshot(selectedEntries());
    Secret password = credentials.password();
    const std::string hint = credentials.hint();
    setCurrentState(process);
    SecurityManager::instance().canceled = false;  // a cancel before this batch is not for it
    showProgressWithLevel(
        process == CurrentProcess::encrypting ? "Encrypting files..." : "Decrypting files...",
        static_cast<int>(entries.size()));
    lockView(false);

    auto progress = unowned<platform::ProgressIndicator>(progressIndicator_.get());
    auto label = unowned<platform::TextField>(progressText_.get());
    platform::Dispatch::global(platform::QualityOfService::userInitiated)
        .async([this, process, password = std::move(password), hint, progress, label,
                entries = std::move(entries), hook = batchWorkerWillProcess]() mutable {
            if (hook) {
                hook(0);
            }
            // An open document is not touched: the launcher would write its copy back.
            const std::vector<Result> skipped = takeOpenDocuments(entries);
            for (std::size_t i = 0; i < skipped.size(); ++i) {
                platform::Dispatch::main().async([progress] { progress->incrementBy(1.0); });
            }
            SecurityManager& runner = SecurityManager::instance();
            auto report = std::make_shared<ProcessReport>(
                process == CurrentProcess::encrypting
                    ? runner.encryptFile(entries, libraryManager, password.view(), hint, progress,
                                         label)
                    : runner.decryptFile(entries, libraryManager, password.view(), hint, progress,
                                         label));
            report->failure().insert(report->failure().begin(), skipped.begin(), skipped.end());
            report->setCurrentProcess(process);
            report->stopTimer();
            // After the runner's own posts, so every entry update is in before the save.
            platform::Dispatch::main().async([this, report] {
                processReport = report;
                // Encrypted entries may leave or join the folder on screen.
                libraryManager.fileManager.showAgainAndReload();
                updateStatus();
                stopProgress();
                lockView(true);
                libraryManager.save();
                setCurrentState(CurrentProcess::idel);
                performSegueIfDefined("showReportSegue", nullptr);
            });
        });
}

void projectViewController::shredSelectedFiles() {
    if (!canProcessSelectedFiles("Shred")) {
        return;
    }
    if (!yesNoAlert("You are about to destroy files from your computer",
                    "This opperation cannot be undone, are you sure you would like to continue?")) {
        return;
    }
    destroySelectedFiles();
}

void projectViewController::destroySelectedFiles() {
    auto entries = SecurityManager::snapshot(selectedEntries());
    setCurrentState(CurrentProcess::shredding);
    SecurityManager::instance().canceled = false;
    showProgressWithLevel("Shredding files...", static_cast<int>(entries.size()));
    lockView(false);

    auto report = std::make_shared<ProcessReport>();
    report->startTimer();
    report->setCurrentProcess(CurrentProcess::shredding);
    const auto shown = platform::CoalescedProgress::make(
        unowned<platform::ProgressIndicator>(progressIndicator_.get()),
        std::make_shared<platform::ui::QtTextField>(progressLabel));
    platform::Dispatch::global(platform::QualityOfService::userInitiated)
        .async([this, report, shown, entries = std::move(entries), hook = batchWorkerWillProcess] {
            const auto& extensions = SecurityManagerExtensions::instance();
            SecurityManager& runner = SecurityManager::instance();
            OpenFileManager openFiles;
            Shredder shredder;
            std::vector<FileItemPtr> shredded;
            for (std::size_t index = 0; index < entries.size(); ++index) {
                if (hook) {
                    hook(index);
                }
                const SecurityManager::BatchEntry& entry = entries[index];
                shown->report(1.0, "Shredding: " + entry.fileName);
                const std::string path = entry.filePath + "/" + entry.fileName;
                if (openFiles.isOpenForEditing(path)) {
                    report->failure().emplace_back(false, openForEditing, path, entry.id);
                } else {
                    const bool wasLocked = extensions.removeReadonlyAttribute(path);
                    if (shredder.shredFile(path)) {
                        report->success().emplace_back(true, "file shredded", path, entry.id);
                        shredded.push_back(entry.item);
                    } else {
                        // The file is still there: it keeps its lock, and its entry.
                        if (wasLocked) {
                            extensions.addReadonlyAttribute(path);
                        }
                        report->failure().emplace_back(false, "could not shred file", path,
                                                       entry.id);
                    }
                }
                if (runner.canceled.exchange(false)) {
                    report->wasCanceled();
                    break;
                }
            }
            report->stopTimer();
            shown->flush();
            platform::Dispatch::main().async([this, report, shredded] {
                processReport = report;
                libraryManager.deleteFiles(shredded);  // saves the library
                lockView(true);
                stopProgress();
                setCurrentState(CurrentProcess::idel);
                updateStatus();
                performSegueIfDefined("showReportSegue", nullptr);
            });
        });
}

void projectViewController::lockView(bool enabled) {
    // Disabled views take no clicks, drops or keys. Their painting is not held back for the
    // batch (a table that stops painting shows nothing when uncovered); the entry updates
    // reach the table in the batch's last step.
    for (QWidget* view : {static_cast<QWidget*>(tableView), static_cast<QWidget*>(folderView),
                          static_cast<QWidget*>(searchEdit)}) {
        if (view != nullptr) {
            view->setEnabled(enabled);
        }
    }
}

void projectViewController::OnCancelProgress() {
    // Only a running batch takes a cancel: one left over would stop the next batch at once.
    if (currentState_ == CurrentProcess::encrypting ||
        currentState_ == CurrentProcess::decrypting || currentState_ == CurrentProcess::shredding) {
        SecurityManager::instance().cancelCurrentProcess();
    }
}

void projectViewController::preparePasswordEntry(platform::ui::StoryboardSegue& segue) {
    segue.destinationAs<PasswordController>()->delegate = this;
}

void projectViewController::prepareDecryptPassword(platform::ui::StoryboardSegue& segue) {
    segue.destinationAs<DecryptionPasswordViewController>()->delegate = this;
}

void projectViewController::prepareReport(platform::ui::StoryboardSegue& segue) {
    segue.destinationAs<ReportControllerView>()->processReport = processReport;
}

}  // namespace m2
