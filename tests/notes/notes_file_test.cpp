#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "support/NotesTesting.h"
#include "support/TestFiles.h"
#include "support/XmlLint.h"

namespace fs = std::filesystem;
using m2::NoteItem;
using m2::NoteItemPtr;
using m2::NoteReader;
using Category = m2::NoteCategory::Category;
using namespace m2::test;

namespace {

constexpr const char* kDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

NoteItemPtr note(std::string label, Category category, std::string content, std::string id) {
    return std::make_shared<NoteItem>(std::move(label), category, std::move(content),
                                      std::move(id));
}

class NotesFileTest : public testing::Test {
  protected:
    // A new notes file as the store makes it: an encrypted file of zero plain bytes.
    [[nodiscard]] fs::path emptyNotesFile() const { return env_.seal("", env_.folder()); }

    void TearDown() override {
        EXPECT_TRUE(env_.workingFoldersEmpty()) << "nothing of the notes stays behind";
    }

    NotesEnvironment env_;
};

TEST_F(NotesFileTest, EveryCharacterAndTheOrderSurviveASaveAndALoad) {
    struct Case {
        std::string title;
        std::string content;
        std::string readBack;  // content as read
    };
    const Case cases[] = {
        {"lines", "one\ntwo\n\nthree\n", "one\ntwo\n\nthree\n"},
        {"tabs and returns", "a\tb\r\nc\r", "a\tb\r\nc\r"},
        {"markup & \"quotes\" 'too' <b>", "x < y && y > z \"q\" 'a'", "x < y && y > z \"q\" 'a'"},
        // The stored escape text itself reads back as a line feed.
        {"literal", "before&#13;after&#09;end", "before\nafter\tend"},
        {"Übersicht €", "Grüße 🔒 日本", "Grüße 🔒 日本"},
        {"control \x01\x08", "bell\x07 vt\x0b ff\x0c esc\x1b us\x1f",
         "bell\x07 vt\x0b ff\x0c esc\x1b us\x1f"},
        {"noncharacters", "\xef\xbf\xbe \xef\xbf\xbf", "\xef\xbf\xbe \xef\xbf\xbf"},
        {"not utf-8 \xff", "latin1 caf\xe9 \x80", "latin1 caf\xe9 \x80"},
        {"", "", ""},
    };
    std::vector<NoteItemPtr> notes;
    const Category categories[] = {Category::Work, Category::Finance, Category::NoCategory};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        notes.push_back(
            note(cases[i].title, categories[i % 3], cases[i].content, "ID-" + std::to_string(i)));
    }
    const fs::path file = emptyNotesFile();
    ASSERT_TRUE(NoteReader::save(notes, file.string()));
    EXPECT_TRUE(xmllintAccepts(env_.plainOf(file))) << "an independent parser reads the file";

    const auto loaded = NoteReader::load(file.string());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(idsOf(*loaded), idsOf(notes));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(testing::PrintToString(cases[i].title));
        EXPECT_EQ((*loaded)[i]->label, cases[i].title);
        EXPECT_EQ((*loaded)[i]->content, cases[i].readBack);
        EXPECT_EQ((*loaded)[i]->category, categories[i % 3]);
    }
}

TEST_F(NotesFileTest, FormatOfTheDocument) {
    const fs::path file = emptyNotesFile();
    EXPECT_EQ(NoteReader::load(file.string()), std::nullopt) << "a new notes file is empty";

    ASSERT_TRUE(NoteReader::save({}, file.string()));
    EXPECT_EQ(env_.plainOf(file), std::string(kDeclaration) + "<morvane><notes/></morvane>");
    const auto none = NoteReader::load(file.string());
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());

    ASSERT_TRUE(NoteReader::save({note("Bank", Category::Finance, "pin\t1234\nend", "A-1")},
                                 file.string()));
    EXPECT_EQ(env_.plainOf(file),
              std::string(kDeclaration) +
                  R"(<morvane><notes><note id="A-1" title="Bank" category="1" )"
                  R"(details="pin&amp;#09;1234&amp;#13;end"/></notes></morvane>)");
}

TEST_F(NotesFileTest, ReadingTakesTheNotesOfEveryNotesElementOfTheRoot) {
    struct Case {
        const char* name;
        std::string plain;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"two notes elements",
         R"(<morvane><notes><note id="1"/></notes><notes><note id="2"/><note id="3"/></notes></morvane>)",
         {"1", "2", "3"}},
        {"another root name", R"(<other><notes><note id="1"/></notes></other>)", {"1"}},
        {"notes under the root are ignored",
         R"(<morvane><note id="x"/><notes><other id="y"/><note id="1"/></notes></morvane>)",
         {"1"}},
        {"no notes element", R"(<morvane/>)", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = env_.seal(c.plain, env_.folder(), "case.m2n");
        const auto outcome = NoteReader::loadOutcome(file.string());
        ASSERT_TRUE(outcome.notes);
        EXPECT_EQ(idsOf(*outcome.notes), c.ids);
        EXPECT_FALSE(outcome.damaged);
        fs::remove(file);
    }
}

TEST_F(NotesFileTest, ContentThatIsNotANotesDocumentLoadsAsAbsentAndSaysSo) {
    struct Case {
        const char* name;
        std::string plain;
        bool damaged;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"not XML", "just some text", true},
        {"cut short", R"(<morvane><notes><note id="1"/><note id="2" tit)", true},
        {"an unclosed element", R"(<morvane><notes><note id="1"/></morvane>)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = env_.seal(c.plain, env_.folder(), "case.m2n");
        const auto outcome = NoteReader::loadOutcome(file.string());
        EXPECT_EQ(outcome.notes, std::nullopt);
        EXPECT_EQ(outcome.damaged, c.damaged);
        fs::remove(file);
    }
}

TEST_F(NotesFileTest, AnotherPasswordOpensNothingAndChangesNothing) {
    const fs::path file = emptyNotesFile();
    ASSERT_TRUE(NoteReader::save({note("t", Category::Work, "c", "1")}, file.string()));
    const std::string before = readFile(file);

    m2::PasswordCredentials::instance().setPassword("another password");
    EXPECT_EQ(NoteReader::load(file.string()), std::nullopt);
    EXPECT_FALSE(NoteReader::save({}, file.string()));
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(NoteReader::save({}, (env_.folder() / "missing.m2p").string()));
}

// A full disk or a read-only folder where the notes file lives: the old file stays byte for
// byte and no copy is left anywhere.
TEST_F(NotesFileTest, AFailedSaveKeepsTheOldFile) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only notes folder" : "full notes folder");
        SmallTmpfs disk(256 * 1024);
        if (!disk.mounted()) {
            GTEST_SKIP() << "needs the privilege to mount a tmpfs";
        }
        const fs::path file = env_.seal("", disk.path());
        ASSERT_TRUE(NoteReader::save({note("old", Category::Work, "kept", "1")}, file.string()));
        const std::string before = readFile(file);
        const std::vector<std::string> namesBefore = listFolder(disk.path());

        if (readOnly) {
            ASSERT_TRUE(disk.setReadOnly(true));
        } else {
            disk.fill();
        }
        EXPECT_FALSE(NoteReader::save({note("new", Category::Work, patternText(40000), "2")},
                                      file.string()));
        if (readOnly) {
            ASSERT_TRUE(disk.setReadOnly(false));
        } else {
            fs::remove(disk / ".filler");
        }
        EXPECT_EQ(readFile(file), before);
        EXPECT_EQ(listFolder(disk.path()), namesBefore);
        EXPECT_TRUE(env_.workingFoldersEmpty());
        const auto loaded = NoteReader::load(file.string());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(idsOf(*loaded), std::vector<std::string>{"1"});
    }
}

// A runtime folder without room: the working copy goes to the private disk folder instead.
TEST_F(NotesFileTest, AFullRuntimeFolderStillSaves) {
    SmallTmpfs runtime(256 * 1024);
    if (!runtime.mounted()) {
        GTEST_SKIP() << "needs the privilege to mount a tmpfs";
    }
    ::chmod(runtime.path().c_str(), 0700);
    const ScopedEnv variable("XDG_RUNTIME_DIR", runtime.path().string());
    const fs::path file = emptyNotesFile();
    runtime.fill();
    EXPECT_TRUE(
        NoteReader::save({note("new", Category::Work, patternText(40000), "2")}, file.string()));
    const auto loaded = NoteReader::load(file.string());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(idsOf(*loaded), std::vector<std::string>{"2"});
    EXPECT_TRUE(env_.workingFoldersEmpty());
}

}  // namespace
