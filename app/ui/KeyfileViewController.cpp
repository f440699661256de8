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

KeyfileViewController::~KeyfileViewController() {
    wipe(keyfile);
    wipe(password);
}

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
    keyfileEdit->setText(QString::fromStdString(facade.createKey(path)));
}

void KeyfileViewController::OnUseKey() {
    keyfile = fieldText(keyfileEdit);
    password = fieldText(passwordEdit);
    // The engine's error text is long enough to pass the length test, yet every missing or
    // short key file would give that same "key".
    if (platform::graphemeCount(keyfile) < minimumKeyLength || keyfile == keyfileErrorText) {
        wipe(password);
        warningAlert("Invalid key");
        return;
    }
    keyfile += password;
    wipe(password);
    if (delegate != nullptr) {
        delegate->useKeyfile(keyfile);
    }
    wipe(keyfile);
    dismissController();
}

}  // namespace m2
