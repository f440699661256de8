#include "app/ui/CloudSetupViewController.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <filesystem>

#include "app/library/CloudManager.h"
#include "app/services/Alerts.h"
#include "app/services/Settings.h"
#include "app/ui/SecretFields.h"
#include "app/ui/projectViewController.h"
#include "platform/Dispatch.h"
#include "platform/OpenPanel.h"
#include "ui_CloudSetupViewController.h"

namespace m2 {

CloudSetupViewController::CloudSetupViewController() = default;

CloudSetupViewController::~CloudSetupViewController() = default;

void CloudSetupViewController::loadView() {
    ui_ = std::make_unique<Ui::CloudSetupViewController>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    dropboxCheck = ui_->dropboxCheck;
    dropboxBusinessCheck = ui_->dropboxBusinessCheck;
    iCloudCheck = ui_->iCloudCheck;
    googleDriveCheck = ui_->googleDriveCheck;
    dropboxPathEdit = ui_->dropboxPathEdit;
    dropboxBusinessPathEdit = ui_->dropboxBusinessPathEdit;
    iCloudPathEdit = ui_->iCloudPathEdit;
    googleDriveEdit = ui_->googleDriveEdit;
    progressLabel = ui_->progressLabel;
    progressBar = ui_->progressBar;
    monitorFoldersCheck = ui_->monitorFoldersCheck;
    helpButton = ui_->helpButton;
    okButton = ui_->okButton;
    cancelButton = ui_->cancelButton;
    setView(view);
}

std::array<CloudSetupViewController::Provider, 4> CloudSetupViewController::providers() const {
    return {{{CloudType::DropBox, dropboxCheck, dropboxPathEdit},
             {CloudType::DropBoxBusiness, dropboxBusinessCheck, dropboxBusinessPathEdit},
             {CloudType::iCloud, iCloudCheck, iCloudPathEdit},
             {CloudType::GoogleDrive, googleDriveCheck, googleDriveEdit}}};
}

void CloudSetupViewController::viewDidLoad() {
    for (const Provider& provider : providers()) {
        provider.check->setChecked(provider.type.included());
        provider.path->setText(QString::fromStdString(provider.type.cloudPath()));
    }
    monitorFoldersCheck->setChecked(Settings::instance().MonitorCloudFolders());
    progressBar->hide();
    progressLabel->hide();

    connect(ui_->dropboxFolderButton, &QPushButton::clicked, this, [this] { OnDropboxFolder(); });
    connect(ui_->dropboxBusinessFolderButton, &QPushButton::clicked, this,
            [this] { OnDropboxBusinessFolder(); });
    connect(ui_->iCloudFolderButton, &QPushButton::clicked, this, [this] { OniCloudFolder(); });
    connect(ui_->googleDriveFolderButton, &QPushButton::clicked, this,
            [this] { OnGoogleDriveFolder(); });
    connect(okButton, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { windowCloseRequested(); });
}

void CloudSetupViewController::viewDidAppear() {
    // Return presses OK: the default button counts only once the form sits in its sheet.
    okButton->setDefault(true);
}

void CloudSetupViewController::OnGoogleDriveFolder() {
    googleDriveEdit->setText(QString::fromStdString(SelectFolder()));
}

void CloudSetupViewController::OnDropboxFolder() {
    dropboxPathEdit->setText(QString::fromStdString(SelectFolder()));
}

void CloudSetupViewController::OnDropboxBusinessFolder() {
    dropboxBusinessPathEdit->setText(QString::fromStdString(SelectFolder()));
}

void CloudSetupViewController::OniCloudFolder() {
    iCloudPathEdit->setText(QString::fromStdString(SelectFolder()));
}

std::string CloudSetupViewController::SelectFolder() {
    platform::OpenPanelOptions options;
    options.prompt = "Select cloud folder";
    options.showsResizeIndicator = true;
    options.showsHiddenFiles = false;
    options.allowsMultipleSelection = false;
    options.canChooseDirectories = true;
    options.canChooseFiles = false;
    const platform::OpenPanelResult result = platform::openPanel().runModal(options);
    if (result.response != platform::PanelResponse::ok || result.paths.empty()) {
        return {};
    }
    return result.paths.front();
}

bool CloudSetupViewController::shouldRemoveCloudFolder() const {
    for (const Provider& provider : providers()) {
        if (!provider.check->isChecked() && provider.type.included()) {
            return true;
        }
    }
    return false;
}

void CloudSetupViewController::OnOk() {
    // A second OK within the second would apply and close twice.
    if (applyPending_) {
        return;
    }
    if (shouldRemoveCloudFolder() &&
        !yesNoAlert("Are you sure you would like to remove the selected cloud folders from your "
                    "library?",
                    "All sub-folders and associated files will also be removed from your "
                    "library")) {
        return;
    }
    progressBar->show();
    progressLabel->setText("Updating cloud...");
    progressLabel->show();
    applyPending_ = true;
    // The sheet stays until the step has run: closing meanwhile is deferred.
    platform::Dispatch::main().asyncAfter(std::chrono::seconds(1),
                                          [sheet = QPointer<CloudSetupViewController>(this)] {
                                              if (sheet != nullptr) {
                                                  sheet->apply();
                                              }
                                          });
}

void CloudSetupViewController::apply() {
    bool allApplied = true;
    for (const Provider& provider : providers()) {
        allApplied =
            setupCloud(provider.type, fieldText(provider.path), provider.check->isChecked()) &&
            allApplied;
    }
    if (parentView != nullptr) {
        parentView->updateStatus();
    }
    progressBar->hide();
    progressLabel->hide();
    applyPending_ = false;
    if (allApplied) {
        Settings::instance().setMonitorCloudFolders(monitorFoldersCheck->isChecked());
        if (parentView != nullptr && cloudManager != nullptr) {
            parentView->observingCloud(cloudManager->observingCloudFolders());
        }
    }
    if (allApplied || closeRequested_) {
        dismissController();
    }
}

bool CloudSetupViewController::setupCloud(CloudType cloudType, const std::string& cloudPath,
                                          bool includeCloud) {
    if (!includeCloud) {
        if (cloudType.included()) {
            if (cloudManager != nullptr) {
                (void)cloudManager->removeCloudProvider(cloudType);
            }
            cloudType.included(false);
        }
        return true;
    }
    std::error_code ec;
    if (cloudPath.empty() || !std::filesystem::exists(cloudPath, ec)) {
        warningAlert("Please enter a valid " + cloudType.label() + " location");
        return false;
    }
    if (!cloudType.included()) {
        if (cloudManager != nullptr && cloudManager->addCloudProvider(cloudType, cloudPath)) {
            cloudType.included(true);
            cloudType.cloudPath(cloudPath);
        }
        return true;
    }
    if (cloudType.cloudPath() == cloudPath) {
        return true;
    }
    cloudType.cloudPath(cloudPath);
    if (cloudManager == nullptr || !cloudManager->updateCloudProvider(cloudType, cloudPath)) {
        warningAlert("Could not update cloud path for  " + cloudType.label());
    }
    return true;
}

void CloudSetupViewController::windowCloseRequested() {
    if (applyPending_) {
        closeRequested_ = true;
        return;
    }
    dismissController();
}

}  // namespace m2
