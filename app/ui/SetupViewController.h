#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "app/ui/KeyfileDelegate.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class SetupView;
}

namespace m2 {

class PasswordCredentials;
class resetMasterPasswordDelegate;

// The sheet that creates the master password: twice, with a hint, a strength meter and an
// optional key file; its digest and hint go to the keyring. First-run mode at the first
// start, reset mode to replace a forgotten master password. Main thread only.
class SetupViewController : public platform::ui::ViewController, public keyfileDelegate {
    Q_OBJECT

  public:
    SetupViewController();
    ~SetupViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> passwordHintEdit;
    QPointer<QLineEdit> passwordOneEdit;
    QPointer<QLineEdit> passwordTwoEdit;
    QPointer<QLabel> passwordLabel;
    QPointer<QLabel> strengthIndicatorImage;
    QPointer<QLabel> passwordStrengthDetails;
    bool resetMode = false;
    QPointer<QLabel> titleLable;
    QPointer<QPushButton> closeButton;
    QPointer<QPushButton> createButton;
    QPointer<QPushButton> keyfileButton;
    // Set only in reset mode.
    resetMasterPasswordDelegate* delegate = nullptr;
    // The session's credentials; tests hand in their own.
    PasswordCredentials* credentials;

    void viewDidLoad() override;
    void viewWillDisappear() override;
    void OnCreate();
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;
    void OnKeyfile();
    void OnCancel();
    void controlTextDidChange();
    void updateStrengthIndicator();
    void useKeyfile(std::string_view key) override;

    // The close button of the sheet's window cancels, as the cancel button does.
    void windowCloseRequested() override { OnCancel(); }

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::SetupView> ui_;
};

}  // namespace m2
