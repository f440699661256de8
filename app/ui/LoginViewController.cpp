#include "app/ui/LoginViewController.h"

#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <initializer_list>

#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/LauncherHandOff.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/SecretFields.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "ui_LoginViewController.h"

namespace m2 {
namespace {

using platform::ui::Application;

void invalidPassword() {
    warningAlert("Invalid Password", "Please enter a valid password and try again.");
}

}  // namespace

LoginViewController::LoginViewController() : credentials(&PasswordCredentials::instance()) {}

LoginViewController::~LoginViewController() = default;

void LoginViewController::loadView() {
    ui_ = std::make_unique<Ui::LoginView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    passwordEdit = ui_->passwordEdit;
    logonButton = ui_->logonButton;
    forgotButton = ui_->forgotButton;
    forgotLabel = ui_->forgotLabel;
    keyfileButton = ui_->keyfileButton;
    ui_->pictureView->setPixmap(platform::ui::pixmapNamed("morvane2", QSize(64, 64)));
    setView(view);
}

void LoginViewController::viewDidLoad() {
    connect(logonButton, &QPushButton::clicked, this, [this] { OnLogon(); });
    connect(keyfileButton, &QPushButton::clicked, this, [this] { OnKeyFile(); });
    connect(passwordEdit, &QLineEdit::returnPressed, this, [this] {
        // In a dialog the key goes on to the default Log On button: one log-on per press.
        if (logonButton->isDefault() && qobject_cast<QDialog*>(passwordEdit->window()) != nullptr) {
            return;
        }
        OnLogon();
    });
    // The storyboard's road to the confirmation of a forgotten password.
    connect(forgotButton, &QPushButton::clicked, this,
            [this] { performSegueWithIdentifier("showResetMasterPasswordSegue", nullptr); });

    credentials->loadHint();
    const std::string hint = credentials->hint();
    if (!hint.empty()) {
        passwordEdit->setPlaceholderText(QString::fromStdString("Password hint: '" + hint + "'"));
    }
    credentials->reset();
}

void LoginViewController::viewWillAppear() {
    // Fixed before the window shows: changing a shown window's kind would hide it.
    if (QWidget* shown = window(); shown != nullptr && !shown->isVisible() && !isPresented()) {
        platform::ui::applyTitledClosableStyle(*shown);
    }
}

void LoginViewController::viewDidAppear() {
    if (QWidget* shown = window()) {
        shown->setWindowTitle("Login");
    }
    if (fileOpenMode) {
        showOpenFileMode();
    }
    passwordEdit->setFocus();
}

void LoginViewController::updateForOpenFileMode() {
    fileOpenMode = true;
    showOpenFileMode();
}

void LoginViewController::showOpenFileMode() {
    if (QWidget* shown = window()) {
        shown->setWindowTitle("Morvane 2 Pro");
    }
    logonButton->setText("Decrypt and Open");
    forgotButton->hide();
    forgotLabel->hide();
}

void LoginViewController::decryptAndOpenFile(const std::string& file, bool) {
    fileOpenMode = true;
    fileToOpen = file;
}

void LoginViewController::OnKeyFile() {
    performSegueWithIdentifier("showKeyfileSegueFromLogin", nullptr);
}

void LoginViewController::prepareForSegue(platform::ui::StoryboardSegue& segue, QObject*) {
    if (segue.identifier() == "showKeyfileSegueFromLogin") {
        segue.destinationAs<KeyfileViewController>()->delegate = this;
    }
}

void LoginViewController::useKeyfile(std::string_view key) {
    setSecretFieldText(passwordEdit, key);
}

void LoginViewController::OnLogon() {
    Secret password = secretFieldText(passwordEdit);
    if (fileOpenMode) {
        if (!SecurityManager::validatePassword(password.view(), fileToOpen)) {
            invalidPassword();
            return;
        }
        // The window stays, and the program runs on, unless the launcher really started.
        if (!decryptAndOpenFile(fileToOpen, password.view(), false)) {
            return;
        }
        passwordValidated = true;
        credentials->setPassword(std::move(password));
        closeLoginWindow();
        Application::instance().terminate();
        return;
    }
    const PasswordCredentials::KeychainCheck check =
        credentials->checkWithKeychain(password.view());
    if (check.answer != PasswordCredentials::KeychainAnswer::matches) {
        // A keyring that could not be asked, or holds no check, says nothing about the
        // password.
        if (check.answer != PasswordCredentials::KeychainAnswer::differs) {
            warningAlert(check.title, check.reason);
        } else {
            invalidPassword();
        }
        return;
    }
    passwordValidated = true;
    credentials->setPassword(std::move(password));
    if (LoginDelegate* const owner = delegate) {
        closeLoginWindow();
        owner->login();
        return;
    }
    // The main window shows the catalogue, which may still be being read: the login window
    // stays, without the password and unanswering, until it is.
    clearSecretFields({passwordEdit});
    for (QWidget* control :
         std::initializer_list<QWidget*>{passwordEdit, logonButton, keyfileButton, forgotButton}) {
        control->setEnabled(false);
    }
    if (QWidget* shown = window()) {
        shown->setCursor(Qt::BusyCursor);
    }
    LibraryManager::whenLoaded([login = QPointer<LoginViewController>(this)] {
        if (login != nullptr) {
            login->closeLoginWindow();
            login->openMainWindow();
        }
    });
}

bool LoginViewController::decryptAndOpenFile(const std::string& file, std::string_view password,
                                             bool appShouldTerminiate) {
    if (!startLauncherForDocument(file, password)) {
        return false;
    }
    if (appShouldTerminiate) {
        Application::instance().terminate();
    }
    return true;
}

void LoginViewController::closeLoginWindow() {
    clearSecretFields({passwordEdit});
    if (isPresented()) {
        dismissController();
    } else if (platform::ui::WindowController* owner = windowController()) {
        owner->close();
    } else if (QWidget* shown = window()) {
        shown->close();
    }
}

void LoginViewController::closeForMainWindow() {
    closingForMainWindow_ = true;
    closeLoginWindow();
}

void LoginViewController::viewWillDisappear() {
    clearSecretFields({passwordEdit});
    if (!passwordValidated && !closingForMainWindow_) {
        Application::instance().terminate();
    }
}

void LoginViewController::openMainWindow() {
    auto made =
        platform::ui::Storyboard::main().instantiate<MainWindowController>("mainWindowSausage");
    if (made == nullptr) {
        return;
    }
    MainWindowController* main = made.get();
    if (AppDelegate* application = AppDelegate::shared()) {
        application->mainWindowController = std::move(made);
    } else {
        Application::instance().adopt(std::move(made));
    }
    main->showWindow();
}

}  // namespace m2
