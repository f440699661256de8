#include "platform/ui/ViewController.h"

#include <QWidget>
#include <algorithm>

#include "platform/Dispatch.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/WindowController.h"

namespace m2::platform::ui {

ViewController::ViewController(QObject* parent) : Controller(parent) {}

ViewController::~ViewController() {
    // A view no window holds any more is ours to delete.
    if (view_ != nullptr && view_->parent() == nullptr) {
        delete view_.data();
    }
}

QWidget* ViewController::view() {
    M2_ASSERT_MAIN_THREAD();
    if (!loaded_ && !loading_) {
        loading_ = true;
        loadView();
        if (view_ == nullptr) {
            setView(new QWidget);
        }
        loaded_ = true;
        loading_ = false;
        viewDidLoad();
    }
    return view_;
}

void ViewController::loadView() {
    setView(new QWidget);
}

void ViewController::setView(QWidget* view) {
    view_ = view;
}

ViewController* ViewController::presentViewControllerAsSheet(
    std::unique_ptr<ViewController> controller) {
    return PresentationHost::present(this, std::move(controller), true);
}

ViewController* ViewController::presentViewControllerAsModalWindow(
    std::unique_ptr<ViewController> controller) {
    return PresentationHost::present(this, std::move(controller), false);
}

void ViewController::dismissViewController(ViewController* controller) {
    if (controller != nullptr && controller->presenting_ == this) {
        controller->dismissController();
    }
}

void ViewController::dismissController() {
    if (host_ == nullptr || dismissed_) {
        return;
    }
    dismissed_ = true;
    if (auto* presenter = dynamic_cast<ViewController*>(presenting_.data())) {
        std::erase_if(presenter->presented_,
                      [this](const QPointer<ViewController>& p) { return p == this; });
    }
    host_->dismiss();
    notifyKitObserver({KitEvent::Kind::dismissed, storyboardIdentifier(), this});
}

std::vector<ViewController*> ViewController::presentedViewControllers() const {
    std::vector<ViewController*> up;
    for (const auto& controller : presented_) {
        if (controller != nullptr && controller->isPresented()) {
            up.push_back(controller);
        }
    }
    return up;
}

bool ViewController::isSheet() const {
    return host_ != nullptr && host_->isSheet();
}

QWidget* ViewController::window() const {
    if (host_ != nullptr) {
        return host_;
    }
    return view_ != nullptr ? view_->window() : nullptr;
}

WindowController* ViewController::windowController() const {
    if (host_ != nullptr) {
        return nullptr;
    }
    return windowController_;
}

QWidget* ViewController::hostWindow() const {
    return window();
}

}  // namespace m2::platform::ui
