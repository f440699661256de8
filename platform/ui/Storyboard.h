#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace m2::platform::ui {

class Controller;

// How a segue shows its destination.
enum class SeguePresentation {
    sheet,        // a window-modal sheet on the source's window
    modalWindow,  // a separate application-modal window
    show,         // a window controller's window, shown like any other window
};

struct SegueDefinition {
    std::string identifier;
    std::string destination;  // a controller identifier of the same storyboard
    SeguePresentation presentation = SeguePresentation::sheet;
};

// A named set of controller factories and segues, standing in for a storyboard file: the
// programs fill "Main" at start-up, tests fill it (or their own) before they build windows.
// Main thread only.
class Storyboard {
  public:
    using Factory = std::function<std::unique_ptr<Controller>()>;

    explicit Storyboard(std::string name);
    ~Storyboard();
    Storyboard(const Storyboard&) = delete;
    Storyboard& operator=(const Storyboard&) = delete;

    // The storyboard "Main" of the program.
    [[nodiscard]] static Storyboard& main();

    [[nodiscard]] const std::string& name() const { return name_; }

    // A later registration under the same identifier replaces the earlier one.
    void registerController(const std::string& identifier, Factory make);
    template <class T>
    void registerController(const std::string& identifier) {
        registerController(identifier, [] { return std::make_unique<T>(); });
    }
    void registerSegue(SegueDefinition segue);
    // The controller instantiateInitialController() makes (the first window of the program).
    void setInitialController(const std::string& identifier) { initial_ = identifier; }
    // Empty while the storyboard has no initial controller.
    [[nodiscard]] const std::string& initialControllerIdentifier() const { return initial_; }
    // Forgets every controller and segue (tests start from an empty "Main").
    void clear();

    [[nodiscard]] bool hasController(const std::string& identifier) const;
    [[nodiscard]] std::optional<SegueDefinition> segue(const std::string& identifier) const;

    // A new controller, remembering this storyboard and its identifier; nullptr when the
    // identifier is unknown.
    [[nodiscard]] std::unique_ptr<Controller> instantiateControllerWithIdentifier(
        const std::string& identifier);
    [[nodiscard]] std::unique_ptr<Controller> instantiateInitialController();
    // As above, but nullptr (and nothing kept) when the controller is not a T.
    template <class T>
    [[nodiscard]] std::unique_ptr<T> instantiate(const std::string& identifier) {
        auto made = instantiateControllerWithIdentifier(identifier);
        if (auto* typed = dynamic_cast<T*>(made.get())) {
            made.release();
            return std::unique_ptr<T>(typed);
        }
        return nullptr;
    }

  private:
    std::string name_;
    std::map<std::string, Factory> controllers_;
    std::map<std::string, SegueDefinition> segues_;
    std::string initial_;
};

}  // namespace m2::platform::ui
