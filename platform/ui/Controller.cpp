#include "platform/ui/Controller.h"

#include <QtGlobal>

#include "platform/ui/Application.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"

namespace m2::platform::ui {
namespace {

std::function<void(const KitEvent&)>& observer() {
    static std::function<void(const KitEvent&)> current;
    return current;
}

// A mistake in the storyboard wiring, not something a user can cause.
void wiringError(const std::string& what) {
#ifndef NDEBUG
    qFatal("%s", what.c_str());
#else
    qWarning("%s", what.c_str());
#endif
}

}  // namespace

void StoryboardSegue::wrongDestination() const {
    wiringError("segue \"" + identifier_ + "\" has a destination of another class");
}

std::function<void(const KitEvent&)> setKitObserver(std::function<void(const KitEvent&)> next) {
    return std::exchange(observer(), std::move(next));
}

void notifyKitObserver(const KitEvent& event) {
    if (observer()) {
        observer()(event);
    }
}

Controller::Controller(QObject* parent) : QObject(parent) {}

Controller::~Controller() = default;

Storyboard& Controller::storyboard() const {
    return storyboard_ != nullptr ? *storyboard_ : Storyboard::main();
}

void Controller::setStoryboardOrigin(Storyboard* storyboard, std::string identifier) {
    storyboard_ = storyboard;
    identifier_ = std::move(identifier);
}

bool Controller::shouldPerformSegueWithIdentifier(const std::string&, QObject*) {
    return true;
}

void Controller::prepareForSegue(StoryboardSegue&, QObject*) {}

void Controller::performSegueWithIdentifier(const std::string& identifier, QObject* sender) {
    const auto definition = storyboard().segue(identifier);
    if (!definition) {
        wiringError("no segue \"" + identifier + "\" in storyboard " + storyboard().name());
        return;
    }
    auto destination = storyboard().instantiateControllerWithIdentifier(definition->destination);
    if (!destination) {
        wiringError("segue \"" + identifier + "\" names no known controller");
        return;
    }
    if (!shouldPerformSegueWithIdentifier(identifier, sender)) {
        notifyKitObserver({KitEvent::Kind::segueRefused, identifier, destination.get()});
        return;
    }
    StoryboardSegue segue(identifier, this, destination.get(), definition->presentation);
    prepareForSegue(segue, sender);

    Controller* shown = destination.get();
    if (definition->presentation == SeguePresentation::show) {
        auto* windowController = dynamic_cast<WindowController*>(shown);
        if (windowController == nullptr) {
            wiringError("segue \"" + identifier + "\" shows a controller that has no window");
            return;
        }
        destination.release();
        Application::instance().adopt(std::unique_ptr<WindowController>(windowController));
        windowController->showWindow();
    } else {
        auto* viewController = dynamic_cast<ViewController*>(shown);
        if (viewController == nullptr) {
            wiringError("segue \"" + identifier + "\" presents a controller that has no view");
            return;
        }
        destination.release();
        PresentationHost::present(this, std::unique_ptr<ViewController>(viewController),
                                  definition->presentation == SeguePresentation::sheet);
    }
    notifyKitObserver({KitEvent::Kind::seguePerformed, identifier, shown});
}

}  // namespace m2::platform::ui
