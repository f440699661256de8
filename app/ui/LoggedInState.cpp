// The main controller's logged-in state: login, lock and the idle check. Built with the
// login window, which is what enters and leaves this state.
#include <QPushButton>
#include <QWidget>
#include <chrono>

#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/LoginViewController.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/UnfinishedPasswordChange.h"
#include "app/ui/projectViewController.h"
#include "platform/Timer.h"
#include "platform/ui/Application.h"
#include "platform/ui/KitWindows.h"

namespace m2 {
namespace {

bool g_toldIdleUnavailable = false;

// Without an idle time the lock can never come: said once, so the user does not rely on it.
void tellOnceWhenIdleUnavailable(const SessionManager& session) {
    if (g_toldIdleUnavailable || !session.active() || session.timeout() == -1 ||
        session.idleTimeAvailable()) {
        return;
    }
    g_toldIdleUnavailable = true;
    warningAlert("Automatic lock is not available",
                 "This desktop does not tell Morvane 2 Riravevovavi how long the computer has "
                 "been idle, so it will not lock itself after the time-out. Use Log Off on the "
                 "toolbar when you leave your computer.");
}

}  // namespace

void projectViewController::login() {
    if (programView != nullptr) {
        programView->show();
    }
    // A second login must not leave the earlier timer running beside the new one.
    if (idleTimer != nullptr) {
        idleTimer->invalidate();
    }
    idleTimer = platform::TimerScheduler::main().scheduleRepeating(std::chrono::seconds(1),
                                                                   [this] { updateIdle(); });
    if (cloudManager != nullptr && cloudManager->observingCloudFolders()) {
        showProgress("Refreshing cloud...");
        cloudManager->refreshCloudFolderAndContents();
        setCurrentState(CurrentProcess::refreshingCloud);
        if (!observersStarted_) {
            cloudManager->startObservers();
            observersStarted_ = true;
        }
    }
    if (MainWindowController* window = mainWindowController()) {
        window->showWindow();
    }
    showSheetsAfterLock();
    noteManager.setup();
    if (platform::ui::Toolbar* bar = toolbar()) {
        if (toolbarOrganiser.viewType == ToolbarOrganiser::ViewType::library) {
            toolbarOrganiser.libraryView(bar);
        } else {
            toolbarOrganiser.noteView(bar);
        }
    }
    // After a reset of the master password the notes on screen say why they are gone.
    if (toolbarOrganiser.viewType == ToolbarOrganiser::ViewType::notes &&
        noteManager.cannotOpenNotesFile()) {
        showNotes();
    }
    tellOnceWhenIdleUnavailable(*sessionManager);
    UnfinishedPasswordChange::offerAtLogOn(
        {*this, *this, PasswordCredentials::instance(),
         [](const std::string& path) { return OpenFileManager::instance().isOpenForEditing(path); },
         [this] {
             noteManager.load();
             if (noteManager.notesView != nullptr) {
                 noteManager.notesView->reloadData();
             }
         }});
}

void projectViewController::logoff() {
    if (currentState_ != CurrentProcess::idel) {
        warningAlert("Could not lock Morvane 2 Riravevovavi", asString(currentState_));
        return;
    }
    // Hiding the main window leaves its sheets on screen: a note editor or settings sheet
    // would show through the lock.
    hideSheetsForLock();
    if (MainWindowController* window = mainWindowController()) {
        window->close();
    }
    if (programView != nullptr) {
        programView->hide();
    }
    if (idleTimer != nullptr) {
        idleTimer->invalidate();
    }
    if (cloudManager != nullptr) {
        cloudManager->stopObservers();
    }
    observersStarted_ = false;
    // The decrypted notes do not stay behind the lock; the next log-on reads them again.
    noteManager.unload();
    lockedGeneration_ = PasswordCredentials::masterPasswordGeneration();
    // Nothing needs the master password while locked; the next login sets it again. A change
    // of master password left it as the confirmation too, which reset() keeps.
    PasswordCredentials::instance().reset();
    PasswordCredentials::instance().setPassword2(Secret());
}

void projectViewController::updateIdle() {
    // Timers still fire inside our modal alerts and panels; the user is there, answering.
    if (platform::ui::Application::instance().modalSessionsInProgress() > 0) {
        return;
    }
    if (sessionManager->shouldLogout() && currentState_ == CurrentProcess::idel) {
        performSegueWithIdentifier("loginToMorvaneSegue", nullptr);
    }
}

void projectViewController::observingCloud(bool observing) {
    if (cloudSyncNotice != nullptr) {
        cloudSyncNotice->setVisible(observing);
    }
    if (cloudManager == nullptr) {
        return;
    }
    if (observing) {
        cloudManager->startObservers();
    } else {
        cloudManager->stopObservers();
    }
    observersStarted_ = observing;
}

void projectViewController::prepareLogin(platform::ui::StoryboardSegue& segue) {
    auto* login = segue.destinationAs<LoginViewController>();
    if (login == nullptr) {
        return;
    }
    if (!commandLineArgument.empty()) {
        login->decryptAndOpenFile(commandLineArgument, true);
    }
    login->delegate = this;
    logoff();
}

void projectViewController::hideSheetsForLock() {
    QWidget* main = mainWindowController() != nullptr ? mainWindowController()->window() : nullptr;
    if (main == nullptr) {
        return;
    }
    for (auto* host :
         main->findChildren<platform::ui::PresentationHost*>(Qt::FindDirectChildrenOnly)) {
        if (host->isSheet() && host->isVisible()) {
            sheetsHiddenByLock_.emplace_back(host);
            host->hide();
        }
    }
}

void projectViewController::showSheetsAfterLock() {
    // Another master password (after a reset) never sees the locked session's sheets, nor
    // the unsaved text in them.
    const bool sameSession = PasswordCredentials::masterPasswordGeneration() == lockedGeneration_;
    for (const QPointer<QWidget>& sheet : sheetsHiddenByLock_) {
        if (sheet == nullptr) {
            continue;
        }
        if (sameSession) {
            sheet->show();
        } else if (auto* host = dynamic_cast<platform::ui::PresentationHost*>(sheet.data())) {
            host->dismiss();
        } else {
            sheet->deleteLater();
        }
    }
    sheetsHiddenByLock_.clear();
}

}  // namespace m2
