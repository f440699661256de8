#pragma once

#include <QPoint>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Controller.h"
#include "platform/ui/KitWindows.h"

namespace m2::platform::ui {

class ViewController;

// A controller of one top-level window of ours. The window is made on first use of
// window(): loadWindow() builds it, then windowDidLoad() runs once. The window's central
// area is the content view controller's view. Main thread only.
class WindowController : public Controller {
    Q_OBJECT

  public:
    explicit WindowController(QObject* parent = nullptr);
    // Closes and deletes the window.
    ~WindowController() override;

    [[nodiscard]] QMainWindow* window();
    [[nodiscard]] bool isWindowLoaded() const { return window_ != nullptr; }
    virtual void windowDidLoad() {}

    // The content controller is owned by this window controller; its view fills the window.
    void setContentViewController(std::unique_ptr<ViewController> controller);
    [[nodiscard]] ViewController* contentViewController() const { return content_.get(); }

    // Shows the window, raises it and makes it the application's main window. A window not on
    // screen opens within the screen's available area, where it was when it last closed.
    void showWindow();
    // Closes the window as its close button would, without asking windowShouldClose().
    void close();

    // The window's close button: answer false to keep the window open.
    [[nodiscard]] virtual bool windowShouldClose() { return true; }

    // The window opens where it was left: its frame is saved under this name when it moves,
    // resizes or closes, and restored when the name is set (no name: nothing is kept).
    void setWindowFrameAutosaveName(const std::string& name);
    [[nodiscard]] const std::string& windowFrameAutosaveName() const { return autosaveName_; }

    [[nodiscard]] QWidget* hostWindow() const override;

  protected:
    // Builds the window: the default is an empty KitWindow. Subclasses may add a toolbar and
    // menus here, or build the window from a Designer form.
    virtual void loadWindow();
    // The window, owned by this controller.
    void setWindow(KitWindow* window);

  private:
    friend class KitWindow;
    void saveFrame() const;

    QPointer<KitWindow> window_;
    bool loading_ = false;
    std::unique_ptr<ViewController> content_;
    std::string autosaveName_;
    std::optional<QPoint> closedPosition_;  // where the window's frame was as close() hid it
};

}  // namespace m2::platform::ui
