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
class PasswordView;
}

namespace m2 {

class PasswordEntryDelegate;

// The sheet that asks for the password and hint of one encryption batch: the password twice,
// a strength meter driven by the first field, a key file, and OK handing a fresh credentials
// object to the delegate. Main thread only.
class PasswordController : public platform::ui::ViewController, public keyfileDelegate {
    Q_OBJECT

  public:
    static constexpr const char* keyfileSegue = "showKeyfileSegueFromPAsswordEntry";

    PasswordController();
    ~PasswordController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> passwordOneEdit;
    QPointer<QLineEdit> password2Edit;
    QPointer<QLineEdit> passwordHintEdit;
    QPointer<QLabel> strengthIndicatorImage;
    QPointer<QLabel> passwordStrengthDetails;
    QPointer<QLabel> passwordLabel;
    QPointer<QPushButton> okButton;
    QPointer<QPushButton> cancelButton;
    QPointer<QPushButton> keyfileButton;

    // Who receives the credentials; set by the presenter while it prepares the segue.
    PasswordEntryDelegate* delegate = nullptr;

    void viewDidLoad() override;
    void viewWillDisappear() override;
    // An edit of the first password field.
    void controlTextDidChange();
    void OnOk();
    void OnCancel();
    void OnKeyfile();
    void useKeyfile(std::string_view key) override;
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::PasswordView> ui_;
};

}  // namespace m2
