#include "platform/ui/WindowController.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWindow>
#include <algorithm>

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

// Room for the window manager's frame around a window it has not framed yet.
constexpr QMargins kFrameAllowance(4, 32, 4, 4);

// Makes the window no larger than the available area of its screen (a window opened at a
// large scale factor would reach past the screen's edges) and moves it inside.
void keepWithinScreen(QWidget& window) {
    const QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QMargins frame = kFrameAllowance;
    if (const QRect framed = window.frameGeometry(); framed != window.geometry()) {
        const QRect inner = window.geometry();
        frame = QMargins(inner.left() - framed.left(), inner.top() - framed.top(),
                         framed.right() - inner.right(), framed.bottom() - inner.bottom());
    }
    // Where the window's inside may lie, its frame kept on the screen too.
    const QRect area = screen->availableGeometry().marginsRemoved(frame);
    QRect placed = window.geometry();
    placed.setSize(window.size().boundedTo(area.size()).expandedTo(window.minimumSize()));
    // Only a window placed by us is moved: the window manager places the others itself.
    if (window.testAttribute(Qt::WA_Moved)) {
        placed.moveLeft(std::clamp(placed.left(), area.left(),
                                   std::max(area.left(), area.right() - placed.width() + 1)));
        placed.moveTop(std::clamp(placed.top(), area.top(),
                                  std::max(area.top(), area.bottom() - placed.height() + 1)));
    }
    if (placed == window.geometry()) {
        return;
    }
    if (window.testAttribute(Qt::WA_Moved)) {
        window.setGeometry(placed);
    } else {
        window.resize(placed.size());
    }
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
    const bool reopened = !shown->isVisible() && closedPosition_.has_value();
    if (!shown->isVisible()) {
        keepWithinScreen(*shown);
    }
    shown->show();
    // A window shown again is placed anew by the window manager; once mapped it is told
    // where it was (Qt, which still has that place, would not ask for it before).
    if (reopened && shown->windowHandle() != nullptr) {
        shown->windowHandle()->setFramePosition(*closedPosition_);
    }
    shown->raise();
    shown->activateWindow();
    // Shown means main, whether or not the window system activates it.
    Application::instance().windowActivated(shown);
    notifyKitObserver({KitEvent::Kind::windowShown, storyboardIdentifier(), this});
}

void WindowController::close() {
    if (window_ != nullptr) {
        if (window_->isVisible()) {
            closedPosition_ = window_->frameGeometry().topLeft();
        }
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
