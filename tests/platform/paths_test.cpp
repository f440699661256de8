#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Paths.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace m2::platform;
using namespace m2::test;

namespace {

TEST(Paths, DocumentsFolderOverrideThenEnvironmentThenXdgThenHome) {
    TempDir dir;
    const ScopedEnv home("HOME", dir.path().string());
    const ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const ScopedEnv env("M2_DOCUMENTS_DIR", std::nullopt);

    fs::create_directories(dir / "config");
    g_reload_user_special_dirs_cache();
    EXPECT_EQ(documentsFolder(), dir / "Documents");

    writeFile(dir / "config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    g_reload_user_special_dirs_cache();
    EXPECT_EQ(documentsFolder(), dir / "Dokumente");

    {
        const ScopedEnv fromEnv("M2_DOCUMENTS_DIR", (dir / "envdocs").string());
        EXPECT_EQ(documentsFolder(), dir / "envdocs");
        setDocumentsFolderOverride(dir / "override");
        EXPECT_EQ(documentsFolder(), dir / "override");
        EXPECT_EQ(baseFolderText(), (dir / "override").string() + "/Morvane/");
        setDocumentsFolderOverride(std::nullopt);
        EXPECT_EQ(documentsFolder(), dir / "envdocs");
    }
    fs::remove(dir / "config/user-dirs.dirs");
    g_reload_user_special_dirs_cache();
}

TEST(Paths, BaseFolderIsCreatedWithParentsPrivateWhenNew) {
    TempDir dir;
    setDocumentsFolderOverride(dir / "a/b/Documents/");
    const mode_t oldMask = ::umask(0);
    const auto made = ensureBaseFolder();
    ::umask(oldMask);
    ASSERT_TRUE(made) << made.message;
    EXPECT_EQ(made.path, dir / "a/b/Documents/Morvane");
    EXPECT_EQ(baseFolderText(), (dir / "a/b/Documents").string() + "/Morvane/");
    EXPECT_EQ(permissionBits(made.path), 0700u);

    // An existing folder keeps the mode the user gave it.
    ASSERT_EQ(::chmod(made.path.c_str(), 0750), 0);
    EXPECT_TRUE(ensureBaseFolder());
    EXPECT_EQ(permissionBits(made.path), 0750u);

    // A file where the folder should be is reported, not replaced.
    setDocumentsFolderOverride(dir / "docs2");
    fs::create_directory(dir / "docs2");
    writeFile(dir / "docs2/Morvane", "not a folder");
    const auto blocked = ensureBaseFolder();
    EXPECT_FALSE(blocked);
    EXPECT_FALSE(blocked.message.empty());
    EXPECT_EQ(readFile(dir / "docs2/Morvane"), "not a folder");
    setDocumentsFolderOverride(std::nullopt);
}

TEST(Paths, PrivateTemporaryFolderLocationAndMode) {
    TempDir dir;
    fs::create_directory(dir / "run");
    fs::create_directory(dir / "tmp");
    {
        const ScopedEnv runtime("XDG_RUNTIME_DIR", (dir / "run").string());
        const auto folder = privateTemporaryFolder();
        ASSERT_TRUE(folder) << folder.message;
        EXPECT_EQ(folder.path, dir / "run/morvane2");
        EXPECT_EQ(permissionBits(folder.path), 0700u);
        EXPECT_TRUE(privateTemporaryFolder());  // an existing good folder is reused
    }
    {
        const ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
        const ScopedEnv tmp("TMPDIR", (dir / "tmp").string());
        const auto folder = privateTemporaryFolder();
        ASSERT_TRUE(folder) << folder.message;
        EXPECT_EQ(folder.path, dir / ("tmp/morvane2-" + std::to_string(::geteuid())));
        EXPECT_EQ(permissionBits(folder.path), 0700u);
    }
}

// The one instance's folder is the same with and without a runtime folder (a start from su
// or ssh has none), made when missing, private, and refused when others can open it.
TEST(Paths, PrivateInstanceFolderDoesNotDependOnTheRuntimeFolder) {
    TempDir dir;
    const ScopedEnv home("HOME", dir.path().string());
    const ScopedEnv cache("XDG_CACHE_HOME", std::nullopt);
    fs::create_directory(dir / "run");
    FolderResult withRuntime;
    {
        const ScopedEnv runtime("XDG_RUNTIME_DIR", (dir / "run").string());
        withRuntime = privateInstanceFolder();
    }
    const ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    const auto without = privateInstanceFolder();
    ASSERT_TRUE(withRuntime) << withRuntime.message;
    ASSERT_TRUE(without) << without.message;
    EXPECT_EQ(without.path, dir / ".cache/morvane2");
    EXPECT_EQ(withRuntime.path, without.path);
    EXPECT_EQ(permissionBits(without.path), 0700u);
    fs::permissions(without.path, fs::perms::group_read | fs::perms::group_exec,
                    fs::perm_options::add);
    EXPECT_FALSE(privateInstanceFolder());
}

TEST(Paths, PrivateTemporaryFolderInAnyUnsafeStateFails) {
    TempDir dir;
    const ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    const fs::path folder = dir / "morvane2";
    const struct {
        const char* name;
        void (*arrange)(const fs::path& folder, const fs::path& dir);
    } cases[] = {
        {"readable by group",
         [](const fs::path& f, const fs::path&) {
             fs::create_directory(f);
             ::chmod(f.c_str(), 0750);
         }},
        {"open to others",
         [](const fs::path& f, const fs::path&) {
             fs::create_directory(f);
             ::chmod(f.c_str(), 0777);
         }},
        {"symbolic link to a private folder",
         [](const fs::path& f, const fs::path& d) {
             fs::create_directory(d / "elsewhere");
             ::chmod((d / "elsewhere").c_str(), 0700);
             fs::create_directory_symlink(d / "elsewhere", f);
         }},
        {"a plain file", [](const fs::path& f, const fs::path&) { writeFile(f, "x"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange(folder, dir.path());
        const auto result = privateTemporaryFolder();
        EXPECT_FALSE(result);
        EXPECT_FALSE(result.message.empty());
        fs::remove_all(folder);
        fs::remove_all(dir / "elsewhere");
    }
    if (::geteuid() == 0) {
        fs::create_directory(folder);
        ::chmod(folder.c_str(), 0700);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(privateTemporaryFolder()) << "a folder of another user";
    }
}

TEST(Paths, PlainFilesAreCreatedExclusivelyMode0600) {
    TempDir dir;
    const mode_t oldMask = ::umask(0);
    {
        const auto fd = createPlainFile(dir / "plain.txt");
        ASSERT_TRUE(fd);
        ASSERT_EQ(::write(fd.get(), "abc", 3), 3);
    }
    ::umask(oldMask);
    EXPECT_EQ(permissionBits(dir / "plain.txt"), 0600u);

    errno = 0;
    EXPECT_FALSE(createPlainFile(dir / "plain.txt"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(dir / "plain.txt"), "abc");

    writeFile(dir / "victim", "keep");
    fs::create_symlink(dir / "victim", dir / "link");
    EXPECT_FALSE(createPlainFile(dir / "link"));
    fs::create_symlink(dir / "absent", dir / "dangling");
    EXPECT_FALSE(createPlainFile(dir / "dangling"));
    EXPECT_FALSE(fs::exists(dir / "absent"));
    EXPECT_EQ(readFile(dir / "victim"), "keep");
}

}  // namespace
