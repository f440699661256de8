// What a stopped launcher's working folder holds of the edits: which file is named, and when
// the folder may go.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "M2 Launcher/OpenFiles/LeftEdits.h"
#include "Sealkit/SealkitFacade.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::examineFolder;
using m2::OpenFileItem;
using m2::test::TempDir;
using m2::test::writeFile;

namespace {

// A sealed copy of `text` at `folder`/<name>.m2p.
fs::path sealed(const fs::path& folder, const std::string& name, const std::string& text) {
    writeFile(folder / name, text);
    Encryptor encryptor("secret-password", "hint", false, false);
    return encryptor.encryptFileOutcome((folder / name).string(), "hint").path;
}

TEST(LeftEdits, TheFileHoldingTheEditsIsNamedAndShreddedRemainsAreNot) {
    struct Case {
        std::string name;
        std::vector<std::pair<std::string, std::string>> files;  // name, content
        bool withSealed;
        std::optional<std::string> plain;  // the file named as the plain copy
        bool nothingLeft;
    };
    const std::string ff(300, '\xff');
    const std::vector<Case> cases = {
        {"the recorded copy", {{"doc.txt", "edited"}, {"other.txt", "x"}}, false, "doc.txt", false},
        {"the copy kept while sealing",
         {{".m2-edited-copy", "edited"}},
         false,
         ".m2-edited-copy",
         false},
        {"a copy saved under another name",
         {{"saved-doc.txt", "edited"}},
         false,
         "saved-doc.txt",
         false},
        {"only overwritten bytes", {{".m2-edited-copy", ff}}, false, std::nullopt, true},
        {"the shredder's scrambled name", {{"ZZZ.ZZZ", "edited"}}, false, std::nullopt, true},
        {"an empty file", {{"doc.txt", ""}}, false, std::nullopt, true},
        {"a sealed copy beside shredded remains",
         {{"ZZZZZZZZZZZZZZ", ff}},
         true,
         std::nullopt,
         false},
        {"nothing at all", {}, false, std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir docs;
        TempDir folder;
        const fs::path document = sealed(docs.path(), "doc.txt", "before");
        for (const auto& [name, content] : c.files) {
            writeFile(folder / name, content);
        }
        std::optional<fs::path> copy;
        if (c.withSealed) {
            copy = sealed(folder.path(), "doc.txt", "edited");
        }
        const auto left = examineFolder(
            folder.path(), OpenFileItem(document.string(), (folder / "doc.txt").string()));
        EXPECT_EQ(left.plain, c.plain ? std::optional(folder / *c.plain) : std::nullopt);
        EXPECT_EQ(left.sealed, copy);
        EXPECT_FALSE(left.sealedInPlace);
        EXPECT_EQ(left.nothingLeft(), c.nothingLeft);
    }
}

// A sealed copy that is byte for byte the document is a duplicate: the folder may go, even
// with a half-overwritten plain copy beside it.
TEST(LeftEdits, ASealedCopyAlreadyInPlaceLeavesNothing) {
    TempDir docs;
    TempDir folder;
    const fs::path copy = sealed(folder.path(), "doc.txt", "edited");
    const fs::path document = docs / copy.filename();
    fs::copy_file(copy, document);
    writeFile(folder / ".m2-edited-copy", std::string(100, '\xff') + "ited");
    const auto left = examineFolder(folder.path(),
                                    OpenFileItem(document.string(), (folder / "doc.txt").string()));
    EXPECT_EQ(left.sealed, copy);
    EXPECT_TRUE(left.sealedInPlace);
    EXPECT_TRUE(left.nothingLeft());
}

// A record whose copy lies outside our working folders: only that file is looked at, never
// the folder around it.
TEST(LeftEdits, ACopyOutsideTheWorkingFoldersIsLookedAtAlone) {
    TempDir around;
    writeFile(around / "unrelated.txt", "someone else's");
    const OpenFileItem gone("/docs/a.m2p", (around / "a.txt").string());
    const auto left = m2::findLeftEdits({gone}, fs::file_time_type::min());
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left[0].plain, std::nullopt);
    EXPECT_TRUE(left[0].folder.empty());
    EXPECT_TRUE(left[0].nothingLeft());
    writeFile(around / "a.txt", "edited");
    EXPECT_EQ(m2::findLeftEdits({gone}, fs::file_time_type::min())[0].plain, around / "a.txt");
}

// Only what the user saved is sealed beside the document: editors' lock, swap, backup and
// save-temporary files, the copy itself and its second name while sealing are not, and a
// link is never followed.
TEST(LeftEdits, WhatTheEditorSavedBesideTheCopyIsToldFromItsTraces) {
    TempDir folder;
    const fs::path copy = folder / "letter.txt";
    fs::create_directory(folder / "sub");
    for (const std::string name :
         {"letter.txt", "letter.txt~", ".letter.txt.swp", ".letter.txt.swo", ".swp",
          ".~lock.letter.txt#", ".goutputstream-K3Q9ZB", ".m2-edited-copy",
          // The user's work: a Save As, a hidden one, a name like a trace's but not one.
          "other.txt", ".hidden notes", "letter.swp", "~notes", "sub/deeper.txt"}) {
        writeFile(folder / name, "edited");
    }
    fs::create_symlink("/etc/passwd", folder / "link.txt");
    std::vector<fs::path> expected;
    for (const std::string name :
         {".hidden notes", "letter.swp", "other.txt", "sub/deeper.txt", "~notes"}) {
        expected.push_back(folder / name);
    }
    std::sort(expected.begin(), expected.end());
    // The copy as the launcher names it, with the doubled slash.
    EXPECT_EQ(m2::savedBesideCopy(folder.path(), folder.path().string() + "//letter.txt"),
              expected);
    EXPECT_EQ(m2::savedBesideCopy(folder / "absent", copy), std::vector<fs::path>{});
}

}  // namespace
