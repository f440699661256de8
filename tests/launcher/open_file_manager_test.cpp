#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "platform/FileDescriptor.h"
#include "platform/Xml.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::OpenFileItem;
using m2::OpenFileManager;
using m2::test::readFile;
using m2::test::writeFile;

namespace {

class OpenFileManagerTest : public ::testing::Test {
  protected:
    [[nodiscard]] fs::path list() const { return documents_.base() / "M2_M2Open.m2o"; }
    // A working copy that exists.
    [[nodiscard]] std::string workingCopy(const std::string& name) const {
        fs::create_directories(documents_.documents() / "tmp");
        const fs::path path = documents_.documents() / "tmp" / name;
        writeFile(path, "plain");
        return path.string();
    }
    [[nodiscard]] std::vector<OpenFileItem> recordsOnDisk() const {
        return OpenFileManager().openFiles();
    }

    m2::test::ScopedDocuments documents_;
};

TEST_F(OpenFileManagerTest, ListFileFormat) {
    OpenFileManager manager;
    EXPECT_TRUE(manager.addOpenFile({"/docs/a.txt.m2p", "/tmp/a.txt"}));
    EXPECT_TRUE(manager.addOpenFile({"/docs/b & \"c\".m2p", "/tmp/b & \"c\""}));

    const auto document = m2::platform::XmlDocument::parse(readFile(list()));
    ASSERT_TRUE(document);
    const auto root = document->root();
    EXPECT_EQ(root.name(), "openFiles");
    EXPECT_EQ(root.attributes(), (std::vector<m2::platform::XmlAttribute>{{"version", "1"}}));
    const auto files = root.childElements();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].name(), "file");
    EXPECT_EQ(files[1].attributes(),
              (std::vector<m2::platform::XmlAttribute>{{"plainPath", "/tmp/b & \"c\""},
                                                       {"encryptedPath", "/docs/b & \"c\".m2p"}}));
    EXPECT_EQ(recordsOnDisk(), manager.openFiles());

    // An empty list is the root with its version alone.
    EXPECT_TRUE(manager.removeOpenFile({"", "/tmp/a.txt"}));
    EXPECT_TRUE(manager.removeOpenFile({"", "/tmp/b & \"c\""}));
    const auto empty = m2::platform::XmlDocument::parse(readFile(list()));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->root().name(), "openFiles");
    EXPECT_TRUE(empty->root().childElements().empty());
}

TEST_F(OpenFileManagerTest, AddAndRemoveKeyedByThePlainPath) {
    const std::string composed = "/tmp/caf\xC3\xA9.txt";     // é as one character
    const std::string decomposed = "/tmp/cafe\xCC\x81.txt";  // e and a combining accent
    OpenFileManager manager;
    EXPECT_TRUE(manager.addOpenFile({"/docs/a.m2p", "/tmp/a"}));
    EXPECT_FALSE(manager.addOpenFile({"/docs/other.m2p", "/tmp/a"}));
    EXPECT_TRUE(manager.addOpenFile({"/docs/cafe.m2p", composed}));
    EXPECT_FALSE(manager.addOpenFile({"/docs/x.m2p", decomposed}));
    const std::vector<OpenFileItem> expected{{"/docs/a.m2p", "/tmp/a"},
                                             {"/docs/cafe.m2p", composed}};
    EXPECT_EQ(manager.openFiles(), expected);
    EXPECT_EQ(recordsOnDisk(), expected);

    EXPECT_FALSE(manager.removeOpenFile({"/docs/a.m2p", "/tmp/nothing"}));
    EXPECT_TRUE(manager.removeOpenFile({"", decomposed}));
    EXPECT_FALSE(manager.removeOpenFile({"", composed}));
    EXPECT_EQ(recordsOnDisk(), (std::vector<OpenFileItem>{{"/docs/a.m2p", "/tmp/a"}}));
}

TEST_F(OpenFileManagerTest, RemovingWhatIsNotListedWritesNothing) {
    OpenFileManager manager;
    EXPECT_FALSE(manager.removeOpenFile({"/docs/a.m2p", "/tmp/a"}));
    EXPECT_FALSE(fs::exists(list()));
}

TEST_F(OpenFileManagerTest, QuestionsSeeWhatOtherProcessesWrote) {
    OpenFileManager launcher;
    OpenFileManager other;  // loaded before the launcher's changes
    const std::string copy = workingCopy("a.txt");
    ASSERT_TRUE(launcher.addOpenFile({"/docs/a.txt.m2p", copy}));
    ASSERT_TRUE(launcher.addOpenFile({"/docs/gone.m2p", documents_.documents() / "tmp/gone"}));

    const struct {
        std::string path;
        bool open;
    } cases[] = {
        {copy, true},
        {(documents_.documents() / "tmp/gone").string(), false},  // listed, working copy gone
        {(documents_.documents() / "tmp/never").string(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(other.checkIfFileAlreadyOpen(c.path), c.open) << c.path;
    }
    EXPECT_TRUE(other.hasOrphanedItems());
    // The other object's own change starts from the file, not from what it loaded.
    EXPECT_FALSE(other.addOpenFile({"/docs/again.m2p", copy}));
    EXPECT_TRUE(launcher.removeOpenFile({"", copy}));
    EXPECT_TRUE(launcher.removeOpenFile({"", (documents_.documents() / "tmp/gone").string()}));
    EXPECT_FALSE(other.hasOrphanedItems());
}

TEST_F(OpenFileManagerTest, ForceClose) {
    OpenFileManager manager;
    const std::string copy = workingCopy("a.txt");
    const std::string gone = (documents_.documents() / "tmp/gone.txt").string();
    // A working copy that cannot be removed (here: a folder with something in it).
    const fs::path stuck = documents_.documents() / "tmp/stuck";
    fs::create_directories(stuck / "inside");
    ASSERT_TRUE(manager.addOpenFile({"/docs/a.m2p", copy}));
    ASSERT_TRUE(manager.addOpenFile({"/docs/gone.m2p", gone}));
    ASSERT_TRUE(manager.addOpenFile({"/docs/stuck.m2p", stuck.string()}));

    EXPECT_TRUE(manager.forceClose({"/docs/a.m2p", copy}));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(manager.forceClose({"/docs/gone.m2p", gone}));
    EXPECT_FALSE(manager.forceClose({"/docs/stuck.m2p", stuck.string()}));
    EXPECT_TRUE(fs::exists(stuck / "inside"));
    EXPECT_EQ(recordsOnDisk(), (std::vector<OpenFileItem>{{"/docs/stuck.m2p", stuck.string()}}));
}

TEST_F(OpenFileManagerTest, DamagedListIsKeptAsideNeverWrittenOver) {
    fs::create_directories(list().parent_path());
    const std::string damaged = "<openFiles version=\"1\"><file plainPath=\"/tmp/a\" enc";
    writeFile(list(), damaged);
    OpenFileManager manager;
    EXPECT_TRUE(manager.openFiles().empty());
    EXPECT_FALSE(manager.hasOrphanedItems());
    ASSERT_TRUE(manager.addOpenFile({"/docs/b.m2p", "/tmp/b"}));
    EXPECT_EQ(readFile(list().string() + ".unreadable"), damaged);
    EXPECT_EQ(recordsOnDisk(), (std::vector<OpenFileItem>{{"/docs/b.m2p", "/tmp/b"}}));
}

// Whatever stands in the list's place, reading it never blocks or crashes: a FIFO (no
// writer), an over-long file and one nested too deeply all read as damaged and are set
// aside, and the next record starts a fresh list.
TEST_F(OpenFileManagerTest, AListThatIsNoSmallRegularFileReadsAsDamaged) {
    struct Case {
        std::string name;
        std::function<void()> make;
    };
    const std::string deep = [] {
        std::string text = "<openFiles version=\"1\">";
        for (int i = 0; i < 100000; ++i) {
            text += "<file>";
        }
        return text;
    }();
    const std::vector<Case> cases = {
        {"fifo", [&] { ASSERT_EQ(::mkfifo(list().c_str(), 0600), 0); }},
        {"too long",
         [&] {
             writeFile(list(), "<openFiles version=\"1\">" +
                                   std::string(OpenFileManager::kMaxListBytes, ' ') +
                                   "</openFiles>");
         }},
        {"too deep", [&] { writeFile(list(), deep); }},
        // Tags without an end, as many as fit: still read at once, in one pass.
        {"unclosed tags",
         [&] { writeFile(list(), std::string(OpenFileManager::kMaxListBytes / 2, '<')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(documents_.base());
        fs::create_directories(documents_.base());
        c.make();
        OpenFileManager manager;
        EXPECT_TRUE(manager.openFiles().empty());
        EXPECT_TRUE(manager.addOpenFile({"/docs/b.m2p", "/tmp/b"}));
        EXPECT_TRUE(fs::exists(fs::symlink_status(list().string() + ".unreadable")));
        EXPECT_EQ(recordsOnDisk(), (std::vector<OpenFileItem>{{"/docs/b.m2p", "/tmp/b"}}));
    }
}

// The document's identity at opening is kept in the record and read back; a record without
// it (an older list) still reads.
TEST_F(OpenFileManagerTest, TheDocumentsIdentityIsKeptInTheRecord) {
    const m2::DocumentIdentity identity{2049, 1234567, 4096, 1765400000123456789};
    OpenFileManager manager;
    ASSERT_TRUE(manager.addOpenFile({"/docs/a.m2p", "/tmp/a", identity}));
    ASSERT_TRUE(manager.addOpenFile({"/docs/b.m2p", "/tmp/b"}));
    EXPECT_EQ(recordsOnDisk(), (std::vector<OpenFileItem>{{"/docs/a.m2p", "/tmp/a", identity},
                                                          {"/docs/b.m2p", "/tmp/b"}}));
    EXPECT_NE(readFile(list()).find("modified=\"1765400000123456789\""), std::string::npos);
}

TEST_F(OpenFileManagerTest, OnlyFileElementsAreRecords) {
    fs::create_directories(list().parent_path());
    writeFile(list(),
              "<?xml version=\"1.0\"?><openFiles version=\"1\"><folder plainPath=\"/tmp/f\"/>"
              "<file plainPath=\"/tmp/a\" encryptedPath=\"/docs/a.m2p\" extra=\"x\"/>"
              "<file encryptedPath=\"/docs/b.m2p\"/></openFiles>");
    EXPECT_EQ(OpenFileManager().openFiles(),
              (std::vector<OpenFileItem>{{"/docs/a.m2p", "/tmp/a"}, {"/docs/b.m2p", ""}}));
}

// Children forked from the test add records at the same moment, each through its own
// manager, as separate launchers do.
TEST_F(OpenFileManagerTest, ProcessesAddingAtOnceKeepEveryRecord) {
    constexpr int kChildren = 4;
    constexpr int kEach = 25;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int child = 0; child < kChildren; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(go[1]);
            char byte;
            (void)!::read(go[0], &byte, 1);  // released together with the others
            OpenFileManager manager;
            int failures = 0;
            for (int i = 0; i < kEach; ++i) {
                const std::string name = std::to_string(child) + "-" + std::to_string(i);
                failures += manager.addOpenFile({"/docs/" + name + ".m2p", "/tmp/" + name}) ? 0 : 1;
            }
            // Every child also tries the same document once; only one may win.
            const bool won = manager.addOpenFile({"/docs/shared.m2p", "/tmp/shared"});
            ::_exit(failures > 0 ? 2 : won ? 1 : 0);
        }
        children.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]);  // end of file releases every child
    int winners = 0;
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "a child's own add was refused";
        winners += WEXITSTATUS(status);
    }
    EXPECT_EQ(winners, 1);
    const auto records = recordsOnDisk();
    EXPECT_EQ(records.size(), static_cast<std::size_t>(kChildren * kEach + 1));
    for (int child = 0; child < kChildren; ++child) {
        for (int i = 0; i < kEach; ++i) {
            const std::string plain = "/tmp/" + std::to_string(child) + "-" + std::to_string(i);
            EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const OpenFileItem& r) {
                return r.plainPath == plain;
            })) << plain;
        }
    }
}

}  // namespace

TEST_F(OpenFileManagerTest, OpenForEditingAsksByTheEncryptedPathOfALiveWorkingCopy) {
    const std::string copy = workingCopy("report.txt");
    // Its launcher still runs: it holds the lock on the copy's folder.
    const m2::platform::UniqueFd running(
        ::open(fs::path(copy).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_EQ(::flock(running.get(), LOCK_EX | LOCK_NB), 0);
    {
        OpenFileManager launcher;  // another process's list
        ASSERT_TRUE(launcher.addOpenFile({"/docs/work//report.txt.m2p", copy}));
        ASSERT_TRUE(launcher.addOpenFile({"/docs/gone.txt.m2p", "/nowhere/gone.txt"}));
    }
    const auto before = readFile(list());
    OpenFileManager reader;
    struct Case {
        const char* path;
        bool open;
    };
    for (const Case& c :
         {Case{"/docs/work/report.txt.m2p", true}, Case{"/docs//work//report.txt.m2p", true},
          Case{"/docs/work/report.txt", false},
          Case{"/docs/gone.txt.m2p", false},  // its working copy is gone
          Case{"/docs/other.m2p", false}}) {
        EXPECT_EQ(reader.isOpenForEditing(c.path), c.open) << c.path;
    }
    EXPECT_EQ(readFile(list()), before);  // asking writes nothing
}
