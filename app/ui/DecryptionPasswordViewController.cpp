#include "app/ui/DecryptionPasswordViewController.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/PasswordEntryDelegate.h"
#include "app/ui/SecretFields.h"
#include "ui_DecryptionPasswordViewController.h"

namespace m2 {

DecryptionPasswordViewController::DecryptionPasswordViewController() = default;

DecryptionPasswordViewController::~DecryptionPasswordViewController() = default;

void DecryptionPasswordViewController::loadView() {
    ui_ = std::make_unique<Ui::DecryptionPasswordView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    passwordOneEdit = ui_->passwordOneEdit;
    okButton = ui_->okButton;
    cancelButton = ui_->cancelButton;
    keyfileButton = ui_->keyfileButton;
    setView(view);
}

void DecryptionPasswordViewController::viewDidLoad() {
    connect(okButton, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { dismissController(); });
    connect(keyfileButton, &QPushButton::clicked, this, [this] { OnKeyfile(); });
}

void DecryptionPasswordViewController::viewWillDisappear() {
    clearSecretFields({passwordOneEdit});
}

void DecryptionPasswordViewController::OnOk() {
    PasswordCredentials credentials;
    credentials.setPassword(secretFieldText(passwordOneEdit));
    credentials.setPassword2(secretFieldText(passwordOneEdit));
    const PasswordCredentials::Validation validation = credentials.Validate();
    if (!validation.result) {
        warningAlert("Error", validation.resaon);
        return;
    }
    if (delegate != nullptr) {
        if (fileOpenMode) {
            delegate->startDecryptAndOpenProcess(credentials, fileOpenPath);
        } else {
            delegate->processFilesFromPasswordEntrySegue(credentials, CurrentProcess::decrypting);
        }
    }
    dismissController();
}

void DecryptionPasswordViewController::OnKeyfile() {
    performSegueWithIdentifier(keyfileSegue, nullptr);
}

void DecryptionPasswordViewController::prepareForSegue(platform::ui::StoryboardSegue& segue,
                                                       QObject*) {
    if (segue.identifier() == keyfileSegue) {
        segue.destinationAs<KeyfileViewController>()->delegate = this;
    }
}

void DecryptionPasswordViewController::useKeyfile(std::string_view key) {
    setSecretFieldText(passwordOneEdit, key);
}

}  // namespace m2
