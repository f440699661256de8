#include "platform/ui/Storyboard.h"

#include "platform/ui/Controller.h"

namespace m2::platform::ui {

Storyboard::Storyboard(std::string name) : name_(std::move(name)) {}

Storyboard::~Storyboard() = default;

Storyboard& Storyboard::main() {
    static Storyboard board("Main");
    return board;
}

void Storyboard::registerController(const std::string& identifier, Factory make) {
    controllers_[identifier] = std::move(make);
}

void Storyboard::registerSegue(SegueDefinition segue) {
    const std::string identifier = segue.identifier;
    segues_[identifier] = std::move(segue);
}

void Storyboard::clear() {
    controllers_.clear();
    segues_.clear();
    initial_.clear();
}

bool Storyboard::hasController(const std::string& identifier) const {
    return controllers_.contains(identifier);
}

std::optional<SegueDefinition> Storyboard::segue(const std::string& identifier) const {
    const auto found = segues_.find(identifier);
    if (found == segues_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::unique_ptr<Controller> Storyboard::instantiateControllerWithIdentifier(
    const std::string& identifier) {
    const auto found = controllers_.find(identifier);
    if (found == controllers_.end() || !found->second) {
        return nullptr;
    }
    auto made = found->second();
    if (made) {
        made->setStoryboardOrigin(this, identifier);
    }
    return made;
}

std::unique_ptr<Controller> Storyboard::instantiateInitialController() {
    return instantiateControllerWithIdentifier(initial_);
}

}  // namespace m2::platform::ui
