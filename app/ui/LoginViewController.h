#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "app/ui/KeyfileDelegate.h"
#include "app/ui/LoginDelegate.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class LoginView;
}

namespace m2 {

class PasswordCredentials;

// The login window: checks the master password against the keyring digest and then hands
// over to its delegate or, at a fresh start, opens the main window. In "Decrypt and Open"
// mode it hands the password and one document to the launcher instead, and the program
// quits once the launcher has started. Closing it without a log-on ends the program. Made
// anew for every log-on. Main thread only.
class LoginViewController : public platform::ui::ViewController,
                            public keyfileDelegate,
                            public LoginOpenFileMode {
    Q_OBJECT

  public:
    LoginViewController();
    ~LoginViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> passwordEdit;
    bool passwordValidated = false;
    // Who takes over after a log-on; none at a fresh start.
    LoginDelegate* delegate = nullptr;
    QPointer<QPushButton> logonButton;
    QPointer<QPushButton> forgotButton;
    QPointer<QLabel> forgotLabel;
    QPointer<QPushButton> keyfileButton;
    bool fileOpenMode = false;
    std::string fileToOpen;
    // The session's credentials; tests hand in their own.
    PasswordCredentials* credentials;

    // Starts the launcher on the document; quits when it started and appShouldTerminiate.
    // Answers whether it started.
    bool decryptAndOpenFile(const std::string& file, std::string_view password,
                            bool appShouldTerminiate);
    void OnLogon();
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;
    void useKeyfile(std::string_view key) override;
    void OnKeyFile();
    void viewWillAppear() override;
    void viewWillDisappear() override;
    void updateForOpenFileMode() override;
    void setFileToOpen(const std::string& path) override { fileToOpen = path; }
    void viewDidAppear() override;
    void decryptAndOpenFile(const std::string& file, bool appShouldTerminiate);
    void viewDidLoad() override;

    // Closes the login window without a log-on and without ending the program: at a first
    // run the main window takes its place.
    void closeForMainWindow();

  protected:
    void loadView() override;

  private:
    // Closes the window or presentation that shows this controller.
    void closeLoginWindow();
    // A fresh start: the main window from the storyboard, kept by the application delegate.
    void openMainWindow();
    void showOpenFileMode();

    std::unique_ptr<Ui::LoginView> ui_;
    bool closingForMainWindow_ = false;
};

}  // namespace m2
