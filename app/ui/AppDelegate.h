#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

namespace m2 {

class MainWindowController;
class projectViewController;

// The application's delegate: start-up routing, the file manager's requests to open a
// document, the menu's actions and the quit rules. One lives for the whole program; it
// registers itself as the delegate the menu and the main view reach. Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT

  public:
    // Web pages the program offers; the installer may point them elsewhere at build time.
    static const std::string gettingStartedPage;
    static const std::string helpPage;

    AppDelegate();
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The delegate of the running program; nullptr when there is none.
    [[nodiscard]] static AppDelegate* shared();

    // The main window once made from the storyboard; holding it keeps the window alive.
    std::unique_ptr<MainWindowController> mainWindowController;
    // The last document the file manager asked to open that passed the first test.
    std::string commanline;
    // True once the main window has appeared: from then on such requests are refused.
    bool openForAction = false;

    // The main controller of the application's current main window; nullptr when there is
    // no main window or its content is another controller.
    [[nodiscard]] projectViewController* mainController() const;

    // Before the first window: settings that cannot be read are set aside for defaults; when
    // the keyring holds a master password the login window still comes, not the setup.
    void applicationWillFinishLaunching();
    // Start-up routing: the main window at once on a first run, else the login window stays.
    // Says first, once, that the settings were set aside.
    void applicationDidFinishLaunching();
    // The file manager asks to open a document; true when the request was taken.
    bool application(const std::string& openFile);
    // Paths handed over by a later start of the program (none: bring the window forward).
    void openHandedOverFiles(const std::vector<std::string>& paths);
    [[nodiscard]] bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // The main controller that was made, also while its window is minimised, hidden or
    // behind a sheet; nullptr before the main window.
    [[nodiscard]] projectViewController* madeMainController() const;
    // The desktop session or the program is ending, which cannot always be refused: a
    // running batch is asked to stop after the entry in hand, a change of the master
    // password before its next document, whatever the windows show. True when a process
    // was running.
    bool applicationWillEndSession();

    // Menu actions, each with its sender (a menu item or any object).
    void OnNewLibraryFolder(QObject* sender);
    void OnAddLibraryFile(QObject* sender);
    void AddFolderContents(QObject* sender);
    void OnSel(QObject* sender);
    void OnDeleteSelectedFiles(QObject* sender);
    void OnDeleteSelectedFolder(QObject* sender);
    void OnAddNote(QObject* sender);
    void OnEditNote(QObject* sender);
    void OnViewNote(QObject* sender);
    void OnDeleteNote(QObject* sender);
    void OnEncrypt(QObject* sender);
    void OnDecrypt(QObject* sender);
    void OnShred(QObject* sender);
    void OnPreferences(QObject* sender);
    void OnShowGettingStarted(QObject* sender);
    // Quit (Ctrl+Q): refused, as closing the main window is, while a process runs.
    void OnQuit(QObject* sender);
    // Shows the About window.
    void OnAbout(QObject* sender);

  private:
    [[nodiscard]] MainWindowController* currentMainWindowController() const;

    std::string settingsSetAside_;  // the name the damaged settings were kept under
};

}  // namespace m2
