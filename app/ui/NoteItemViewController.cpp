#include "app/ui/NoteItemViewController.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "app/notes/NoteCategory.h"
#include "app/services/Alerts.h"
#include "platform/ui/Images.h"
#include "ui_NoteItemViewController.h"

namespace m2 {

std::optional<NoteItemViewController::ViewMode> NoteItemViewController::viewModeFromRaw(int raw) {
    if (raw < 0 || raw > 2) {
        return std::nullopt;
    }
    return static_cast<ViewMode>(raw);
}

NoteItemViewController::NoteItemViewController() = default;
NoteItemViewController::~NoteItemViewController() = default;

void NoteItemViewController::loadView() {
    auto* view = new QWidget;
    ui_ = std::make_unique<Ui::NoteItemViewController>();
    ui_->setupUi(view);
    noteTitle = ui_->noteTitle;
    noteContents = ui_->noteContents;
    noteWindowTitle = ui_->noteWindowTitle;
    noteImage = ui_->noteImage;
    categoryCombo = ui_->categoryCombo;
    okButton = ui_->okButton;
    // The entries follow the raw values, so an entry's index is its category.
    for (const NoteCategory::Category category : NoteCategory::Category::allCases) {
        categoryCombo->addItem(platform::ui::iconNamed(category.image()),
                               QString::fromStdString(category.asString()));
    }
    noteImage->setPixmap(platform::ui::pixmapNamed("newnote-32", QSize(32, 32)));
    connect(okButton, &QPushButton::clicked, this, [this] { OnOk(okButton); });
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { OnClose(ui_->closeButton); });
    setView(view);
}

void NoteItemViewController::viewDidLoad() {
    if (noteToEdit != nullptr) {
        if (viewMode == ViewMode::view) {
            noteContents->setReadOnly(true);
            noteTitle->setReadOnly(true);
            categoryCombo->setEnabled(false);
            okButton->setText("Close");
        } else if (viewMode == ViewMode::edit) {
            okButton->setText("Update");
            noteImage->setPixmap(platform::ui::pixmapNamed("editnote-32", QSize(32, 32)));
        }
        noteWindowTitle->setText("Edit your Secure note");
        shownText_.emplace(noteToEdit->content);
        noteContents->setPlainText(shownText_->shown());
        rawTextAtLoad_ = noteContents->document()->toRawText();
        titleAtLoad_ = QString::fromStdString(noteToEdit->label);
        noteTitle->setText(titleAtLoad_);
        categoryCombo->setCurrentIndex(noteToEdit->category.rawValue());
    }
    if (viewMode == ViewMode::new_) {
        okButton->setText("Create");
        categoryCombo->setCurrentIndex(
            NoteCategory::Category(NoteCategory::Category::NoCategory).rawValue());
    }
}

void NoteItemViewController::OnClose(QObject*) {
    dismissController();
}

void NoteItemViewController::OnOk(QObject*) {
    if (viewMode == ViewMode::view) {
        dismissController();
        return;
    }
    const QString titleNow = noteTitle->text();
    if (titleNow.isEmpty()) {
        warningAlert("Please enter a valid note title");
        return;
    }
    // The stored bytes where the user changed nothing; the document's raw text keeps the
    // special spaces and line separators its plain text would flatten.
    const bool shown = shownText_.has_value() && noteToEdit != nullptr;
    const std::string title =
        shown && titleNow == titleAtLoad_ ? noteToEdit->label : titleNow.toStdString();
    const QString rawText = noteContents->document()->toRawText();
    const std::string text = !shown ? EditedText("").result("", rawText)
                             : rawText == rawTextAtLoad_
                                 ? noteToEdit->content
                                 : shownText_->result(rawTextAtLoad_, rawText);
    const auto fill = [&](NoteItem& note) {
        note.label = title;
        note.content = text;
        if (const auto category =
                NoteCategory::Category::fromRawValue(categoryCombo->currentIndex())) {
            note.category = *category;
        }
    };
    if (viewMode == ViewMode::edit && noteToEdit != nullptr) {
        fill(*noteToEdit);
        if (delegate != nullptr && !delegate->editNoteItem(noteToEdit)) {
            return;  // not stored: what was typed stays here
        }
    } else if (viewMode == ViewMode::new_) {
        auto note = std::make_shared<NoteItem>();
        fill(*note);
        if (delegate != nullptr && !delegate->newNoteItem(note)) {
            return;
        }
    }
    dismissController();
}

}  // namespace m2
