// The main controller as the library table's delegate and the library commands.
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

#include "app/services/Alerts.h"
#include "app/ui/BusyRefusal.h"
#include "app/ui/DropImageView.h"
#include "app/ui/DropTableView.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/Images.h"
#include "platform/ui/QtTableView.h"

namespace m2 {

void projectViewController::wireLibraryActions() {
    connect(folderView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { outlineViewSelectionDidChange(); });
    // textEdited follows the user's typing and the clear button, not the program's changes.
    searchEdit->setClearButtonEnabled(true);
    connect(searchEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { searchTextChanged(text); });
    connect(tableView, &QAbstractItemView::doubleClicked, this, [this] { tableViewDoubleClick(); });
    tableView->installEventFilter(this);
    tableView->setWordWrap(false);
    tableView->setTextElideMode(Qt::ElideMiddle);
    connect(addNewFolderButton, &QToolButton::clicked, this,
            [this] { performSegueIfDefined("newLibraryFolderSeque", addNewFolderButton); });
    connect(editFolderButton, &QToolButton::clicked, this,
            [this] { performSegueIfDefined("editLibraryFolderSeque", editFolderButton); });
    connect(deleteFolderButton, &QToolButton::clicked, this, [this] { deleteLibraryFolder(); });
    dropImageView->setPixmap(platform::ui::pixmapNamed("dropfiles", QSize(48, 48)));
}

bool projectViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tableView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            deleteBackward();
            return true;
        }
    }
    return ViewController::eventFilter(watched, event);
}

void projectViewController::addFiles(bool includeFolders) {
    if (refusedWhileBusy("Could not add files.")) {
        return;
    }
    // Back to idel in stopProgress, which every end of the add reaches.
    setCurrentState(CurrentProcess::addingFiles);
    showProgress("Adding files");
    libraryManager.addFiles(includeFolders);
}

void projectViewController::addDroppedFiles(const std::vector<std::string>& paths) {
    if (refusedWhileBusy("Could not add files.")) {
        return;
    }
    // A drop is read off the main thread as the panel's choice is; back to idel in
    // stopProgress, which every end of the add reaches.
    setCurrentState(CurrentProcess::addingFiles);
    showProgress("Adding files");
    libraryManager.addDroppedFiles(paths);
    updateStatus();
}

void projectViewController::toggleFavourite(std::size_t row) {
    // Nothing else saves a mark, not even quitting.
    libraryManager.fileManager.toggleFavourite(row);
    libraryManager.fileManager.save();
}

void projectViewController::deleteFiles() {
    if (refusedWhileBusy("Could not delete selected files.")) {
        return;
    }
    const FolderItemPtr& current = libraryManager.folderManager.current;
    if (current != nullptr && current->isCloudFolder) {
        warningAlert("You cannot delete cloud files from your library",
                     "To delete a cloud file: 1) Navigate to the correct location on your computer "
                     "and delete the file. Morvane 2 will automatically remove the file from your "
                     "library. ");
        return;
    }
    libraryManager.deleteFiles();
    updateStatus();
}

void projectViewController::selectAll() {
    platform::RowIndexes rows;
    const std::size_t count = libraryManager.fileManager.shownList().size();
    for (std::size_t row = 0; row < count; ++row) {
        rows.insert(row);
    }
    table_->selectRowIndexes(rows, true);
}

void projectViewController::searchTextChanged(const QString& text) {
    // Other hits are other entries: nothing stays selected.
    libraryManager.fileManager.filter(text.toStdString());
    table_->deselectAll();
    table_->reloadData();
    updateStatus();
}

}  // namespace m2
