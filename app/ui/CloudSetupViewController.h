#pragma once

#include <QPointer>
#include <array>
#include <memory>
#include <string>

#include "app/library/CloudType.h"
#include "platform/ui/ViewController.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace Ui {
class CloudSetupViewController;
}

namespace m2 {

class CloudManager;
class projectViewController;

// The cloud folders the library shows: four providers, each with a check box and the folder
// where it keeps its files, and the switch for watching them. OK applies the changes one
// second later (after the progress shows) and closes the sheet when every provider took its
// setting. Main thread only.
class CloudSetupViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    CloudSetupViewController();
    ~CloudSetupViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QCheckBox> dropboxCheck;
    QPointer<QCheckBox> dropboxBusinessCheck;
    QPointer<QCheckBox> iCloudCheck;
    QPointer<QCheckBox> googleDriveCheck;
    QPointer<QLineEdit> dropboxPathEdit;
    QPointer<QLineEdit> dropboxBusinessPathEdit;
    QPointer<QLineEdit> iCloudPathEdit;
    QPointer<QLineEdit> googleDriveEdit;
    QPointer<QLabel> progressLabel;
    QPointer<QProgressBar> progressBar;
    QPointer<QCheckBox> monitorFoldersCheck;
    QPointer<QPushButton> helpButton;
    QPointer<QPushButton> okButton;
    QPointer<QPushButton> cancelButton;

    // Set by the main controller's segue preparation.
    CloudManager* cloudManager = nullptr;
    projectViewController* parentView = nullptr;

    void viewDidLoad() override;
    void viewDidAppear() override;
    void OnGoogleDriveFolder();
    void OnDropboxFolder();
    void OnDropboxBusinessFolder();
    void OniCloudFolder();
    void OnOk();
    // Applies one provider; false when it is switched on without an existing folder.
    bool setupCloud(CloudType cloudType, const std::string& cloudPath, bool includeCloud);
    // The folder chosen in the open panel; empty when cancelled.
    [[nodiscard]] std::string SelectFolder();
    // Whether the delayed apply of an OK is still to run.
    [[nodiscard]] bool applyPending() const { return applyPending_; }
    // Closing while the apply is pending closes the sheet once the apply has run.
    void windowCloseRequested() override;

  protected:
    void loadView() override;

  private:
    struct Provider {
        CloudType type;
        QPointer<QCheckBox> check;
        QPointer<QLineEdit> path;
    };
    [[nodiscard]] std::array<Provider, 4> providers() const;
    [[nodiscard]] bool shouldRemoveCloudFolder() const;
    void apply();

    std::unique_ptr<Ui::CloudSetupViewController> ui_;
    bool applyPending_ = false;
    bool closeRequested_ = false;
};

}  // namespace m2
