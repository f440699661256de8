#include <gtest/gtest.h>

#include <filesystem>
#include <map>
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

// A writer and a reader of the notes document of their own, made from the stored format
// alone: attributes in ordinary XML escaping, and in "details" a line feed and a tab first
// turned into the texts "&#13;" and "&#09;".
std::string replaceText(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

std::string escaped(const std::string& value) {
    std::string out;
    for (const char c : value) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string independentDocument(const std::vector<NoteItemPtr>& notes) {
    std::string out = "<morvane><notes>";
    for (const auto& n : notes) {
        const std::string details =
            replaceText(replaceText(n->content, "\n", "&#13;"), "\t", "&#09;");
        out += "<note id=\"" + escaped(n->id) + "\" title=\"" + escaped(n->label) +
               "\" category=\"" + std::to_string(n->category.rawValue()) + "\" details=\"" +
               escaped(details) + "\"/>";
    }
    return out + "</notes></morvane>";
}

std::string utf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

std::string unescaped(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '&') {
            out += value[i];
            continue;
        }
        const std::size_t end = value.find(';', i);
        const std::string entity = value.substr(i + 1, end - i - 1);
        i = end;
        if (entity == "amp")
            out += '&';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else {
            const bool hex = entity[1] == 'x';
            const auto cp = static_cast<char32_t>(
                std::stoul(entity.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10));
            out += utf8(cp);
        }
    }
    return out;
}

// Every note of the document: its attributes by name.
std::vector<std::map<std::string, std::string>> independentRead(const std::string& document) {
    std::vector<std::map<std::string, std::string>> notes;
    for (std::size_t at = document.find("<note "); at != std::string::npos;
         at = document.find("<note ", at + 1)) {
        std::map<std::string, std::string> fields;
        std::size_t pos = at + 5;
        for (;;) {
            pos = document.find_first_not_of(" \t\r\n", pos);
            if (pos == std::string::npos || document[pos] == '/' || document[pos] == '>') {
                break;
            }
            const std::size_t equals = document.find('=', pos);
            const std::size_t close = document.find('"', equals + 2);
            fields[document.substr(pos, equals - pos)] =
                unescaped(document.substr(equals + 2, close - equals - 2));
            pos = close + 1;
        }
        fields["details"] =
            replaceText(replaceText(fields["details"], "&#13;", "\n"), "&#09;", "\t");
        notes.push_back(std::move(fields));
    }
    return notes;
}

// Every character of U+F700-U+F7FF, with its neighbours of the Basic Multilingual Plane's
// private use area and the ones XML reserves.
std::string privateUseRun() {
    std::string run;
    for (char32_t cp = 0xF6FE; cp <= 0xF801; ++cp) {
        run += utf8(cp);
    }
    return run + " A\u00a0<&\"'>\r\n\t\U0001F512";
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
        // Text that looks like the file's own escapes, or like XML's, is the user's text.
        {"literal &#13;", "before&#13;after&#09;end", "before&#13;after&#09;end"},
        {"&amp; &lt;", "&amp; &lt; &#x41; &#38; &#38;#13; &#10;",
         "&amp; &lt; &#x41; &#38; &#38;#13; &#10;"},
        {"mixed", "&#13;\n&#09;\t&\r\n&#38;", "&#13;\n&#09;\t&\r\n&#38;"},
        {"title\twith\r\nbreaks\n", "\r\n\r\n\t\t", "\r\n\r\n\t\t"},
        {"Übersicht €", "Grüße 🔒 日本", "Grüße 🔒 日本"},
        {"", "", ""},
        // Beyond what XML 1.0 holds: written as character references and raw bytes this
        // reader takes back, never as escapes that could stand for other characters.
        {"control \x01\x08", "bell\x07 vt\x0b ff\x0c esc\x1b us\x1f",
         "bell\x07 vt\x0b ff\x0c esc\x1b us\x1f"},
        {"noncharacters", "\xef\xbf\xbe \xef\xbf\xbf", "\xef\xbf\xbe \xef\xbf\xbf"},
        {"not utf-8 \xff", "latin1 caf\xe9 \x80", "latin1 caf\xe9 \x80"},
        {"nul", std::string("before\0after", 12), "beforeafter"},
    };
    constexpr std::size_t xml10Cases = 9;
    std::vector<NoteItemPtr> notes;
    const Category categories[] = {Category::Work, Category::Finance, Category::NoCategory};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        notes.push_back(
            note(cases[i].title, categories[i % 3], cases[i].content, "ID-" + std::to_string(i)));
    }
    const fs::path file = emptyNotesFile();
    ASSERT_TRUE(NoteReader::save({notes.begin(), notes.begin() + xml10Cases}, file.string()));
    EXPECT_TRUE(xmllintAccepts(env_.plainOf(file))) << "an independent parser reads the file";
    ASSERT_TRUE(NoteReader::save(notes, file.string()));

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

// Characters of U+F700-U+F7FF are text like any other, both ways between the program and a
// notes file made as the stored format says.
TEST_F(NotesFileTest, PrivateUseCharactersSurviveBothWaysWithAnIndependentWriterAndReader) {
    const std::string run = privateUseRun();
    const std::vector<NoteItemPtr> notes = {
        note(run, Category::Work, run, "ID-1"),
        note("\uf741", Category::Finance, "\uf700\uf741\uf7ff", "ID-\uf7ef"),
        note("plain", Category::NoCategory, "A\uf741A", "ID-3"),
    };
    // Written by the test, read by the program.
    const fs::path theirs = env_.seal(independentDocument(notes), env_.folder(), "theirs.m2n");
    const auto loaded = NoteReader::load(theirs.string());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->size(), notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ((*loaded)[i]->id, notes[i]->id);
        EXPECT_EQ((*loaded)[i]->label, notes[i]->label);
        EXPECT_EQ((*loaded)[i]->content, notes[i]->content);
        EXPECT_EQ((*loaded)[i]->category, notes[i]->category);
    }

    // Written by the program, read by the test.
    const fs::path ours = emptyNotesFile();
    ASSERT_TRUE(NoteReader::save(notes, ours.string()));
    const std::string plain = env_.plainOf(ours);
    EXPECT_TRUE(xmllintAccepts(plain)) << plain;
    const auto read = independentRead(plain);
    ASSERT_EQ(read.size(), notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(read[i].at("id"), notes[i]->id);
        EXPECT_EQ(read[i].at("title"), notes[i]->label);
        EXPECT_EQ(read[i].at("details"), notes[i]->content);
        EXPECT_EQ(read[i].at("category"), std::to_string(notes[i]->category.rawValue()));
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

// A notes file on disk that is not a whole encrypted file, or whose stored plain size
// disagrees with its ciphertext, is damaged, not new and not locked by another password:
// it loads nothing, is never written over, and its bytes stay as they were.
TEST_F(NotesFileTest, ADamagedNotesFileIsToldAsDamagedAndNeverReplaced) {
    const fs::path good = emptyNotesFile();
    ASSERT_TRUE(
        NoteReader::save({note("precious", Category::Work, "kept text", "1")}, good.string()));
    const std::string sealed = readFile(good);
    const std::size_t plainSize = env_.plainOf(good).size();
    for (const std::string& damage : kContainerDamage) {
        SCOPED_TRACE(damage);
        const fs::path file = env_.folder() / "damaged.m2n.m2p";
        const std::string bytes = damagedCopy(sealed, damage);
        writeFile(file, bytes);
        const auto outcome = NoteReader::loadOutcome(file.string());
        EXPECT_EQ(outcome.notes, std::nullopt);
        EXPECT_TRUE(outcome.damaged);
        EXPECT_FALSE(outcome.notOpened) << "not the password's fault";
        EXPECT_FALSE(NoteReader::save({note("new", Category::Work, "", "2")}, file.string()));
        EXPECT_EQ(readFile(file), bytes);
    }
    // The size alone was changed: the ciphertext still holds the note.
    writeFile(good, withStoredPlainSize(damagedCopy(sealed, "plain size 0"), plainSize));
    const auto back = NoteReader::load(good.string());
    ASSERT_TRUE(back);
    EXPECT_EQ(labelsOf(*back), std::vector<std::string>{"precious"});

    // Decrypted content that is not a notes document is never replaced either.
    const fs::path unparsable =
        env_.seal(R"(<morvane><notes><note id="1" ti)", env_.folder(), "unparsable.m2n");
    const std::string before = readFile(unparsable);
    EXPECT_FALSE(NoteReader::save({}, unparsable.string()));
    EXPECT_EQ(readFile(unparsable), before);
}

TEST_F(NotesFileTest, AnotherPasswordOpensNothingAndChangesNothing) {
    const fs::path file = emptyNotesFile();
    ASSERT_TRUE(NoteReader::save({note("t", Category::Work, "c", "1")}, file.string()));
    const std::string before = readFile(file);

    m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret("another password"));
    const auto outcome = NoteReader::loadOutcome(file.string());
    EXPECT_TRUE(outcome.notOpened);
    EXPECT_FALSE(outcome.damaged);
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
            GTEST_SKIP() << "no small tmpfs: " << disk.whyNotMounted();
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
        GTEST_SKIP() << "no small tmpfs: " << runtime.whyNotMounted();
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

// A notes file its owner made read-only is saved all the same (the engine works on a copy
// of its own) and stays read-only.
TEST_F(NotesFileTest, AReadOnlyNotesFileIsSavedAndStaysReadOnly) {
    const fs::path file = emptyNotesFile();
    for (const mode_t mode : {0444u, 0400u}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        EXPECT_TRUE(NoteReader::save({note("new", Category::Work, "text", std::to_string(mode))},
                                     file.string()));
        EXPECT_EQ(permissionBits(file), mode);
        const auto loaded = NoteReader::load(file.string());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(idsOf(*loaded), std::vector<std::string>{std::to_string(mode)});
        EXPECT_TRUE(env_.workingFoldersEmpty());
    }
}

}  // namespace
