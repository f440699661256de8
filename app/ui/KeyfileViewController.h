#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "app/services/PasswordCredentials.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class KeyfileView;
}

namespace m2 {

class keyfileDelegate;

// The key file sheet: the user picks a file, the engine turns its first 2048 bytes into a
// key text, and the key text followed by the password typed here goes back to the dialog
// that opened the sheet. Main thread only.
class KeyfileViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    // The text the engine answers for a missing or short key file.
    static constexpr const char* keyfileErrorText = "Error, could not create keyfile";
    // Fewer user-perceived characters than this are no key.
    static constexpr std::size_t minimumKeyLength = 13;

    KeyfileViewController();
    ~KeyfileViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLabel> keyfileLabel;
    QPointer<QLineEdit> passwordEdit;
    QPointer<QLineEdit> keyfileEdit;
    QPointer<QLineEdit> keyfilePathEdit;
    QPointer<QPushButton> selectFileButton;
    QPointer<QPushButton> useKeyButton;
    QPointer<QPushButton> cancelButton;

    Secret keyfile;   // the key text, then the combined text
    Secret password;  // the typed password
    // The dialog that opened the sheet; set while that dialog prepares its segue.
    keyfileDelegate* delegate = nullptr;

    void OnUseKey();
    void OnSelectFile();

    void viewDidLoad() override;
    void viewWillDisappear() override;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::KeyfileView> ui_;
};

}  // namespace m2
