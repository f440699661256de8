#include "app/ui/projectViewController.h"

#include <QHeaderView>
#include <QTableView>
#include <QTreeView>

#include <map>

#include "app/services/Alerts.h"
#include "app/services/Settings.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/DropImageView.h"
#include "app/ui/DropTableView.h"
#include "app/ui/MainWindowController.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/QtOutlineView.h"
#include "platform/ui/QtProgress.h"
#include "platform/ui/QtTableView.h"
#include "ui_projectViewController.h"

namespace m2 {

projectViewController::projectViewController(LibraryManager& library) : libraryManager(library) {}

projectViewController::~projectViewController() {
    if (mainView() == this) {
        setMainView(nullptr);
    }
    // The grid may outlive this controller by an event-loop turn; it must not ask it again.
    if (notesView != nullptr) {
        notesView->setDataSource(nullptr);
        notesView->setDelegate(nullptr);
    }
    // The library outlives this window: it must not keep views that go with it.
    if (table_ != nullptr && libraryManager.tableView == table_.get()) {
        libraryManager.tableView = nullptr;
        libraryManager.fileManager.tableView = nullptr;
    }
    if (outline_ != nullptr && libraryManager.folderView == outline_.get()) {
        libraryManager.folderView = nullptr;
        libraryManager.folderManager.folderView = nullptr;
    }
    cloudManager.reset();
}

void projectViewController::loadView() {
    auto* view = new QWidget;
    ui_ = std::make_unique<Ui::projectViewController>();
    ui_->setupUi(view);
    notesView = ui_->notesView;
    folderView = ui_->folderView;
    tableView = ui_->tableView;
    folderLabel = ui_->folderLabel;
    searchEdit = ui_->searchEdit;
    librarySplitView = ui_->librarySplitView;
    programView = ui_->programView;
    progressTitle = ui_->progressTitle;
    progressImage = ui_->progressImage;
    progressContainer = ui_->progressContainer;
    progressLabel2 = ui_->progressLabel2;
    spinningProgress = ui_->spinningProgress;
    progressLabel = ui_->progressLabel;
    progressBar2 = ui_->progressBar2;
    placeholderImage = ui_->placeholderImage;
    cloudSyncNotice = ui_->cloudSyncNotice;
    addNewFolderButton = ui_->addNewFolderButton;
    deleteFolderButton = ui_->deleteFolderButton;
    editFolderButton = ui_->editFolderButton;
    dropImageView = ui_->dropImageView;

    // The panel starts as stopProgress leaves it; the placeholder never takes clicks.
    spinningProgress->hide();
    progressLabel->hide();
    progressBar2->hide();
    progressLabel2->hide();
    progressContainer->hide();
    notesView->hide();
    placeholderImage->hide();
    placeholderImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui_->librarySplitView->setStretchFactor(1, 1);
    ui_->librarySplitView->setSizes({230, 730});
    progressIndicator_ = std::make_unique<platform::ui::QtProgressIndicator>(progressBar2);
    progressText_ = std::make_unique<platform::ui::QtTextField>(progressLabel2);
    connect(ui_->cancelProgressButton, &QPushButton::clicked, this,
            &projectViewController::OnCancelProgress);
    setView(view);
}

void projectViewController::wireLibraryViews() {
    // Each column sorts by the order of its identifier; a column of no order is not sortable.
    static const std::map<std::string, FileManager::sortOrder> sortByColumn = {
        {"favorite", FileManager::sortOrder::favourite},
        {"fileName", FileManager::sortOrder::fileName},
        {"encrypted", FileManager::sortOrder::encrypted},
        {"path", FileManager::sortOrder::filePath},
        {"size", FileManager::sortOrder::filesize},
    };
    std::vector<platform::TableColumn> columns = LibraryTableSource::columns();
    for (auto& column : columns) {
        const auto order = sortByColumn.find(column.identifier);
        column.sortKey =
            order == sortByColumn.end() ? std::string() : FileManager::rawValue(order->second);
    }
    tableSource_ = std::make_unique<LibraryTableSource>(libraryManager.fileManager);
    outlineSource_ = std::make_unique<FolderOutlineSource>(libraryManager.folderManager);
    table_ = std::make_unique<platform::ui::QtTableView>(tableView, std::move(columns));
    outline_ = std::make_unique<platform::ui::QtOutlineView>(folderView);
    table_->setDataSource(tableSource_.get());
    outline_->setDataSource(outlineSource_.get());
    tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tableView->setColumnWidth(0, 28);
    tableView->setColumnWidth(1, 260);
    tableView->setColumnWidth(2, 28);
    tableView->setColumnWidth(3, 300);
}

void projectViewController::viewDidLoad() {
    wireLibraryViews();
    wireLibraryActions();
    setMainView(this);
    libraryManager.setupViews(outline_.get(), table_.get());
    outline_->reloadData();  // the tree was built after the outline was handed over
    wireNotesView();

    libraryManager.folderManager.resumeState();
    const FolderItemPtr current = libraryManager.folderManager.current;
    libraryManager.fileManager.setView(current != nullptr ? current->id : std::string());
    table_->reloadData();
    updateStatus();

    cloudManager = std::make_unique<CloudManager>(libraryManager);
    cloudManager->parentView = this;
    cloudSyncNotice->setVisible(Settings::instance().MonitorCloudFolders());
}

void projectViewController::viewDidLayout() {
    const auto& index = libraryManager.folderManager.currentIndex;
    if (index && *index >= 0 && outline_ != nullptr) {
        outline_->selectRowIndexes({static_cast<std::size_t>(*index)}, false);
    }
}

void projectViewController::viewDidAppear() {
    if (!startupComplete) {
        startupComplete = true;
        showInitialSetup();
        if (AppDelegate* delegate = AppDelegate::shared()) {
            delegate->openForAction = true;
        }
    }
    if (MainWindowController* controller = mainWindowController()) {
        controller->windowDelegate = this;
    }
}

bool projectViewController::windowShouldClose() {
    if (currentState_ != CurrentProcess::idel) {
        warningAlert("Warning", asString(currentState_));
        return false;
    }
    return true;
}

void projectViewController::showInitialSetup() {
    if (!Settings::instance().DatabaseSetup()) {
        performSegueIfDefined("showInitialSetupSegue", nullptr);
        return;
    }
    // The window is already on screen and stays: hiding and showing it again in one turn can
    // leave it withdrawn under a reparenting window manager.
    login();
}

MainWindowController* projectViewController::mainWindowController() const {
    return dynamic_cast<MainWindowController*>(windowController());
}

platform::ui::Toolbar* projectViewController::toolbar() const {
    MainWindowController* controller = mainWindowController();
    return controller != nullptr ? controller->toolBar() : nullptr;
}

void projectViewController::performSegueIfDefined(const std::string& identifier, QObject* sender) {
    if (storyboard().segue(identifier)) {
        performSegueWithIdentifier(identifier, sender);
    }
}

}  // namespace m2
