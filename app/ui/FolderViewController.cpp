#include "app/ui/FolderViewController.h"

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "app/services/Alerts.h"
#include "app/ui/BusyRefusal.h"
#include "platform/ui/Images.h"
#include "ui_FolderViewController.h"

namespace m2 {

FolderViewController::FolderViewController() : ui_(std::make_unique<Ui::FolderViewController>()) {
    setTitle(QStringLiteral("Library folder"));
}

FolderViewController::~FolderViewController() = default;

void FolderViewController::loadView() {
    auto* view = new QWidget;
    ui_->setupUi(view);
    folderNameText = ui_->folderNameText;
    okButton = ui_->okButton;
    cancelButton = ui_->cancelButton;
    setView(view);
}

void FolderViewController::viewDidLoad() {
    ui_->folderIcon->setPixmap(platform::ui::pixmapNamed("folder-16", QSize(32, 32)));
    connect(okButton, &QPushButton::clicked, this, [this] { OnAddNewFolder(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
    if (folder != nullptr) {
        editMode = true;
        folderNameText->setText(QString::fromStdString(folder->label));
        okButton->setText(QStringLiteral("Update"));
    }
}

void FolderViewController::OnAddNewFolder() {
    // Blanks count as characters: only a field with nothing in it is refused.
    const std::string name = folderNameText->text().toStdString();
    if (name.empty()) {
        warningAlert("Please enter a valid folder name");
        return;
    }
    // A process started while the sheet was up: the folder stays as it was.
    if (refusedWhileBusy("Could not change library folders.")) {
        dismissController();
        return;
    }
    if (editMode) {
        folder->label = name;
        if (delegate != nullptr) {
            delegate->editLibraryFolder(folder);
        }
    } else if (parent != nullptr) {
        // Without a selected parent folder there is nowhere to put the new one: the sheet
        // closes and nothing is made.
        auto made = std::make_shared<FolderItem>(name, parent->id, "folder-16");
        if (delegate != nullptr) {
            delegate->newLibraryFolder(made, parent);
        }
    }
    dismissController();
}

void FolderViewController::OnCancel() {
    dismissController();
}

}  // namespace m2
