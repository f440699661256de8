#pragma once

#include "app/notes/NoteItem.h"

namespace m2 {

// How the note editor and the notes setup sheet report back; they store nothing themselves.
class NoteDelegate {
  public:
    virtual ~NoteDelegate() = default;
    // A new note was made; store it. False when it could not be stored (the user was told
    // why): the editor stays open with what was typed.
    virtual bool newNoteItem(const NoteItemPtr& note) = 0;
    // This note, already changed in place, was edited; store the change. False as above.
    virtual bool editNoteItem(const NoteItemPtr& note) = 0;
    // The notes file has been created or chosen.
    virtual void secureNoteSetupComplete() = 0;
};

}  // namespace m2
