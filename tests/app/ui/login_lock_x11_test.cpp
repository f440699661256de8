// The real `morvane2` on an X server (xvfb-run) with its own keyring session kept in a
// private home across two starts: the first run creates the master password; the second
// refuses a wrong password, opens the main window with the right one, and with a 3-unit
// time-out and no input locks itself again. Screenshots of setup, login and the lock are
// saved under the build folder.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/services/Settings.h"
#include "platform/Paths.h"
#include "support/CommandOutput.h"
#include "support/TestFiles.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;

namespace {

// Visible windows whose title matches the pattern, oldest first; empty when none appeared
// within the time.
std::vector<unsigned long> waitForWindows(const std::string& pattern, int seconds) {
    int status = -1;
    const std::string out = m2test::commandOutput(
        "timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '" +
            pattern + "' 2>/dev/null",
        &status);
    std::vector<unsigned long> found;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            found.push_back(std::stoul(line));
        }
    }
    return status == 0 ? found : std::vector<unsigned long>{};
}

// Waits for a window of the program that is not among `before` (an alert), and answers it;
// 0 when none came within the time. Alerts are found by the program's window class: their
// title is not always searchable by name.
unsigned long waitForNewWindow(const std::vector<unsigned long>& before, int seconds) {
    for (int tries = 0; tries < seconds * 10; ++tries) {
        const std::string out = m2test::commandOutput(
            "xdotool search --onlyvisible --classname '^morvane2$' 2>/dev/null");
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() &&
                std::find(before.begin(), before.end(), std::stoul(line)) == before.end()) {
                return std::stoul(line);
            }
        }
        m2test::commandOutput("sleep 0.1");
    }
    return 0;
}

int widthOf(unsigned long window) {
    const std::string out =
        m2test::commandOutput("xdotool getwindowgeometry --shell " + std::to_string(window));
    const auto at = out.find("WIDTH=");
    return at == std::string::npos ? 0 : std::stoi(out.substr(at + 6));
}

// The narrowest of the windows: a sheet or alert over the main window, which is wider.
unsigned long narrowest(const std::vector<unsigned long>& windows) {
    unsigned long best = 0;
    int bestWidth = 0;
    for (const unsigned long window : windows) {
        const int width = widthOf(window);
        if (best == 0 || width < bestWidth) {
            best = window;
            bestWidth = width;
        }
    }
    return best;
}

// Sends keys or text to one window; the window gets the keyboard focus first.
void xdo(unsigned long window, const std::string& what) {
    m2test::commandOutput("xdotool windowfocus --sync " + std::to_string(window) + " " + what);
    m2test::commandOutput("sleep 0.3");
}

void typeText(unsigned long window, const std::string& text) {
    xdo(window, "type --delay 30 '" + text + "'");
}

void screenshot(unsigned long window, const std::string& name) {
    // Xvfb has no window manager to keep a sheet above its window.
    if (window != 0) {
        m2test::commandOutput("xdotool windowraise " + std::to_string(window));
    }
    m2test::commandOutput("sleep 0.5");
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    const fs::path folder = fs::path(M2_BINARY_DIR) / "screenshots";
    fs::create_directories(folder);
    EXPECT_TRUE(shot.save(QString::fromStdString((folder / name).string())));
}

class Program {
  public:
    explicit Program(const m2::test::KeyringHome& session) {
        session.run(process_, QString(M2_BINARY_DIR "/morvane2"));
    }
    ~Program() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    [[nodiscard]] bool started() { return process_.waitForStarted(10000); }
    [[nodiscard]] bool ended(int ms = 20000) { return process_.waitForFinished(ms); }

  private:
    QProcess process_;
};

constexpr const char* title = "^Morvane 2 Riravevovavi$";
constexpr const char* password = "Correct horse 7";

TEST(LoginLockX11, FirstRunThenLoginThenIdleLock) {
    int status = -1;
    m2test::commandOutput("xdotool getdisplaygeometry", &status);
    ASSERT_EQ(status, 0) << "no X server? run under xvfb-run";

    // One home, bus and keyring for both starts: what the first start stored is there for
    // the second.
    m2::test::KeyringHome session;
    ASSERT_TRUE(session.start());
    const fs::path documents = session.documents();

    {  // First run: the setup sheet over the main window.
        Program first(session);
        ASSERT_TRUE(first.started());
        const auto windows = waitForWindows(title, 60);
        ASSERT_GE(windows.size(), 2U) << "no setup sheet over the main window";
        m2test::commandOutput("sleep 2");  // the sheet takes its focus once shown
        const unsigned long sheet = narrowest(windows);
        screenshot(sheet, "x11_setup_first_run.png");
        typeText(sheet, password);
        xdo(sheet, "key Tab");
        typeText(sheet, password);
        xdo(sheet, "key Tab");
        typeText(sheet, "my horse");
        xdo(sheet, "key Return");
        // The getting-started question: "No".
        const unsigned long question = waitForNewWindow(windows, 10);
        if (question == 0) {
            screenshot(0, "x11_first_run_failed.png");
        }
        ASSERT_NE(question, 0UL) << "no question about the guide";
        xdo(question, "key Escape");
        m2test::commandOutput("sleep 1");
        const auto main = waitForWindows(title, 10);
        ASSERT_EQ(main.size(), 1U) << "the sheet did not go";
        xdo(main.front(), "key --clearmodifiers ctrl+q");
        ASSERT_TRUE(first.ended()) << "Ctrl+Q did not end the first run";
    }

    // A 3-unit time-out for the second start.
    m2::platform::setDocumentsFolderOverride(documents);
    ASSERT_TRUE(m2::Settings::instance().DatabaseSetup()) << "the first run stored nothing";
    m2::Settings::instance().setTimeOutInterval(3);
    m2::platform::setDocumentsFolderOverride(std::nullopt);

    Program second(session);
    ASSERT_TRUE(second.started());
    auto login = waitForWindows("^Login$", 60);
    ASSERT_EQ(login.size(), 1U) << "no login window at the second start";
    screenshot(login.front(), "x11_login.png");
    typeText(login.front(), "wrong password");
    xdo(login.front(), "key Return");
    const unsigned long refusal = waitForNewWindow(login, 10);  // "Invalid Password"
    ASSERT_NE(refusal, 0UL) << "a wrong password was not refused";
    xdo(refusal, "key Escape");
    EXPECT_EQ(waitForWindows("^Login$", 5).size(), 1U) << "a wrong password closed the login";
    xdo(login.front(), "key ctrl+a BackSpace");
    typeText(login.front(), password);
    xdo(login.front(), "key Return");
    const auto main = waitForWindows(title, 20);
    ASSERT_EQ(main.size(), 1U) << "the right password did not open the main window";
    const auto lastInput = std::chrono::steady_clock::now();
    screenshot(main.front(), "x11_main_window_logged_in.png");

    // No input from here: more than 3 units of about 1.07 s, plus up to one tick.
    const auto locked = waitForWindows("^Login$", 20);
    ASSERT_EQ(locked.size(), 1U) << "the window did not lock itself";
    const auto after = std::chrono::steady_clock::now() - lastInput;
    EXPECT_LT(after, std::chrono::seconds(9));
    EXPECT_GT(after, std::chrono::seconds(3));
    screenshot(locked.front(), "x11_locked.png");
    EXPECT_TRUE(waitForWindows(title, 1).empty()) << "the main window stayed on screen";

    typeText(locked.front(), password);
    xdo(locked.front(), "key Return");
    const auto back = waitForWindows(title, 10);
    ASSERT_EQ(back.size(), 1U) << "the password did not bring the window back";
    xdo(back.front(), "key --clearmodifiers ctrl+q");
    EXPECT_TRUE(second.ended()) << "Ctrl+Q did not end the program";
    EXPECT_TRUE(session.stop());
}

}  // namespace

M2_X11_TEST_MAIN()
