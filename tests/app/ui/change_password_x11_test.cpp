// The change of the master password end to end: the real `morvane2` on an X server
// (xvfb-run) with its own keyring session over a private home, driven by keys. A library of
// three documents and a notes file under the old password is seeded inside the same keyring;
// the program logs in, changes the password through the settings sheet and quits; at the
// next start the old password is refused and the new one opens, and every document and the
// notes file open with the new password.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/services/Settings.h"
#include "support/CommandOutput.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;
using m2::test::kNewPassword;
using m2::test::kOldPassword;
using m2::test::plainWith;

namespace {

const char* const kDocuments[] = {"alpha.txt", "beta.txt", "gamma.txt"};

// Runs inside the keyring session: the master password in the keyring, the library and the
// notes file sealed under it.
int seed(const fs::path& files) {
    if (!m2::test::storeMasterPassword(kOldPassword, m2::test::kOldHint)) {
        return 2;
    }
    fs::create_directories(files);
    std::vector<fs::path> sealed;
    for (const char* name : kDocuments) {
        sealed.push_back(
            m2::test::sealWith(std::string("text of ") + name, files, name, kOldPassword));
    }
    m2::test::saveDocumentsLibrary(sealed, true);
    m2::Settings::instance().setNotesPath(
        m2::test::sealWith("<morvane/>", files, "M2_SecureNotes.m2n", kOldPassword).string());
    return 0;
}

void xdo(const std::string& arguments) {
    m2test::commandOutput("timeout 10 xdotool " + arguments);
}

// The X window ids of the visible windows with exactly that title, waiting up to `seconds`.
unsigned long waitForWindow(const std::string& title, int seconds) {
    int status = -1;
    const std::string out = m2test::commandOutput(
        "timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '^" +
            title + "$' 2>/dev/null | head -n 1",
        &status);
    return out.empty() ? 0 : std::stoul(out);
}

// The whole screen: sheets are windows of their own, shown over the main window.
// Gives the keyboard to the newest visible window of the program (a sheet just opened).
void focusNewestWindow() {
    const std::string ids = m2test::commandOutput(
        "timeout 10 xdotool search --onlyvisible --name 'Morvane 2' 2>/dev/null | tail -n 1");
    if (!ids.empty()) {
        xdo("windowfocus --sync " + std::to_string(std::stoul(ids)));
    }
}

void screenshot(const std::string& name) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const fs::path folder = fs::path(M2_BINARY_DIR) / "screenshots";
    fs::create_directories(folder);
    EXPECT_TRUE(shot.save(QString::fromStdString((folder / name).string())));
}

class ChangePasswordX11 : public testing::Test {
  protected:
    m2::test::KeyringHome session;
    fs::path files = session.home() / "files";

    void SetUp() override {
        int status = -1;
        m2test::commandOutput("xdotool getdisplaygeometry", &status);
        ASSERT_EQ(status, 0) << "no X server? run under xvfb-run";
        ASSERT_TRUE(session.start()) << "no private bus and keyring";
    }

    // Starts `program` with `arguments` in the private home, bus and keyring, which are kept
    // across starts.
    void startInKeyringSession(QProcess& process, const QString& program,
                               const QStringList& arguments = {}) {
        session.run(process, program, arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    void logIn(const std::string& password) {
        const unsigned long login = waitForWindow("Login", 60);
        ASSERT_NE(login, 0UL) << "the login window did not appear";
        xdo("windowfocus --sync " + std::to_string(login) + " key --clearmodifiers ctrl+a");
        xdo("type --delay 20 '" + password + "'");
        xdo("key Return");
    }

    static bool allUnder(const fs::path& folder, const std::string& password) {
        for (const char* name : kDocuments) {
            if (plainWith(folder / (std::string(name) + ".m2p"), password) !=
                std::string("text of ") + name) {
                return false;
            }
        }
        return plainWith(folder / "M2_SecureNotes.m2n.m2p", password) ==
               std::optional<std::string>("<morvane/>");
    }
};

TEST_F(ChangePasswordX11, TheNewPasswordOpensEverythingAndTheOldOneNothing) {
    QProcess seeding;
    startInKeyringSession(seeding, QCoreApplication::applicationFilePath(),
                          {"--seed", QString::fromStdString(files.string())});
    ASSERT_TRUE(seeding.waitForFinished(60000));
    ASSERT_EQ(seeding.exitCode(), 0) << "seeding the keyring and the library failed";

    const QString program = M2_BINARY_DIR "/morvane2";
    {
        QProcess first;
        startInKeyringSession(first, program);
        logIn(kOldPassword);
        const unsigned long main = waitForWindow("Morvane 2 Riravevovavi", 30);
        ASSERT_NE(main, 0UL) << "the old password did not open the main window";
        std::this_thread::sleep_for(std::chrono::seconds(1));
        xdo("windowfocus --sync " + std::to_string(main) + " key --clearmodifiers ctrl+comma");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        screenshot("x11_settings_sheet.png");
        focusNewestWindow();
        xdo("key --clearmodifiers alt+c");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        focusNewestWindow();
        xdo("type --delay 20 '" + std::string(kNewPassword) + "'");
        xdo("key Tab");
        xdo("type --delay 20 '" + std::string(kNewPassword) + "'");
        xdo("key Tab");
        xdo("type --delay 20 '" + std::string(m2::test::kNewHint) + "'");
        screenshot("x11_change_password_sheet.png");
        xdo("key Return");
        bool changed = false;
        for (int i = 0; i < 120 && !changed; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            changed = allUnder(files, kNewPassword);
        }
        ASSERT_TRUE(changed) << "the documents and the notes did not reach the new password";
        std::this_thread::sleep_for(std::chrono::seconds(1));
        screenshot("x11_change_password_report.png");
        focusNewestWindow();
        xdo("key Escape");  // the report, and with it the sheet
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        focusNewestWindow();
        xdo("key Escape");  // the settings sheet
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        xdo("windowfocus --sync " + std::to_string(main) + " key --clearmodifiers ctrl+q");
        ASSERT_TRUE(first.waitForFinished(20000)) << "Ctrl+Q did not end the program";
    }
    {
        QProcess second;
        startInKeyringSession(second, program);
        logIn(kOldPassword);
        EXPECT_EQ(waitForWindow("Morvane 2 Riravevovavi", 3), 0UL)
            << "the old password still opens the library";
        focusNewestWindow();
        xdo("key Return");  // the "Invalid Password" alert
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        logIn(kNewPassword);
        const unsigned long main = waitForWindow("Morvane 2 Riravevovavi", 30);
        ASSERT_NE(main, 0UL) << "the new password did not open the main window";
        std::this_thread::sleep_for(std::chrono::seconds(1));
        screenshot("x11_after_change.png");
        xdo("windowfocus --sync " + std::to_string(main) + " key --clearmodifiers ctrl+q");
        ASSERT_TRUE(second.waitForFinished(20000));
    }
    EXPECT_TRUE(allUnder(files, kNewPassword));
    EXPECT_TRUE(session.stop()) << "a process started in the private home outlived the test";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--seed") {
        return seed(argv[2]);
    }
    return m2::test::runX11Tests(argc, argv);
}
