#include "app/ui/PasswordController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/PasswordEntryDelegate.h"
#include "app/ui/SecretFields.h"
#include "app/ui/StrengthMeter.h"
#include "ui_PasswordController.h"

namespace m2 {

PasswordController::PasswordController() = default;

PasswordController::~PasswordController() = default;

void PasswordController::loadView() {
    ui_ = std::make_unique<Ui::PasswordView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    passwordOneEdit = ui_->passwordOneEdit;
    password2Edit = ui_->password2Edit;
    passwordHintEdit = ui_->passwordHintEdit;
    strengthIndicatorImage = ui_->strengthIndicatorImage;
    passwordStrengthDetails = ui_->passwordStrengthDetails;
    passwordLabel = ui_->passwordLabel;
    okButton = ui_->okButton;
    cancelButton = ui_->cancelButton;
    keyfileButton = ui_->keyfileButton;
    setView(view);
}

void PasswordController::viewDidLoad() {
    // Only typing in the first field rates the password; a key file or the other fields do not.
    connect(passwordOneEdit, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(okButton, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(keyfileButton, &QPushButton::clicked, this, [this] { OnKeyfile(); });
}

void PasswordController::viewWillDisappear() {
    clearSecretFields({passwordOneEdit, password2Edit});
}

void PasswordController::controlTextDidChange() {
    showPasswordStrength(secretFieldText(passwordOneEdit).view(), passwordLabel,
                         strengthIndicatorImage, passwordStrengthDetails);
}

void PasswordController::OnOk() {
    PasswordCredentials credentials;
    credentials.setHint(fieldText(passwordHintEdit));
    credentials.setPassword(secretFieldText(passwordOneEdit));
    credentials.setPassword2(secretFieldText(password2Edit));
    const PasswordCredentials::Validation validation = credentials.Validate();
    if (!validation.result) {
        warningAlert("Error", validation.resaon);
        return;
    }
    if (delegate != nullptr) {
        delegate->processFilesFromPasswordEntrySegue(credentials, CurrentProcess::encrypting);
    }
    dismissController();
}

void PasswordController::OnCancel() {
    dismissController();
}

void PasswordController::OnKeyfile() {
    performSegueWithIdentifier(keyfileSegue, nullptr);
}

void PasswordController::prepareForSegue(platform::ui::StoryboardSegue& segue, QObject*) {
    if (segue.identifier() == keyfileSegue) {
        segue.destinationAs<KeyfileViewController>()->delegate = this;
    }
}

void PasswordController::useKeyfile(std::string_view key) {
    setSecretFieldText(passwordOneEdit, key);
    setSecretFieldText(password2Edit, key);
}

}  // namespace m2
