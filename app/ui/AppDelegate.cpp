#include "app/ui/AppDelegate.h"

#include <QWidget>

#include "app/library/PasswordRekeying.h"
#include "app/library/SecurityManager.h"
#include "app/services/Alerts.h"
#include "app/services/PListReader.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/LoginDelegate.h"
#include "app/ui/LoginViewController.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/projectViewController.h"
#include "platform/Workspace.h"
#include "platform/ui/Application.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"

#ifndef M2_GETTING_STARTED_URL
#define M2_GETTING_STARTED_URL "https://morvane2.example/getting-started"
#endif
#ifndef M2_HELP_URL
#define M2_HELP_URL "https://morvane2.example/help"
#endif

namespace m2 {
namespace {

AppDelegate* g_delegate = nullptr;

using platform::ui::Application;

// The login controller in the current main window, when that is what the window holds.
platform::ui::ViewController* loginController() {
    platform::ui::ViewController* content =
        Application::instance().mainWindowContentViewController();
    return dynamic_cast<LoginOpenFileMode*>(content) != nullptr ? content : nullptr;
}

}  // namespace

const std::string AppDelegate::gettingStartedPage = M2_GETTING_STARTED_URL;
const std::string AppDelegate::helpPage = M2_HELP_URL;

AppDelegate::AppDelegate() {
    g_delegate = this;
    Application::instance().setTerminatesAfterLastWindowClosed(
        [this] { return applicationShouldTerminateAfterLastWindowClosed(); });
}

AppDelegate::~AppDelegate() {
    if (g_delegate == this) {
        g_delegate = nullptr;
        Application::instance().setTerminatesAfterLastWindowClosed({});
    }
}

AppDelegate* AppDelegate::shared() {
    return g_delegate;
}

projectViewController* AppDelegate::mainController() const {
    return dynamic_cast<projectViewController*>(
        Application::instance().mainWindowContentViewController());
}

MainWindowController* AppDelegate::currentMainWindowController() const {
    return dynamic_cast<MainWindowController*>(Application::instance().mainWindowController());
}

void AppDelegate::applicationWillFinishLaunching() {
    const auto aside = PListReader::setAsideIfDamaged();
    if (aside) {
        settingsSetAside_ = aside->filename().string();
    }
    if (Settings::instance().DatabaseSetup()) {
        return;
    }
    // The first-run setup's new password would replace the one every document is still
    // encrypted with: with a master password in the keyring (or, for settings set aside, a
    // keyring that cannot tell) the program logs on as before, whatever the settings say.
    const auto keyring = PasswordCredentials::instance().storedDigest().answer;
    if (keyring == PasswordCredentials::KeychainAnswer::matches ||
        (aside && keyring == PasswordCredentials::KeychainAnswer::unavailable)) {
        Settings::instance().setDatabaseSetup(true);
    }
}

void AppDelegate::applicationDidFinishLaunching() {
    if (!settingsSetAside_.empty()) {
        warningAlert("Settings could not be read",
                     "Morvane 2 Riravevovavi could not read its settings, so they were kept "
                     "aside as \"" +
                         settingsSetAside_ +
                         "\" in the Morvane folder of your Documents and every setting starts "
                         "again from its default.");
        settingsSetAside_.clear();
    }
    if (Settings::instance().DatabaseSetup()) {
        return;  // the login window stays up
    }
    auto& storyboard = platform::ui::Storyboard::main();
    platform::ui::ViewController* login = nullptr;
    if (Application::instance().mainWindow() != nullptr) {
        login = loginController();
        if (login == nullptr) {
            return;
        }
    } else if (!storyboard.initialControllerIdentifier().empty()) {
        return;
    }
    // Without a login window in the storyboard there is nothing to close; the main window
    // opens all the same.
    mainWindowController = storyboard.instantiate<MainWindowController>("mainWindowSausage");
    if (mainWindowController == nullptr) {
        return;
    }
    mainWindowController->showWindow();
    if (auto* loginWindow = dynamic_cast<LoginViewController*>(login)) {
        loginWindow->closeForMainWindow();  // replaced, not abandoned: the program goes on
    } else if (login != nullptr) {
        if (platform::ui::WindowController* window = login->windowController()) {
            window->close();
        } else if (QWidget* window = login->window()) {
            window->close();
        }
    }
}

bool AppDelegate::application(const std::string& openFile) {
    if (!SecurityManager::fileIsEncrypted(openFile)) {
        return false;
    }
    commanline = openFile;
    if (!Settings::instance().DatabaseSetup()) {
        return false;
    }
    if (openForAction) {
        warningAlert("Could not open file",
                     "Morvane 2 Riravevovavi is currently open for editing, to open file from "
                     "file manager please close Morvane 2 and try again.\n\nAlternatively, "
                     "navigate to encrypted file in your library (or add if required) and click "
                     "Open File on the tool bar.");
        return false;
    }
    auto* login = dynamic_cast<LoginOpenFileMode*>(loginController());
    if (login == nullptr) {
        return false;
    }
    login->setFileToOpen(openFile);
    login->updateForOpenFileMode();
    return true;
}

void AppDelegate::openHandedOverFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        (void)application(path);
    }
    if (!paths.empty()) {
        return;
    }
    // A start without paths brings the running window forward, out of the Dock too; a
    // window closed by a lock stays closed.
    QWidget* window = Application::instance().mainWindow();
    if (window == nullptr && mainWindowController != nullptr &&
        mainWindowController->isWindowLoaded()) {
        QWidget* main = mainWindowController->window();
        window = main->isVisible() && main->isMinimized() ? main : nullptr;
    }
    if (window != nullptr) {
        if (window->isMinimized()) {
            window->showNormal();
        }
        window->raise();
        window->activateWindow();
    }
}

projectViewController* AppDelegate::madeMainController() const {
    projectViewController* controller = mainController();
    if (controller == nullptr && mainWindowController != nullptr) {
        controller =
            dynamic_cast<projectViewController*>(mainWindowController->contentViewController());
    }
    return controller;
}

bool AppDelegate::applicationWillEndSession() {
    // A stop asked while nothing runs is forgotten by the next change.
    MasterPasswordChange::stop();
    projectViewController* controller = madeMainController();
    if (controller == nullptr || controller->currentState() == CurrentProcess::idel) {
        return false;
    }
    SecurityManager::instance().cancelCurrentProcess();
    return true;
}

namespace {

// Runs the call on the main controller when there is one.
template <typename Call>
void onMainController(const AppDelegate& delegate, Call call) {
    if (projectViewController* controller = delegate.mainController()) {
        call(*controller);
    }
}

}  // namespace

void AppDelegate::OnNewLibraryFolder(QObject*) {
    onMainController(*this, [](projectViewController& controller) {
        controller.performSegueIfDefined("newLibraryFolderSeque", nullptr);
    });
}

void AppDelegate::OnAddLibraryFile(QObject*) {
    onMainController(*this, [](projectViewController& controller) { controller.addFiles(false); });
}

void AppDelegate::AddFolderContents(QObject*) {
    onMainController(*this, [](projectViewController& controller) { controller.addFiles(true); });
}

void AppDelegate::OnSel(QObject*) {
    onMainController(*this, [](projectViewController& controller) { controller.selectAll(); });
}

void AppDelegate::OnDeleteSelectedFiles(QObject*) {
    onMainController(*this, [](projectViewController& controller) { controller.deleteFiles(); });
}

void AppDelegate::OnDeleteSelectedFolder(QObject*) {
    onMainController(*this,
                     [](projectViewController& controller) { controller.deleteLibraryFolder(); });
}

void AppDelegate::OnAddNote(QObject*) {
    if (MainWindowController* controller = currentMainWindowController()) {
        controller->performSegueIfDefined("addNoteSeque", nullptr);
    }
}

void AppDelegate::OnEditNote(QObject*) {
    if (MainWindowController* controller = currentMainWindowController()) {
        controller->performSegueIfDefined("editNoteSeque", nullptr);
    }
}

void AppDelegate::OnViewNote(QObject* sender) {
    OnEditNote(sender);
}

void AppDelegate::OnDeleteNote(QObject* sender) {
    if (MainWindowController* controller = currentMainWindowController()) {
        controller->OnDeleteNote(sender);
    }
}

void AppDelegate::OnEncrypt(QObject*) {
    onMainController(*this,
                     [](projectViewController& controller) { controller.encryptSelectedItems(); });
}

void AppDelegate::OnDecrypt(QObject*) {
    onMainController(*this,
                     [](projectViewController& controller) { controller.decryptSelectedItems(); });
}

void AppDelegate::OnShred(QObject*) {
    onMainController(*this,
                     [](projectViewController& controller) { controller.shredSelectedFiles(); });
}

void AppDelegate::OnPreferences(QObject*) {
    onMainController(*this, [](projectViewController& controller) { controller.showSettings(); });
}

void AppDelegate::OnShowGettingStarted(QObject*) {
    (void)platform::workspace().openURL(gettingStartedPage);
}

void AppDelegate::OnQuit(QObject*) {
    // The main controller may be behind a sheet or minimised: it is the one that was made.
    projectViewController* controller = madeMainController();
    if (controller != nullptr && controller->currentState() != CurrentProcess::idel) {
        warningAlert("Warning", asString(controller->currentState()));
        return;
    }
    Application::instance().terminate();
}

void AppDelegate::OnAbout(QObject*) {
    auto about = platform::ui::Storyboard::main().instantiate<platform::ui::WindowController>(
        "aboutWindowController");
    if (about != nullptr) {
        Application::instance().adopt(std::move(about))->showWindow();
    }
}

}  // namespace m2
