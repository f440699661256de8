// `cmake --install` of this build into a fresh prefix: the program, the desktop entry, the
// MIME package and the icon land in the standard places, the entry validates and starts the
// installed program by its absolute path (whatever the prefix), and the MIME database made
// from the package maps "*.m2p" to our type.
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/CommandOutput.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

const std::string kMimeType = "application/x-morvane2-encrypted";

// The program the entry starts, as the desktop reads its Exec line when it launches it
// (GLib's key-file and argument parsers).
std::string programOfEntry(const fs::path& entry) {
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.c_str());
    if (info == nullptr) {
        return "(the desktop does not load the entry)";
    }
    const char* commandLine = g_app_info_get_commandline(G_APP_INFO(info));
    gchar** argv = nullptr;
    std::string program = "(Exec does not parse)";
    if (commandLine != nullptr && g_shell_parse_argv(commandLine, nullptr, &argv, nullptr)) {
        program = argv[0];
        g_strfreev(argv);
    }
    g_object_unref(info);
    return program;
}

// desktop-file-validate's complaints, or "" when the entry is clean.
std::string validationOf(const fs::path& entry) {
    int status = -1;
    std::string found =
        m2test::programOutput({"/usr/bin/desktop-file-validate", entry.string()}, {}, "/", &status);
    return status == 0 && found.empty() ? "" : found + " (status " + std::to_string(status) + ")";
}

// `cmake --install` of this build into `prefix`, without a shell: what it printed.
std::string installInto(const fs::path& prefix, int* status) {
    const char* path = std::getenv("PATH");
    return m2test::programOutput(
        {"/usr/bin/cmake", "--install", M2_BINARY_DIR, "--prefix", prefix.string()},
        {"PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin")}, "/", status);
}

TEST(Install, PutsProgramEntryMimeTypeAndIconInTheStandardPlaces) {
    m2::test::TempDir prefix;
    int status = -1;
    const std::string log = installInto(prefix.path(), &status);
    ASSERT_EQ(status, 0) << log;

    const fs::path program = prefix / "bin/morvane2";
    EXPECT_TRUE(fs::is_regular_file(program));
    EXPECT_NE(fs::status(program).permissions() & fs::perms::owner_exec, fs::perms::none);
    if (fs::exists(fs::path(M2_BINARY_DIR) / "m2-launcher")) {
        const fs::path launcher = prefix / "libexec/morvane2/m2-launcher";
        EXPECT_TRUE(fs::is_regular_file(launcher));
        // The program in the installed layout finds it there, whatever the prefix: a probe
        // running the program's own search from the installed program's folder.
        const fs::path probe = prefix / "bin/launcher_probe";
        fs::copy_file(m2::test::testHelper("launcher_probe"), probe);
        EXPECT_EQ(m2test::commandOutput("'" + probe.string() + "'", &status),
                  launcher.string() + "\n");
        EXPECT_EQ(status, 0);
        fs::remove(probe);
    }
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/icons/hicolor/scalable/apps/morvane2.svg"));

    const fs::path entry = prefix / "share/applications/morvane2.desktop";
    ASSERT_TRUE(fs::is_regular_file(entry));
    const std::string validation =
        m2test::commandOutput("desktop-file-validate '" + entry.string() + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << validation;
    EXPECT_EQ(validation, "") << "hints or warnings";
    const std::string text = m2::test::readFile(entry);
    // Started by its installed path, so it is offered for ".m2p" files whatever PATH holds.
    EXPECT_EQ(programOfEntry(entry), program.string()) << text;
    EXPECT_NE(text.find("\nExec="), std::string::npos) << text;
    EXPECT_NE(text.find(" %F\n"), std::string::npos) << "the entry takes no files: " << text;
    EXPECT_NE(text.find("\nMimeType=" + kMimeType + ";\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=morvane2\n"), std::string::npos) << text;

    const fs::path mime = prefix / "share/mime";
    ASSERT_TRUE(fs::is_regular_file(mime / "packages/morvane2.xml"));
    const std::string update =
        m2test::commandOutput("update-mime-database '" + mime.string() + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << update;
    const std::string globs = m2::test::readFile(mime / "globs2");
    EXPECT_NE(globs.find(":" + kMimeType + ":*.m2p"), std::string::npos) << globs;
}

// The words of `text` between the first "(" after `start` and the next ")".
std::vector<std::string> wordsInParentheses(const std::string& text, const std::string& start) {
    std::vector<std::string> words;
    const std::size_t open = text.find('(', text.find(start));
    const std::size_t close = text.find(')', open);
    if (open == std::string::npos || close == std::string::npos) {
        return words;
    }
    std::istringstream list(text.substr(open + 1, close - open - 1));
    for (std::string word; list >> word;) {
        words.push_back(word);
    }
    return words;
}

// The commands of the README's install step, on a machine the start command set up: each
// comes from a package that scripts/setup.sh installs without --tests.
TEST(Install, TheReadmesInstallCommandsComeWithTheStartCommand) {
    const std::string readme = m2::test::readFile(fs::path(M2_SOURCE_DIR) / "README.md");
    const std::vector<std::string> packages = wordsInParentheses(
        m2::test::readFile(fs::path(M2_SOURCE_DIR) / "scripts/setup.sh"), "\npackages=");
    ASSERT_FALSE(packages.empty());
    std::istringstream lines(readme.substr(readme.find("\nInstall it")));
    std::vector<std::string> commands;
    bool inBlock = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("    ", 0) == 0) {
            inBlock = true;
            commands.push_back(line.substr(4, line.find(' ', 4) - 4));
        } else if (inBlock) {
            break;
        }
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"cmake", "update-mime-database",
                                                  "update-desktop-database"}));
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        int status = -1;
        const std::string owner = m2test::programOutput(
            {"/usr/bin/dpkg-query", "-S", "/usr/bin/" + command}, {}, "/", &status);
        ASSERT_EQ(status, 0) << owner;
        const std::string package = owner.substr(0, owner.find(':'));
        EXPECT_NE(std::find(packages.begin(), packages.end(), package), packages.end())
            << package << " is installed only with --tests";
    }
}

// A prefix with characters the Exec line must quote and escape: the entry still validates and
// starts the program installed there.
TEST(Install, EntryStartsTheInstalledProgramFromAnAwkwardPrefix) {
    m2::test::TempDir folder;
    const fs::path prefix = folder / "my apps $HOME 'x' \"y\" (z)";
    int status = -1;
    const std::string log = installInto(prefix, &status);
    ASSERT_EQ(status, 0) << log;

    const fs::path entry = prefix / "share/applications/morvane2.desktop";
    ASSERT_TRUE(fs::is_regular_file(entry)) << log;
    EXPECT_EQ(validationOf(entry), "");
    EXPECT_EQ(programOfEntry(entry), (prefix / "bin/morvane2").string())
        << m2::test::readFile(entry);
}

// Several installs from this build at once, each into a prefix of its own (as the tests of a
// build do): each gets a whole entry naming its own program, never another's or a half one.
TEST(Install, InstallsAtOnceFromOneBuildEachGetTheirOwnEntry) {
    m2::test::TempDir folder;
    constexpr int kInstalls = 16;
    std::vector<int> statuses(kInstalls, -1);
    std::vector<std::thread> installs;
    for (int i = 0; i < kInstalls; ++i) {
        installs.emplace_back([&, i] { installInto(folder / std::to_string(i), &statuses[i]); });
    }
    for (std::thread& install : installs) {
        install.join();
    }
    for (int i = 0; i < kInstalls; ++i) {
        SCOPED_TRACE(i);
        const fs::path prefix = folder / std::to_string(i);
        const fs::path entry = prefix / "share/applications/morvane2.desktop";
        ASSERT_EQ(statuses[i], 0);
        EXPECT_EQ(validationOf(entry), "");
        EXPECT_EQ(programOfEntry(entry), (prefix / "bin/morvane2").string())
            << m2::test::readFile(entry);
    }
}

}  // namespace
