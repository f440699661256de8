#pragma once

#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

#include "platform/ui/Controller.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/WindowController.h"

class QWidget;

namespace m2::platform::ui {

// A controller of one view, with the life-cycle hooks windows and sheets call. The view is
// made on first use of view(): loadView() builds it (from a Designer form in subclasses),
// then viewDidLoad() runs once. Main thread only.
class ViewController : public Controller {
    Q_OBJECT

  public:
    explicit ViewController(QObject* parent = nullptr);
    // Deletes the view too when nothing else owns it any more.
    ~ViewController() override;

    // The view, loaded first when needed.
    [[nodiscard]] QWidget* view();
    [[nodiscard]] bool isViewLoaded() const { return loaded_; }
    void loadViewIfNeeded() { (void)view(); }

    // Life cycle, in the order they run. viewWillDisappear runs when the window or sheet is
    // hidden or closed; viewDidLayout after the view's window was laid out or resized.
    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}
    virtual void viewDidLayout() {}

    // Shows the controller as a window-modal sheet on this controller's window, with open()
    // (never exec()): the call returns at once. This controller keeps no ownership; the sheet
    // does, until it is dismissed. Answers the presented controller.
    ViewController* presentViewControllerAsSheet(std::unique_ptr<ViewController> controller);
    // Shows the controller in a separate application-modal window, likewise.
    ViewController* presentViewControllerAsModalWindow(std::unique_ptr<ViewController> controller);
    // Dismisses a controller this one presented.
    void dismissViewController(ViewController* controller);
    // Dismisses this controller's sheet or modal window. A second call, or a call on a
    // controller that is not presented, does nothing. The controller and its view are deleted
    // when the event loop next runs, so the caller's code may go on.
    void dismissController();

    // The controller that presented this one while it is presented; else nullptr.
    [[nodiscard]] Controller* presentingController() const {
        return isPresented() ? presenting_.data() : nullptr;
    }
    // The controllers this one presented that are still up, oldest first.
    [[nodiscard]] std::vector<ViewController*> presentedViewControllers() const;
    [[nodiscard]] bool isPresented() const { return host_ != nullptr && !dismissed_; }
    [[nodiscard]] bool isSheet() const;

    // The window holding the view (a sheet's own dialog for a sheet); nullptr when none.
    [[nodiscard]] QWidget* window() const;
    // The window controller whose window holds this view; nullptr for sheets and loose views.
    [[nodiscard]] WindowController* windowController() const;

    // The window title this controller's sheet or window shows; empty keeps the program's.
    void setTitle(const QString& title) { title_ = title; }
    [[nodiscard]] const QString& title() const { return title_; }

    // The sheet's or modal window's close button (and Escape): dismisses by default.
    virtual void windowCloseRequested() { dismissController(); }

    [[nodiscard]] QWidget* hostWindow() const override;

  protected:
    // Builds the view: the default is an empty widget. A subclass with a Designer form makes
    // a QWidget, runs the form's setupUi on it and hands it to setView().
    virtual void loadView();
    // The view, owned by this controller until a window takes it.
    void setView(QWidget* view);

  private:
    friend class PresentationHost;
    friend class WindowController;

    QPointer<QWidget> view_;
    bool loaded_ = false;
    bool loading_ = false;
    QString title_;
    QPointer<PresentationHost> host_;  // the sheet or modal window showing this controller
    QPointer<Controller> presenting_;
    std::vector<QPointer<ViewController>> presented_;
    bool dismissed_ = false;
    QPointer<WindowController> windowController_;
};

}  // namespace m2::platform::ui
