#include "M2 Launcher/OpenFileViewController.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "M2 Launcher/LauncherArguments.h"
#include "M2 Launcher/OpenFiles/LeftEdits.h"
#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "Sealkit/SealkitFacade.h"
#include "app/services/Alerts.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/AtomicWrite.h"
#include "platform/Dispatch.h"
#include "platform/Launcher.h"
#include "platform/Paths.h"
#include "platform/WorkingFolders.h"
#include "platform/ui/Application.h"
#include "platform/ui/KitWindows.h"
#include "ui_OpenFileViewController.h"

namespace fs = std::filesystem;

namespace m2 {
namespace {

constexpr const char* kTitle = "Morvane 2 Riravevovavi";

bool exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// The "//" the working copies' paths carry is noise to a reader.
std::string readable(const std::string& path) {
    return fs::path(path).lexically_normal().string();
}

// The password comes on standard input only through the main program's pipe, never from a
// terminal or a file someone left there.
std::optional<Morvane::Security::Secret> passwordFromPipe() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0 || !S_ISFIFO(info.st_mode)) {
        return std::nullopt;
    }
    return platform::readLauncherPassword(STDIN_FILENO);
}

// The system's or the engine's reason as the opening of a sentence: ends in a full stop.
std::string asSentence(std::string reason) {
    while (!reason.empty() && reason.back() == ' ') {
        reason.pop_back();
    }
    if (!reason.empty() && reason.back() != '.') {
        reason += '.';
    }
    return reason.empty() ? reason : reason + " ";
}

std::string joined(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) {
        text += (text.empty() ? "" : ", ") + path;
    }
    return text;
}

}  // namespace

// The wait for the editing application, shared with the worker that blocks in it. Only
// `running` is touched off the main thread.
struct OpenFileViewController::Wait {
    explicit Wait(OpenFileViewController* owner) : controller(owner) {}
    QPointer<OpenFileViewController> controller;  // main thread only
    std::atomic<bool> running{true};
};

OpenFileViewController::OpenFileViewController(std::vector<std::string> arguments)
    : arguments_(std::move(arguments)) {}

OpenFileViewController::~OpenFileViewController() = default;

void OpenFileViewController::loadView() {
    auto* view = new QWidget;
    ui_ = std::make_unique<Ui::OpenFileViewController>();
    ui_->setupUi(view);
    progressLabel = ui_->progressLabel;
    progressControl = ui_->progressControl;
    fileOpenCheck = ui_->fileOpenCheck;
    filenameLabel = ui_->filenameLabel;
    setView(view);
}

bool OpenFileViewController::isWaiting() const {
    return wait_ && wait_->running.load();
}

void OpenFileViewController::viewDidLoad() {
    // A busy bar (no maximum) spins until a document is handled.
    progressControl->setRange(0, 0);
    fileOpenCheck->setVisible(false);
    // It shows a state, so it reads as ticked (not greyed out) but takes no clicks.
    fileOpenCheck->setAttribute(Qt::WA_TransparentForMouseEvents);
    const auto requests = parseLauncherArguments(arguments_, passwordFromPipe);
    if (requests.size() > 1) {
        // One launcher edits one document; the first one's run goes on whatever follows.
        std::fprintf(stderr,
                     "Only the first document on the command line is opened; %zu more "
                     "ignored\n",
                     requests.size() - 1);
    }
    if (requests.empty()) {
        return;
    }
    if (const LauncherArgument& request = requests.front(); request) {
        anErrorOccuredDuringStart =
            decryptAndOpenFile(request->file, request->password.view(), request->hint);
    } else {
        anErrorOccuredDuringStart = true;
        std::printf("Invalid command line arguments\n");
        std::fflush(stdout);
    }
}

void OpenFileViewController::viewDidAppear() {
    if (QWidget* shown = window(); shown != nullptr) {
        shown->setWindowTitle(kTitle);
    }
    if (anErrorOccuredDuringStart) {
        terminate();
    }
}

bool OpenFileViewController::checkIfFileAlreadyOpen(const std::string& file) {
    if (!OpenFileManager::instance().isOpenForEditing(file)) {
        return false;
    }
    refuseAlreadyOpen();
    return true;
}

void OpenFileViewController::refuseAlreadyOpen() {
    if (QWidget* shown = window(); shown != nullptr) {
        shown->hide();
    }
    warningAlert("File is already open for editing",
                 "Please close the App the has the file open and try again");
    terminate();
}

void OpenFileViewController::reportLeftEdits() {
    auto& manager = OpenFileManager::instance();
    for (const LeftEdits& left : findLeftEdits(manager.deadRecords(), runStart_)) {
        const auto forget = [&] {
            if (!left.folder.empty() && SecurityManagerExtensions::instance().removeWorkingFolder(
                                            left.folder.string()) != securityResult::OK) {
                std::printf("Could not remove the working folder %s\n", left.folder.c_str());
                return;
            }
            if (left.record) {
                (void)manager.removeOpenFile(*left.record);
            }
        };
        if (left.nothingLeft()) {
            forget();  // the document holds all there is, or nothing of an edit is left
            continue;
        }
        if (left.sealed) {
            const std::string sealed = readable(left.sealed->string());
            if (left.documentUnchanged()) {
                const std::string document = readable(left.record->encryptedPath);
                if (yesNoAlert("Changes to a file opened for editing earlier were not put in "
                               "place",
                               "They are kept, encrypted under your master password, at " + sealed +
                                   ". Put them in place of " + document + " now?")) {
                    if (const auto placed = platform::copyFileAtomically(sealed, document);
                        placed) {
                        forget();
                        continue;
                    } else {
                        warningAlert("Could not put the changes in place", placed.message);
                    }
                }
            } else {
                const bool gone = !left.record || !exists(left.record->encryptedPath);
                warningAlert("Changes to a file opened for editing earlier were not put in place",
                             "They are kept, encrypted under your master password, at " + sealed +
                                 (gone ? ". The document is no longer where it was opened: put "
                                         "the kept copy where you want it."
                                       : ". The document has changed since it was opened: open "
                                         "the kept copy to compare before you use it."));
            }
            (void)platform::workspace().revealFile(sealed);
            continue;
        }
        // Its launcher ended without sealing it: the copy may hold the only edits, so it stays.
        const std::string path = readable(left.plain->string());
        warningAlert("A file opened for editing earlier was not encrypted again",
                     "Its plain copy is kept at " + path +
                         ". Open it to recover your changes, then encrypt or shred it.");
        (void)platform::workspace().revealFile(path);
    }
}

bool OpenFileViewController::decryptAndOpenFile(const std::string& file, std::string_view password,
                                                const std::string& hint) {
    fileOpenCheck->setChecked(true);
    progressControl->setVisible(false);
    filenameLabel->setText(QString::fromStdString("Open file: " + file));
    fileOpenCheck->setVisible(true);
    progressLabel->setVisible(false);

    // What killed runs of ours left beside the document and the list.
    (void)platform::removeLeftoverTemporaries(fs::path(file).parent_path());
    (void)platform::removeLeftoverTemporaries(platform::documentsFolder() / "Morvane");
    reportLeftEdits();
    struct stat info {};
    const auto document = DocumentIdentity::of(file);
    if (!document || ::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        warningAlert(asString(securityResult::CouldNotCopyToTempLocation), "");
        return true;
    }
    const auto folder =
        platform::makeWorkingFolder(platform::WorkingFolderPurpose::Document, document->size);
    if (!folder) {
        warningAlert(asString(securityResult::CouldNotCopyToTempLocation), folder.message);
        return true;
    }
    // Recorded before anything is decrypted, in one step with the check, so of two launchers
    // only one goes on and a plain copy is never untracked.
    const OpenFileItem pending(file, folder.path.string() + "/", document);
    std::string reason;
    auto& manager = OpenFileManager::instance();
    switch (manager.claimDocument(pending, &reason)) {
        case OpenFileManager::Claim::claimed:
            break;
        case OpenFileManager::Claim::alreadyOpen:
            (void)platform::removeWorkingFolder(folder.path);
            refuseAlreadyOpen();
            return true;
        case OpenFileManager::Claim::notRecorded:
            (void)platform::removeWorkingFolder(folder.path);
            refuseUnrecorded(reason);
            return true;
    }
    // The edited copy is sealed again under the hint its owner stored, not the placeholder
    // the command line carries.
    const std::string storedHint = readStoredHint(file).value_or(hint);
    const TempLocationResult decrypted = SecurityManagerExtensions::instance().decryptIntoFolder(
        file, password, storedHint, folder.path);
    if (decrypted.result != securityResult::OK) {
        (void)manager.removeOpenFile(pending);
        warningAlert(asString(decrypted.result), decrypted.reason);
        return true;
    }
    const OpenFileItem item(file, decrypted.location, document);
    if (!manager.replaceOpenFile(pending, item, &reason)) {
        // An untracked plain copy would be found by no one after a crash.
        (void)platform::removeWorkingFolder(folder.path);
        (void)manager.removeOpenFile(pending);
        refuseUnrecorded(reason);
        return true;
    }
    password_ = Morvane::Security::Secret(password);
    hint_ = storedHint;
    if (!OpenFileManager::isLive(item)) {
        // The working folder normally holds its own lock; without it other launchers would
        // take this record for one left behind.
        liveness_ =
            platform::UniqueFd(::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!liveness_ || ::flock(liveness_.get(), LOCK_EX | LOCK_NB) != 0) {
            std::printf("Could not lock the working folder of %s\n", decrypted.location.c_str());
        }
    }
    openFile(item);
    return false;
}

void OpenFileViewController::refuseUnrecorded(const std::string& reason) {
    warningAlert("Could not record the document as open for editing",
                 reason + ". The document was not opened; nothing of it was left decrypted.");
}

void OpenFileViewController::openFile(const OpenFileItem& item) {
    currentOpenFileItem = item;
    currentFileIsOpen = true;
    wait_ = std::make_shared<Wait>(this);
    platform::Dispatch::global(platform::QualityOfService::background)
        .async([wait = wait_, plainPath = item.plainPath] {
            const platform::WaitedApplication waited =
                platform::workspace().openFileAndWait(plainPath);
            platform::Dispatch::main().async([wait, waited] {
                wait->running = false;
                if (wait->controller) {
                    wait->controller->applicationEnded(waited);
                }
            });
        });
}

void OpenFileViewController::applicationEnded(const platform::WaitedApplication& waited) {
    using Outcome = platform::WaitedApplication::Outcome;
    if (finished_ || reencrypting_) {
        return;  // closed by force meanwhile: nothing is sealed
    }
    switch (waited.outcome) {
        case Outcome::NoApplication:
        case Outcome::LaunchFailed:
            warningAlert("No application could open " + currentName(), waited.message);
            reencryptAndQuit();
            return;
        case Outcome::NoProcess:
            break;
        case Outcome::Ended:
            if (waited.exitCode != 0 || waited.runTime >= kHandOffTime) {
                reencryptAndQuit();
                return;
            }
            break;
    }
    // Its end says nothing about the editing: the file may be open in a window that was
    // already there.
    awaitingConfirmation_ = true;
    askWhetherEditingIsOver();
}

void OpenFileViewController::askWhetherEditingIsOver() {
    if (yesNoAlert("Have you finished editing " + currentName() + "?",
                   "Save your changes and close the file in its application, then choose Yes: "
                   "Morvane 2 will encrypt it again. Choose No to keep editing.")) {
        reencryptAndQuit();
    }
}

void OpenFileViewController::reencryptAndQuit() {
    if (!currentOpenFileItem || reencrypting_ || finished_) {
        return;
    }
    const OpenFileItem item = *currentOpenFileItem;
    reencrypting_ = true;
    progressLabel->setText("Encrypting the document again…");
    progressLabel->setVisible(true);
    progressLabel->repaint();
    const auto& extensions = SecurityManagerExtensions::instance();
    using Placement = SecurityManagerExtensions::Placement;
    // Looked at before anything goes: what the editor saved there besides the copy is the
    // user's work as much as the copy is. Only ever one of our working folders.
    const auto folder = platform::workingFolderOf(item.plainPath);
    const std::vector<fs::path> saved =
        folder ? savedBesideCopy(*folder, item.plainPath) : std::vector<fs::path>();
    SealBackOutcome outcome;
    outcome.copyGone = !exists(item.plainPath);
    if (!outcome.copyGone) {
        SealBackResult edit =
            extensions.sealEditedFile(item.plainPath, item.encryptedPath, password_.view(), hint_,
                                      Placement::replaceDestination);
        if (!edit.ok()) {
            outcome.failed.emplace_back(std::move(edit), false);
        }
    }
    for (const fs::path& file : saved) {
        SealBackResult one =
            extensions.sealEditedFile(file.string(), item.encryptedPath, password_.view(), hint_,
                                      Placement::besideDestination);
        if (one.ok()) {
            outcome.keptBeside.push_back(readable(one.location));
        } else {
            outcome.failed.emplace_back(std::move(one), true);
        }
    }
    currentFileIsOpen = false;
    if (outcome.failed.empty()) {
        // The record goes only now: until the document is sealed the copy is tracked.
        (void)OpenFileManager::instance().removeOpenFile(item);
        SecurityManagerExtensions::reached(SecurityManagerExtensions::SealStep::recordRemoved);
        if (extensions.removeWorkingFolder(item.plainPath) != securityResult::OK) {
            std::printf("Could not remove the working folder of %s\n", item.plainPath.c_str());
        }
    }
    tellSealBack(outcome);
    reencrypting_ = false;
    finished_ = true;
    terminate();
}

void OpenFileViewController::tellSealBack(const SealBackOutcome& outcome) {
    const std::string name = currentName();
    const std::string document = readable(currentOpenFileItem->encryptedPath);
    if (!outcome.failed.empty()) {
        std::string details;
        for (const auto& [failure, savedBeside] : outcome.failed) {
            const std::string kept = readable(failure.location);
            details += (details.empty() ? "" : "\n\n") + asSentence(failure.reason);
            if (kept.empty()) {
                continue;
            }
            if (!failure.encrypted) {
                details += (savedBeside ? "A file you saved while editing is kept at "
                                        : "Your edited file is kept at ") +
                           kept + ". Encrypt or shred it as soon as possible.";
            } else if (savedBeside) {
                details += "A file you saved while editing is encrypted already and kept at " +
                           kept + ": there is nothing to encrypt or shred.";
            } else {
                details += "Your edits are encrypted already and kept at " + kept +
                           ": there is nothing to encrypt or shred. Open " + document +
                           " again to put them in place.";
            }
        }
        warningAlert(asString(securityResult::CouldNotReencrypt), details);
        if (const std::string first = readable(outcome.failed.front().first.location);
            !first.empty()) {
            (void)platform::workspace().revealFile(first);
        }
    }
    const std::string gone = "The edited copy " + name +
                             " was removed before its application "
                             "ended, so there was nothing to encrypt: " +
                             document + " is unchanged.";
    if (!outcome.keptBeside.empty()) {
        warningAlert(outcome.keptBeside.size() == 1
                         ? "A file you saved while editing " + name + " is kept encrypted"
                         : "Files you saved while editing " + name + " are kept encrypted",
                     "Encrypted with the same password and hint as " + document + ": " +
                         joined(outcome.keptBeside) + "." +
                         (outcome.copyGone ? " " + gone : std::string()));
    } else if (outcome.copyGone) {
        warningAlert("Nothing to encrypt again", gone);
    }
}

bool OpenFileViewController::shouldWeallowClose() {
    if (reencrypting_) {
        return false;
    }
    if (finished_) {
        return true;
    }
    if (!currentFileIsOpen || !currentOpenFileItem) {
        return false;
    }
    if (awaitingConfirmation_) {
        askWhetherEditingIsOver();  // Yes seals and ends the launcher itself
        return false;
    }
    const OpenFileItem item = *currentOpenFileItem;
    const std::string name = currentName();
    if (!OpenFileManager::instance().checkIfFileAlreadyOpen(item.plainPath)) {
        // The copy's name is gone (saved under another name, say): whatever the folder holds
        // may be the edits, so nothing is removed and the next launcher tells of it.
        currentFileIsOpen = false;
        finished_ = true;
        terminate();
        return true;
    }
    if (!yesNoAlert("The App that opened " + name + " is still running.",
                    "To preserve any changes made to your file please Quit the App the opened "
                    "your file (typically Ctrl+Q).\n\nAre you sure you would like to quit "
                    "Morvane 2 Riravevovavi? all changes will be lost.")) {
        return false;
    }
    // Closing this way seals nothing: the document keeps its state from before the edit.
    if (!OpenFileManager::instance().forceClose(item)) {
        warningAlert("Morvane 2 could not remove temporary file " + name +
                         " because it is locked or currently in use by another App",
                     "To make sure your data is not compromised, please Shred the temporary "
                     "file after use.");
        (void)platform::workspace().revealFile(readable(item.plainPath));
    }
    currentFileIsOpen = false;
    finished_ = true;
    terminate();
    return true;
}

void OpenFileViewController::OnClose() {
    if (currentOpenFileItem && !shouldWeallowClose()) {
        return;
    }
    terminate();
}

std::string OpenFileViewController::currentName() const {
    return currentOpenFileItem ? fs::path(currentOpenFileItem->plainPath).filename().string()
                               : std::string();
}

// Posted, so a refusal made before the event loop runs still ends the program, and the
// caller's code finishes first.
void OpenFileViewController::terminate() {
    platform::Dispatch::main().async([] { platform::ui::Application::instance().terminate(); });
}

OpenFileWindowController::OpenFileWindowController(std::vector<std::string> arguments) {
    setContentViewController(std::make_unique<OpenFileViewController>(std::move(arguments)));
}

OpenFileViewController& OpenFileWindowController::openFileViewController() const {
    return *static_cast<OpenFileViewController*>(contentViewController());
}

// Titled and closable only, set before the window is first shown: changing the flags of a
// shown window hides it, which would end the launcher as its last window.
void OpenFileWindowController::windowDidLoad() {
    platform::ui::applyTitledClosableStyle(*window());
    window()->setWindowTitle(kTitle);
    // Quitting is the close action: it ends an idle launcher, and asks first while a
    // document is open.
    auto* quit = new QAction(window());
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, this,
                     [this] { openFileViewController().OnClose(); });
    window()->addAction(quit);
}

bool OpenFileWindowController::windowShouldClose() {
    return openFileViewController().windowShouldClose();
}

}  // namespace m2
