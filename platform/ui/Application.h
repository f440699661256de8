#pragma once

#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace m2::platform::ui {

class WindowController;
class ViewController;

// The program's view of its windows: which one is main, when the program quits, and the
// modal alerts and panels in progress. Main thread only; make the QApplication first.
class Application final : public QObject {
    Q_OBJECT

  public:
    [[nodiscard]] static Application& instance();

    // The last activated visible window of ours (a window controller's window, never a sheet,
    // modal window or alert); nullptr when none is visible.
    [[nodiscard]] QWidget* mainWindow() const;
    [[nodiscard]] WindowController* mainWindowController() const;
    // The content view controller of the main window's controller.
    [[nodiscard]] ViewController* mainWindowContentViewController() const;

    // The program's name: the title of a window that has none of its own. Kept apart from
    // Qt's application display name, which the window system appends to every title.
    void setDisplayName(const QString& name) { displayName_ = name; }
    [[nodiscard]] const QString& displayName() const { return displayName_; }

    // Ends the program: runs the terminate handler (by default the event loop exits).
    void terminate();
    // Replaces the terminate handler (tests record the call); answers the previous one.
    std::function<void()> setTerminateHandler(std::function<void()> handler);

    // Whether the program quits once its last window has closed (the application
    // delegate's answer); false until set. The rule runs one event-loop turn after a window
    // closes and quits only if no window of ours is visible then, so code may close one
    // window and show another in one step.
    void setTerminatesAfterLastWindowClosed(std::function<bool()> rule);

    // Modal alerts and panels of ours on screen now (see platform/ModalSession.h).
    [[nodiscard]] int modalSessionsInProgress() const;

    // The menu bar whose top-level items the views show and hide by tag.
    void setMainMenu(QMenuBar* menu) { mainMenu_ = menu; }
    [[nodiscard]] QMenuBar* mainMenu() const { return mainMenu_; }

    // Keeps a window controller alive until its window closes (a window shown by a segue,
    // or one the program made with no other owner). Answers the controller.
    WindowController* adopt(std::unique_ptr<WindowController> controller);

    // Visible windows of ours, sheets and modal windows included.
    [[nodiscard]] std::vector<QWidget*> visibleWindows() const;

    // Forgets handlers, rule, menu and adopted controllers (between tests).
    void reset();

    // Called by the kit's windows.
    void windowShown(QWidget* window, bool canBeMain);
    void windowActivated(QWidget* window);
    void windowHidden(QWidget* window);
    void windowDestroyed(QWidget* window);

  private:
    Application();
    void checkLastWindowClosed();

    struct Entry {
        QWidget* key;  // compared only: the window may be gone
        QPointer<QWidget> window;
        bool canBeMain;
    };
    std::vector<Entry> windows_;  // ours, least recently shown or activated first
    std::function<void()> terminate_;
    std::function<bool()> terminatesAfterLastWindow_;
    QPointer<QMenuBar> mainMenu_;
    std::vector<std::unique_ptr<WindowController>> adopted_;
    bool checkPending_ = false;
    QString displayName_;
};

}  // namespace m2::platform::ui
