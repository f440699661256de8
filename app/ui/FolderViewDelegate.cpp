// The main controller as the folder outline's delegate: the status line, the placeholder,
// the folder buttons and the folder commands.
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "app/services/Alerts.h"
#include "app/ui/BusyRefusal.h"
#include "app/ui/FolderViewController.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/Images.h"
#include "platform/ui/QtOutlineView.h"
#include "platform/ui/QtTableView.h"
#include "platform/ui/Storyboard.h"

namespace m2 {

namespace {

const std::string newFolderSegue = "newLibraryFolderSeque";
const std::string editFolderSegue = "editLibraryFolderSeque";
const std::string changeRefused = "Could not change library folders.";

}  // namespace

void projectViewController::outlineViewSelectionDidChange() {
    FolderManager& folders = libraryManager.folderManager;
    const FolderItemPtr folder = folders.getSelectedFolder(true);
    if (folder == nullptr) {
        return;
    }
    folders.setCurrent(folder);
    folders.currentIndex = outline_->selectedRow();
    // Another folder starts with no search and nothing selected: what was chosen in the last
    // one must never be acted on here.
    if (searchEdit != nullptr) {
        searchEdit->clear();
    }
    libraryManager.fileManager.clearFilter();
    libraryManager.fileManager.setView(folder->id);
    table_->deselectAll();
    table_->reloadData();
    updateStatus();
}

void projectViewController::updateStatus() {
    const FolderItemPtr& current = libraryManager.folderManager.current;
    if (folderLabel != nullptr) {
        // Without a current folder there is nothing to name.
        folderLabel->setText(current == nullptr
                                 ? QString()
                                 : QStringLiteral("%1 (%2)")
                                       .arg(QString::fromStdString(current->label))
                                       .arg(libraryManager.fileManager.currentView().size()));
    }
    applyLibraryViewPlaceHolder();
    updateFolderControls();
}

void projectViewController::applyLibraryViewPlaceHolder() {
    FileManager& files = libraryManager.fileManager;
    const FolderItemPtr& current = libraryManager.folderManager.current;
    const std::string id = current != nullptr ? current->id : std::string();
    if (!files.currentView().empty()) {
        placeholderName_ = files.isFiltered && files.filtered.empty() ? "emptywithFilter" : "";
    } else if (id == FolderManager::home) {
        placeholderName_ = "emptyHome";
    } else if (id == FolderManager::favourite) {
        placeholderName_ = "emptyFav";
    } else if (id == FolderManager::encrypted) {
        placeholderName_ = "emptyEncrypted";
    } else {
        placeholderName_ = "empty";
    }
    if (placeholderImage == nullptr) {
        return;
    }
    if (placeholderName_.empty()) {
        placeholderImage->hide();
        placeholderImage->clear();
    } else {
        placeholderImage->setPixmap(platform::ui::pixmapNamed(placeholderName_));
        placeholderImage->show();
    }
}

void projectViewController::updateFolderControls() {
    const FolderItemPtr& current = libraryManager.folderManager.current;
    const bool enabled = current == nullptr || !current->isCloudFolder;
    for (QToolButton* button :
         {addNewFolderButton.data(), deleteFolderButton.data(), editFolderButton.data()}) {
        if (button != nullptr) {
            button->setEnabled(enabled);
        }
    }
}

void projectViewController::deleteLibraryFolder() {
    // A running process works on the shown entries; they must not vanish under it.
    if (refusedWhileBusy("Could not delete folder")) {
        return;
    }
    libraryManager.deleteLibraryFolder();
    updateStatus();
}

void projectViewController::newLibraryFolder(const FolderItemPtr& folder,
                                             const FolderItemPtr& parent) {
    if (refusedWhileBusy(changeRefused)) {
        return;
    }
    libraryManager.newLibraryFolder(folder, parent);
}

void projectViewController::editLibraryFolder(const FolderItemPtr& folder) {
    if (refusedWhileBusy(changeRefused)) {
        return;
    }
    libraryManager.editLibraryFolder(*folder);
}

bool projectViewController::shouldPerformSegueWithIdentifier(const std::string& identifier,
                                                             QObject* sender) {
    if (identifier == newFolderSegue || identifier == editFolderSegue) {
        if (refusedWhileBusy(changeRefused)) {
            return false;
        }
        // The folder buttons are disabled there, but the menu's command is not.
        const FolderItemPtr& current = libraryManager.folderManager.current;
        if (identifier == newFolderSegue && current != nullptr && current->isCloudFolder) {
            warningAlert("You cannot add a library folder to a cloud folder");
            return false;
        }
    }
    return ViewController::shouldPerformSegueWithIdentifier(identifier, sender);
}

void projectViewController::prepareNewLibraryFolder(platform::ui::StoryboardSegue& segue) {
    if (auto* sheet = segue.destinationAs<FolderViewController>()) {
        sheet->delegate = this;
        sheet->parent = libraryManager.folderManager.getSelectedFolder(true);
    }
}

void projectViewController::prepareEditLibraryFolder(platform::ui::StoryboardSegue& segue) {
    if (auto* sheet = segue.destinationAs<FolderViewController>()) {
        sheet->delegate = this;
        sheet->folder = libraryManager.folderManager.getSelectedFolder(true);
    }
}

}  // namespace m2
