#include "platform/ui/Application.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "platform/ModalSession.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/WindowController.h"

namespace m2::platform::ui {

Application::Application() {
    // Our own rule decides when the program quits, not Qt's.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

Application& Application::instance() {
    static Application* application = new Application;  // lives as long as the process
    return *application;
}

QWidget* Application::mainWindow() const {
    for (auto entry = windows_.rbegin(); entry != windows_.rend(); ++entry) {
        QWidget* window = entry->window;
        if (window != nullptr && entry->canBeMain && window->isVisible() &&
            !window->isMinimized()) {
            return window;
        }
    }
    return nullptr;
}

WindowController* Application::mainWindowController() const {
    auto* window = dynamic_cast<KitWindow*>(mainWindow());
    return window != nullptr ? window->controller() : nullptr;
}

ViewController* Application::mainWindowContentViewController() const {
    WindowController* controller = mainWindowController();
    return controller != nullptr ? controller->contentViewController() : nullptr;
}

void Application::terminate() {
    if (terminate_) {
        terminate_();
        return;
    }
    QCoreApplication::exit(0);
}

std::function<void()> Application::setTerminateHandler(std::function<void()> handler) {
    return std::exchange(terminate_, std::move(handler));
}

void Application::setTerminatesAfterLastWindowClosed(std::function<bool()> rule) {
    terminatesAfterLastWindow_ = std::move(rule);
}

int Application::modalSessionsInProgress() const {
    return platform::modalSessionsInProgress();
}

WindowController* Application::adopt(std::unique_ptr<WindowController> controller) {
    adopted_.push_back(std::move(controller));
    return adopted_.back().get();
}

std::vector<QWidget*> Application::visibleWindows() const {
    std::vector<QWidget*> visible;
    for (const auto& entry : windows_) {
        if (entry.window != nullptr && entry.window->isVisible()) {
            visible.push_back(entry.window);
        }
    }
    return visible;
}

void Application::reset() {
    terminate_ = {};
    terminatesAfterLastWindow_ = {};
    mainMenu_ = nullptr;
    // Their windows report hiding while they go: the list must not change under them.
    auto adopted = std::move(adopted_);
    adopted_.clear();
    adopted.clear();
}

void Application::windowShown(QWidget* window, bool canBeMain) {
    const auto found = std::find_if(windows_.begin(), windows_.end(),
                                    [window](const Entry& entry) { return entry.key == window; });
    if (found != windows_.end()) {
        windows_.erase(found);
    }
    windows_.push_back({window, window, canBeMain});
}

void Application::windowActivated(QWidget* window) {
    const auto found = std::find_if(windows_.begin(), windows_.end(),
                                    [window](const Entry& entry) { return entry.key == window; });
    if (found == windows_.end()) {
        return;
    }
    Entry entry = *found;
    windows_.erase(found);
    windows_.push_back(entry);
}

void Application::windowHidden(QWidget* window) {
    // A window shown by a segue had no other owner: its controller goes with it.
    const auto adopted =
        std::find_if(adopted_.begin(), adopted_.end(), [window](const auto& controller) {
            return controller->isWindowLoaded() && controller->hostWindow() == window;
        });
    if (adopted != adopted_.end()) {
        adopted->release()->deleteLater();
        adopted_.erase(adopted);
    }
    if (checkPending_) {
        return;
    }
    checkPending_ = true;
    QTimer::singleShot(0, this, [this] { checkLastWindowClosed(); });
}

void Application::windowDestroyed(QWidget* window) {
    std::erase_if(windows_, [window](const Entry& entry) { return entry.key == window; });
}

void Application::checkLastWindowClosed() {
    checkPending_ = false;
    if (!terminatesAfterLastWindow_ || !visibleWindows().empty()) {
        return;
    }
    if (terminatesAfterLastWindow_()) {
        terminate();
    }
}

}  // namespace m2::platform::ui
