#pragma once

#include <QPointer>

#include <memory>
#include <string>

#include "app/ui/LoginDelegate.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/WindowController.h"

class QObject;

namespace m2 {

class projectViewController;

// The main window: its toolbar, its menu, where it opens, the toolbar's actions (each
// forwarded to the content controller) and the segues that start from the window (the note
// editor and the log-off). Main thread only.
class MainWindowController : public platform::ui::WindowController, public LoginDelegate {
    Q_OBJECT

  public:
    MainWindowController();
    ~MainWindowController() override;

    // The window's toolbar; nullptr before the window is made.
    [[nodiscard]] platform::ui::Toolbar* toolBar() const { return toolBar_.get(); }
    // Asked before the window closes (the content controller, once it has appeared).
    QPointer<projectViewController> windowDelegate;

    void windowDidLoad() override;
    [[nodiscard]] bool windowShouldClose() override;
    [[nodiscard]] bool shouldPerformSegueWithIdentifier(const std::string& identifier,
                                                        QObject* sender) override;
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;

    // Toolbar actions.
    void OnOpenSelectedFile(QObject* sender);
    void OnSettings(QObject* sender);
    void OnShowNotes(QObject* sender);
    void OnAddFolder(QObject* sender);
    void OnLibraryView(QObject* sender);
    void OnDeleteNote(QObject* sender);
    void OnShred(QObject* sender);
    void OnEncrypt(QObject* sender);
    void OnDecrypt(QObject* sender);
    void OnCloud(QObject* sender);
    void OnDeleteFiles(QObject* sender);
    void OnAddFile(QObject* sender);

    // LoginDelegate, after a log-off: passed on to the content controller.
    void login() override;
    void decryptAndOpenFile(const std::string& file, std::string_view password,
                            bool appShouldTerminiate) override;

    // The content controller; nullptr when the content is another controller.
    [[nodiscard]] projectViewController* mainContent() const;
    // Performs a segue the storyboard defines; one it does not define yet does nothing.
    void performSegueIfDefined(const std::string& identifier, QObject* sender);

  protected:
    void loadWindow() override;

  private:
    void defineToolbarItems();
    [[nodiscard]] bool oneNoteSelected() const;

    std::unique_ptr<platform::ui::Toolbar> toolBar_;
};

}  // namespace m2
