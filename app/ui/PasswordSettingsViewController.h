#pragma once

#include <QPointer>
#include <memory>

#include "platform/ui/ViewController.h"

class QCheckBox;
class QPushButton;

namespace Ui {
class PasswordSettingsViewController;
}

namespace m2 {

// The sign-on choice: single sign-on uses the master password for every encrypt, decrypt and
// open; multiple sign-on asks for a password each time. The two boxes clear each other, and
// only the single sign-on box decides what Save stores. Main thread only.
class PasswordSettingsViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    PasswordSettingsViewController();
    ~PasswordSettingsViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QCheckBox> multiSignCheck;
    QPointer<QCheckBox> singleSignCheck;
    QPointer<QPushButton> saveButton;

    void viewDidLoad() override;
    void viewDidAppear() override;
    void OnMultiSignOn();
    void OnSingleSignon();
    void OnSave();

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::PasswordSettingsViewController> ui_;
};

}  // namespace m2
