#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/Workspace.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace m2::platform;
using namespace m2::test;

namespace {

TEST(Workspace, FileUrlTextEscapesWhatAUrlCannotHold) {
    const struct {
        std::string path;
        std::string url;
    } cases[] = {
        {"/home/u/a.txt", "file:///home/u/a.txt"},
        {"/home/u/my file #1?.txt", "file:///home/u/my%20file%20%231%3F.txt"},
        {"/tmp/100%", "file:///tmp/100%25"},
        {"/tmp/Über", "file:///tmp/%C3%9Cber"},
        {"/tmp/bad\xFF", "file:///tmp/bad%FF"},
        {"/tmp/cr\r", "file:///tmp/cr%0D"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileUrlText(c.path), c.url) << c.path;
    }
}

// A private desktop whose only handler for text files writes the path it was given into a
// marker file, so the test sees GIO pick and start the default application.
TEST(Workspace, GioOpensTheFileWithTheDefaultApplication) {
    TempDir dir;
    const ScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").string());
    const ScopedEnv dataDirs("XDG_DATA_DIRS", "/usr/share");
    const ScopedEnv configHome("XDG_CONFIG_HOME", (dir / "config").string());
    const ScopedEnv configDirs("XDG_CONFIG_DIRS", (dir / "etc").string());
    const ScopedEnv desktop("XDG_CURRENT_DESKTOP", std::nullopt);
    fs::create_directories(dir / "data/applications");
    fs::create_directories(dir / "config");
    const fs::path marker = dir / "opened";
    writeFile(dir / "data/applications/m2-test-viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Viewer\nMimeType=text/plain;\n"
              "Exec=/bin/sh -c 'printf %s \"$1\" > " +
                  marker.string() + "' sh %f\n");
    writeFile(dir / "config/mimeapps.list",
              "[Default Applications]\ntext/plain=m2-test-viewer.desktop\n");
    const fs::path document = dir / "notes.txt";
    writeFile(document, "hello\n");

    GioWorkspace gio;
    ASSERT_TRUE(gio.openFile(document.string()));
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(readFile(marker), document.string());
    EXPECT_EQ(readFile(document), "hello\n");
}

using Outcome = WaitedApplication::Outcome;

std::string outcomeText(Outcome outcome) {
    return std::to_string(static_cast<int>(outcome));
}

// A private desktop whose text files open in the recorder; the document lives in "docs".
class OpenAndWait : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(desktop / "docs");
        desktop.addApplication("m2-editor", "MimeType=text/plain;inode/directory;\n");
        desktop.addApplication("org.example.M2Activatable",
                               "MimeType=text/plain;\nDBusActivatable=true\n");
    }
    // The recorder writes its record when it starts, which may be after the probe returned.
    [[nodiscard]] bool waitForRecorded(std::size_t count) const {
        for (int i = 0; i < 2000 && desktop.recorded().size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return desktop.recorded().size() == count;
    }
    [[nodiscard]] fs::path document(const std::string& name) const {
        const fs::path path = desktop / ("docs/" + name);
        writeFile(path, "plain text\n");
        return path;
    }

    PrivateDesktop desktop;
};

TEST_F(OpenAndWait, WaitsUntilTheApplicationEndsAndTellsHowItEnded) {
    desktop.setDefault("text/plain", "m2-editor");
    const fs::path file = document("report.txt");
    auto probe = std::async(std::launch::async, [&] {
        return desktop.probe({"open-and-wait", file.string()},
                             {"M2_TEST_RELEASE=" + desktop.releaseFile().string(), "M2_TEST_EXIT=5",
                              "M2_TEST_APPEND=edited\n"});
    });
    ASSERT_TRUE(waitForRecorded(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(probe.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "answered while the application still ran";
    writeFile(desktop.releaseFile(), "");
    const auto answer = probe.get();

    EXPECT_EQ(answer.at("outcome"), outcomeText(Outcome::Ended));
    EXPECT_EQ(answer.at("exit"), "5");
    EXPECT_EQ(answer.at("signal"), "0");
    EXPECT_GE(std::stoi(answer.at("ms")), 300);
    EXPECT_EQ(readFile(file), "plain text\nedited\n");
    const auto recorded = desktop.recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_TRUE(recorded[0].after) << "the wait ended only after the application";
}

// Each row: the default entry, the file's name, and a private session bus or none; the
// recorder exits at once and must have got the file as its one argument. On a bus GIO would
// start a D-Bus-activatable entry through the bus, which gives no process to wait for.
TEST_F(OpenAndWait, TheFileArrivesAsOneArgumentAndItsProcessIsWaitedFor) {
    const std::vector<std::string> noBus;
    const std::vector<std::string> bus = {"/usr/bin/dbus-run-session", "--"};
    const struct {
        const char* entry;
        const char* name;
        const std::vector<std::string>& wrapper;
    } cases[] = {
        {"m2-editor", "notes.txt", noBus},
        {"m2-editor", "it's a $(touch PWNED) \"x\",y.txt", noBus},
        {"m2-editor", "`touch PWNED` \\ ; & | > Über.txt", bus},
        {"org.example.M2Activatable", "activatable.txt", noBus},
        {"org.example.M2Activatable", "activatable on a bus.txt", bus},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.setDefault("text/plain", c.entry);
        fs::remove_all(desktop / "records");
        fs::create_directory(desktop / "records");
        const fs::path file = document(c.name);

        const auto answer =
            desktop.probe({"open-and-wait", file.string()}, {"M2_TEST_EXIT=3"}, c.wrapper);
        EXPECT_EQ(answer.at("outcome"), outcomeText(Outcome::Ended)) << answer.at("message");
        EXPECT_EQ(answer.at("exit"), "3");
        const auto recorded = desktop.recorded();
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].arguments, std::vector<std::string>{file.string()});
    }
    for (const char* folder : {"cwd", "docs", "home"}) {
        EXPECT_FALSE(pathExists(desktop / (std::string(folder) + "/PWNED"))) << folder;
    }
}

TEST_F(OpenAndWait, NoDefaultApplicationOrAFailedStartIsToldWithTheDesktopsText) {
    const fs::path file = document("orphan.txt");
    fs::remove_all(desktop / "data/applications");
    fs::create_directory(desktop / "data/applications");
    const auto none = desktop.probe({"open-and-wait", file.string()});
    EXPECT_EQ(none.at("outcome"), outcomeText(Outcome::NoApplication));
    EXPECT_FALSE(none.at("message").empty());

    // An entry that needs a terminal, on a PATH without any terminal program.
    desktop.addApplication("m2-console", "MimeType=text/plain;\nTerminal=true\n");
    desktop.setDefault("text/plain", "m2-console");
    const auto broken =
        desktop.probe({"open-and-wait", file.string()}, {"PATH=" + (desktop / "empty").string()});
    EXPECT_EQ(broken.at("outcome"), outcomeText(Outcome::LaunchFailed));
    EXPECT_FALSE(broken.at("message").empty());
    EXPECT_TRUE(desktop.recorded().empty());
}

// A stand-in file manager owns org.freedesktop.FileManager1 on a private session bus.
TEST_F(OpenAndWait, RevealAsksTheFileManagerToShowTheFile) {
    desktop.setDefault("inode/directory", "m2-editor");
    const fs::path file = document("it's a $(touch PWNED) \"x\",y.txt");
    const fs::path record = desktop / "shown";
    const auto answer = desktop.probe(
        {"reveal", file.string()}, {},
        {"/usr/bin/dbus-run-session", "--", testHelper("file_manager").string(), record.string()});
    EXPECT_EQ(answer.at("revealed"), "1");
    EXPECT_EQ(readFile(record), fileUrlText(file.string()) + "\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(desktop.recorded().empty()) << "the folder was not opened as well";
}

TEST_F(OpenAndWait, RevealWithoutAFileManagerOpensTheFolder) {
    const fs::path file = document("shown.txt");
    const struct {
        const char* name;
        std::vector<std::string> wrapper;
    } cases[] = {
        {"no session bus", {}},
        {"a bus without a file manager", {"/usr/bin/dbus-run-session", "--"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(desktop / "records");
        fs::create_directory(desktop / "records");
        desktop.setDefault("inode/directory", "m2-editor");
        EXPECT_EQ(desktop.probe({"reveal", file.string()}, {}, c.wrapper).at("revealed"), "1");
        ASSERT_TRUE(waitForRecorded(1));
        EXPECT_EQ(desktop.recorded()[0].arguments,
                  std::vector<std::string>{file.parent_path().string()});
    }
    fs::remove_all(desktop / "data/applications");
    fs::create_directory(desktop / "data/applications");
    EXPECT_EQ(desktop.probe({"reveal", file.string()}).at("revealed"), "0") << "neither worked";
}

}  // namespace
