// The main controller's notes view: switching to it and handing note changes to the notes
// store.
#include <QSplitter>

#include <algorithm>
#include <cstdint>

#include "app/services/Alerts.h"
#include "app/ui/CollectionViewItem.h"
#include "app/ui/NotesSetupController.h"
#include "app/ui/projectViewController.h"

namespace m2 {

namespace {

constexpr const char* tileIdentifier = "CollectionViewItem";

}  // namespace

void projectViewController::wireNotesView() {
    notesView->registerItem(tileIdentifier, [] { return std::make_unique<CollectionViewItem>(); });
    notesView->setItemSize(QSize(128, 104));
    notesView->setSectionInset(QMargins(20, 30, 20, 10));  // left, top, right, bottom
    notesView->setMinimumInteritemSpacing(10);
    notesView->setMinimumLineSpacing(10);
    notesView->setBackgroundColor(Qt::white);
    notesView->setAllowsMultipleSelection(true);
    notesView->setDataSource(this);
    notesView->setDelegate(this);
    noteManager.notesView = std::make_shared<platform::ui::QtCollectionView>(notesView);
    notesView->reloadData();
}

void projectViewController::showNotes() {
    if (noteManager.hasBeenSetup() && noteManager.cannotOpenNotesFile()) {
        // As after a reset of the master password: the old file stays, a new place is chosen.
        warningAlert("Could not open your secure notes",
                     "The notes file " + noteManager.notesFileLocation +
                         " could not be opened with the current master password. It is kept "
                         "as it is; choose a new place for your notes in the next step.");
        performSegueIfDefined("notesSetupSegue", nullptr);
        return;
    }
    if (noteManager.hasBeenSetup() && noteManager.notesFileDamaged()) {
        // Notes may still be in it: it is neither shown as empty nor written over.
        warningAlert("Your secure notes file is damaged",
                     "The notes file " + noteManager.notesFileLocation +
                         " could not be read as notes. It is kept as it is; choose a new place "
                         "for your notes in the next step.");
        performSegueIfDefined("notesSetupSegue", nullptr);
        return;
    }
    if (!noteManager.hasBeenSetup()) {
        performSegueIfDefined("notesSetupSegue", nullptr);
        return;
    }
    if (librarySplitView != nullptr) {
        librarySplitView->hide();
    }
    if (notesView != nullptr) {
        notesView->show();
    }
    if (platform::ui::Toolbar* bar = toolbar()) {
        toolbarOrganiser.noteView(bar);
    }
    showMenuItems({1001}, {1002, 1003});
}

void projectViewController::secureNoteSetupComplete() {
    // The store reloads the grid when the file gives it notes; else the grid already shows
    // the list it keeps.
    noteManager.load();
    showNotes();
}

bool projectViewController::newNoteItem(const NoteItemPtr& note) {
    if (!noteManager.newNote(note)) {
        return false;
    }
    if (noteManager.notesView != nullptr) {
        noteManager.notesView->reloadData();
    }
    return true;
}

bool projectViewController::editNoteItem(const NoteItemPtr& note) {
    return noteManager.updateNote(note);
}

void projectViewController::updateNote(const NoteItemPtr& note) {
    (void)noteManager.updateNote(note);
}

void projectViewController::deleteSelectedNoteItems() {
    noteManager.deleteSelectedNoteItems();
}

void projectViewController::deleteNoteItem(const NoteItemPtr& note) {
    noteManager.deleteNoteItem(note);
}

void projectViewController::prepareNotesSetup(platform::ui::StoryboardSegue& segue) {
    if (auto* sheet = segue.destinationAs<NotesSetupController>()) {
        sheet->noteManager = &noteManager;
        sheet->delegate = this;
    }
}

std::size_t projectViewController::numberOfSections(platform::ui::CollectionViewWidget&) {
    return static_cast<std::size_t>(std::max<std::int64_t>(noteManager.sections(), 0));
}

std::size_t projectViewController::numberOfItemsInSection(platform::ui::CollectionViewWidget&,
                                                          std::size_t section) {
    return static_cast<std::size_t>(std::max<std::int64_t>(
        noteManager.numberOfItemsInSection(static_cast<std::int64_t>(section)), 0));
}

platform::ui::CollectionViewItem* projectViewController::itemForIndexPath(
    platform::ui::CollectionViewWidget& view, const platform::IndexPath& path) {
    platform::ui::CollectionViewItem* item = view.makeItemWithIdentifier(tileIdentifier, path);
    auto* tile = dynamic_cast<CollectionViewItem*>(item);
    if (tile == nullptr) {
        return item;
    }
    tile->showNoteItem(noteManager.sectionNote(path));
    const platform::IndexPathSet& selection = view.selectionIndexPaths();
    tile->setHighlight(!selection.empty() && *selection.begin() == path);
    return tile;
}

namespace {

// The tile of the first changed position, when the grid shows one.
CollectionViewItem* firstTile(platform::ui::CollectionViewWidget& view,
                              const platform::IndexPathSet& paths) {
    return paths.empty() ? nullptr
                         : dynamic_cast<CollectionViewItem*>(view.itemAtIndexPath(*paths.begin()));
}

}  // namespace

void projectViewController::didSelectItemsAtIndexPaths(platform::ui::CollectionViewWidget& view,
                                                       const platform::IndexPathSet& paths) {
    if (CollectionViewItem* tile = firstTile(view, paths)) {
        tile->setHighlight(true);
    }
}

void projectViewController::didDeselectItemsAtIndexPaths(platform::ui::CollectionViewWidget& view,
                                                         const platform::IndexPathSet& paths) {
    if (CollectionViewItem* tile = firstTile(view, paths)) {
        tile->setHighlight(false);
    }
}

}  // namespace m2
