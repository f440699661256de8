#pragma once

#include <QPointer>
#include <memory>

#include "app/library/FolderItem.h"
#include "app/ui/LibraryFunctionDelegate.h"
#include "platform/ui/ViewController.h"

class QLineEdit;
class QPushButton;

namespace Ui {
class FolderViewController;
}

namespace m2 {

// The sheet that names a new library folder or renames one. With `folder` set when the view
// loads it renames that folder ("Update"); otherwise it makes a folder under `parent`. The
// delegate passes the result on to the library model. Main thread only.
class FolderViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    FolderViewController();
    ~FolderViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> folderNameText;
    QPointer<QPushButton> okButton;
    QPointer<QPushButton> cancelButton;

    LibraryFunctionDelegate* delegate = nullptr;  // not owned; the segue's sender
    FolderItemPtr parent;
    FolderItemPtr folder;
    bool editMode = false;

    void viewDidLoad() override;
    // The OK button: checks the name, tells the delegate and closes the sheet.
    void OnAddNewFolder();
    void OnCancel();

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::FolderViewController> ui_;
};

}  // namespace m2
