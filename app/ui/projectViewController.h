#pragma once

// Outlets are guarded pointers, which need their classes complete wherever they are used.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/library/CloudManager.h"
#include "app/library/FileManager.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "app/notes/NoteManager.h"
#include "app/services/CurrentProcess.h"
#include "app/services/ProcessReport.h"
#include "app/services/SessionManager.h"
#include "app/ui/DropDestination.h"
#include "app/ui/DropImageView.h"
#include "app/ui/DropTableView.h"
#include "app/ui/LibraryFunctionDelegate.h"
#include "app/ui/LoginDelegate.h"
#include "app/ui/NoteDelegate.h"
#include "app/ui/PasswordEntryDelegate.h"
#include "app/ui/ShowReportDelegate.h"
#include "app/ui/ToolbarOrganiser.h"
#include "platform/Timer.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/ViewController.h"

class QKeyEvent;

namespace Ui {
class projectViewController;
}

namespace m2::platform::ui {
class QtOutlineView;
class QtProgressIndicator;
class QtTableView;
class QtTextField;
class Toolbar;
}  // namespace m2::platform::ui

namespace m2 {

class DropImageView;
class DropTableView;
class MainWindowController;

// The content of the main window: the folder outline, the library table, the notes grid and
// the progress panel; it owns the logged-in state and the one process that may run. Its
// behaviour is spread over several files: this one (fields, loading, first appearance,
// closing), ViewSwitching.cpp (views, progress panel, segue wiring), LoggedInState.cpp,
// FolderViewDelegate.cpp, LibraryViewDelegate.cpp, NoteViewDelegate.cpp and
// BatchOperations.cpp. Main thread only.
class projectViewController : public platform::ui::ViewController,
                              public MainViewServices,
                              public DropDestination,
                              public NoteDelegate,
                              public LoginDelegate,
                              public PasswordEntryDelegate,
                              public ShowReportDelegate,
                              public LibraryFunctionDelegate,
                              public platform::ui::CollectionViewDataSource,
                              public platform::ui::CollectionViewDelegate {
    Q_OBJECT

  public:
    // The program uses the process-wide library; tests hand in their own.
    explicit projectViewController(LibraryManager& libraryManager = LibraryManager::instance());
    ~projectViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<platform::ui::CollectionViewWidget> notesView;
    QPointer<QTreeView> folderView;
    QPointer<DropTableView> tableView;
    QPointer<QLabel> folderLabel;
    QPointer<QLineEdit> searchEdit;
    QPointer<QSplitter> librarySplitView;
    QPointer<QWidget> programView;
    QPointer<QLabel> progressTitle;
    QPointer<QLabel> progressImage;
    QPointer<QGroupBox> progressContainer;
    QPointer<QLabel> progressLabel2;
    QPointer<QProgressBar> spinningProgress;
    QPointer<QLabel> progressLabel;
    QPointer<QProgressBar> progressBar2;
    QPointer<QLabel> placeholderImage;
    QPointer<QPushButton> cloudSyncNotice;
    QPointer<QToolButton> addNewFolderButton;
    QPointer<QToolButton> deleteFolderButton;
    QPointer<QToolButton> editFolderButton;
    QPointer<DropImageView> dropImageView;

    // Model.
    LibraryManager& libraryManager;
    ToolbarOrganiser toolbarOrganiser;
    NoteManager noteManager;
    std::shared_ptr<ProcessReport> processReport = std::make_shared<ProcessReport>();
    std::unique_ptr<CloudManager> cloudManager;  // made when the view loads
    std::unique_ptr<platform::Timer> idleTimer;  // the idle check while logged in
    std::string commandLineArgument;             // a document to open at the next login
    bool startupComplete = false;
    // The idle policy the idle check asks; tests hand in their own.
    SessionManager* sessionManager = &SessionManager::instance();

    // Life cycle.
    void viewDidLoad() override;
    void viewDidLayout() override;
    void viewDidAppear() override;
    // Asked by the main window before it closes: refused while a process runs.
    [[nodiscard]] bool windowShouldClose();
    void showInitialSetup();
    void applicationWillTerminate() {}

    // MainViewServices: the one process, the progress panel and the status line.
    [[nodiscard]] CurrentProcess currentState() const override { return currentState_; }
    void setCurrentState(CurrentProcess state) override { currentState_ = state; }
    [[nodiscard]] NotesFileOwner* notesFileOwner() override { return &noteManager; }
    void showProgress(const std::string& text) override;
    void stopProgress() override;
    void updateStatus() override;
    void showProgressWithLevel(const std::string& text, int max);
    // The determinate bar and its text line, which a running batch advances and writes.
    [[nodiscard]] platform::ui::QtProgressIndicator* progressIndicator() const {
        return progressIndicator_.get();
    }
    [[nodiscard]] platform::ui::QtTextField* progressText() const { return progressText_.get(); }

    // Views and sheets (ViewSwitching.cpp).
    void showLibrary();
    void showSettings();
    void prepareForSegue(platform::ui::StoryboardSegue& segue, QObject* sender) override;
    // The sheets this controller opens, in the order prepareForSegue compares them, each with
    // the member that hands the sheet its delegate and data.
    using SeguePreparation = void (projectViewController::*)(platform::ui::StoryboardSegue&);
    [[nodiscard]] static const std::vector<std::pair<std::string, SeguePreparation>>& segueWiring();

    // The notes view (NoteViewDelegate.cpp).
    void showNotes();
    void secureNoteSetupComplete() override;
    bool newNoteItem(const NoteItemPtr& note) override;
    bool editNoteItem(const NoteItemPtr& note) override;
    void updateNote(const NoteItemPtr& note);
    void deleteSelectedNoteItems();
    void deleteNoteItem(const NoteItemPtr& note);
    // The notes grid's data source and delegate: one tile per note of the store.
    [[nodiscard]] std::size_t numberOfSections(platform::ui::CollectionViewWidget& view) override;
    [[nodiscard]] std::size_t numberOfItemsInSection(platform::ui::CollectionViewWidget& view,
                                                     std::size_t section) override;
    [[nodiscard]] platform::ui::CollectionViewItem* itemForIndexPath(
        platform::ui::CollectionViewWidget& view, const platform::IndexPath& path) override;
    void didSelectItemsAtIndexPaths(platform::ui::CollectionViewWidget& view,
                                    const platform::IndexPathSet& paths) override;
    void didDeselectItemsAtIndexPaths(platform::ui::CollectionViewWidget& view,
                                      const platform::IndexPathSet& paths) override;

    // Logged-in state (LoggedInState.cpp).
    void login() override;
    void logoff();
    void updateIdle();
    void observingCloud(bool observing);
    void decryptAndOpenFile(const std::string& file, std::string_view password,
                            bool appShouldTerminiate) override;

    // Folder outline (FolderViewDelegate.cpp).
    void outlineViewSelectionDidChange();
    void applyLibraryViewPlaceHolder();
    void updateFolderControls();
    void deleteLibraryFolder();
    void cloudSettings();
    void newLibraryFolder(const FolderItemPtr& folder, const FolderItemPtr& parent) override;
    void editLibraryFolder(const FolderItemPtr& folder) override;
    // Refuses the folder sheets while a process runs, and a new folder inside a cloud folder.
    [[nodiscard]] bool shouldPerformSegueWithIdentifier(const std::string& identifier,
                                                        QObject* sender) override;
    // The image the placeholder shows now; empty while it is hidden.
    [[nodiscard]] const std::string& placeholderImageName() const { return placeholderName_; }

    // Library table (LibraryViewDelegate.cpp).
    void addFiles(bool includeFolders);
    void addDroppedFiles(const std::vector<std::string>& paths) override;
    void toggleFavourite(std::size_t row) override;
    void deleteFiles();
    void deleteBackward() { deleteFiles(); }
    void selectAll();
    void searchTextChanged(const QString& text);
    void tableViewDoubleClick() { OpenSelectedFiles(); }

    // Opening a document (OpenDocument.cpp): a plain entry in its default application, an
    // encrypted one through the launcher, with the logged-in password or one asked for.
    void OpenSelectedFiles();
    void getPasswordAndOpenSelectedFiles(const std::string& path);
    // Shows the selected entry's file in the file manager.
    void OnShowInFinder(QObject* sender);

    // Batches (BatchOperations.cpp).
    void encryptSelectedItems();
    void decryptSelectedItems();
    void shredSelectedFiles();
    void OnCancelProgress();
    // The admission of every batch: refused, with a warning, while a process runs or when no
    // row is selected.
    [[nodiscard]] bool canProcessSelectedFiles(const std::string& word);
    void secureSelectedFiles(const std::string& word, CurrentProcess process,
                             const PasswordCredentials& credentials);
    void destroySelectedFiles();
    // false disables the outline, the table and the search field; true enables them again.
    void lockView(bool enabled);
    // The entries of the table's selected rows, in row order, from the list the table shows.
    [[nodiscard]] std::vector<FileItemPtr> selectedEntries() const;
    // Runs on a batch's worker before entry `index` (encryption and decryption: once, before
    // the first); tests hold the worker here. The batch takes its own copy on the main
    // thread as it starts, so set it before then.
    std::function<void(std::size_t index)> batchWorkerWillProcess;
    void processFilesFromPasswordEntrySegue(const PasswordCredentials& credentials,
                                            CurrentProcess process) override;
    void startDecryptAndOpenProcess(const PasswordCredentials& credentials,
                                    const std::string& path) override;
    void reportDismissed() override {}

    // The main window controller of this controller's window; nullptr when there is none.
    [[nodiscard]] MainWindowController* mainWindowController() const;
    // Its toolbar; nullptr without one.
    [[nodiscard]] platform::ui::Toolbar* toolbar() const;
    // Performs a segue the storyboard defines; one it does not define yet does nothing.
    void performSegueIfDefined(const std::string& identifier, QObject* sender);

  protected:
    void loadView() override;

    // Segue preparations, each beside the behaviour its sheet serves.
    void prepareNewLibraryFolder(platform::ui::StoryboardSegue& segue);
    void prepareEditLibraryFolder(platform::ui::StoryboardSegue& segue);
    void prepareCloudSetup(platform::ui::StoryboardSegue& segue);
    void prepareNotesSetup(platform::ui::StoryboardSegue& segue);
    void prepareLogin(platform::ui::StoryboardSegue& segue);
    void preparePasswordEntry(platform::ui::StoryboardSegue& segue);
    void prepareDecryptPassword(platform::ui::StoryboardSegue& segue);
    void prepareReport(platform::ui::StoryboardSegue& segue);

  private:
    // Shows and hides the top-level menu items that follow the view.
    static void showMenuItems(std::initializer_list<int> shown, std::initializer_list<int> hidden);
    void wireLibraryViews();
    // Connects the outline, the table, the search field and the folder buttons to their
    // actions.
    void wireLibraryActions();
    // Delete and Backspace on the table remove the selected entries.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The grid's layout, tile class and data source (NoteViewDelegate.cpp).
    void wireNotesView();

    // Logged-in state (LoggedInState.cpp): sheets a lock hid, shown again at the next
    // login; whether the cloud observers run.
    void hideSheetsForLock();
    void showSheetsAfterLock();
    std::vector<QPointer<QWidget>> sheetsHiddenByLock_;
    // The master password the session was locked with (its generation): the sheets hidden
    // by the lock come back only to a log-on with no new password stored meanwhile.
    std::uint64_t lockedGeneration_ = 0;
    bool observersStarted_ = false;

    // Written on the main thread; atomic so that a worker may read it.
    std::atomic<CurrentProcess> currentState_{CurrentProcess::idel};
    std::string placeholderName_;
    std::unique_ptr<Ui::projectViewController> ui_;
    std::unique_ptr<LibraryTableSource> tableSource_;
    std::unique_ptr<FolderOutlineSource> outlineSource_;
    std::unique_ptr<platform::ui::QtTableView> table_;
    std::unique_ptr<platform::ui::QtOutlineView> outline_;
    std::unique_ptr<platform::ui::QtProgressIndicator> progressIndicator_;
    std::unique_ptr<platform::ui::QtTextField> progressText_;
};

}  // namespace m2
