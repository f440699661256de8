#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/FileDescriptor.h"
#include "platform/WorkingFolders.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace m2::platform;
using namespace m2::test;

namespace {

// A private runtime folder and a private disk folder, both under a scratch folder.
class WorkingFoldersTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "run");
        fs::create_directories(dir_ / "tmp");
        ::chmod((dir_ / "run").c_str(), 0700);
    }

    [[nodiscard]] fs::path runtimeRoot() const { return dir_ / "run/morvane2"; }
    [[nodiscard]] fs::path diskRoot() const {
        return dir_ / ("tmp/morvane2-" + std::to_string(::geteuid()));
    }
    [[nodiscard]] static fs::path made(WorkingFolderPurpose purpose, std::uintmax_t bytes = 0) {
        const auto folder = makeWorkingFolder(purpose, bytes);
        EXPECT_TRUE(folder) << folder.message;
        return folder.path;
    }

    TempDir dir_;
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", (dir_ / "run").string()};
    ScopedEnv tmp_{"TMPDIR", (dir_ / "tmp").string()};
};

TEST_F(WorkingFoldersTest, EachOperationGetsAFreshPrivateSubFolderNamedByItsPurpose) {
    const fs::path a = made(WorkingFolderPurpose::Document);
    const fs::path b = made(WorkingFolderPurpose::Document);
    const fs::path notes = made(WorkingFolderPurpose::Notes);
    const fs::path rekeying = made(WorkingFolderPurpose::Rekeying);
    EXPECT_NE(a, b);
    for (const fs::path& folder : {a, b, notes, rekeying}) {
        EXPECT_EQ(folder.parent_path(), runtimeRoot());
        EXPECT_EQ(permissionBits(folder), 0700u) << folder;
        EXPECT_TRUE(listFolder(folder).empty());
    }
    EXPECT_TRUE(a.filename().string().starts_with("document-"));
    EXPECT_TRUE(notes.filename().string().starts_with("notes-"));
    EXPECT_TRUE(rekeying.filename().string().starts_with("rekeying-"));

    // An unsafe private folder is reported, not worked around on the disk.
    ::chmod(runtimeRoot().c_str(), 0755);
    const auto refused = makeWorkingFolder(WorkingFolderPurpose::Document, 0);
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.message.empty());
    EXPECT_FALSE(pathExists(diskRoot()));
}

TEST_F(WorkingFoldersTest, RemovalTakesTheWholeSubFolderAndNothingOutsideIt) {
    const fs::path folder = made(WorkingFolderPurpose::Document);
    const fs::path outside = dir_ / "outside.txt";
    writeFile(outside, "keep me");
    writeFile(folder / "report.txt", "plain");
    writeFile(folder / ".~lock.report.txt#", "editor lock");
    fs::create_directory(folder / "backup");
    writeFile(folder / "backup/report.txt~", "older plain");
    ::chmod((folder / "backup").c_str(), 0500);
    fs::create_symlink(outside, folder / "link-to-outside");

    // The plain copy's path as the engine gives it ("//" before the name) finds its folder.
    ASSERT_TRUE(removeWorkingFolder(folder.string() + "//report.txt"));
    EXPECT_FALSE(pathExists(folder));
    EXPECT_EQ(readFile(outside), "keep me");
    EXPECT_TRUE(removeWorkingFolder(folder)) << "already gone counts as removed";
}

TEST_F(WorkingFoldersTest, RemovalRefusesEveryPathOutsideAWorkingSubFolder) {
    const fs::path folder = made(WorkingFolderPurpose::Notes);
    writeFile(folder / "notes.xml", "plain notes");
    fs::create_directories(runtimeRoot() / "instance");
    writeFile(runtimeRoot() / "instance/socket", "another service's file");
    fs::create_directories(dir_ / "docs");
    writeFile(dir_ / "docs/a.txt", "a document");
    fs::create_directory_symlink(dir_ / "docs", runtimeRoot() / "document-AbC123");

    const std::string cases[] = {
        (dir_ / "docs/a.txt").string(),
        (dir_ / "docs").string(),
        runtimeRoot().string(),
        runtimeRoot().string() + "/",
        (runtimeRoot() / "instance/socket").string(),
        (runtimeRoot() / "instance").string(),
        (folder / "../instance/socket").string(),
        (folder / "../../morvane2").string(),
        (runtimeRoot() / "document-AbC123/a.txt").string(),  // a link under our name
        (runtimeRoot() / "document-toolong1/x").string(),
        "relative/" + folder.filename().string() + "/notes.xml",
        "",
    };
    for (const std::string& path : cases) {
        EXPECT_FALSE(removeWorkingFolder(path)) << path;
    }
    EXPECT_EQ(readFile(folder / "notes.xml"), "plain notes");
    EXPECT_EQ(readFile(runtimeRoot() / "instance/socket"), "another service's file");
    EXPECT_EQ(readFile(dir_ / "docs/a.txt"), "a document");
    EXPECT_TRUE(fs::is_symlink(runtimeRoot() / "document-AbC123"));
}

// A descriptor opened before the removal still reads the file's blocks afterwards: on a disk
// they must hold no plain text any more.
TEST_F(WorkingFoldersTest, PlainCopiesOnADiskAreOverwrittenBeforeTheyGo) {
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    const std::string secret = patternText(70000);
    const auto overwritten = [](const UniqueFd& fd, std::size_t size) {
        std::string bytes(size, '\0');
        return ::pread(fd.get(), bytes.data(), size, 0) == static_cast<ssize_t>(size) &&
               bytes == std::string(size, '\xFF');
    };

    const fs::path folder = made(WorkingFolderPurpose::Document);
    EXPECT_EQ(folder.parent_path(), diskRoot());
    writeFile(folder / "a.txt", secret);
    writeFile(folder / "b.txt", secret);
    ::chmod((folder / "b.txt").c_str(), 0400);  // locked by the editor
    const UniqueFd a(::open((folder / "a.txt").c_str(), O_RDONLY | O_CLOEXEC));
    const UniqueFd b(::open((folder / "b.txt").c_str(), O_RDONLY | O_CLOEXEC));

    ASSERT_TRUE(removePlainCopy(folder.string() + "//a.txt"));
    EXPECT_FALSE(pathExists(folder / "a.txt"));
    EXPECT_TRUE(overwritten(a, secret.size()));
    ASSERT_TRUE(removeWorkingFolder(folder));
    EXPECT_TRUE(overwritten(b, secret.size()));

    // Outside the working folders a removal stays a plain removal.
    writeFile(dir_ / "c.txt", secret);
    const UniqueFd c(::open((dir_ / "c.txt").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(removePlainCopy(dir_ / "c.txt"));
    EXPECT_FALSE(overwritten(c, secret.size()));
    EXPECT_FALSE(removePlainCopy(dir_ / "c.txt")) << "nothing to remove";
}

TEST_F(WorkingFoldersTest, ADocumentTooLargeForTheRuntimeFolderGoesToTheDisk) {
    const SmallTmpfs small(8 * 1024 * 1024);
    if (!small.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << small.whyNotMounted();
    }
    const ScopedEnv runtime("XDG_RUNTIME_DIR", small.path().string());
    EXPECT_EQ(made(WorkingFolderPurpose::Document, 100 * 1024).parent_path(), small / "morvane2");
    EXPECT_EQ(made(WorkingFolderPurpose::Notes, 4 * 1024 * 1024).parent_path(), diskRoot());
    EXPECT_EQ(permissionBits(diskRoot()), 0700u);
}

TEST_F(WorkingFoldersTest, StartUpRemovesNotesAndRekeyingLeftoversButNoDocument) {
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    const fs::path onDisk = made(WorkingFolderPurpose::Notes);
    const ScopedEnv runtime("XDG_RUNTIME_DIR", (dir_ / "run").string());
    ASSERT_TRUE(privateTemporaryFolder());

    // Leftovers of a crash: made by hand, so no running process holds them.
    const auto leftover = [](const fs::path& folder, const std::string& content) {
        fs::create_directory(folder);
        ::chmod(folder.c_str(), 0700);
        writeFile(folder / "copy.txt", content);
        return folder;
    };
    const fs::path staleNotes = leftover(runtimeRoot() / "notes-Q1w2E3", "notes");
    const fs::path staleRekeying = leftover(runtimeRoot() / "rekeying-a1B2c3", "library");
    const fs::path document = leftover(runtimeRoot() / "document-Z9y8X7", "the only edits");
    const fs::path other = leftover(runtimeRoot() / "notes-not-ours", "someone's");
    writeFile(onDisk / "copy.txt", "notes on disk");
    const fs::path inUse = made(WorkingFolderPurpose::Rekeying);  // this process keeps it
    writeFile(inUse / "copy.txt", "being re-keyed");

    // The disk folder's leftover is held by this process too: it must stay.
    EXPECT_EQ(removeStaleWorkingFolders(), 2u);
    EXPECT_FALSE(pathExists(staleNotes));
    EXPECT_FALSE(pathExists(staleRekeying));
    EXPECT_EQ(readFile(document / "copy.txt"), "the only edits");
    EXPECT_EQ(readFile(other / "copy.txt"), "someone's");
    EXPECT_EQ(readFile(inUse / "copy.txt"), "being re-keyed");
    EXPECT_EQ(readFile(onDisk / "copy.txt"), "notes on disk");

    // Once released, the disk folder's one goes at the next start like any other.
    ASSERT_TRUE(removeWorkingFolder(inUse));
    fs::remove_all(onDisk);
    const fs::path diskLeftover = leftover(diskRoot() / "notes-D1s2k3", "notes on disk");
    EXPECT_EQ(removeStaleWorkingFolders(), 1u);
    EXPECT_FALSE(pathExists(diskLeftover));
}

}  // namespace
