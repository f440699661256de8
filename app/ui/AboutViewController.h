#pragma once

#include <QPointer>

#include <memory>

#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"

class QLabel;

namespace Ui {
class AboutViewController;
}

namespace m2 {

// The About window: the program's version and a button to the online help.
class AboutViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    AboutViewController();
    ~AboutViewController() override;

    QPointer<QLabel> versionLabel;

    // "Version: " followed by the program's short version; only "Version: " without one.
    void viewDidLoad() override;
    void OnViewHelp(QObject* sender);

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::AboutViewController> ui_;
};

// The About window's own window, fixed in size, centred on the window it was opened from;
// Escape closes it.
class AboutWindowController : public platform::ui::WindowController {
    Q_OBJECT

  public:
    AboutWindowController();
    void windowDidLoad() override;

  protected:
    void loadWindow() override;
};

}  // namespace m2
