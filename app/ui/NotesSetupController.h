#pragma once

#include <QPointer>

#include <memory>
#include <string>

#include "app/ui/NoteDelegate.h"
#include "platform/ui/ViewController.h"

class QCheckBox;
class QLineEdit;

namespace Ui {
class NotesSetupController;
}

namespace m2 {

class NoteManager;

// The notes setup sheet: where the notes file lives, a new one in the default place or in a
// folder the user picks, or an existing notes file taken over. The store makes or adopts the
// file; the sheet reports success through NoteDelegate and stays open on any failure.
class NotesSetupController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    NotesSetupController();
    ~NotesSetupController() override;

    // Outlets, present once the view has loaded.
    QPointer<QCheckBox> existingCheck;
    QPointer<QCheckBox> customCheck;
    QPointer<QCheckBox> defaultCheck;
    QPointer<QLineEdit> customFolderPath;
    QPointer<QLineEdit> existingFilePath;

    NoteManager* noteManager = nullptr;  // the main controller's, which outlives its sheets
    NoteDelegate* delegate = nullptr;

    void viewDidLoad() override;
    // The browse buttons: open panels that fill the text fields and tick nothing.
    void OnExistingFile(QObject* sender);
    void OnCustomLocation(QObject* sender);
    // The three boxes act as one choice: each clears the other two.
    void OnExisting(QObject* sender);
    void OnDefault(QObject* sender);
    void OnCustom(QObject* sender);
    // Creates or adopts the notes file for the ticked choice.
    void OnOk(QObject* sender);

  protected:
    void loadView() override;

  private:
    // A new notes file from the plain name `path`; a notes file already made there may be
    // taken over instead. False when nothing was set up.
    [[nodiscard]] bool createOrAdopt(const std::string& path);
    void setupComplete();

    std::unique_ptr<Ui::NotesSetupController> ui_;
};

}  // namespace m2
