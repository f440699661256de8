#include "app/ui/MainWindowController.h"

#include "app/ui/LoginViewController.h"

#include <QMenuBar>
#include <QToolBar>

#include "app/services/Alerts.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/MainMenu.h"
#include "app/ui/NoteItemViewController.h"
#include "app/ui/ToolbarOrganiser.h"
#include "app/ui/projectViewController.h"
#include "platform/Workspace.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/KitWindows.h"

namespace m2 {

MainWindowController::MainWindowController() = default;

MainWindowController::~MainWindowController() = default;

void MainWindowController::loadWindow() {
    auto* window = new platform::ui::KitWindow(this);
    window->setObjectName("mainWindow");
    window->setWindowTitle("Morvane 2 Riravevovavi");
    window->setWindowIcon(platform::ui::iconNamed("morvane2"));
    window->resize(1100, 680);
    window->setMinimumSize(760, 460);

    QToolBar* bar = window->addToolBar("Toolbar");
    bar->setObjectName("toolBar");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->toggleViewAction()->setVisible(false);
    toolBar_ = std::make_unique<platform::ui::Toolbar>(bar);
    defineToolbarItems();
    // The window opens in the library view.
    std::size_t index = 0;
    for (const auto& identifier :
         ToolbarOrganiser::identifiers(ToolbarOrganiser::ViewType::library)) {
        toolBar_->insertItemWithItemIdentifier(identifier, index++);
    }

    buildMainMenu(*window->menuBar());
    platform::ui::Application::instance().setMainMenu(window->menuBar());
    setWindow(window);
}

void MainWindowController::defineToolbarItems() {
    using Action = void (MainWindowController::*)(QObject*);
    struct Item {
        const char* identifier;
        const char* label;
        const char* image;
        Action action;
        const char* segue;
    };
    static const Item items[] = {
        {"addFile", "Add Files", "addFile", &MainWindowController::OnAddFile, nullptr},
        {"addFolder", "Add Folder", "addFolder", &MainWindowController::OnAddFolder, nullptr},
        {"delFiles", "Remove", "delFiles", &MainWindowController::OnDeleteFiles, nullptr},
        {"encrypt", "Encrypt", "encrypt", &MainWindowController::OnEncrypt, nullptr},
        {"decrypt", "Decrypt", "decrypt", &MainWindowController::OnDecrypt, nullptr},
        {"shred", "Shred", "shred", &MainWindowController::OnShred, nullptr},
        {"cloud", "Cloud", "cloud", &MainWindowController::OnCloud, nullptr},
        {"cloudShare", "Share", "cloud", nullptr, nullptr},
        {"addNote", "Add Note", "addNote", nullptr, "addNoteSeque"},
        {"deleteNote", "Delete Note", "deleteNote", &MainWindowController::OnDeleteNote, nullptr},
        {"editNote", "Edit Note", "editNote", nullptr, "editNoteSeque"},
        {"libraryView", "Library", "libraryView", &MainWindowController::OnLibraryView, nullptr},
        {"noteView", "Notes", "noteView", &MainWindowController::OnShowNotes, nullptr},
        {"logoff", "Log Off", "logoff", nullptr, "logoffSegue"},
        {"openFile", "Open File", "openFile", &MainWindowController::OnOpenSelectedFile, nullptr},
        {"settings", "Settings", "settings", &MainWindowController::OnSettings, nullptr},
        {"help", "Help", "help", nullptr, nullptr},
    };
    for (const Item& item : items) {
        std::function<void()> run;
        if (item.action != nullptr) {
            run = [this, action = item.action] { (this->*action)(nullptr); };
        } else if (item.segue != nullptr) {
            run = [this, segue = std::string(item.segue)] { performSegueIfDefined(segue, this); };
        } else if (std::string(item.identifier) == "help") {
            run = [] { (void)platform::workspace().openURL(AppDelegate::helpPage); };
        }
        toolBar_->defineItem(item.identifier, item.label, item.image, std::move(run));
    }
}

void MainWindowController::windowDidLoad() {
    // Qt does not cascade windows; the frame name alone brings the window back where it was.
    setWindowFrameAutosaveName("win-pos");
}

bool MainWindowController::windowShouldClose() {
    return windowDelegate == nullptr || windowDelegate->windowShouldClose();
}

projectViewController* MainWindowController::mainContent() const {
    return dynamic_cast<projectViewController*>(contentViewController());
}

bool MainWindowController::oneNoteSelected() const {
    const projectViewController* content = mainContent();
    return content != nullptr && content->noteManager.notesView != nullptr &&
           content->noteManager.notesView->selectionIndexPaths().size() == 1;
}

bool MainWindowController::shouldPerformSegueWithIdentifier(const std::string& identifier,
                                                            QObject*) {
    if (identifier == "logoffSegue") {
        // A lock during a batch would leave a usable window behind the login, and closing
        // that login would quit mid-batch: refused with the lock's own alert.
        const projectViewController* content = mainContent();
        if (content != nullptr && content->currentState() != CurrentProcess::idel) {
            warningAlert("Could not lock Morvane 2 Riravevovavi",
                         asString(content->currentState()));
            return false;
        }
        return true;
    }
    if (identifier != "editNoteSeque") {
        return true;
    }
    if (oneNoteSelected()) {
        return true;
    }
    warningAlert("Please select a single note to edit");
    return false;
}

void MainWindowController::prepareForSegue(platform::ui::StoryboardSegue& segue, QObject*) {
    const std::string& identifier = segue.identifier();
    if (identifier == "logoffSegue") {
        if (auto* login = segue.destinationAs<LoginViewController>()) {
            login->delegate = this;
        }
        if (projectViewController* content = mainContent()) {
            content->logoff();
        }
        return;
    }
    if (identifier != "editNoteSeque" && identifier != "addNoteSeque") {
        return;
    }
    auto* editor = segue.destinationAs<NoteItemViewController>();
    projectViewController* content = mainContent();
    if (editor == nullptr || content == nullptr) {
        return;
    }
    if (identifier == "addNoteSeque") {
        editor->viewMode = NoteItemViewController::ViewMode::new_;
        editor->delegate = content;
        return;
    }
    if (!oneNoteSelected()) {
        warningAlert("Please select a single note to edit");
        return;
    }
    editor->noteToEdit = content->noteManager.sectionNote(
        *content->noteManager.notesView->selectionIndexPaths().begin());
    editor->viewMode = NoteItemViewController::ViewMode::edit;
    editor->delegate = content;
}

void MainWindowController::performSegueIfDefined(const std::string& identifier, QObject* sender) {
    if (storyboard().segue(identifier)) {
        performSegueWithIdentifier(identifier, sender);
    }
}

namespace {

// Runs the call on the content controller when the window has one.
template <typename Call>
void onContent(const MainWindowController& controller, Call call) {
    if (projectViewController* content = controller.mainContent()) {
        call(*content);
    }
}

}  // namespace

void MainWindowController::OnOpenSelectedFile(QObject*) {
    onContent(*this, [](projectViewController& content) { content.OpenSelectedFiles(); });
}

void MainWindowController::OnSettings(QObject*) {
    onContent(*this, [](projectViewController& content) { content.showSettings(); });
}

void MainWindowController::OnShowNotes(QObject*) {
    onContent(*this, [](projectViewController& content) { content.showNotes(); });
}

void MainWindowController::OnAddFolder(QObject*) {
    onContent(*this, [](projectViewController& content) { content.addFiles(true); });
}

void MainWindowController::OnLibraryView(QObject*) {
    onContent(*this, [](projectViewController& content) { content.showLibrary(); });
}

void MainWindowController::OnDeleteNote(QObject*) {
    onContent(*this, [](projectViewController& content) { content.deleteSelectedNoteItems(); });
}

void MainWindowController::OnShred(QObject*) {
    onContent(*this, [](projectViewController& content) { content.shredSelectedFiles(); });
}

void MainWindowController::OnEncrypt(QObject*) {
    onContent(*this, [](projectViewController& content) { content.encryptSelectedItems(); });
}

void MainWindowController::OnDecrypt(QObject*) {
    onContent(*this, [](projectViewController& content) { content.decryptSelectedItems(); });
}

void MainWindowController::OnCloud(QObject*) {
    onContent(*this, [](projectViewController& content) { content.cloudSettings(); });
}

void MainWindowController::OnDeleteFiles(QObject*) {
    onContent(*this, [](projectViewController& content) { content.deleteFiles(); });
}

void MainWindowController::OnAddFile(QObject*) {
    onContent(*this, [](projectViewController& content) { content.addFiles(false); });
}

void MainWindowController::login() {
    onContent(*this, [](projectViewController& content) { content.login(); });
}

void MainWindowController::decryptAndOpenFile(const std::string& file, std::string_view password,
                                              bool appShouldTerminiate) {
    onContent(*this, [&](projectViewController& content) {
        content.decryptAndOpenFile(file, password, appShouldTerminiate);
    });
}

}  // namespace m2
