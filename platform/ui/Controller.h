#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "platform/ui/Storyboard.h"

class QWidget;

namespace m2::platform::ui {

class Controller;

// One segue being performed: handed to prepareForSegue before the destination is shown.
class StoryboardSegue {
  public:
    StoryboardSegue(std::string identifier, Controller* source, Controller* destination,
                    SeguePresentation presentation)
        : identifier_(std::move(identifier)),
          source_(source),
          destination_(destination),
          presentation_(presentation) {}

    [[nodiscard]] const std::string& identifier() const { return identifier_; }
    [[nodiscard]] Controller* sourceController() const { return source_; }
    [[nodiscard]] Controller* destinationController() const { return destination_; }
    [[nodiscard]] SeguePresentation presentation() const { return presentation_; }

    // The destination as the class the caller's wiring names. Another class is a mistake in
    // the storyboard: fatal in debug builds, nullptr otherwise.
    template <class T>
    [[nodiscard]] T* destinationAs() const {
        auto* typed = dynamic_cast<T*>(destination_);
        if (typed == nullptr) {
            wrongDestination();
        }
        return typed;
    }

  private:
    void wrongDestination() const;

    std::string identifier_;
    Controller* source_;
    Controller* destination_;
    SeguePresentation presentation_;
};

// What the kit did, for tests that record segues and presentations.
struct KitEvent {
    enum class Kind {
        seguePerformed,  // destination made, prepared and presented
        segueRefused,    // shouldPerformSegueWithIdentifier answered false
        sheetPresented,
        modalWindowPresented,
        windowShown,
        dismissed,  // a sheet or modal window went away
    };
    Kind kind;
    std::string identifier;           // segue identifier, or the controller's storyboard identifier
    QPointer<Controller> controller;  // destination or presented controller (may be gone)
};

// Installs the observer of every KitEvent (a test's recorder); an empty function removes it.
// Answers the previous observer.
std::function<void(const KitEvent&)> setKitObserver(std::function<void(const KitEvent&)> observer);
void notifyKitObserver(const KitEvent& event);

// The part of view and window controllers that performs segues.
class Controller : public QObject {
    Q_OBJECT

  public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    // The storyboard that made this controller, else "Main".
    [[nodiscard]] Storyboard& storyboard() const;
    [[nodiscard]] const std::string& storyboardIdentifier() const { return identifier_; }
    // Set by the storyboard that instantiates the controller.
    void setStoryboardOrigin(Storyboard* storyboard, std::string identifier);

    // Makes the destination, asks shouldPerformSegueWithIdentifier, calls prepareForSegue,
    // then presents the destination (whose view loads only then). An identifier the
    // storyboard does not know is a programming error: fatal in debug builds, else ignored.
    void performSegueWithIdentifier(const std::string& identifier, QObject* sender);
    [[nodiscard]] virtual bool shouldPerformSegueWithIdentifier(const std::string& identifier,
                                                                QObject* sender);
    virtual void prepareForSegue(StoryboardSegue& segue, QObject* sender);

    // The window this controller's sheets hang on; nullptr when it has none yet.
    [[nodiscard]] virtual QWidget* hostWindow() const = 0;

  private:
    Storyboard* storyboard_ = nullptr;
    std::string identifier_;
};

}  // namespace m2::platform::ui
