#pragma once

#include <QPointer>
#include <memory>

#include "app/ui/ResetMasterPasswordDelegate.h"
#include "platform/ui/ViewController.h"

class QPushButton;

namespace Ui {
class ResetMasterPasswordView;
}

namespace m2 {

// The confirmation shown for a forgotten master password: its reset button opens the setup
// sheet in reset mode, which dismisses this view when it is done. Main thread only.
class ResetMasterPasswordViewController : public platform::ui::ViewController,
                                          public resetMasterPasswordDelegate {
    Q_OBJECT

  public:
    ResetMasterPasswordViewController();
    ~ResetMasterPasswordViewController() override;

    QPointer<QPushButton> resetButton;
    QPointer<QPushButton> cancelButton;

    void viewDidLoad() override;
    void OnResetPassword();
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;
    void reset() override;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::ResetMasterPasswordView> ui_;
};

}  // namespace m2
