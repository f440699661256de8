#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "app/library/PasswordRekeying.h"
#include "app/services/ProcessReport.h"
#include "app/ui/KeyfileDelegate.h"
#include "app/ui/ShowReportDelegate.h"
#include "platform/Keychain.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace Ui {
class ChangePasswordViewController;
}

namespace m2 {

class LibraryManager;
class PasswordCredentials;

// The change of the master password: the new password twice, a hint, the strength of the
// first field and a key file. OK stores the new password in the keyring, then re-keys every
// encrypted library entry and the notes file as the application's one running process and
// shows the report; closing the report closes this sheet. While the run goes the sheet's
// inputs are disabled and it cannot be closed. Main thread only.
class ChangePasswordViewController : public platform::ui::ViewController,
                                     public keyfileDelegate,
                                     public ShowReportDelegate {
    Q_OBJECT

  public:
    ChangePasswordViewController();
    ~ChangePasswordViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> newPasswordOneEdit;
    QPointer<QLineEdit> newPasswordTwoEdit;
    QPointer<QLineEdit> newHintEdit;
    QPointer<QLabel> strengthIndicatorImage;
    QPointer<QLabel> passwordLabel;
    QPointer<QLabel> passwordStrengthDetails;
    QPointer<QLabel> progressLabel;
    QPointer<QProgressBar> progressBar;
    QPointer<QPushButton> cancelButton;
    QPointer<QPushButton> okButton;
    QPointer<QPushButton> keyfileButton;

    // The report handed to the report sheet; the run's report once it has ended.
    std::shared_ptr<ProcessReport> processReport = std::make_shared<ProcessReport>();

    // What the run works on; set by the storyboard's registration.
    PasswordCredentials* loggedIn = nullptr;              // the session's credentials
    std::shared_ptr<platform::KeychainBackend> keychain;  // where the new digest goes
    LibraryManager* libraryManager = nullptr;             // the library to re-key
    OpenForEditing openForEditing;                        // documents the launcher has open

    void viewDidLoad() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    void OnOk();
    void enableItems(bool enabled);
    void changePassword(PasswordCredentials& credentials);
    void controlTextDidChange();
    void useKeyfile(std::string_view key) override;
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;
    void OnNewPasswordKeyfile();
    void reportDismissed() override;
    // Ignored while the run goes: the sheet must outlive its worker.
    void windowCloseRequested() override;
    [[nodiscard]] bool running() const { return running_; }

  protected:
    void loadView() override;

  private:
    void runFinished(const ProcessReport& report);

    std::unique_ptr<Ui::ChangePasswordViewController> ui_;
    bool running_ = false;
};

}  // namespace m2
