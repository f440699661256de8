#include "app/library/RekeyingJournal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::RekeyingJournal;

namespace {

RekeyingJournal journalWith(std::size_t documents, bool notes) {
    RekeyingJournal journal;
    if (notes) {
        journal.notesPath = "/home/u/notes.m2n.m2p";
    }
    for (std::size_t i = 0; i < documents; ++i) {
        journal.documents.push_back({std::to_string(i), "/home/u/doc" + std::to_string(i)});
    }
    return journal;
}

TEST(RekeyingJournal, TheMessageCountsWhatIsLeft) {
    const struct {
        std::size_t documents;
        bool notes;
        const char* what;
    } cases[] = {
        {3, true, "3 documents and your notes are"},
        {1, true, "1 document and your notes are"},
        {0, true, "your notes are"},
        {2, false, "2 documents are"},
        {1, false, "1 document is"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m2::unfinishedChangeMessage(journalWith(c.documents, c.notes)),
                  std::string("A change of your master password did not finish: ") + c.what +
                      " still under your previous master password.");
    }
}

TEST(RekeyingJournal, AnyPathReadsBackAndAnEmptyJournalGoes) {
    m2::test::TempDir dir;
    const fs::path path = dir / "journal";
    RekeyingJournal journal;
    journal.notesPath = "/a b/notes\twith tab.m2p";
    journal.documents = {{"id\\1", "/x/line\nbreak.m2p"}, {"", "/x/back\\slash\\n.m2p"}};
    ASSERT_TRUE(m2::writeRekeyingJournal(path, journal));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const auto read = m2::readRekeyingJournal(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->notesPath, journal.notesPath);
    ASSERT_EQ(read->documents.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(read->documents[i].id, journal.documents[i].id);
        EXPECT_EQ(read->documents[i].path, journal.documents[i].path);
    }

    ASSERT_TRUE(m2::writeRekeyingJournal(path, RekeyingJournal{}));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(m2::readRekeyingJournal(path));
    EXPECT_TRUE(m2::writeRekeyingJournal(path, RekeyingJournal{}));  // none there is fine
}

TEST(RekeyingJournal, AFileThatIsNotOneReadsAsNone) {
    m2::test::TempDir dir;
    const char* const texts[] = {
        "",
        "something else\n",
        "morvane2 password change 1\nfolder\t/x\n",
        "morvane2 password change 1\ndocument\t/x\n",
        "morvane2 password change 1\nnotes\t/x\\q\n",
        "morvane2 password change 1\nnotes\t\n",
    };
    for (const char* text : texts) {
        m2::test::writeFile(dir / "journal", text);
        EXPECT_FALSE(m2::readRekeyingJournal(dir / "journal")) << text;
    }
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(m2::readRekeyingJournal(dir / "fifo"));  // and does not wait for a writer
}

}  // namespace
