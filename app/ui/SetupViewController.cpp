#include "app/ui/SetupViewController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>

#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/LoginDelegate.h"
#include "app/ui/ResetMasterPasswordDelegate.h"
#include "app/ui/SecretFields.h"
#include "app/ui/StrengthMeter.h"
#include "platform/Dispatch.h"
#include "platform/Workspace.h"
#include "platform/ui/Application.h"
#include "ui_SetupViewController.h"

namespace m2 {
namespace {

constexpr const char* refusedMessage = "Could not create your master password";

}  // namespace

SetupViewController::SetupViewController() : credentials(&PasswordCredentials::instance()) {}

SetupViewController::~SetupViewController() = default;

void SetupViewController::loadView() {
    ui_ = std::make_unique<Ui::SetupView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    passwordHintEdit = ui_->passwordHintEdit;
    passwordOneEdit = ui_->passwordOneEdit;
    passwordTwoEdit = ui_->passwordTwoEdit;
    passwordLabel = ui_->passwordLabel;
    strengthIndicatorImage = ui_->strengthIndicatorImage;
    passwordStrengthDetails = ui_->passwordStrengthDetails;
    titleLable = ui_->titleLable;
    closeButton = ui_->closeButton;
    createButton = ui_->createButton;
    keyfileButton = ui_->keyfileButton;
    setView(view);
}

void SetupViewController::viewDidLoad() {
    connect(passwordOneEdit, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(createButton, &QPushButton::clicked, this, [this] { OnCreate(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(keyfileButton, &QPushButton::clicked, this, [this] { OnKeyfile(); });
    if (resetMode) {
        titleLable->setText("Reset your master password");
        closeButton->setText("Cancel");
        createButton->setText("Reset");
    }
}

void SetupViewController::viewWillDisappear() {
    clearSecretFields({passwordOneEdit, passwordTwoEdit});
}

void SetupViewController::controlTextDidChange() {
    updateStrengthIndicator();
}

void SetupViewController::updateStrengthIndicator() {
    showPasswordStrength(secretFieldText(passwordOneEdit).view(), passwordLabel,
                         strengthIndicatorImage, passwordStrengthDetails);
}

void SetupViewController::OnKeyfile() {
    performSegueWithIdentifier("showKeyfileSegue", nullptr);
}

void SetupViewController::prepareForSegue(platform::ui::StoryboardSegue& segue, QObject*) {
    if (segue.identifier() == "showKeyfileSegue") {
        segue.destinationAs<KeyfileViewController>()->delegate = this;
    }
}

void SetupViewController::useKeyfile(std::string_view key) {
    setSecretFieldText(passwordOneEdit, key);
    setSecretFieldText(passwordTwoEdit, key);
    updateStrengthIndicator();
}

void SetupViewController::OnCreate() {
    credentials->setHint(fieldText(passwordHintEdit));
    credentials->setPassword(secretFieldText(passwordOneEdit));
    credentials->setPassword2(secretFieldText(passwordTwoEdit));
    const PasswordCredentials::Validation validation = credentials->Validate();
    if (!validation.result) {
        warningAlert(refusedMessage, validation.resaon);
        return;
    }
    // A password the keyring did not keep could never be checked at the next start.
    if (const auto keyring = credentials->storedDigest();
        keyring.answer == PasswordCredentials::KeychainAnswer::unavailable) {
        warningAlert(keyring.title, keyring.reason);
        return;
    }
    if (!credentials->saveToKeychain()) {
        warningAlert(refusedMessage, "The system keyring could not store it.");
        return;
    }
    Settings::instance().setDatabaseSetup(true);
    credentials->setPassword2({});

    if (resetMode) {
        if (delegate != nullptr) {
            delegate->reset();
        }
        dismissController();
        return;
    }
    if (Settings::instance().FirstRun()) {
        if (yesNoAlert("Would you like to view Morvane 2 Riravevovavis getting started guide?",
                       "You can view the start guide anytime by selecting Help > View getting "
                       "started guide.")) {
            platform::Dispatch::main().asyncAfter(std::chrono::seconds(1), [] {
                (void)platform::workspace().openURL(AppDelegate::gettingStartedPage);
            });
        }
        Settings::instance().setFirstRun(false);
    }
    // The main window that presented the sheet starts the logged-in state at once: idle
    // lock, notes and cloud watching must not wait for the next start.
    auto* owner = dynamic_cast<LoginDelegate*>(presentingController());
    dismissController();
    if (owner != nullptr) {
        owner->login();
    }
}

void SetupViewController::OnCancel() {
    if (resetMode) {
        if (delegate != nullptr) {
            delegate->reset();
        }
        dismissController();
        return;
    }
    dismissController();
    if (platform::ui::Application::instance().mainWindow() != nullptr) {
        platform::ui::Application::instance().terminate();
    }
}

}  // namespace m2
