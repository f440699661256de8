// Batches end to end: the real `morvane2` on an X server (xvfb-run) with its own bus and
// keyring in a private home. Three plain documents are in the library; the program logs in,
// encrypts all three with the logged-in password, decrypts one and shreds another, each
// batch ending in the report sheet. The files on disk and the saved library file show what
// each batch did; screenshots of the window and the report sheets go under the build folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/library/LibraryManager.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"
#include "support/X11Driving.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;
using namespace m2::test;

namespace {

const char* const kDocuments[] = {"alpha.txt", "beta.txt", "gamma.txt"};
const std::string kTitle = "Morvane 2 Riravevovavi";

std::string textOf(const std::string& name) {
    return "the text of " + name + "\n";
}

// Runs inside the keyring session: the master password in the keyring, and a library whose
// shown folder, Documents, holds the three plain files.
int seed(const fs::path& files) {
    if (!m2::test::storeMasterPassword(kOldPassword, m2::test::kOldHint)) {
        return 2;
    }
    fs::create_directories(files);
    std::vector<fs::path> plain;
    for (const char* name : kDocuments) {
        m2::test::writeFile(files / name, textOf(name));
        plain.push_back(files / name);
    }
    m2::test::saveDocumentsLibrary(plain, false);
    return 0;
}

// The report sheet of the batch just started: screenshot, then closed with its default
// button, "Close".
void closeReport(const QProcess& program, unsigned long main, const std::string& name) {
    const unsigned long report = waitForOtherWindow(program, main, 60);
    ASSERT_NE(report, 0UL) << "no report sheet for " << name;
    pause(700);
    screenshot(report, name);
    keys(report, "Return");
    ASSERT_TRUE(waitForOnlyMain(program, main, 10)) << "the report sheet did not close";
}

// The saved library file's entries, by file name, with their "encrypted" flag.
std::map<std::string, bool> savedEntries(const m2::test::KeyringHome& home) {
    qputenv("M2_DOCUMENTS_DIR", QByteArray::fromStdString(home.documents().string()));
    const m2::LibraryManager library;
    std::map<std::string, bool> entries;
    for (const auto& entry : library.fileManager.library) {
        entries[entry->fileName] = entry->encrypted;
    }
    return entries;
}

// The row of the library table at `row`, counted from 0 (rows are 30 pixels from the top
// of the table, below the toolbar and the header), taken by a click on its name.
void selectRow(unsigned long main, int row) {
    click(main, 400, 145 + 30 * row);
}

TEST(BatchX11, EncryptAllThenDecryptOneAndShredOne) {
    ASSERT_FALSE(xdo({"getdisplaygeometry"}).empty()) << "no X server? run under xvfb-run";
    m2::test::KeyringHome home;
    ASSERT_TRUE(home.start()) << "no private bus and keyring";
    const fs::path files = home.home() / "files";
    {
        QProcess seeding;
        home.run(seeding, QCoreApplication::applicationFilePath(),
                 {"--seed", QString::fromStdString(files.string())});
        ASSERT_TRUE(seeding.waitForFinished(60000));
        ASSERT_EQ(seeding.exitCode(), 0) << "seeding the keyring and the library failed";
    }

    QProcess program;
    home.run(program, M2_BINARY_DIR "/morvane2");
    ASSERT_TRUE(program.waitForStarted(10000));
    const unsigned long login = m2::test::waitForX11Window("Login", 60);
    ASSERT_NE(login, 0UL) << "the login window did not appear";
    xdo({"windowfocus", "--sync", QString::number(login), "type", "--delay", "20", kOldPassword});
    keys(login, "Return");
    const unsigned long main = m2::test::waitForX11Window(kTitle, 30);
    ASSERT_NE(main, 0UL) << "the password did not open the main window";
    pause(1000);

    // Select All, then Encrypt: single sign-on uses the logged-in password, no sheet.
    // Three small files take milliseconds: the progress panel is gone before a screenshot.
    keys(main, "ctrl+a");
    screenshot(main, "x11_batch_selected.png");
    keys(main, "ctrl+e");
    closeReport(program, main, "x11_batch_encrypt_report.png");
    for (const char* name : kDocuments) {
        EXPECT_FALSE(fs::exists(files / name)) << name << " is still plain";
        EXPECT_EQ(m2::test::plainWith(files / (std::string(name) + ".m2p"), kOldPassword),
                  std::optional<std::string>(textOf(name)));
    }
    screenshot(main, "x11_batch_encrypted.png");

    // One row, Decrypt.
    selectRow(main, 0);
    keys(main, "ctrl+d");
    closeReport(program, main, "x11_batch_decrypt_report.png");

    // Another row, the toolbar's Shred: Return on the question answers "No" and destroys
    // nothing; then "Yes" (Tab from the default "No", then Space).
    selectRow(main, 2);
    click(main, 391, 45);  // the toolbar's Shred button, left-aligned in a fixed order
    unsigned long question = waitForOtherWindow(program, main, 10);
    ASSERT_NE(question, 0UL) << "no question before the shred";
    screenshot(question, "x11_batch_shred_question.png");
    keys(question, "Return");
    ASSERT_TRUE(waitForOnlyMain(program, main, 10)) << "Return left the question or a report up";
    EXPECT_TRUE(fs::exists(files / "gamma.txt.m2p")) << "Return on the question shredded";
    click(main, 391, 45);
    question = waitForOtherWindow(program, main, 10);
    ASSERT_NE(question, 0UL) << "no question before the second shred";
    keys(question, "Tab");
    keys(question, "space");
    closeReport(program, main, "x11_batch_shred_report.png");
    screenshot(main, "x11_batch_after.png");
    keys(main, "ctrl+q");
    ASSERT_TRUE(program.waitForFinished(20000)) << "Ctrl+Q did not end the program";
    EXPECT_TRUE(home.stop()) << "a process started in the private home outlived the test";

    // The table is sorted by name: alpha is plain again, beta still sealed, gamma gone, on
    // the disk and in the saved library.
    EXPECT_EQ(m2::test::readFile(files / "alpha.txt"), textOf("alpha.txt"));
    EXPECT_FALSE(fs::exists(files / "alpha.txt.m2p")) << "the decryption left its sealed file";
    EXPECT_EQ(m2::test::plainWith(files / "beta.txt.m2p", kOldPassword),
              std::optional<std::string>(textOf("beta.txt")));
    EXPECT_FALSE(fs::exists(files / "beta.txt"));
    EXPECT_FALSE(fs::exists(files / "gamma.txt.m2p")) << "the shredded file is still there";
    EXPECT_FALSE(fs::exists(files / "gamma.txt"));
    EXPECT_EQ(savedEntries(home),
              (std::map<std::string, bool>{{"alpha.txt", false}, {"beta.txt.m2p", true}}));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--seed") {
        return seed(argv[2]);
    }
    return m2::test::runX11Tests(argc, argv);
}
