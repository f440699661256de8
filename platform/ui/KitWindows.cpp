#include "platform/ui/KitWindows.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Dispatch.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"

namespace m2::platform::ui {
namespace {

// Runs the content's appear or disappear hooks around the window's own change.
void changeVisibility(QWidget* window, ViewController* contentController, bool visible,
                      bool canBeMain, const std::function<void(bool)>& change) {
    const QPointer<ViewController> content = contentController;
    if (content) {
        visible ? content->viewWillAppear() : content->viewWillDisappear();
    }
    change(visible);
    if (visible) {
        Application::instance().windowShown(window, canBeMain);
    } else {
        Application::instance().windowHidden(window);
    }
    if (content) {
        visible ? content->viewDidAppear() : content->viewDidDisappear();
    }
}

}  // namespace

void applyTitledClosableStyle(QWidget& window) {
    const Qt::WindowFlags type = window.windowFlags() & Qt::WindowType_Mask;
    window.setWindowFlags(type | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    if (window.layout() != nullptr) {
        window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        window.setFixedSize(window.size());
    }
}

PresentationHost::PresentationHost(QWidget* parentWindow, ViewController* controller, bool sheet)
    : QDialog(parentWindow), controller_(controller), sheet_(sheet) {
    setWindowModality(sheet ? Qt::WindowModal : Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

ViewController* PresentationHost::controller() const {
    return static_cast<ViewController*>(controller_.data());
}

PresentationHost::~PresentationHost() {
    if (isVisible()) {
        setVisible(false);
    }
    Application::instance().windowDestroyed(this);
}

ViewController* PresentationHost::present(Controller* presenter,
                                          std::unique_ptr<ViewController> controller, bool sheet) {
    M2_ASSERT_MAIN_THREAD();
    if (!controller) {
        return nullptr;
    }
    QWidget* parentWindow = presenter != nullptr ? presenter->hostWindow() : nullptr;
    // A sheet on a sheet hangs on the window under both, not on the lower sheet, so either
    // may be dismissed first while the other's code still runs.
    while (auto* lower = dynamic_cast<PresentationHost*>(parentWindow)) {
        if (!lower->isSheet()) {
            break;
        }
        parentWindow = lower->parentWidget();
    }
    ViewController* shown = controller.release();
    auto* host = new PresentationHost(parentWindow, shown, sheet);
    shown->setParent(host);
    shown->host_ = host;
    shown->presenting_ = presenter;
    shown->dismissed_ = false;
    if (auto* presentingView = dynamic_cast<ViewController*>(presenter)) {
        presentingView->presented_.emplace_back(shown);
    }

    QWidget* view = shown->view();  // viewDidLoad runs here, after the segue's preparation
    if (view->layout() == nullptr) {
        view->setMinimumSize(view->size());
    }
    host->layout()->addWidget(view);
    // A form's default button was marked before the view had a dialog to tell; marked again
    // here, Return in a field presses it rather than the first button of the focus chain.
    for (QPushButton* button : view->findChildren<QPushButton*>()) {
        if (button->isDefault()) {
            button->setDefault(false);
            button->setDefault(true);
        }
    }
    host->setWindowTitle(shown->title().isEmpty() ? Application::instance().displayName()
                                                  : shown->title());
    applyTitledClosableStyle(*host);
    notifyKitObserver(
        {sheet ? KitEvent::Kind::sheetPresented : KitEvent::Kind::modalWindowPresented,
         shown->storyboardIdentifier(), shown});
    if (sheet) {
        host->open();
    } else {
        host->show();
    }
    return shown;
}

void PresentationHost::dismiss() {
    if (dismissed_) {
        return;
    }
    dismissed_ = true;
    hide();
    deleteLater();
}

void PresentationHost::setVisible(bool visible) {
    if (visible == isVisible()) {
        QDialog::setVisible(visible);
        return;
    }
    changeVisibility(this, controller(), visible, false,
                     [this](bool shown) { QDialog::setVisible(shown); });
}

void PresentationHost::reject() {
    if (controller() != nullptr && !dismissed_) {
        controller()->windowCloseRequested();
    } else {
        QDialog::reject();
    }
}

void PresentationHost::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (controller() != nullptr) {
        controller()->viewDidLayout();
    }
}

KitWindow::KitWindow(WindowController* controller) : controller_(controller) {}

WindowController* KitWindow::controller() const {
    return static_cast<WindowController*>(controller_.data());
}

KitWindow::~KitWindow() {
    Application::instance().windowDestroyed(this);
}

void KitWindow::setVisible(bool visible) {
    if (visible == isVisible()) {
        QMainWindow::setVisible(visible);
        return;
    }
    WindowController* owner = controller();
    if (!visible && owner != nullptr) {
        owner->saveFrame();
    }
    changeVisibility(this, owner != nullptr ? owner->contentViewController() : nullptr, visible,
                     true, [this](bool shown) { QMainWindow::setVisible(shown); });
}

void KitWindow::closeEvent(QCloseEvent* event) {
    if (controller() != nullptr && !controller()->windowShouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void KitWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Application::instance().windowActivated(this);
    }
}

void KitWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ViewController* content =
        controller() != nullptr ? controller()->contentViewController() : nullptr;
    if (content != nullptr && content->isViewLoaded()) {
        content->viewDidLayout();
    }
}

}  // namespace m2::platform::ui
