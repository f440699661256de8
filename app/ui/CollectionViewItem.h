#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

#include "app/notes/NoteItem.h"
#include "platform/ui/CollectionView.h"

class QLabel;

namespace Ui {
class CollectionViewItem;
}

namespace m2 {

// The face of a note tile: white, with a black border of the given width.
class NoteTileView : public QWidget {
    Q_OBJECT

  public:
    using QWidget::QWidget;
    void setBorderWidth(qreal width);
    [[nodiscard]] qreal borderWidth() const { return borderWidth_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal borderWidth_ = 0;
};

// One tile of the notes grid (layout "CollectionViewItem"): the note's category picture and
// title, a button that opens the note in the editor and one that deletes it.
class CollectionViewItem : public platform::ui::CollectionViewItem {
    Q_OBJECT

  public:
    CollectionViewItem();
    ~CollectionViewItem() override;

    // Outlets, present once the view has loaded.
    QPointer<QLabel> noteTitle;
    QPointer<QLabel> imageFile;
    NoteItemPtr thisNote;  // the note the tile stands for; null leaves the tile empty

    // Shows the note: its category's picture (not the note's own image name) and its title.
    void showNoteItem(const NoteItemPtr& note);

    void viewDidLoad() override;
    // Asks, then deletes the note through the main controller.
    void OnDeleteNote(QObject* sender);
    // Opens the note in the editor, as a sheet on the main window.
    void OnViewNote(QObject* sender);
    void deleteNote();
    void showNote();
    // The 2.5-point border of the selected tile.
    void setHighlight(bool selected);
    [[nodiscard]] NoteTileView* tileView();

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::CollectionViewItem> ui_;
};

}  // namespace m2
