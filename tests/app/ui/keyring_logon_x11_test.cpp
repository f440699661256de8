// The real `morvane2` with the desktop's real keyring (gnome-keyring-daemon and the gcr
// prompter it starts over D-Bus) under openbox, on a screen of its own of 1600x1000: a locked
// login collection is unlocked at the keyring's own prompt, a dismissed prompt or a removed
// check is told as such, hand-written settings files reach the login window, one instance
// runs per user, and the main window stays within the screen at a scale of 1.5.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/services/PasswordCredentials.h"
#include "guisupport/X11Program.h"
#include "support/HandWrittenPlist.h"
#include "support/TestFiles.h"
#include "support/X11Programs.h"

namespace {

using m2::test::KeyringHome;
using m2::test::X11Program;

const std::string kMainTitle = "Morvane 2 Riravevovavi";
constexpr const char* kPassword = "Correct horse 7";

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Ends a process the test started, by its own handle.
void end(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

// openbox on the test's screen, ended with it.
class WindowManager {
  public:
    bool start() {
        process_.start("openbox", {"--sm-disable"});
        for (int tries = 0; process_.waitForStarted(10000) && tries < 100; ++tries) {
            if (X11Program::xdotool({"get_desktop"}) == "0") {
                return true;
            }
            pause(50);
        }
        return false;
    }
    ~WindowManager() { end(process_); }

  private:
    QProcess process_;
};

// The visible windows of a process (all criteria must hold: xdotool matches any by default).
QStringList windowsOf(qint64 pid) {
    return QString::fromStdString(X11Program::xdotool({"search", "--all", "--onlyvisible", "--pid",
                                                       QString::number(pid), "--classname", "."}))
        .split('\n', Qt::SkipEmptyParts);
}

// The keyring's prompter of this home: the process running /usr/libexec/gcr-prompter whose
// environment has the home's HOME; 0 when none runs.
qint64 prompterOf(const KeyringHome& home) {
    const std::string mark = std::string(1, '\0') + "HOME=" + home.home().string() + '\0';
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::error_code unreadable;
        const auto exe = std::filesystem::read_symlink(entry.path() / "exe", unreadable);
        if (!unreadable && exe.filename() == "gcr-prompter" &&
            (std::string(1, '\0') + m2::test::readFile(entry.path() / "environ")).find(mark) !=
                std::string::npos) {
            return std::stoll(entry.path().filename().string());
        }
    }
    return 0;
}

// The prompter's window, waiting up to 20 s for the prompter to start and show it.
QString prompterWindow(const KeyringHome& home) {
    for (int tries = 0; tries < 100; ++tries) {
        if (const qint64 pid = prompterOf(home); pid != 0) {
            // GTK maps small helper windows too: the prompt is the largest.
            QString largest;
            int largestArea = 0;
            for (const QString& window : windowsOf(pid)) {
                const QString shape = QString::fromStdString(
                    X11Program::xdotool({"getwindowgeometry", "--shell", window}));
                const auto field = [&](const QString& name) {
                    const int at = shape.indexOf(name + "=");
                    return at < 0 ? 0 : shape.mid(at + name.size() + 1).section('\n', 0, 0).toInt();
                };
                if (const int area = field("WIDTH") * field("HEIGHT"); area > largestArea) {
                    largest = window;
                    largestArea = area;
                }
            }
            if (largestArea > 100 * 100) {
                return largest;
            }
        }
        pause(200);
    }
    return {};
}

// A window of the program other than these (an alert), waiting up to 10 s.
QString newWindow(const QProcess& program, const QStringList& before) {
    for (int tries = 0; tries < 50; ++tries) {
        for (const QString& window : windowsOf(program.processId())) {
            if (!before.contains(window)) {
                return window;
            }
        }
        pause(200);
    }
    return {};
}

// One user's desktop session: a private home whose login keyring holds the master
// password's check and hint, as the first-run setup leaves them, and settings that say so.
class Desktop {
  public:
    [[nodiscard]] bool start() {
        if (!home_.start() ||
            !store(m2::passwordServiceName, m2::passwordKey,
                   m2::toSha256(kPassword).value_or("")) ||
            !store(m2::hintServiceName, m2::hintKey, "horse")) {
            return false;
        }
        setSettings(
            m2::test::xmlPlist({{"databaseSetupKey", "<true/>"}, {"firstRun", "<false/>"}}));
        return true;
    }
    ~Desktop() {
        end(program_);
        (void)home_.stop();
    }

    [[nodiscard]] KeyringHome& home() { return home_; }
    [[nodiscard]] QProcess& program() { return program_; }

    void setSettings(const std::string& bytes) const {
        std::filesystem::create_directories(home_.documents() / "Morvane");
        m2::test::writeFile(home_.documents() / "Morvane/Morvane2.plist", bytes);
    }

    // Starts the program with these changes to the session's environment (an empty value
    // removes the variable).
    void run(QProcess& process, const std::vector<std::pair<QString, QString>>& changes = {}) {
        QProcessEnvironment environment = home_.environment();
        for (const auto& [name, value] : changes) {
            if (value.isEmpty()) {
                environment.remove(name);
            } else {
                environment.insert(name, value);
            }
        }
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QString(M2_BINARY_DIR "/morvane2"), {});
    }

    // The login window of a new start of the program, within `seconds`; 0 when none came.
    unsigned long startToLogin(int seconds = 20,
                               const std::vector<std::pair<QString, QString>>& changes = {}) {
        end(program_);
        run(program_, changes);
        return program_.waitForStarted(10000) ? X11Program::waitForWindow("Login", seconds) : 0;
    }

    // Types the master password into the login window and presses Return.
    static void logOn(unsigned long login) {
        X11Program::xdotool({"windowactivate", "--sync", QString::number(login)});
        X11Program::xdotool({"type", "--delay", "5", kPassword});
        X11Program::xdotool({"key", "Return"});
    }

    // Log Off on the main window's toolbar, where it is at scale 1 times the scale.
    static void logOff(unsigned long main, double scale) {
        X11Program::xdotool({"windowactivate", "--sync", QString::number(main)});
        X11Program::xdotool({"mousemove", "--window", QString::number(main),
                             QString::number(static_cast<int>(652 * scale)),
                             QString::number(static_cast<int>(48 * scale)), "click", "1"});
    }

    // The stored check of the master password, as another keyring client reads it.
    [[nodiscard]] std::string storedCheck() const {
        QProcess lookup;
        lookup.setProcessEnvironment(home_.environment());
        lookup.start("secret-tool", {"lookup", "service", QString(m2::passwordServiceName.data()),
                                     "account", QString(m2::passwordKey.data())});
        lookup.waitForFinished(10000);
        return lookup.readAllStandardOutput().toStdString();
    }

    // Runs secret-tool in the session; answers whether it succeeded.
    [[nodiscard]] bool secretTool(const QStringList& arguments,
                                  const QByteArray& input = {}) const {
        QProcess tool;
        tool.setProcessEnvironment(home_.environment());
        tool.start("secret-tool", arguments);
        tool.write(input);
        tool.closeWriteChannel();
        return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
               tool.exitCode() == 0;
    }

  private:
    // One item as the program's keyring wrapper keeps it.
    [[nodiscard]] bool store(std::string_view service, std::string_view key,
                             const std::string& value) const {
        const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
        return secretTool(
            {"store", "--label=Morvane 2", "xdg:schema",
             QString(m2::platform::keychainSchemaName.data()), "class", "genericPassword",
             "service", QString::fromUtf8(service.data(), static_cast<qsizetype>(service.size())),
             "account", name, "generic", name, "accessGroup",
             QString(m2::credentialsAccessGroup.data())},
            QByteArray::fromStdString(value));
    }

    KeyringHome home_;
    QProcess program_;
};

// Types the keyring's password into its prompt; the main window that then comes, saved as
// <name>.png (the whole screen when none came), or 0.
unsigned long unlockAt(const QString& prompt, const std::string& name) {
    X11Program::xdotool({"windowactivate", "--sync", prompt});
    X11Program::xdotool({"type", "--delay", "20", "m2-test"});
    X11Program::xdotool({"key", "Return"});
    const unsigned long main = X11Program::waitForWindow(kMainTitle, 20);
    (void)X11Program::screenshot(main, main != 0 ? name : name + "_failed");
    return main;
}

// The share of pixels of the top half (the picture and the heading, which the typed password
// does not change) that differ between two pictures of one window.
double differingShare(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return 1.0;
    }
    long differing = 0;
    const int rows = a.height() / 2;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < a.width(); ++x) {
            differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return static_cast<double>(differing) / (static_cast<double>(rows) * a.width());
}

class KeyringLogOn : public testing::Test {
  protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "needs an X server";
        }
        ASSERT_TRUE(openbox_.start());
        ASSERT_TRUE(desktop_.start());
    }

    WindowManager openbox_;
    Desktop desktop_;
};

// A locked login collection, as after an automatic log-in or a restart of the keyring: the
// log-on brings up the keyring's own unlock prompt. Unlocked there, the log-on goes on with
// the password already typed; dismissed, the alert says the keyring stayed locked.
TEST_F(KeyringLogOn, ALockedLoginKeyringIsUnlockedAtItsOwnPrompt) {
    for (const bool unlock : {true, false}) {
        SCOPED_TRACE(unlock ? "unlocked at the prompt" : "prompt dismissed");
        ASSERT_TRUE(desktop_.home().restartKeyringLocked());
        const unsigned long login = desktop_.startToLogin();
        ASSERT_NE(login, 0UL);
        const QStringList before = windowsOf(desktop_.program().processId());
        const QImage shown = X11Program::screenshot(login, "keyring_logon_login");
        Desktop::logOn(login);
        const QString prompt = prompterWindow(desktop_.home());
        ASSERT_FALSE(prompt.isEmpty()) << "no unlock prompt";
        pause(1000);  // drawn, and ready for keys
        (void)X11Program::screenshot(prompt.toULong(), "keyring_logon_prompt");
        if (unlock) {
            // The login window answers while the prompt is up: minimised and shown again
            // clear of the prompt, it draws itself anew.
            const QString id = QString::number(login);
            X11Program::xdotool({"windowminimize", "--sync", id});
            X11Program::xdotool({"windowmove", id, "1150", "740"});
            X11Program::xdotool({"windowmap", "--sync", id});
            pause(1000);
            const QImage moved = X11Program::screenshot(login, "keyring_logon_login_moved");
            EXPECT_LT(differingShare(shown, moved), 0.05) << "the login window did not draw";
        }
        X11Program::xdotool({"windowactivate", "--sync", prompt});
        if (unlock) {
            const unsigned long main = unlockAt(prompt, "keyring_logon_unlocked");
            ASSERT_NE(main, 0UL) << "the log-on did not go on once unlocked";
        } else {
            X11Program::xdotool({"key", "Escape"});
            const QString alert = newWindow(desktop_.program(), before);
            ASSERT_FALSE(alert.isEmpty()) << "no alert";
            // The alert's words are the login window tests' to check; its picture
            // shows them.
            pause(500);
            (void)X11Program::screenshot(alert.toULong(), "keyring_logon_dismissed");
            X11Program::xdotool({"windowactivate", "--sync", alert, "key", "Return"});
            EXPECT_NE(X11Program::waitForWindow("Login", 5), 0UL);
        }
    }
}

// The keyring daemon ended and started again while the program runs, its collection locked:
// the next log-on after Log Off unlocks it at the prompt as at a start.
TEST_F(KeyringLogOn, AKeyringRestartedWhileRunningIsUnlockedAtTheNextLogOn) {
    const unsigned long login = desktop_.startToLogin();
    ASSERT_NE(login, 0UL);
    Desktop::logOn(login);
    const unsigned long main = X11Program::waitForWindow(kMainTitle, 20);
    ASSERT_NE(main, 0UL);
    ASSERT_TRUE(desktop_.home().restartKeyringLocked());
    Desktop::logOff(main, 1);
    const unsigned long again = X11Program::waitForWindow("Login", 10);
    ASSERT_NE(again, 0UL) << "Log Off did not lock";
    Desktop::logOn(again);
    const QString prompt = prompterWindow(desktop_.home());
    ASSERT_FALSE(prompt.isEmpty()) << "no unlock prompt";
    pause(1000);
    EXPECT_NE(unlockAt(prompt, "keyring_logon_restarted"), 0UL)
        << "the log-on did not go on once unlocked";
}

// The check removed by another program: its own alert, never a wrong password.
TEST_F(KeyringLogOn, ARemovedCheckIsToldAsSuch) {
    ASSERT_TRUE(desktop_.secretTool({"clear", "service", QString(m2::passwordServiceName.data())}));
    const unsigned long login = desktop_.startToLogin();
    ASSERT_NE(login, 0UL);
    const QStringList before = windowsOf(desktop_.program().processId());
    Desktop::logOn(login);
    const QString alert = newWindow(desktop_.program(), before);
    ASSERT_FALSE(alert.isEmpty()) << "no alert";
    pause(500);
    (void)X11Program::screenshot(alert.toULong(), "keyring_logon_check_removed");
    X11Program::xdotool({"windowactivate", "--sync", alert, "key", "Return"});
    EXPECT_NE(X11Program::waitForWindow("Login", 5), 0UL);
    EXPECT_EQ(X11Program::waitForWindow(kMainTitle, 1), 0UL);
}

// Settings files written by hand or by another program: each start reaches the login window
// within 5 s (no abort, no silent first run) and leaves the keyring's check as it was.
TEST_F(KeyringLogOn, HandWrittenSettingsReachTheLoginWindow) {
    using m2::test::PlistObject;
    const std::string nul(1, '\0');
    const std::string check = desktop_.storedCheck();
    ASSERT_FALSE(check.empty());
    const std::vector<std::pair<const char*, std::string>> files = {
        {"XML, zero byte in a text",
         m2::test::xmlPlist({{"databaseSetupKey", "<true/>"},
                             {"notesPathKey", "<string>/n" + nul + "x</string>"}})},
        {"binary, zero byte in a key and a text",
         m2::test::binaryPlist(
             {{PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(true)},
              {PlistObject::utf16("firstRun" + nul), PlistObject::utf16("a" + nul)}})},
        {"the setup as a string",
         m2::test::xmlPlist({{"databaseSetupKey", "<string>true</string>"}})},
        {"the setup as data",
         m2::test::binaryPlist({{PlistObject::ascii("databaseSetupKey"), PlistObject::data("1")}})},
        {"the setup twice",
         m2::test::binaryPlist(
             {{PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(false)},
              {PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(true)}})},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        desktop_.setSettings(bytes);
        EXPECT_NE(desktop_.startToLogin(5), 0UL) << "no login window within 5 s";
        EXPECT_EQ(X11Program::waitForWindow(kMainTitle, 1), 0UL) << "a silent first run";
        EXPECT_EQ(desktop_.program().state(), QProcess::Running);
        EXPECT_EQ(desktop_.storedCheck(), check);
    }
}

// A second start for the same user in a session without XDG_RUNTIME_DIR (su, ssh) hands
// over to the running instance and ends.
TEST_F(KeyringLogOn, OneInstanceAlsoWithoutARuntimeFolder) {
    ASSERT_NE(desktop_.startToLogin(), 0UL);
    QProcess second;
    desktop_.run(second, {{"XDG_RUNTIME_DIR", ""}});
    ASSERT_TRUE(second.waitForStarted(10000));
    EXPECT_TRUE(second.waitForFinished(20000)) << "a second instance runs";
    EXPECT_EQ(second.exitCode(), 0);
    end(second);
    EXPECT_EQ(desktop_.program().state(), QProcess::Running);
}

// At a scale of 1.5 the main window (1100x680 at scale 1) still fits the 1600x1000 screen,
// and after a log-off and a log-on it comes back where the user left it.
TEST_F(KeyringLogOn, TheMainWindowStaysWithinTheScreenAndWhereItWasLeft) {
    const unsigned long login = desktop_.startToLogin(20, {{"QT_SCALE_FACTOR", "1.5"}});
    ASSERT_NE(login, 0UL);
    Desktop::logOn(login);
    const unsigned long main = X11Program::waitForWindow(kMainTitle, 20);
    ASSERT_NE(main, 0UL);
    pause(500);
    const auto frame = [](unsigned long window) {
        const QString shape = QString::fromStdString(
            X11Program::xdotool({"getwindowgeometry", "--shell", QString::number(window)}));
        const auto field = [&](const QString& name) {
            const int at = shape.indexOf(name + "=");
            return at < 0 ? -1 : shape.mid(at + name.size() + 1).section('\n', 0, 0).toInt();
        };
        return QRect(field("X"), field("Y"), field("WIDTH"), field("HEIGHT"));
    };
    const QRect opened = frame(main);
    (void)X11Program::screenshot(0, "keyring_logon_scale_1_5");  // the whole screen
    EXPECT_TRUE(QRect(0, 0, 1600, 1000).contains(opened))
        << opened.x() << "," << opened.y() << " " << opened.width() << "x" << opened.height();

    X11Program::xdotool({"windowmove", "--sync", QString::number(main), "40", "60"});
    pause(500);
    const QRect moved = frame(main);
    Desktop::logOff(main, 1.5);
    const unsigned long again = X11Program::waitForWindow("Login", 10);
    ASSERT_NE(again, 0UL) << "Log Off did not lock";
    Desktop::logOn(again);
    const unsigned long back = X11Program::waitForWindow(kMainTitle, 20);
    ASSERT_NE(back, 0UL);
    pause(500);
    // Within the pixel a scale of 1.5 may round away.
    EXPECT_LE((frame(back).topLeft() - moved.topLeft()).manhattanLength(), 2)
        << frame(back).x() << "," << frame(back).y() << " left at " << moved.x() << ","
        << moved.y();
}

}  // namespace

// The tests' own screen, of a known size, with the X server the test runs under left alone.
int main(int argc, char** argv) {
    QProcess server;
    const bool listing = [&] {
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]).rfind("--gtest_list_tests", 0) == 0) {
                return true;
            }
        }
        return false;
    }();
    if (!listing && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        server.start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
        QByteArray display;
        while (server.waitForStarted(10000) && !display.contains('\n') &&
               server.waitForReadyRead(10000)) {
            display += server.readAllStandardOutput();
        }
        if (display.trimmed().isEmpty()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return 1;
        }
        qputenv("DISPLAY", ":" + display.trimmed());
        qunsetenv("XAUTHORITY");
    }
    const int status = m2::test::runX11Tests(argc, argv);
    end(server);
    return status;
}
