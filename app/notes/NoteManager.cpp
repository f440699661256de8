#include "app/notes/NoteManager.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <system_error>

#include "Sealkit/SealkitFacade.h"
#include "app/library/RekeyingJournal.h"
#include "app/notes/NoteReader.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Result.h"
#include "app/services/Settings.h"
#include "platform/AtomicWrite.h"

namespace m2 {
namespace {

constexpr const char* couldNotSave = "Could not save Note file";
// The name the engine gives the sealed notes file made from a plain name.
constexpr const char* sealedExtension = ".m2p";

// The first note of the list with the note's id.
std::vector<NoteItemPtr>::iterator findById(std::vector<NoteItemPtr>& list,
                                            const NoteItemPtr& note) {
    return std::find_if(list.begin(), list.end(),
                        [&](const NoteItemPtr& item) { return item->id == note->id; });
}

// Renames without ever replacing a file at `to`.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a second name, then the first goes.
    return ::link(from.c_str(), to.c_str()) == 0 && ::unlink(from.c_str()) == 0;
}

// "<folder>/M2_SecureNotes.m2n damaged 2026-01-31 09.15.00.m2p" for
// "<folder>/M2_SecureNotes.m2n.m2p": still an encrypted notes file by its name, dated so the
// user knows which it was.
std::string datedName(const std::string& path, int attempt) {
    const std::filesystem::path file(path);
    std::string stem = file.stem().string();
    const std::string extension = file.extension().string();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H.%M.%S", &local);
    stem += std::string(" damaged ") + date;
    if (attempt > 0) {
        stem += " (" + std::to_string(attempt) + ")";
    }
    return (file.parent_path() / (stem + extension)).string();
}

// Moves the file to a dated name beside it; the new name, or empty when it stays.
std::string setAside(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string aside = datedName(path, attempt);
        if (renameNoReplace(path, aside)) {
            return aside;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

}  // namespace

NoteManager::NoteManager() : notesFileLocation(Settings::instance().NotesPath()) {}

void NoteManager::setup() {
    load();
}

bool NoteManager::hasBeenSetup() const {
    std::error_code ec;
    return !notesFileLocation.empty() &&
           std::filesystem::exists(std::filesystem::symlink_status(notesFileLocation, ec));
}

std::int64_t NoteManager::sections() const {
    return showSections ? sectionsInternal : 1;
}

bool NoteManager::createNotesFile(const std::string& path) {
    if (const auto written = platform::writeFileAtomically(path, ""); !written) {
        std::printf("%s\n", written.message.c_str());
        return false;
    }
    const PasswordCredentials& credentials = PasswordCredentials::instance();
    const std::string hint = credentials.hint();
    // Never a scrambled name or a hidden extension, whatever the settings say: the notes file
    // must stay recognisable.
    Encryptor encryptor(credentials.password().view(), hint, false, false);
    // The damaged file in the new file's place goes aside, never under it.
    std::string aside;
    if (fileUnreadable_ && path + sealedExtension == notesFileLocation) {
        aside = setAside(notesFileLocation);
        if (aside.empty()) {
            std::printf("Could not set the damaged notes file %s aside\n",
                        notesFileLocation.c_str());
            std::error_code ec;
            std::filesystem::remove(path, ec);
            return false;
        }
    }
    const Result result(encryptor.encryptFileOutcome(path, hint));
    if (result.status) {
        setNotesFile(result.path);
        return true;
    }
    if (!aside.empty() && !renameNoReplace(aside, notesFileLocation)) {
        std::printf("The damaged notes file is kept as %s\n", aside.c_str());
    }
    warningAlert(couldNotSave);
    std::error_code ec;
    std::filesystem::remove(path, ec);  // the empty plain file, so nothing looks set up
    return false;
}

void NoteManager::setNotesFile(const std::string& path) {
    notesFileLocation = path;
    Settings::instance().setNotesPath(path);
    fileUnreadable_ = false;  // another file: judged again when it is loaded
    notOpened_ = false;
    loggedInPasswordFollows();
}

void NoteManager::loggedInPasswordFollows() {
    fileKeySet_ = false;
    filePassword_.clear();
    fileHint_.clear();
}

void NoteManager::rekeyingStarts() {
    rekeying_ = true;
    heldSave_ = false;
}

void NoteManager::rekeyingEnded(bool rekeyed, std::string_view password, const std::string& hint) {
    rekeying_ = false;
    if (rekeyed) {
        fileKeySet_ = true;
        filePassword_ = Secret(password);
        fileHint_ = hint;
    }
    if (notOpened_ || fileUnreadable_) {
        heldSave_ = false;
        load();  // as when a stopped change is finished: the notes are readable now
        return;
    }
    if (heldSave_) {
        heldSave_ = false;
        save();
    }
}

std::string NoteManager::whyNotWritable() const {
    if (rekeying_ && (notOpened_ || fileUnreadable_)) {
        return "Your notes are being moved to your current master password. Try again in a "
               "moment; what you wrote stays in the editor.";
    }
    if (fileUnreadable_) {
        return "Your notes file is damaged. It is kept as it is, so nothing can be saved to "
               "it; what you wrote stays in the editor.";
    }
    if (!notOpened_) {
        return {};
    }
    const auto journal = readRekeyingJournal(rekeyingJournalPath());
    if (journal && !journal->notesPath.empty() && journal->notesPath == notesFileLocation) {
        return "Your notes are still under your previous master password. Finish the change "
               "of your master password first; what you wrote stays in the editor.";
    }
    return "Your notes file does not open with your current master password, so nothing can "
           "be saved to it; what you wrote stays in the editor.";
}

bool NoteManager::refuseUnwritable() const {
    const std::string why = whyNotWritable();
    if (why.empty()) {
        return false;
    }
    warningAlert(couldNotSave, why);
    return true;
}

void NoteManager::unload() {
    if (!saved_) {
        save();
    }
    if (!saved_) {
        heldUnsaved_ = notes;
    }
    heldElsewhere_.assign(notes.begin(), notes.end());
    unloaded_ = true;
    unloadedGeneration_ = PasswordCredentials::masterPasswordGeneration();
    loggedInPasswordFollows();  // the next log-on brings the password the file opens with
    notes.clear();
    saved_ = true;
    rebuildIndex();
    reloadView();
}

void NoteManager::load() {
    if (unloaded_) {
        unloaded_ = false;
        if (PasswordCredentials::masterPasswordGeneration() != unloadedGeneration_) {
            heldElsewhere_.clear();  // another master password: nothing of it comes back
        } else if (!heldUnsaved_.empty()) {
            notes = std::move(heldUnsaved_);
            saved_ = false;
            rebuildIndex();
            reloadView();  // shown again even when the retried save below fails
        }
        heldUnsaved_.clear();
    }
    if (!hasBeenSetup() || rekeying_) {
        return;  // nothing there, or lent to a re-keying that loads it when done
    }
    if (!saved_) {
        save();
        if (!saved_) {
            return;  // the list in memory is newer than the file
        }
    }
    NoteReader::LoadOutcome loaded =
        fileKeySet_ ? NoteReader::loadOutcome(notesFileLocation, filePassword_.view(), fileHint_)
                    : NoteReader::loadOutcome(notesFileLocation);
    notOpened_ = loaded.notOpened;
    if (loaded.damaged) {
        fileUnreadable_ = true;
    }
    if (!loaded.notes) {
        return;
    }
    fileUnreadable_ = false;
    notes = keepHeldObjects(std::move(*loaded.notes));
    heldElsewhere_.clear();
    rebuildIndex();
    reloadView();
}

void NoteManager::save() {
    if (rekeying_) {
        heldSave_ = true;  // made when the re-keying hands the file back
        saved_ = false;
        return;
    }
    // A file whose notes were not read may still hold them: never replace it.
    if (refuseUnwritable()) {
        saved_ = false;
        return;
    }
    saved_ = fileKeySet_
                 ? NoteReader::save(notes, notesFileLocation, filePassword_.view(), fileHint_)
                 : NoteReader::save(notes, notesFileLocation);
    if (!saved_) {
        warningAlert(couldNotSave);
    }
}

NoteItemPtr NoteManager::sectionNote(const platform::IndexPath& indexPath) const {
    const std::vector<NoteItemPtr>* list = &notes;
    if (showSections) {
        const auto key = sectionKeys.find(static_cast<std::int64_t>(indexPath.section));
        if (key == sectionKeys.end()) {
            return nullptr;
        }
        const auto found = notes2.find(key->second);
        if (found == notes2.end()) {
            return nullptr;
        }
        list = &found->second;
    }
    return indexPath.item < list->size() ? (*list)[indexPath.item] : nullptr;
}

std::int64_t NoteManager::numberOfItemsInSection(std::int64_t section) const {
    if (!showSections) {
        return static_cast<std::int64_t>(notes.size());
    }
    const auto key = sectionKeys.find(section);
    if (key == sectionKeys.end()) {
        return 0;
    }
    const auto found = notes2.find(key->second);
    return found == notes2.end() ? 0 : static_cast<std::int64_t>(found->second.size());
}

bool NoteManager::newNote(const NoteItemPtr& note) {
    if (refuseUnwritable()) {
        return false;
    }
    notes.push_back(note);
    addToIndex(note);
    save();
    return true;
}

bool NoteManager::deleteNote(const NoteItemPtr& noteRef) {
    // The caller may pass an element of the list this erases from.
    const NoteItemPtr note = noteRef;
    bool foundInIndex = false;
    if (const auto list = notes2.find(note->category.asString()); list != notes2.end()) {
        if (const auto it = findById(list->second, note); it != list->second.end()) {
            list->second.erase(it);
            foundInIndex = true;
        }
    }
    const auto it = findById(notes, note);
    if (it == notes.end()) {
        return false;
    }
    notes.erase(it);
    deletedIds_.insert(note->id);
    if (foundInIndex) {
        save();
    }
    return true;
}

bool NoteManager::updateNote(const NoteItemPtr& note) {
    if (refuseUnwritable()) {
        return false;
    }
    if (findById(notes, note) == notes.end()) {
        if (deletedIds_.count(note->id) != 0) {
            return true;  // deleted by the user while its editor was open: it stays deleted
        }
        if (!yesNoAlert("This note is no longer in your notes file",
                        "Keep the text you wrote as a new note?", DefaultAnswer::yes)) {
            return true;
        }
        // A new identity, so the old note's tile and any later copy of it stay apart.
        auto kept = std::make_shared<NoteItem>();
        kept->label = note->label;
        kept->content = note->content;
        kept->category = note->category;
        notes.push_back(kept);
    }
    rebuildIndex();
    save();
    reloadView();
    return true;
}

void NoteManager::deleteSelectedNoteItems() {
    const platform::IndexPathSet selection =
        notesView ? notesView->selectionIndexPaths() : platform::IndexPathSet{};
    if (selection.empty()) {
        warningAlert("Please select a note to delete");
        return;
    }
    if (!yesNoAlert("Are you sure you would like to delete the selected notes?", "")) {
        return;
    }
    // Positions shift as notes go, so every note is found before the first is deleted.
    std::vector<NoteItemPtr> selected;
    for (const auto& indexPath : selection) {
        if (NoteItemPtr note = sectionNote(indexPath)) {
            selected.push_back(std::move(note));
        }
    }
    for (const auto& note : selected) {
        deleteNoteItem(note);
    }
}

void NoteManager::deleteNoteItem(const NoteItemPtr& note) {
    if (!deleteNote(note)) {
        warningAlert("Could note remove note");
        return;
    }
    reloadView();
}

std::vector<NoteItemPtr> NoteManager::keepHeldObjects(std::vector<NoteItemPtr> loaded) const {
    std::map<std::string, NoteItemPtr> held;
    for (const auto& note : notes) {
        held.try_emplace(note->id, note);
    }
    for (const auto& weak : heldElsewhere_) {
        if (NoteItemPtr note = weak.lock()) {
            held.try_emplace(note->id, std::move(note));
        }
    }
    for (auto& note : loaded) {
        const auto found = held.find(note->id);
        if (found == held.end()) {
            continue;
        }
        NoteItemPtr kept = found->second;
        held.erase(found);  // one object stands for one note of the file
        kept->label = std::move(note->label);
        kept->content = std::move(note->content);
        kept->category = note->category;
        note = std::move(kept);
    }
    return loaded;
}

void NoteManager::addToIndex(const NoteItemPtr& note) {
    const std::string name = note->category.asString();
    auto [list, isNew] = notes2.try_emplace(name);
    if (isNew) {
        sectionKeys[static_cast<std::int64_t>(sectionKeys.size())] = name;
        ++sectionsInternal;
    }
    list->second.push_back(note);
}

void NoteManager::rebuildIndex() {
    notes2.clear();
    sectionKeys.clear();
    sectionsInternal = 0;
    // One look-up by name per category, not per note: the whole list is indexed at each load.
    std::array<std::vector<NoteItemPtr>*, NoteCategory::Category::allCases.size()> lists{};
    for (const auto& note : notes) {
        const auto raw = static_cast<std::size_t>(note->category.rawValue());
        if (raw >= lists.size()) {
            addToIndex(note);
            continue;
        }
        if (lists[raw] == nullptr) {
            addToIndex(note);
            lists[raw] = &notes2[note->category.asString()];
            continue;
        }
        lists[raw]->push_back(note);
    }
}

void NoteManager::reloadView() const {
    if (notesView) {
        notesView->reloadData();
    }
}

}  // namespace m2
