#include "app/ui/CollectionViewItem.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <map>
#include <string>

#include "app/services/Alerts.h"
#include "app/ui/NoteItemViewController.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/Storyboard.h"
#include "ui_CollectionViewItem.h"

namespace m2 {
namespace {

constexpr qreal selectedBorderWidth = 2.5;
constexpr int pictureSize = 48;

// The eleven category pictures, drawn once: tiles are filled again as the grid scrolls.
// Pixmaps live on the main thread only, and so does this cache.
const QPixmap& categoryPicture(const std::string& name) {
    static std::map<std::string, QPixmap> drawn;
    auto [found, isNew] = drawn.try_emplace(name);
    if (isNew) {
        found->second = platform::ui::pixmapNamed(name, QSize(pictureSize, pictureSize));
    }
    return found->second;
}

}  // namespace

void NoteTileView::setBorderWidth(qreal width) {
    borderWidth_ = width;
    update();
}

void NoteTileView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (borderWidth_ > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(Qt::black);
        pen.setWidthF(borderWidth_);
        painter.setPen(pen);
        const qreal inset = borderWidth_ / 2;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
}

CollectionViewItem::CollectionViewItem() = default;
CollectionViewItem::~CollectionViewItem() = default;

void CollectionViewItem::loadView() {
    auto* view = new NoteTileView;
    ui_ = std::make_unique<Ui::CollectionViewItem>();
    ui_->setupUi(view);
    noteTitle = ui_->noteTitle;
    imageFile = ui_->imageFile;
    ui_->viewButton->setIcon(platform::ui::iconNamed("editNote"));
    ui_->deleteButton->setIcon(platform::ui::iconNamed("deleteNote"));
    connect(ui_->viewButton, &QPushButton::clicked, this, [this] { OnViewNote(ui_->viewButton); });
    connect(ui_->deleteButton, &QPushButton::clicked, this,
            [this] { OnDeleteNote(ui_->deleteButton); });
    setView(view);
}

void CollectionViewItem::viewDidLoad() {
    setHighlight(false);
}

NoteTileView* CollectionViewItem::tileView() {
    return isViewLoaded() ? static_cast<NoteTileView*>(view()) : nullptr;
}

void CollectionViewItem::showNoteItem(const NoteItemPtr& note) {
    loadViewIfNeeded();
    thisNote = note;
    if (note == nullptr) {
        imageFile->clear();
        noteTitle->clear();
        ui_->viewButton->setEnabled(false);
        ui_->deleteButton->setEnabled(false);
        return;
    }
    imageFile->setPixmap(categoryPicture(note->category.image()));
    noteTitle->setText(QString::fromStdString(note->label));
    noteTitle->setToolTip(noteTitle->text());
    ui_->viewButton->setEnabled(true);
    ui_->deleteButton->setEnabled(true);
}

void CollectionViewItem::setHighlight(bool selected) {
    if (NoteTileView* tile = tileView()) {
        tile->setBorderWidth(selected ? selectedBorderWidth : 0);
    }
}

void CollectionViewItem::OnDeleteNote(QObject*) {
    if (!yesNoAlert("Are you sure you would like to delete this note?", "")) {
        return;
    }
    deleteNote();
}

void CollectionViewItem::OnViewNote(QObject*) {
    showNote();
}

void CollectionViewItem::deleteNote() {
    auto* main = dynamic_cast<projectViewController*>(
        platform::ui::Application::instance().mainWindowContentViewController());
    if (main != nullptr && thisNote != nullptr) {
        main->deleteNoteItem(thisNote);
    }
}

void CollectionViewItem::showNote() {
    auto editor =
        platform::ui::Storyboard::main().instantiate<NoteItemViewController>("noteItemController");
    platform::ui::Application& application = platform::ui::Application::instance();
    if (editor == nullptr || application.mainWindow() == nullptr || thisNote == nullptr) {
        return;
    }
    editor->viewMode = NoteItemViewController::ViewMode::edit;
    editor->noteToEdit = thisNote;
    editor->delegate = dynamic_cast<NoteDelegate*>(application.mainWindowContentViewController());
    presentViewControllerAsSheet(std::move(editor));
}

}  // namespace m2
