#include "platform/ui/WindowController.h"

#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>

#include "platform/Dispatch.h"
#include "platform/ui/Application.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/ViewController.h"

namespace m2::platform::ui {
namespace {

// Window frames live beside the other desktop settings of the user, read afresh each time
// so a test's private configuration folder is honoured.
QString framesFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/morvane2/window-frames.ini";
}

}  // namespace

WindowController::WindowController(QObject* parent) : Controller(parent) {}

WindowController::~WindowController() {
    if (window_ != nullptr) {
        if (window_->isVisible()) {
            window_->hide();
        }
        // The content controller goes first: its view lives inside the window.
        content_.reset();
        delete window_.data();
    }
}

QMainWindow* WindowController::window() {
    M2_ASSERT_MAIN_THREAD();
    if (window_ == nullptr && !loading_) {
        loading_ = true;
        loadWindow();
        if (window_ == nullptr) {
            setWindow(new KitWindow(this));
        }
        if (content_ != nullptr) {
            window_->setCentralWidget(content_->view());
        }
        loading_ = false;
        windowDidLoad();
    }
    return window_;
}

void WindowController::loadWindow() {
    setWindow(new KitWindow(this));
}

void WindowController::setWindow(KitWindow* window) {
    window_ = window;
    if (!window_->windowTitle().isEmpty()) {
        return;
    }
    window_->setWindowTitle(Application::instance().displayName());
}

void WindowController::setContentViewController(std::unique_ptr<ViewController> controller) {
    if (content_ != nullptr) {
        content_->windowController_ = nullptr;
    }
    content_ = std::move(controller);
    if (content_ == nullptr) {
        return;
    }
    content_->windowController_ = this;
    if (window_ != nullptr) {
        window_->setCentralWidget(content_->view());
    }
}

void WindowController::showWindow() {
    QMainWindow* shown = window();
    shown->show();
    shown->raise();
    shown->activateWindow();
    // Shown means main, whether or not the window system activates it.
    Application::instance().windowActivated(shown);
    notifyKitObserver({KitEvent::Kind::windowShown, storyboardIdentifier(), this});
}

void WindowController::close() {
    if (window_ != nullptr) {
        window_->hide();  // the window saves its frame as it hides
    }
}

void WindowController::setWindowFrameAutosaveName(const std::string& name) {
    autosaveName_ = name;
    if (name.empty()) {
        return;
    }
    const QSettings frames(framesFile(), QSettings::IniFormat);
    const QByteArray saved = frames.value(QString::fromStdString(name)).toByteArray();
    if (!saved.isEmpty()) {
        window()->restoreGeometry(saved);
    }
}

void WindowController::saveFrame() const {
    if (autosaveName_.empty() || window_ == nullptr) {
        return;
    }
    QSettings frames(framesFile(), QSettings::IniFormat);
    frames.setValue(QString::fromStdString(autosaveName_), window_->saveGeometry());
}

QWidget* WindowController::hostWindow() const {
    return window_;
}

}  // namespace m2::platform::ui
