#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "platform/ui/Controller.h"

namespace m2::platform::ui {

class ViewController;
class WindowController;

// The dialog that shows a presented view controller: a window-modal sheet or an
// application-modal window. It owns the controller until the controller is dismissed.
class PresentationHost final : public QDialog {
  public:
    PresentationHost(QWidget* parentWindow, ViewController* controller, bool sheet);
    ~PresentationHost() override;

    // Loads the controller's view and shows it as a sheet on the presenter's window (or,
    // when that is itself a sheet, on the window under it) or as a modal window.
    static ViewController* present(Controller* presenter,
                                   std::unique_ptr<ViewController> controller, bool sheet);
    // Hides the host and deletes it, with its controller, when the event loop next runs.
    void dismiss();

    [[nodiscard]] bool isSheet() const { return sheet_; }
    [[nodiscard]] ViewController* controller() const;

    void setVisible(bool visible) override;
    // Escape and the close button go to the controller, which decides to dismiss.
    void reject() override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPointer<Controller> controller_;  // a ViewController
    bool sheet_;
    bool dismissed_ = false;
};

// The top-level window of a window controller.
class KitWindow final : public QMainWindow {
  public:
    explicit KitWindow(WindowController* controller);
    ~KitWindow() override;

    [[nodiscard]] WindowController* controller() const;

    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPointer<Controller> controller_;  // a WindowController
};

// Fixes a dialog's window as titled and closable only, at its laid-out size.
void applyTitledClosableStyle(QWidget& window);

}  // namespace m2::platform::ui
