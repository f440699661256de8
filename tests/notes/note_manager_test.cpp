#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/notes/NoteManager.h"
#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "platform/Paths.h"
#include "support/MemoryCollectionView.h"
#include "support/NotesTesting.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::NoteItem;
using m2::NoteItemPtr;
using m2::NoteManager;
using m2::NoteReader;
using m2::Settings;
using m2::platform::IndexPath;
using Category = m2::NoteCategory::Category;
using namespace m2::test;

namespace {

constexpr const char* kCouldNotSave = "Could not save Note file";

NoteItemPtr note(std::string label, Category category) {
    auto item = std::make_shared<NoteItem>();
    item->label = std::move(label);
    item->category = category;
    item->content = "text of " + item->label;
    return item;
}

class NoteManagerTest : public testing::Test {
  protected:
    void TearDown() override {
        EXPECT_TRUE(env_.workingFoldersEmpty()) << "nothing of the notes stays behind";
    }

    // A store set up on a new notes file in the notes folder, with a grid.
    std::unique_ptr<NoteManager> storeWithNewFile() {
        auto store = std::make_unique<NoteManager>();
        store->notesView = view_;
        EXPECT_TRUE(store->createNotesFile((env_.folder() / "M2_SecureNotes.m2n").string()));
        store->load();
        return store;
    }
    // The labels the notes file holds now, read by a fresh reader.
    [[nodiscard]] std::vector<std::string> stored(const NoteManager& store) const {
        const auto notes = NoteReader::load(store.notesFileLocation);
        return notes ? labelsOf(*notes) : std::vector<std::string>{"<absent>"};
    }
    [[nodiscard]] std::vector<std::string> alertTexts() const {
        std::vector<std::string> out;
        for (const auto& alert : env_.alerts().shown()) {
            out.push_back(alert.message);
        }
        return out;
    }

    NotesEnvironment env_;
    std::shared_ptr<MemoryCollectionView> view_ = std::make_shared<MemoryCollectionView>();
};

TEST_F(NoteManagerTest, FirstUseHasNoNotesFile) {
    NoteManager store;
    store.notesView = view_;
    EXPECT_EQ(store.notesFileLocation, "");
    EXPECT_FALSE(store.hasBeenSetup());
    store.setup();
    EXPECT_TRUE(store.notes.empty());
    EXPECT_EQ(view_->reloads(), 0);
}

// The new file is adopted by the path its encryption reported, in the default place and in
// a folder the user chose, whatever the file-name settings say.
TEST_F(NoteManagerTest, CreatesANotesFileAndWritesEveryChangeThrough) {
    Settings::instance().setEncryptFilenames(true);
    Settings::instance().setHideFileExtensions(true);
    ASSERT_TRUE(m2::platform::ensureBaseFolder());
    const fs::path places[] = {
        m2::platform::documentsFolder().string() + m2::LibraryManager::noteFilename,
        env_.folder().string() + m2::LibraryManager::noteFilenameOnly};
    for (const fs::path& place : places) {
        SCOPED_TRACE(place);
        NoteManager store;
        store.notesView = view_;
        ASSERT_TRUE(store.createNotesFile(place.string()));
        const std::string sealed = place.string() + ".m2p";
        EXPECT_EQ(store.notesFileLocation, sealed);
        EXPECT_EQ(Settings::instance().NotesPath(), sealed);
        EXPECT_FALSE(pathExists(place)) << "no plain file beside the notes file";
        EXPECT_TRUE(store.hasBeenSetup());

        store.load();
        EXPECT_TRUE(store.notes.empty());
        EXPECT_TRUE(store.newNote(note("first", Category::Work)));
        EXPECT_EQ(stored(store), std::vector<std::string>{"first"});
        EXPECT_TRUE(store.isSaved());
    }
    EXPECT_TRUE(alertTexts().empty());
}

TEST_F(NoteManagerTest, AdoptsAnExistingNotesFile) {
    const fs::path file = env_.seal(
        R"(<morvane><notes><note id="1" title="a" category="1"/><note id="2" title="b"/></notes></morvane>)",
        env_.folder());
    {
        NoteManager store;
        store.setNotesFile(file.string());
        EXPECT_EQ(Settings::instance().NotesPath(), file.string()) << "stored before any load";
        EXPECT_TRUE(store.notes.empty());
    }
    NoteManager store;  // as after a restart
    store.notesView = view_;
    EXPECT_EQ(store.notesFileLocation, file.string());
    store.setup();
    EXPECT_EQ(labelsOf(store.notes), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(view_->reloads(), 1);
}

TEST_F(NoteManagerTest, SectionIndexFollowsTheOrderCategoriesFirstOccur) {
    auto store = storeWithNewFile();
    const auto finance1 = note("f1", Category::Finance);
    const auto work = note("w", Category::Work);
    const auto finance2 = note("f2", Category::Finance);
    for (const auto& n : {finance1, work, finance2}) {
        EXPECT_TRUE(store->newNote(n));
    }
    auto expectSections = [&](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(store->sectionsInternal, 2);
        EXPECT_EQ(store->sectionKeys,
                  (std::map<std::int64_t, std::string>{{0, "Finance"}, {1, "Work Related"}}));
        EXPECT_EQ(labelsOf(store->notes2["Finance"]), (std::vector<std::string>{"f1", "f2"}));
        EXPECT_EQ(labelsOf(store->notes2["Work Related"]), std::vector<std::string>{"w"});
    };
    expectSections("after adding");

    // One section of every note, in list order, while sections are off.
    EXPECT_EQ(store->sections(), 1);
    EXPECT_EQ(store->numberOfItemsInSection(0), 3);
    EXPECT_EQ(store->sectionNote({0, 1})->label, "w");
    EXPECT_EQ(store->sectionNote({0, 3}), nullptr);

    store->showSections = true;
    EXPECT_EQ(store->sections(), 2);
    EXPECT_EQ(store->numberOfItemsInSection(0), 2);
    EXPECT_EQ(store->numberOfItemsInSection(1), 1);
    EXPECT_EQ(store->numberOfItemsInSection(2), 0);
    EXPECT_EQ(store->sectionNote({0, 1}), finance2);
    EXPECT_EQ(store->sectionNote({1, 0}), work);
    EXPECT_EQ(store->sectionNote({1, 1}), nullptr);
    EXPECT_EQ(store->sectionNote({5, 0}), nullptr);
    store->showSections = false;

    store->load();
    store->load();
    expectSections("after loading twice");

    // A category changed in the editor: the note keeps its place and changes lists.
    store->notes[0]->category = Category::Work;
    const int reloads = view_->reloads();
    EXPECT_TRUE(store->updateNote(store->notes[0]));
    EXPECT_EQ(labelsOf(store->notes), (std::vector<std::string>{"f1", "w", "f2"}));
    EXPECT_EQ(store->sectionKeys,
              (std::map<std::int64_t, std::string>{{0, "Work Related"}, {1, "Finance"}}));
    EXPECT_EQ(labelsOf(store->notes2["Work Related"]), (std::vector<std::string>{"f1", "w"}));
    EXPECT_EQ(view_->reloads(), reloads + 1);
    store->load();
    EXPECT_EQ(store->notes[0]->category, Category::Work) << "the change was saved";
}

TEST_F(NoteManagerTest, DeletesByIdAndTheSelectedNotesAfterAsking) {
    auto store = storeWithNewFile();
    for (const char* label : {"a", "b", "c", "d"}) {
        EXPECT_TRUE(store->newNote(note(label, Category::Other)));
    }

    // A note not in the list: told, nothing written.
    const std::string before = readFile(store->notesFileLocation);
    store->deleteNoteItem(note("stranger", Category::Other));
    EXPECT_EQ(alertTexts(), std::vector<std::string>{"Could note remove note"});
    EXPECT_EQ(readFile(store->notesFileLocation), before);

    // By id: another object with the same id is the same note.
    auto copy = std::make_shared<NoteItem>(*store->notes[3]);
    const int reloads = view_->reloads();
    store->deleteNoteItem(copy);
    EXPECT_EQ(labelsOf(store->notes), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(view_->reloads(), reloads + 1);

    // Nothing selected: told, nothing asked.
    store->deleteSelectedNoteItems();
    ASSERT_EQ(env_.alerts().shown().size(), 2u);
    EXPECT_EQ(env_.alerts().shown().back().message, "Please select a note to delete");

    view_->select({{0, 0}, {0, 1}});
    env_.alerts().queueAnswer(1);  // "No"
    store->deleteSelectedNoteItems();
    ASSERT_EQ(env_.alerts().shown().size(), 3u);
    const auto question = env_.alerts().shown().back();
    EXPECT_EQ(question.message, "Are you sure you would like to delete the selected notes?");
    EXPECT_EQ(question.informativeText, "");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(store->notes.size(), 3u);

    env_.alerts().queueAnswer(0);  // "Yes"
    store->deleteSelectedNoteItems();
    EXPECT_EQ(labelsOf(store->notes), std::vector<std::string>{"c"});
    EXPECT_EQ(stored(*store), std::vector<std::string>{"c"});
    EXPECT_EQ(labelsOf(store->notes2["Other"]), std::vector<std::string>{"c"});
    EXPECT_EQ(env_.alerts().shown().size(), 4u);
}

TEST_F(NoteManagerTest, AFailedCreationIsReportedAndLeavesNothing) {
    NoteManager store;
    // The folder does not exist: the empty file cannot be written; nothing is shown.
    EXPECT_FALSE(store.createNotesFile((env_.folder() / "missing/M2_SecureNotes.m2n").string()));
    EXPECT_TRUE(alertTexts().empty());

    // The empty file is written, but the disk has no room for its encryption.
    SmallTmpfs disk(64 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << disk.whyNotMounted();
    }
    disk.fill();
    EXPECT_FALSE(store.createNotesFile((disk / "M2_SecureNotes.m2n").string()));
    EXPECT_EQ(alertTexts(), std::vector<std::string>{kCouldNotSave});
    EXPECT_EQ(listFolder(disk.path()), std::vector<std::string>{".filler"});
    EXPECT_EQ(store.notesFileLocation, "");
    EXPECT_EQ(Settings::instance().NotesPath(), "");
    EXPECT_FALSE(store.hasBeenSetup());
}

// A save that fails tells the user and keeps the note; the reload at the next log-in first
// saves it again and never puts the file's older list in its place.
TEST_F(NoteManagerTest, AFailedSaveKeepsTheNoteUntilASaveSucceeds) {
    auto store = storeWithNewFile();
    EXPECT_TRUE(store->newNote(note("saved", Category::Work)));

    m2::PasswordCredentials::instance().setPassword(
        Morvane::Security::Secret("not the notes password"));
    EXPECT_TRUE(store->newNote(note("typed while failing", Category::Work)));
    EXPECT_EQ(alertTexts(), std::vector<std::string>{kCouldNotSave});
    EXPECT_FALSE(store->isSaved());
    store->load();
    EXPECT_EQ(labelsOf(store->notes), (std::vector<std::string>{"saved", "typed while failing"}));
    EXPECT_EQ(alertTexts().size(), 2u) << "the retry failed and said so";

    m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(kNotesPassword));
    store->load();
    EXPECT_TRUE(store->isSaved());
    EXPECT_EQ(labelsOf(store->notes), (std::vector<std::string>{"saved", "typed while failing"}));
    EXPECT_EQ(stored(*store), (std::vector<std::string>{"saved", "typed while failing"}));
    EXPECT_EQ(alertTexts().size(), 2u);
}

// A notes file that decrypts but is not a notes document is never replaced in that session.
TEST_F(NoteManagerTest, ADamagedNotesFileIsNeverWrittenOver) {
    const fs::path file = env_.seal(
        R"(<morvane><notes><note id="1" title="precious"/><note id="2" ti)", env_.folder());
    const std::string before = readFile(file);
    NoteManager store;
    store.notesView = view_;
    store.setNotesFile(file.string());
    store.setup();
    EXPECT_TRUE(store.notes.empty());
    EXPECT_EQ(view_->reloads(), 0);
    EXPECT_TRUE(store.notesFileDamaged());
    EXPECT_FALSE(store.cannotOpenNotesFile());

    // Refused before anything changes, with the reason; a reload changes nothing either.
    EXPECT_FALSE(store.newNote(note("new", Category::Work)));
    EXPECT_TRUE(store.notes.empty());
    store.load();
    EXPECT_EQ(alertTexts(), std::vector<std::string>{kCouldNotSave});
    EXPECT_NE(env_.alerts().shown().at(0).informativeText.value_or("").find("damaged"),
              std::string::npos);
    EXPECT_EQ(readFile(file), before);

    // Pointed at another file, the store saves again.
    const fs::path other = env_.seal("", env_.folder(), "other.m2n");
    store.setNotesFile(other.string());
    EXPECT_FALSE(store.notesFileDamaged());
    EXPECT_TRUE(store.newNote(note("fresh", Category::Work)));
    EXPECT_TRUE(store.isSaved());
    EXPECT_EQ(stored(store), std::vector<std::string>{"fresh"});
}

// A reload (the log-in after an idle lock) keeps the objects of notes still in the file, so
// an editor left open edits the stored note; a note gone from the file is offered back as a
// new note, and one the user deleted stays deleted.
TEST_F(NoteManagerTest, AReloadKeepsTheObjectsOfNotesStillInTheFile) {
    auto store = storeWithNewFile();
    const auto kept = note("kept", Category::Work);
    const auto gone = note("gone", Category::Finance);
    EXPECT_TRUE(store->newNote(kept));
    EXPECT_TRUE(store->newNote(gone));

    // Meanwhile the file changed: "kept" retitled, "gone" removed, another note added.
    const auto changedKept =
        std::make_shared<NoteItem>("kept, retitled", Category::Server, "new text", kept->id);
    ASSERT_TRUE(
        NoteReader::save({changedKept, note("added", Category::Other)}, store->notesFileLocation));
    store->load();
    ASSERT_EQ(store->notes.size(), 2u);
    EXPECT_EQ(store->notes[0], kept) << "the same object, its fields from the file";
    EXPECT_EQ(kept->label, "kept, retitled");
    EXPECT_EQ(kept->content, "new text");
    EXPECT_EQ(kept->category, Category::Server);
    EXPECT_EQ(store->notes[1]->label, "added");

    // The editors still open on both notes press OK.
    kept->label = "edited after the lock";
    EXPECT_TRUE(store->updateNote(kept));
    gone->content = "typed after the lock";
    env_.alerts().queueAnswer(1);  // "No": the text is dropped
    EXPECT_TRUE(store->updateNote(gone));
    EXPECT_EQ(stored(*store), (std::vector<std::string>{"edited after the lock", "added"}));
    env_.alerts().queueAnswer(0);  // "Yes": kept as a new note
    EXPECT_TRUE(store->updateNote(gone));
    EXPECT_EQ(stored(*store), (std::vector<std::string>{"edited after the lock", "added", "gone"}));
    EXPECT_NE(store->notes.back(), gone);
    EXPECT_NE(store->notes.back()->id, gone->id) << "a new note, not the old one back";
    EXPECT_EQ(store->notes.back()->content, "typed after the lock");
    EXPECT_EQ(alertTexts(),
              (std::vector<std::string>{"This note is no longer in your notes file",
                                        "This note is no longer in your notes file"}));

    // A note the user deleted, whose editor then presses OK, stays deleted without a question.
    const auto deleted = store->notes[1];
    store->deleteNoteItem(deleted);
    deleted->label = "edited after its deletion";
    EXPECT_TRUE(store->updateNote(deleted));
    EXPECT_EQ(stored(*store), (std::vector<std::string>{"edited after the lock", "gone"}));
    EXPECT_EQ(alertTexts().size(), 2u);
}

// After a reset of the master password the notes file no longer opens; the store says so
// until another notes file is set up.
TEST_F(NoteManagerTest, TellsWhenTheNotesFileDoesNotOpenWithTheCurrentPassword) {
    auto store = storeWithNewFile();
    EXPECT_TRUE(store->newNote(note("old", Category::Work)));
    EXPECT_FALSE(store->cannotOpenNotesFile());

    m2::PasswordCredentials::instance().setPassword(
        Morvane::Security::Secret("the new master password"));
    store->load();
    EXPECT_TRUE(store->hasBeenSetup());
    EXPECT_TRUE(store->cannotOpenNotesFile());
    EXPECT_EQ(labelsOf(store->notes), std::vector<std::string>{"old"}) << "nothing is dropped";

    ASSERT_TRUE(store->createNotesFile((env_.folder() / "elsewhere.m2n").string()));
    EXPECT_FALSE(store->cannotOpenNotesFile());
    store->load();
    EXPECT_FALSE(store->cannotOpenNotesFile());
}

}  // namespace
