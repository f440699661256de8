// The main controller's notes view: switching to it and handing note changes to the notes
// store.
#include <QSplitter>

#include "app/ui/projectViewController.h"

namespace m2 {

void projectViewController::showNotes() {
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
    noteManager.load();
    if (noteManager.notesView != nullptr) {
        noteManager.notesView->reloadData();
    }
    showNotes();
}

void projectViewController::newNoteItem(const NoteItemPtr& note) {
    noteManager.newNote(note);
    if (noteManager.notesView != nullptr) {
        noteManager.notesView->reloadData();
    }
}

void projectViewController::editNoteItem(const NoteItemPtr& note) {
    updateNote(note);
}

void projectViewController::updateNote(const NoteItemPtr& note) {
    noteManager.updateNote(note);
}

void projectViewController::deleteSelectedNoteItems() {
    noteManager.deleteSelectedNoteItems();
}

void projectViewController::deleteNoteItem(const NoteItemPtr& note) {
    noteManager.deleteNoteItem(note);
}

void projectViewController::prepareNotesSetup(platform::ui::StoryboardSegue&) {}

}  // namespace m2
