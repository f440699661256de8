#pragma once

#include <QPointer>

#include <memory>
#include <optional>

#include "app/notes/NoteItem.h"
#include "app/ui/EditedText.h"
#include "app/ui/NoteDelegate.h"
#include "platform/ui/ViewController.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace Ui {
class NoteItemViewController;
}

namespace m2 {

// The note editor sheet (storyboard id "noteItemController"): a title, the note's text and
// its category. It stores nothing: OK hands the new or changed note to its delegate. The
// presenter sets viewMode, noteToEdit and delegate before the sheet is shown.
class NoteItemViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    // `new` is a keyword here, so the creating mode is new_.
    enum class ViewMode { new_ = 0, edit = 1, view = 2 };
    // The mode of a raw value; absent for any but 0, 1 and 2.
    [[nodiscard]] static std::optional<ViewMode> viewModeFromRaw(int raw);

    NoteItemViewController();
    ~NoteItemViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QLineEdit> noteTitle;
    QPointer<QPlainTextEdit> noteContents;
    QPointer<QLabel> noteWindowTitle;
    QPointer<QLabel> noteImage;
    QPointer<QComboBox> categoryCombo;  // entry index = the category's raw value
    QPointer<QPushButton> okButton;

    NoteItemPtr noteToEdit;            // the note shown in modes edit and view
    std::optional<ViewMode> viewMode;  // absent until the presenter sets it
    NoteDelegate* delegate = nullptr;  // the main controller, which outlives its sheets

    void OnClose(QObject* sender);
    // Fills the sheet for its mode.
    void viewDidLoad() override;
    // Creates or updates the note and hands it to the delegate; an empty title is refused.
    void OnOk(QObject* sender);

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::NoteItemViewController> ui_;
    // The shown note's text and title as they were filled in, so what the user leaves alone
    // goes back exactly as it was stored.
    std::optional<EditedText> shownText_;
    QString rawTextAtLoad_;
    QString titleAtLoad_;
};

}  // namespace m2
