#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Workspace.h"
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

}  // namespace
