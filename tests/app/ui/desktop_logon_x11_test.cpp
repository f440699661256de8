// The real `morvane2` under a reparenting window manager (openbox on the test's X server):
// every log-on with the right password leaves the main window mapped and active, at a start
// as after a log-off.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>

#include <chrono>
#include <string>
#include <thread>

#include "guisupport/X11Program.h"

namespace {

using m2::test::X11Program;

const std::string kMainTitle = "Morvane 2 Riravevovavi";
constexpr const char* kPassword = "Correct horse 7";

// The window manager of the test, ended with it.
class WindowManager {
  public:
    bool start() {
        process_.start("openbox", {"--sm-disable"});
        if (!process_.waitForStarted(10000)) {
            return false;
        }
        // Ready once it tells the root window its desktops.
        for (int tries = 0; tries < 100; ++tries) {
            if (X11Program::xdotool({"get_desktop"}) == "0") {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    ~WindowManager() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

  private:
    QProcess process_;
};

// Whether the window is the active one, waiting a little for the window manager to say so.
bool becomesActive(unsigned long window) {
    const std::string id = std::to_string(window);
    for (int tries = 0; tries < 60; ++tries) {
        if (X11Program::xdotool({"getactivewindow"}) == id &&
            X11Program::xdotool({"getwindowfocus", "-f"}) == id) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Types the password into the login window and presses Return; the main window's id once it
// is mapped, 0 when it did not come.
unsigned long logOn(unsigned long login) {
    // Keys go to the focused window: typed before the login window has the focus, the
    // first ones would be lost.
    X11Program::xdotool({"windowactivate", "--sync", QString::number(login)});
    if (!becomesActive(login)) {
        return 0;
    }
    X11Program::xdotool({"type", "--delay", "5", kPassword});
    X11Program::xdotool({"key", "Return"});
    return X11Program::waitForWindow(kMainTitle, 10);
}

TEST(DesktopLogOn, TheMainWindowComesActiveAtEveryLogOn) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        GTEST_SKIP() << "needs an X server";
    }
    WindowManager openbox;
    ASSERT_TRUE(openbox.start());
    X11Program program;
    ASSERT_TRUE(program.start());
    ASSERT_NE(program.setUpMasterPassword(kMainTitle, kPassword, "horse"), 0UL);

    for (int start = 1; start <= 30; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        ASSERT_TRUE(program.restartProgram());
        const unsigned long login = X11Program::waitForWindow("Login", 20);
        ASSERT_NE(login, 0UL);
        const unsigned long main = logOn(login);
        if (main == 0) {
            (void)X11Program::screenshot(0, "desktop_logon_failed");  // the whole screen
        }
        ASSERT_NE(main, 0UL) << "the main window did not appear";
        EXPECT_TRUE(becomesActive(main));
        if (start == 1) {
            (void)X11Program::screenshot(main, "desktop_logon_main");
        }
    }

    for (int lock = 1; lock <= 10; ++lock) {
        SCOPED_TRACE("log-off " + std::to_string(lock));
        const unsigned long main = X11Program::waitForWindow(kMainTitle, 5);
        ASSERT_NE(main, 0UL);
        X11Program::xdotool({"windowactivate", "--sync", QString::number(main)});
        // Log Off on the toolbar, where the window's first screenshot shows it.
        X11Program::xdotool(
            {"mousemove", "--window", QString::number(main), "652", "48", "click", "1"});
        const unsigned long login = X11Program::waitForWindow("Login", 10);
        ASSERT_NE(login, 0UL) << "Log Off did not lock";
        const unsigned long back = logOn(login);
        ASSERT_NE(back, 0UL) << "the main window did not come back";
        EXPECT_TRUE(becomesActive(back));
    }
    EXPECT_TRUE(program.stop());
}

}  // namespace

M2_X11_TEST_MAIN()
