// Notes end to end: the real `morvane2` on an X server (xvfb-run) with its own bus and
// keyring in a private home. The program logs in, opens the notes view, sets up the notes
// file in the default place and creates two notes in the editor; after a quit and a new start
// the notes view shows both. The notes file, decrypted with the password, holds both notes;
// screenshots of the setup sheet, the editor and the grid go under the build folder.
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

#include "app/notes/NoteReader.h"
#include "support/RekeyingLibrary.h"
#include "support/X11Driving.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;
using namespace m2::test;

namespace {

const std::string kTitle = "Morvane 2 Riravevovavi";

// Runs inside the keyring session: the master password in the keyring, as after a first run.
int seed() {
    return m2::test::storeMasterPassword(kOldPassword, m2::test::kOldHint) ? 0 : 2;
}

// Starts the program and logs in; answers the main window, 0 when it did not open.
unsigned long logIn(const m2::test::KeyringHome& home, QProcess& program) {
    home.run(program, M2_BINARY_DIR "/morvane2");
    if (!program.waitForStarted(10000)) {
        return 0;
    }
    const unsigned long login = m2::test::waitForX11Window("Login", 60);
    if (login == 0) {
        return 0;
    }
    xdo({"windowfocus", "--sync", QString::number(login), "type", "--delay", "20", kOldPassword});
    keys(login, "Return");
    const unsigned long main = m2::test::waitForX11Window(kTitle, 30);
    pause(1000);
    return main;
}

void showNotes(unsigned long main) {
    click(main, 509, 45);  // the toolbar's Notes button
    pause(700);
}

// A new note from the toolbar's Add Note button, the first of the notes view's toolbar.
void addNote(const QProcess& program, unsigned long main, const QString& title, int categorySteps,
             const QString& content, const std::string& shot) {
    click(main, 40, 45);
    const unsigned long editor = waitForOtherWindow(program, main, 10);
    ASSERT_NE(editor, 0UL) << "no note editor for " << title.toStdString();
    pause(500);
    xdo({"windowfocus", "--sync", QString::number(editor), "type", "--delay", "20", title});
    keys(editor, "Tab");
    for (int step = 0; step < categorySteps; ++step) {
        keys(editor, "Down");
    }
    keys(editor, "Tab");
    xdo({"windowfocus", "--sync", QString::number(editor), "type", "--delay", "20", content});
    pause(300);
    if (!shot.empty()) {
        screenshot(editor, shot);
    }
    // Back to the title, whose Return presses the default button, "Create".
    keys(editor, "shift+Tab");
    keys(editor, "shift+Tab");
    keys(editor, "Return");
    ASSERT_TRUE(waitForOnlyMain(program, main, 10)) << "the note editor did not close";
}

// The titles of the notes in the file, decrypted with the password.
std::map<std::string, std::string> notesIn(const fs::path& file) {
    std::map<std::string, std::string> titles;
    const std::optional<std::string> plain = m2::test::plainWith(file, kOldPassword);
    if (!plain) {
        return titles;
    }
    if (const auto notes = m2::NoteReader::parse(*plain)) {
        for (const auto& note : *notes) {
            titles[note->label] = note->content;
        }
    }
    return titles;
}

TEST(NotesX11, SetUpCreateTwoNotesAndFindThemAfterARestart) {
    ASSERT_FALSE(xdo({"getdisplaygeometry"}).empty()) << "no X server? run under xvfb-run";
    m2::test::KeyringHome home;
    ASSERT_TRUE(home.start()) << "no private bus and keyring";
    {
        QProcess seeding;
        home.run(seeding, QCoreApplication::applicationFilePath(), {"--seed"});
        ASSERT_TRUE(seeding.waitForFinished(60000));
        ASSERT_EQ(seeding.exitCode(), 0) << "seeding the keyring failed";
    }
    const fs::path notesFile = home.documents() / "Morvane" / "M2_SecureNotes.m2n.m2p";

    {
        QProcess program;
        const unsigned long main = logIn(home, program);
        ASSERT_NE(main, 0UL) << "the password did not open the main window";
        showNotes(main);
        // First use: the setup sheet, its default place already chosen.
        const unsigned long setup = waitForOtherWindow(program, main, 10);
        ASSERT_NE(setup, 0UL) << "no notes setup sheet on first use";
        pause(500);
        screenshot(setup, "x11_notes_setup.png");
        keys(setup, "Return");
        ASSERT_TRUE(waitForOnlyMain(program, main, 10)) << "the setup sheet did not close";
        EXPECT_TRUE(fs::exists(notesFile)) << "no notes file in the default place";

        addNote(program, main, "Bank codes", 0, "PIN 1234", "x11_notes_editor.png");
        addNote(program, main, "Travel plan", 2, "Train at nine", "");
        pause(500);
        screenshot(main, "x11_notes_grid.png");
        keys(main, "ctrl+q");
        ASSERT_TRUE(program.waitForFinished(20000)) << "Ctrl+Q did not end the program";
    }
    EXPECT_EQ(notesIn(notesFile),
              (std::map<std::string, std::string>{{"Bank codes", "PIN 1234"},
                                                  {"Travel plan", "Train at nine"}}));

    {
        QProcess program;
        const unsigned long main = logIn(home, program);
        ASSERT_NE(main, 0UL) << "the password did not open the main window after the restart";
        showNotes(main);
        // The file is set up: the grid, no sheet.
        EXPECT_TRUE(waitForOnlyMain(program, main, 3)) << "a sheet came up over the notes view";
        screenshot(main, "x11_notes_grid_after_restart.png");
        keys(main, "ctrl+q");
        ASSERT_TRUE(program.waitForFinished(20000)) << "Ctrl+Q did not end the program";
    }
    EXPECT_TRUE(home.stop()) << "a process started in the private home outlived the test";
    EXPECT_EQ(notesIn(notesFile).size(), 2U) << "the restart changed the notes file";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--seed") {
        return seed();
    }
    return m2::test::runX11Tests(argc, argv);
}
