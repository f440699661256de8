#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "app/ui/KeyfileDelegate.h"
#include "platform/ui/ViewController.h"

class QLineEdit;
class QPushButton;

namespace Ui {
class DecryptionPasswordView;
}

namespace m2 {

class PasswordEntryDelegate;

// The sheet that asks for the password of encrypted files: for a decrypt batch, or in
// file-open mode for one document handed to the launcher. Main thread only.
class DecryptionPasswordViewController : public platform::ui::ViewController,
                                         public keyfileDelegate {
    Q_OBJECT

  public:
    static constexpr const char* storyboardID = "DecryptionPasswordViewControllerID";
    static constexpr const char* keyfileSegue = "showKeyfileFromDecryptSegue";

    DecryptionPasswordViewController();
    ~DecryptionPasswordViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> passwordOneEdit;
    QPointer<QPushButton> okButton;
    QPointer<QPushButton> cancelButton;
    QPointer<QPushButton> keyfileButton;

    // Set by the presenter before the sheet is shown.
    PasswordEntryDelegate* delegate = nullptr;
    bool fileOpenMode = false;  // true: the sheet serves the open-document road
    std::string fileOpenPath;   // in file-open mode, the document to open

    void viewDidLoad() override;
    void viewWillDisappear() override;
    void OnOk();
    void OnKeyfile();
    void useKeyfile(std::string_view key) override;
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::DecryptionPasswordView> ui_;
};

}  // namespace m2
