// The real program on an X server: the first-run setup of the master password, then a folder
// of 200 files added through Qt's own folder dialog (driven by xdotool), then a search and a
// sort in the table, with screenshots of the library view under the build folder. Also a
// watched cloud folder whose new file shows in the table on screen within the watcher's check.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "app/library/CloudManager.h"
#include "app/library/CloudType.h"
#include "app/library/FolderItem.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/services/Settings.h"
#include "guisupport/X11Program.h"
#include "platform/Paths.h"
#include "support/TestFiles.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;
using m2::test::X11Program;

namespace {

const std::string kTitle = "Morvane 2 Riravevovavi";

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// 100 photos and 100 scans, each of its own size.
fs::path writeBatch(const fs::path& folder) {
    fs::create_directories(folder);
    for (int n = 0; n < 200; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, n < 100 ? "photo-%03d.jpg" : "scan-%03d.pdf", n);
        m2::test::writeFile(folder / name, std::string(static_cast<std::size_t>(n + 1), 'x'));
    }
    return folder;
}

// The folder tree of an earlier run: a "Photos" folder under Documents, selected, so the
// add goes there (Home takes no files).
void seedSelectedFolder(const X11Program& program) {
    qputenv("M2_DOCUMENTS_DIR", QByteArray::fromStdString(program.documents().string()));
    m2::LibraryManager seed;
    seed.folderManager.initItems();
    const auto documents = seed.folderManager.find(m2::FolderManager::document);
    auto photos = std::make_shared<m2::FolderItem>("Photos", documents->id, "folder-16");
    (void)seed.folderManager.addFolder(*documents, photos);
    documents->expanded = true;
    photos->selected = true;
    seed.folderManager.setCurrent(photos);
    seed.save();
}

// Entries in the saved library file.
std::size_t savedEntries(const X11Program& program) {
    const fs::path file = program.documents() / "Morvane" / "Morvane.m2l";
    if (!fs::exists(file)) {
        return 0;
    }
    const std::string text = m2::test::readFile(file);
    std::size_t count = 0;
    for (std::size_t at = text.find("<file "); at != std::string::npos;
         at = text.find("<file ", at + 1)) {
        ++count;
    }
    return count;
}

// The search field: the top-most row whose right part is one white run, in the right half.
std::optional<QPoint> findSearchField(const QImage& shot) {
    const int left = shot.width() - 140;
    const int right = shot.width() - 40;
    for (int y = 0; y < shot.height() / 3; ++y) {
        bool white = true;
        for (int x = left; x < right && white; ++x) {
            white = shot.pixel(x, y) == qRgb(255, 255, 255);
        }
        if (white) {
            return QPoint((left + right) / 2, y + 6);
        }
    }
    return std::nullopt;
}

// The middle of the table's header: below the search field (white), past the grey until the
// white of the table's first row; the header is the band just above that row.
std::optional<int> findHeaderRow(const QImage& shot, const QPoint& search) {
    const int x = shot.width() - 60;
    int y = search.y();
    while (y < shot.height() && shot.pixel(x, y) == qRgb(255, 255, 255)) {
        ++y;
    }
    while (y < shot.height() && shot.pixel(x, y) != qRgb(255, 255, 255)) {
        ++y;
    }
    return y < shot.height() ? std::optional<int>(y - 9) : std::nullopt;
}

TEST(LibraryViewX11, AddAFolderOf200FilesThroughTheDialogThenSearchAndSort) {
    ASSERT_FALSE(X11Program::xdotool({"getdisplaygeometry"}).empty())
        << "no X server? run under xvfb-run";
    X11Program program;
    const fs::path batch = writeBatch(program.home() / "batch");
    seedSelectedFolder(program);
    ASSERT_TRUE(program.start()) << "the program, or its keyring session, did not start";
    // A first run: the setup sheet over the main window asks for the master password.
    const unsigned long window = program.setUpMasterPassword(kTitle, "Correct horse 7", "my horse");
    ASSERT_NE(window, 0UL) << "the first-run setup did not lead to the main window";
    const QString id = QString::number(window);
    pause(1000);
    X11Program::screenshot(window, "x11_library_before_add");

    // Ctrl+Shift+O is "Add Folder Contents…": Qt's own folder dialog opens.
    X11Program::xdotool({"windowfocus", "--sync", id, "key", "--clearmodifiers", "ctrl+shift+o"});
    const std::string dialog = program.waitForOtherWindow(window, 10);
    ASSERT_FALSE(dialog.empty()) << "the folder dialog did not open";
    pause(500);
    X11Program::screenshot(std::stoul(dialog), "x11_add_folder_dialog");
    X11Program::xdotool({"type", "--delay", "5", QString::fromStdString(batch.string())});
    pause(300);
    for (int tries = 0; tries < 3 && X11Program::isVisible(dialog); ++tries) {
        X11Program::xdotool({"key", "Return"});
        pause(700);
    }
    for (int tries = 0; tries < 100 && savedEntries(program) < 200; ++tries) {
        pause(100);
    }
    EXPECT_EQ(savedEntries(program), 200U);
    pause(500);
    const QImage added = X11Program::screenshot(window, "x11_library_200_added");

    const auto search = findSearchField(added);
    ASSERT_TRUE(search.has_value()) << "no search field found in the screenshot";
    X11Program::xdotool({"mousemove", "--window", id, QString::number(search->x()),
                         QString::number(search->y()), "click", "1"});
    X11Program::xdotool({"type", "--delay", "20", "SCAN-15"});
    pause(500);
    const QImage searched = X11Program::screenshot(window, "x11_library_search");

    // Two clicks on the Size header sort the hits one way, then the other.
    const auto header = findHeaderRow(added, *search);
    ASSERT_TRUE(header.has_value()) << "no table header found in the screenshot";
    const auto clickHeader = [&] {
        X11Program::xdotool({"mousemove", "--window", id, QString::number(added.width() - 60),
                             QString::number(*header), "click", "1"});
        pause(500);
    };
    clickHeader();
    const QImage once = X11Program::screenshot(window, "x11_library_sorted");
    clickHeader();
    const QImage twice = X11Program::screenshot(window, "x11_library_sorted_reversed");
    const QRect firstRow(search->x() - 600, *header + 12, 500, 24);
    EXPECT_NE(once.copy(firstRow), twice.copy(firstRow)) << "the second click did not reverse";
    EXPECT_NE(added.copy(firstRow), searched.copy(firstRow)) << "the search changed nothing";

    X11Program::xdotool({"windowfocus", "--sync", id, "key", "--clearmodifiers", "ctrl+q"});
    ASSERT_TRUE(program.process().waitForFinished(20000)) << "Ctrl+Q did not end the program";
    EXPECT_TRUE(program.stop()) << "a process started in the private home outlived the test";
}

// Dark pixels (text) in the band of the table just below its first row.
int textBelowFirstRow(const QImage& shot, const QPoint& search, int header) {
    int dark = 0;
    for (int y = header + 40; y < std::min(shot.height(), header + 90); ++y) {
        for (int x = std::max(0, search.x() - 600); x < search.x() - 100; ++x) {
            dark += qGray(shot.pixel(x, y)) < 110 ? 1 : 0;
        }
    }
    return dark;
}

// The settings and catalogue of an earlier run: a watched Dropbox folder holding one file,
// shown in the table.
void seedWatchedCloudFolder(const X11Program& program, const fs::path& dropbox) {
    qputenv("M2_DOCUMENTS_DIR", QByteArray::fromStdString(program.documents().string()));
    m2::platform::setDocumentsFolderOverride(program.documents());
    m2::Settings::instance().setDropboxIncluded(true);
    m2::Settings::instance().setDropboxPath(dropbox.string());
    m2::Settings::instance().setMonitorCloudFolders(true);
    {
        m2::LibraryManager seed;
        seed.folderManager.initItems();
        m2::CloudManager cloud(seed);
        (void)cloud.addCloudProvider(m2::CloudType::DropBox, dropbox.string());
        const auto provider = seed.folderManager.find(m2::CloudType(m2::CloudType::DropBox).id());
        if (const auto root = seed.folderManager.getCloudRoot()) {
            root->expanded = true;
        }
        provider->selected = true;
        seed.folderManager.setCurrent(provider);
        seed.save();
    }
    m2::platform::setDocumentsFolderOverride(std::nullopt);
}

TEST(LibraryViewX11, AFileCreatedInAWatchedCloudFolderShowsInTheTableWithinTheCheck) {
    ASSERT_FALSE(X11Program::xdotool({"getdisplaygeometry"}).empty())
        << "no X server? run under xvfb-run";
    X11Program program;
    const fs::path dropbox = program.home() / "Dropbox";
    fs::create_directories(dropbox);
    m2::test::writeFile(dropbox / "first.txt", "first");
    seedWatchedCloudFolder(program, dropbox);
    ASSERT_TRUE(program.start()) << "the program, or its keyring session, did not start";
    const unsigned long window = program.setUpMasterPassword(kTitle, "Correct horse 7", "my horse");
    ASSERT_NE(window, 0UL) << "the first-run setup did not lead to the main window";
    pause(1500);  // the refresh at log-on
    const QImage before = X11Program::screenshot(window, "x11_cloud_before_new_file");
    const auto search = findSearchField(before);
    ASSERT_TRUE(search.has_value()) << "no search field found in the screenshot";
    const auto header = findHeaderRow(before, *search);
    ASSERT_TRUE(header.has_value()) << "no table header found in the screenshot";
    ASSERT_LT(textBelowFirstRow(before, *search, *header), 10) << "a second row already shown";

    m2::test::writeFile(dropbox / "arrived.txt", "new");
    const auto created = std::chrono::steady_clock::now();
    // The watcher's check, its rescan, and a margin for a loaded machine.
    const auto limit = m2::CloudManager::checkInterval + std::chrono::seconds(10);
    bool shown = false;
    while (!shown && std::chrono::steady_clock::now() - created < limit) {
        pause(500);
        shown = textBelowFirstRow(X11Program::screenshot(window, "x11_cloud_new_file"), *search,
                                  *header) > 20;
    }
    EXPECT_TRUE(shown) << "the new file did not appear in the shown table";
    const std::string saved = m2::test::readFile(program.documents() / "Morvane" / "Morvane.m2l");
    EXPECT_NE(saved.find("arrived.txt"), std::string::npos) << "the library did not take it";

    X11Program::xdotool(
        {"windowfocus", "--sync", QString::number(window), "key", "--clearmodifiers", "ctrl+q"});
    ASSERT_TRUE(program.process().waitForFinished(20000)) << "Ctrl+Q did not end the program";
    EXPECT_TRUE(program.stop()) << "a process started in the private home outlived the test";
}

}  // namespace

M2_X11_TEST_MAIN()
