#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Launcher.h"
#include "support/CommandOutput.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace m2::platform;
using namespace m2::test;

namespace {

TEST(Launcher, ArgumentIsThePathVerbatimWithNoPasswordInIt) {
    const std::string paths[] = {
        "/home/u/a.txt.m2p",
        "/home/u/it's a $(touch PWNED) \"x\" `id` \\n.m2p",
        "/home/u/with space/and tab\t.m2p",
        "/home/u/Über 日本 ñ.m2p",
        "/home/u/1,2.m2p",
    };
    for (const std::string& path : paths) {
        EXPECT_EQ(launcherArgument(path), path + ",-,hint") << path;
    }
}

TEST(Launcher, FoundBesideTheProgramElseInTheInstallFolderOnly) {
    TempDir dir;
    const auto executable = [](const fs::path& path) {
        writeFile(path, "#!/bin/false\n");
        ::chmod(path.c_str(), 0755);
    };
    const fs::path program = dir / "bin";
    const fs::path install = dir / "libexec";
    fs::create_directories(program);
    fs::create_directories(install);

    EXPECT_EQ(findLauncherIn(program, install), std::nullopt);
    executable(install / kLauncherName);
    EXPECT_EQ(findLauncherIn(program, install), install / kLauncherName);
    writeFile(program / kLauncherName, "not executable");
    EXPECT_EQ(findLauncherIn(program, install), install / kLauncherName);
    fs::remove(program / kLauncherName);
    fs::create_directory(program / kLauncherName);
    ::chmod((program / kLauncherName).c_str(), 0755);
    EXPECT_EQ(findLauncherIn(program, install), install / kLauncherName) << "a folder";
    fs::remove(program / kLauncherName);
    fs::create_symlink(install / kLauncherName, program / kLauncherName);
    EXPECT_EQ(findLauncherIn(program, install), program / kLauncherName);
    EXPECT_EQ(findLauncherIn("bin", "libexec"), std::nullopt) << "relative folders";
}

// Installed under another prefix than the one it was built for, the program finds the
// launcher where the install put it relative to itself, before the built-in folder.
TEST(Launcher, FoundInTheInstalledLayoutUnderAnyPrefix) {
    TempDir dir;
    const fs::path program = dir / "prefix/bin";
    const fs::path installed = dir / "prefix/libexec/morvane2";
    const fs::path builtIn = dir / "usr/local/libexec/morvane2";
    for (const fs::path& folder : {program, installed, builtIn}) {
        fs::create_directories(folder);
    }
    writeFile(builtIn / kLauncherName, "#!/bin/false\n");
    ::chmod((builtIn / kLauncherName).c_str(), 0755);
    EXPECT_EQ(findLauncherIn(program, builtIn, "../libexec/morvane2"), builtIn / kLauncherName);
    writeFile(installed / kLauncherName, "#!/bin/false\n");
    ::chmod((installed / kLauncherName).c_str(), 0755);
    EXPECT_EQ(findLauncherIn(program, builtIn, "../libexec/morvane2"), installed / kLauncherName);
    EXPECT_EQ(findLauncherIn(program, builtIn, installed), builtIn / kLauncherName)
        << "only a relative layout counts";
}

// The running program's own folder is where its resolved path lies, never where a link to
// it lies, the working folder or PATH.
TEST(Launcher, TheRunningProgramLooksBesideItsResolvedSelf) {
    PrivateDesktop desktop;
    for (const char* folder : {"real", "link", "path"}) {
        fs::create_directories(desktop / folder);
    }
    fs::copy_file(testHelper("desktop_probe"), desktop / "real/desktop_probe");
    fs::create_symlink(desktop / "real/desktop_probe", desktop / "link/desktop_probe");
    for (const fs::path& decoy :
         {desktop / "link" / kLauncherName, desktop / "path" / kLauncherName,
          desktop / "cwd" / kLauncherName}) {
        fs::copy_file(testHelper("recorder"), decoy);
    }
    const auto run = [&] {
        return m2test::programOutput({(desktop / "link/desktop_probe").string(), "find-launcher"},
                                     desktop.environment({"PATH=" + (desktop / "path").string()}),
                                     (desktop / "cwd").string());
    };
    fs::copy_file(testHelper("recorder"), desktop / "real" / kLauncherName);
    EXPECT_EQ(run(), "launcher=" + (desktop / "real" / kLauncherName).string() + "\n");
    fs::remove(desktop / "real" / kLauncherName);
    const std::string fallback = run();
    EXPECT_EQ(fallback.find(desktop.root().string()), std::string::npos) << fallback;
}

// The caller (the probe) starts the recorder as the launcher and ends at once; the recorder
// writes down what it got, waits for the release file, and notes that it is still there.
TEST(Launcher, StartsWithoutAShellPasswordOnStandardInputAndOutlivesTheCaller) {
    PrivateDesktop desktop;
    const struct {
        std::string document;
        std::string password;
    } cases[] = {
        {"/docs/plain name.txt.m2p", "correct horse"},
        {"/docs/it's a $(touch PWNED) \"x\",y.m2p", "pa\"ss $(id) `id` \\ 'q' ,comma space"},
        {"/docs/Über 日本.m2p", "пароль ü 日本\nsecond line"},
    };
    std::vector<pid_t> pids;
    for (const auto& c : cases) {
        const auto answer = desktop.probe(
            {"start-launcher", testHelper("recorder").string(), c.document},
            {"M2_TEST_READ_STDIN=1", "M2_TEST_RELEASE=" + desktop.releaseFile().string(),
             "M2_TEST_PASSWORD=" + c.password});
        ASSERT_EQ(answer.at("error"), "0") << answer.at("message");
        const pid_t pid = std::stoi(answer.at("pid"));
        ASSERT_TRUE(waitForPath(desktop / ("records/" + std::to_string(pid) + ".started")));
        // Nobody else can read the password from the running launcher's command line.
        const std::string cmdline = readFile("/proc/" + std::to_string(pid) + "/cmdline");
        EXPECT_EQ(cmdline,
                  testHelper("recorder").string() + '\0' + launcherArgument(c.document) + '\0');
        pids.push_back(pid);
    }
    // Every caller has ended by now.
    writeFile(desktop.releaseFile(), "");
    for (const pid_t pid : pids) {
        EXPECT_TRUE(waitForPath(desktop / ("records/" + std::to_string(pid) + ".after")));
    }

    const auto recorded = desktop.recorded();
    ASSERT_EQ(recorded.size(), std::size(cases));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        const auto found = std::find_if(recorded.begin(), recorded.end(), [&](const auto& r) {
            return r.arguments == std::vector<std::string>{launcherArgument(c.document)};
        });
        ASSERT_NE(found, recorded.end());
        EXPECT_EQ(found->input, c.password);
        EXPECT_EQ(found->session, found->pid) << "a session of its own";
        EXPECT_TRUE(found->after) << "outlived its caller";
    }
    EXPECT_TRUE(listFolder(desktop / "cwd").empty()) << "nothing ran what the names hold";
}

// The launcher's side: everything up to the end of input, whatever it holds.
TEST(Launcher, ThePasswordIsReadToTheEndOfInput) {
    for (const std::string& password :
         {std::string("correct horse"), std::string(), std::string("a,b\n\"$(x)\" \0 \xC3\xBC", 15),
          std::string(100000, 'p')}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        std::thread writer([&] {
            (void)!::write(ends[1], password.data(), password.size());
            ::close(ends[1]);
        });
        const auto read = readLauncherPassword(ends[0]);
        writer.join();
        ::close(ends[0]);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->view(), password.substr(0, 64 * 1024));
    }
}

TEST(Launcher, AMissingLauncherIsReported) {
    TempDir dir;
    const LaunchResult result = startLauncher(dir / "absent", "/docs/a.m2p", "password");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_EQ(result.pid, -1);
    EXPECT_FALSE(result.message.empty());
}

}  // namespace
