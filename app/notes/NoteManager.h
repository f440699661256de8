#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/Secret.h"
#include "app/library/NotesFileOwner.h"
#include "app/notes/NoteItem.h"
#include "platform/CollectionView.h"

namespace m2 {

// The user's secure notes while the main window is open: the list read from the notes file,
// an index of the notes by category for the notes grid, and the file's path. Every change is
// written through to the notes file at once. Main thread only.
//
// Nothing typed is lost: a save that fails tells the user and keeps the list in memory,
// marked as not saved, and a later load first tries that save again and never replaces the
// unsaved list with the file's older one. A damaged notes file is never written over, so
// notes it may still hold survive; a new file made in its place sets it aside first. Nor is
// a file that does not open with the password: a list that did not come from the file never
// replaces it.
//
// It alone reads and writes the notes file, and lends it to a change of the master password
// for the time of its re-keying: a save meanwhile is held and made when the file comes back.
class NoteManager : public NotesFileOwner {
  public:
    // Takes the notes file's path from the settings.
    NoteManager();

    std::vector<NoteItemPtr> notes;                          // file order
    std::int64_t sectionsInternal = 0;                       // sections of the index
    std::map<std::int64_t, std::string> sectionKeys;         // section -> category name
    std::map<std::string, std::vector<NoteItemPtr>> notes2;  // category name -> notes
    bool showSections = false;                               // one section per category
    bool notesFileLoaded = false;                            // read by nobody
    std::string notesFileLocation;                           // full path of the notes file
    std::shared_ptr<platform::CollectionView> notesView;     // the notes grid

    // Loads the notes file; called once a log-in has succeeded.
    void setup();
    // At a lock: the decrypted notes leave the list, the index and the grid. A list whose
    // save failed is held back for the next load, and only a log-on with the same master
    // password (no new one stored meanwhile) gets it again; so do the editors open on it.
    void unload();
    // True when something exists at the notes file's path.
    [[nodiscard]] bool hasBeenSetup() const;
    // The grid's sections: one per category with showSections, else 1.
    [[nodiscard]] std::int64_t sections() const;

    // Makes a new empty notes file, sealed under the logged-in password, from the plain file
    // `path` and adopts the path the encryption reports. False when the empty file cannot be
    // written, or (after telling the user) when it cannot be encrypted; then the location is
    // unchanged and no plain file is left at `path`. A damaged notes file in the new file's
    // place is first set aside beside it under a dated name, byte for byte.
    [[nodiscard]] bool createNotesFile(const std::string& path);
    // Adopts an existing notes file; the settings hold `path` at once. Nothing is loaded.
    void setNotesFile(const std::string& path);
    // Reads the notes file into the list and the index, then reloads the grid. A file that
    // cannot be read changes nothing; neither does one while the list is not saved and
    // saving it again fails. A note still in the file keeps its object (matched by id, its
    // fields taken from the file), so an editor open across a reload edits the stored note.
    void load();
    // True after a load found the notes file but could not decrypt it with the current
    // password (as after a reset of the master password); false again once another file is
    // set up or a load opens it.
    [[nodiscard]] bool cannotOpenNotesFile() const { return notOpened_; }
    // True after a load found the notes file damaged (it decrypts to something that is not
    // a notes document, or is not a whole encrypted file); it is kept as it is and never
    // written over. False again once another file is set up or a load reads it.
    [[nodiscard]] bool notesFileDamaged() const { return fileUnreadable_; }
    // Writes the whole list to the notes file; a failure tells the user and marks the list
    // as not saved. While the file is being re-keyed the save is held (the list counts as
    // not saved) and made once the re-keying ends.
    void save();
    // Why nothing can be saved to the notes file now, in the user's words: its list did not
    // come from it (it is damaged, or does not open with the password). Empty when it can.
    [[nodiscard]] std::string whyNotWritable() const;
    // False after a save that failed, until one succeeds.
    [[nodiscard]] bool isSaved() const { return saved_; }

    // The note at a grid position; null when there is none.
    [[nodiscard]] NoteItemPtr sectionNote(const platform::IndexPath& indexPath) const;
    [[nodiscard]] std::int64_t numberOfItemsInSection(std::int64_t section) const;

    // Appends the note and saves; the caller reloads the grid. False, after telling the
    // user why, when nothing can be saved to the notes file: the list is unchanged and the
    // editor keeps what was typed.
    [[nodiscard]] bool newNote(const NoteItemPtr& note);
    // Removes the note with the same id and saves; false when there is none (nothing saved).
    // No question, no message, no reload.
    [[nodiscard]] bool deleteNote(const NoteItemPtr& note);
    // The note was changed in place: rebuilds the index, saves and reloads the grid. The
    // note keeps its place in the list. A note the user deleted stays deleted; one that
    // went from the file at a reload is not brought back silently: the user may keep its
    // text as a new note. False, as for newNote, when nothing can be saved to the file.
    [[nodiscard]] bool updateNote(const NoteItemPtr& note);
    // Deletes the notes selected in the grid after asking the user.
    void deleteSelectedNoteItems();
    // deleteNote, telling the user when the note is not in the list, else reloading the grid.
    void deleteNoteItem(const NoteItemPtr& note);

    // NotesFileOwner: the notes file is lent to a change of the master password.
    void rekeyingStarts() override;
    void rekeyingEnded(bool rekeyed, std::string_view password, const std::string& hint) override;
    void loggedInPasswordFollows() override;
    // True while the notes file is lent out.
    [[nodiscard]] bool rekeying() const { return rekeying_; }

  private:
    [[nodiscard]] bool refuseUnwritable() const;
    void addToIndex(const NoteItemPtr& note);
    void rebuildIndex();
    void reloadView() const;
    // The loaded list, with the objects of notes already held in place of their copies.
    [[nodiscard]] std::vector<NoteItemPtr> keepHeldObjects(std::vector<NoteItemPtr> loaded) const;

    bool saved_ = true;
    // Lent to a re-keying; a save came meanwhile.
    bool rekeying_ = false;
    bool heldSave_ = false;
    // The password and hint the file was re-keyed to, until the logged-in ones follow; none:
    // the logged-in ones.
    bool fileKeySet_ = false;
    Morvane::Security::Secret filePassword_;
    std::string fileHint_;
    // The notes file decrypted to something that is not a notes document.
    bool fileUnreadable_ = false;
    bool notOpened_ = false;
    // What unload left: the list if it was not saved, the notes an open editor still holds
    // (only their identity is kept here), and the master password it belongs to.
    bool unloaded_ = false;
    std::uint64_t unloadedGeneration_ = 0;
    std::vector<NoteItemPtr> heldUnsaved_;
    std::vector<std::weak_ptr<NoteItem>> heldElsewhere_;
    // Notes the user deleted: an editor still open on one must not bring it back.
    std::set<std::string> deletedIds_;
};

}  // namespace m2
