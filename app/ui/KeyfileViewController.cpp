#include "app/ui/KeyfileViewController.h"

#include <QLineEdit>
#include <QPushButton>

#include "Sealkit/SealkitFacade.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/KeyfileDelegate.h"
#include "app/ui/SecretFields.h"
#include "platform/OpenPanel.h"
#include "platform/Text.h"
#include "ui_KeyfileViewController.h"

namespace m2 {

KeyfileViewController::KeyfileViewController() = default;

KeyfileViewController::~KeyfileViewController() = default;

void KeyfileViewController::loadView() {
    ui_ = std::make_unique<Ui::KeyfileView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    keyfileLabel = ui_->keyfileLabel;
    passwordEdit = ui_->passwordEdit;
    keyfileEdit = ui_->keyfileEdit;
    keyfilePathEdit = ui_->keyfilePathEdit;
    selectFileButton = ui_->selectFileButton;
    useKeyButton = ui_->useKeyButton;
    cancelButton = ui_->cancelButton;
    setView(view);
}

void KeyfileViewController::viewDidLoad() {
    connect(selectFileButton, &QPushButton::clicked, this, [this] { OnSelectFile(); });
    connect(useKeyButton, &QPushButton::clicked, this, [this] { OnUseKey(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { dismissController(); });
}

void KeyfileViewController::viewWillDisappear() {
    clearSecretFields({passwordEdit, keyfileEdit});
}

void KeyfileViewController::OnSelectFile() {
    platform::OpenPanelOptions options;
    options.prompt = "Select keyfile";
    options.showsResizeIndicator = true;
    options.showsHiddenFiles = false;
    options.allowsMultipleSelection = false;
    options.canChooseDirectories = false;
    options.canChooseFiles = true;
    const platform::OpenPanelResult chosen = platform::openPanel().runModal(options);
    if (chosen.response != platform::PanelResponse::ok || chosen.paths.empty()) {
        return;
    }
    const std::string& path = chosen.paths.front();
    keyfilePathEdit->setText(QString::fromStdString(path));
    Keyfile facade;  // keeps no state
    setSecretFieldText(keyfileEdit, facade.createKey(path).view());
}

void KeyfileViewController::OnUseKey() {
    keyfile = secretFieldText(keyfileEdit);
    password = secretFieldText(passwordEdit);
    // The engine's error text is long enough to pass the length test, yet every missing or
    // short key file would give that same "key".
    if (platform::graphemeCount(keyfile.view()) < minimumKeyLength ||
        keyfile.view() == keyfileErrorText) {
        password.clear();
        warningAlert("Invalid key");
        return;
    }
    keyfile.append(password.view());
    password.clear();
    if (delegate != nullptr) {
        delegate->useKeyfile(keyfile.view());
    }
    keyfile.clear();
    dismissController();
}

}  // namespace m2
