// The end of the program while work runs, end to end: the real `morvane2` on an X server
// (xvfb-run) with its own bus and keyring in a private home gets SIGTERM, as a desktop sends
// at log-out, during an encryption of many documents and during a change of the master
// password, with its main window shown and minimised. It must end within a bound, by
// itself: every document whole under one name, the library file in step with the disk, the
// journal naming what the change left, and no working folder left behind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/library/RekeyingJournal.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"
#include "support/X11Driving.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;
using namespace m2::test;

namespace {

const std::string kTitle = "Morvane 2 Riravevovavi";
// Enough work that the signal comes while it runs, also on a fast machine.
constexpr int kDocuments = 300;
constexpr std::size_t kDocumentBytes = 512 * 1024;

std::string nameOf(int i) {
    return "doc" + std::to_string(1000 + i) + ".txt";
}

std::string textOf(int i) {
    std::string text(kDocumentBytes, static_cast<char>('a' + i % 26));
    text.replace(0, 8, std::to_string(10000000 + i));
    return text;
}

// Runs inside the keyring session: the master password in the keyring and a library of the
// documents, plain or sealed under it.
int seed(const fs::path& files, bool sealed) {
    if (!storeMasterPassword(kOldPassword, kOldHint)) {
        return 2;
    }
    fs::create_directories(files);
    std::vector<fs::path> paths;
    for (int i = 0; i < kDocuments; ++i) {
        if (sealed) {
            paths.push_back(sealWith(textOf(i), files, nameOf(i), kOldPassword));
        } else {
            writeFile(files / nameOf(i), textOf(i));
            paths.push_back(files / nameOf(i));
        }
    }
    saveDocumentsLibrary(paths, sealed);
    return 0;
}

// The newest visible window of the program other than `main`: the sheet just opened.
unsigned long newestOtherWindow(const QProcess& program, unsigned long main, int seconds) {
    for (int tries = 0; tries < seconds * 10; ++tries) {
        const QStringList found =
            QString::fromStdString(xdo({"search", "--onlyvisible", "--pid",
                                        QString::number(program.processId()), "--classname", "."}))
                .split('\n', Qt::SkipEmptyParts);
        for (auto it = found.rbegin(); it != found.rend(); ++it) {
            if (it->toULong() != main) {
                return it->toULong();
            }
        }
        pause(100);
    }
    return 0;
}

void type(unsigned long window, const std::string& text) {
    xdo({"windowfocus", "--sync", QString::number(window), "type", "--delay", "20",
         QString::fromStdString(text)});
}

// The working sub-folders left in the private runtime folder.
std::vector<std::string> workingFoldersIn(const fs::path& runtime) {
    std::vector<std::string> left;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(runtime / "morvane2", error)) {
        if (entry.is_directory()) {
            left.push_back(entry.path().filename().string());
        }
    }
    return left;
}

// The saved library's entry names.
std::set<std::string> savedEntries(const KeyringHome& home) {
    qputenv("M2_DOCUMENTS_DIR", QByteArray::fromStdString(home.documents().string()));
    const m2::LibraryManager library;
    std::set<std::string> names;
    for (const auto& entry : library.fileManager.library) {
        names.insert(entry->fileName);
    }
    return names;
}

enum class Work { encryption, passwordChange };

struct Case {
    const char* name;
    Work work;
    bool minimised;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class SessionEndX11 : public testing::TestWithParam<Case> {};

TEST_P(SessionEndX11, TheProgramStopsItsWorkAndEndsWithNothingLost) {
    const Case c = GetParam();
    ASSERT_FALSE(xdo({"getdisplaygeometry"}).empty()) << "no X server? run under xvfb-run";
    KeyringHome home;
    ASSERT_TRUE(home.start()) << "no private bus and keyring";
    const fs::path files = home.home() / "files";
    const bool sealed = c.work == Work::passwordChange;
    {
        QProcess seeding;
        home.run(seeding, QCoreApplication::applicationFilePath(),
                 {"--seed", QString::fromStdString(files.string()), sealed ? "sealed" : "plain"});
        ASSERT_TRUE(seeding.waitForFinished(300000));
        ASSERT_EQ(seeding.exitCode(), 0) << "seeding the keyring and the library failed";
    }

    QProcess program;
    home.run(program, M2_BINARY_DIR "/morvane2");
    ASSERT_TRUE(program.waitForStarted(10000));
    const unsigned long login = waitForX11Window("Login", 60);
    ASSERT_NE(login, 0UL) << "the login window did not appear";
    type(login, kOldPassword);
    keys(login, "Return");
    const unsigned long main = waitForX11Window(kTitle, 60);
    ASSERT_NE(main, 0UL) << "the password did not open the main window";
    pause(1000);

    const fs::path journalPath = home.documents() / "Morvane" / "passwordChange.journal";
    if (c.work == Work::encryption) {
        keys(main, "ctrl+a");
        keys(main, "ctrl+e");
    } else {
        keys(main, "ctrl+comma");
        const unsigned long settings = newestOtherWindow(program, main, 10);
        ASSERT_NE(settings, 0UL) << "no settings sheet";
        keys(settings, "alt+c");
        pause(700);
        const unsigned long sheet = newestOtherWindow(program, main, 10);
        ASSERT_NE(sheet, 0UL) << "no change-password sheet";
        type(sheet, kNewPassword);
        keys(sheet, "Tab");
        type(sheet, kNewPassword);
        keys(sheet, "Tab");
        type(sheet, kNewHint);
        keys(sheet, "Return");
    }
    // The signal comes as soon as the work is seen under way.
    const auto started = [&] {
        if (c.work == Work::passwordChange) {
            return fs::exists(journalPath);
        }
        for (int i = 0; i < kDocuments; ++i) {
            if (fs::exists(files / (nameOf(i) + ".m2p"))) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < 3000 && !started(); ++i) {
        pause(10);
    }
    ASSERT_TRUE(started()) << "the work did not start";
    if (c.minimised) {
        xdo({"windowminimize", "--sync", QString::number(main)});
        pause(300);
    }

    const auto signalled = std::chrono::steady_clock::now();
    program.terminate();  // SIGTERM
    screenshot(main, std::string("x11_session_end_") + c.name + ".png");
    ASSERT_TRUE(program.waitForFinished(120000)) << "the program did not end after SIGTERM";
    const auto took = std::chrono::steady_clock::now() - signalled;
    EXPECT_LT(took, std::chrono::seconds(60));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "ended by the signal itself";
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(workingFoldersIn(home.home().parent_path() / "run"), std::vector<std::string>{});

    // Every document is whole, under exactly one name, and the library names that one.
    const std::set<std::string> entries = savedEntries(home);
    int done = 0;
    std::set<std::string> pending;
    for (int i = 0; i < kDocuments; ++i) {
        SCOPED_TRACE(nameOf(i));
        const fs::path plain = files / nameOf(i);
        const fs::path sealedPath = files / (nameOf(i) + ".m2p");
        if (c.work == Work::encryption) {
            ASSERT_NE(fs::exists(plain), fs::exists(sealedPath)) << "one name only";
            if (fs::exists(sealedPath)) {
                EXPECT_EQ(plainWith(sealedPath, kOldPassword), textOf(i));
                EXPECT_EQ(entries.count(sealedPath.filename().string()), 1u);
                ++done;
            } else {
                EXPECT_EQ(readFile(plain), textOf(i));
                EXPECT_EQ(entries.count(plain.filename().string()), 1u);
            }
        } else {
            ASSERT_FALSE(fs::exists(plain));
            if (plainWith(sealedPath, kNewPassword) == textOf(i)) {
                ++done;
            } else {
                EXPECT_EQ(plainWith(sealedPath, kOldPassword), textOf(i));
                pending.insert(sealedPath.string());
            }
        }
    }
    EXPECT_LT(done, kDocuments) << "the work ended before the signal: nothing was stopped";
    if (c.work == Work::passwordChange) {
        const auto journal = m2::readRekeyingJournal(journalPath);
        ASSERT_TRUE(journal.has_value()) << "no journal names what is left";
        std::set<std::string> named;
        for (const auto& document : journal->documents) {
            named.insert(document.path);
        }
        for (const auto& path : pending) {
            EXPECT_EQ(named.count(path), 1u) << path << " is left but not named";
        }
    }
    EXPECT_TRUE(home.stop()) << "a process started in the private home outlived the test";
}

INSTANTIATE_TEST_SUITE_P(
    WorkAndWindow, SessionEndX11,
    testing::Values(Case{"encryption_shown", Work::encryption, false},
                    Case{"encryption_minimised", Work::encryption, true},
                    Case{"password_change_shown", Work::passwordChange, false},
                    Case{"password_change_minimised", Work::passwordChange, true}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--seed") {
        return seed(argv[2], std::string(argv[3]) == "sealed");
    }
    return m2::test::runX11Tests(argc, argv);
}
