#pragma once

// For tests that run the real programs on an X server (xvfb-run) and take screenshots of
// their windows with Qt. Include only from *_x11_test.cpp files, which link Qt6::Gui.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>
#include <string>

#include "support/CommandOutput.h"
#include "support/TestFiles.h"

namespace m2::test {

// The X window id of a visible window whose title is exactly `title`; 0 when none appeared
// within `seconds`.
inline unsigned long waitForX11Window(const std::string& title, int seconds) {
    int status = -1;
    const std::string out = m2test::commandOutput(
        "timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '^" +
            title + "$' 2>/dev/null | head -1",
        &status);
    return status == 0 && !out.empty() ? std::stoul(out) : 0;
}

// A private home for the real program, with a session bus and an unlocked keyring of its own
// kept in that home. Both daemons run in the foreground as children of the test, so they end
// by their pid when the object goes; a daemonized keyring would outlive the test.
class KeyringHome {
  public:
    KeyringHome() {
        const std::filesystem::path runtime = dir_ / "run";
        std::filesystem::create_directories(documents());
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        env_.insert("HOME", QString::fromStdString(home().string()));
        env_.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
        env_.insert("XDG_CONFIG_HOME", QString::fromStdString((home() / ".config").string()));
        env_.insert("XDG_DATA_HOME", QString::fromStdString((home() / ".local/share").string()));
        env_.insert("M2_DOCUMENTS_DIR", QString::fromStdString(documents().string()));
        env_.remove("QT_QPA_PLATFORM");
        env_.remove("DBUS_SESSION_BUS_ADDRESS");
    }
    ~KeyringHome() { stop(); }
    KeyringHome(const KeyringHome&) = delete;
    KeyringHome& operator=(const KeyringHome&) = delete;

    [[nodiscard]] std::filesystem::path home() const { return dir_ / "home"; }
    [[nodiscard]] std::filesystem::path documents() const { return home() / "Documents"; }
    [[nodiscard]] const QProcessEnvironment& environment() const { return env_; }
    // Adds a variable for the bus, the keyring and the programs; set it before start().
    void setEnvironment(const QString& name, const QString& value) { env_.insert(name, value); }

    // Starts the bus, then the keyring, and waits until the keyring serves secrets.
    [[nodiscard]] bool start() {
        bus_.setProcessEnvironment(env_);
        bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QByteArray address;
        while (bus_.waitForStarted(10000) && !address.contains('\n') &&
               bus_.waitForReadyRead(10000)) {
            address += bus_.readAllStandardOutput();
        }
        if (address.trimmed().isEmpty()) {
            return false;
        }
        env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(address.trimmed()));
        return startKeyring(true);
    }

    // Ends the keyring and starts it again without unlocking it, as after an automatic
    // log-in: the login collection kept in the home stays locked until the user unlocks it
    // at the desktop's prompt (with the keyring's password, "m2-test").
    [[nodiscard]] bool restartKeyringLocked() {
        end(keyring_);
        return startKeyring(false);
    }

    // Ends the keyring, then the bus; answers whether no process that runs in this home is
    // left (the program and whatever it started included).
    bool stop() {
        for (QProcess* process : {&keyring_, &bus_}) {
            end(*process);
        }
        // Each process's environment: "NAME=value" entries, each ending in a zero byte.
        const std::string mark = std::string(1, '\0') + "HOME=" + home().string() + '\0';
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            if ((std::string(1, '\0') + readFile(entry.path() / "environ")).find(mark) !=
                std::string::npos) {
                return false;
            }
        }
        return true;
    }

    // Starts `program` in this home and session.
    void run(QProcess& process, const QString& program, const QStringList& arguments = {}) const {
        process.setProcessEnvironment(env_);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
    }

  private:
    static void end(QProcess& process) {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }

    // Starts the keyring, unlocked with its password or locked, and waits until it serves.
    [[nodiscard]] bool startKeyring(bool unlocked) {
        keyring_.setProcessEnvironment(env_);
        keyring_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{"--foreground", "--components=secrets"};
        if (unlocked) {
            arguments << "--unlock";
        }
        keyring_.start("gnome-keyring-daemon", arguments);
        if (!keyring_.waitForStarted(10000)) {
            return false;
        }
        // The keyring's own password, on its standard input; written at once, as no event
        // loop runs here to write it later.
        if (unlocked) {
            keyring_.write("m2-test");
            if (!keyring_.waitForBytesWritten(10000)) {
                return false;
            }
        }
        keyring_.closeWriteChannel();
        for (int tries = 0; tries < 100; ++tries) {
            QProcess ask;
            ask.setProcessEnvironment(env_);
            ask.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                    "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                    "string:org.freedesktop.secrets"});
            ask.waitForFinished(5000);
            if (ask.readAllStandardOutput().contains("boolean true")) {
                return true;
            }
            QThread::msleep(100);
        }
        return false;
    }

    TempDir dir_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
    QProcess bus_;
    QProcess keyring_;
};

}  // namespace m2::test

namespace m2::test {

// The test program's main: a Qt GUI application on X only to take screenshots (the programs
// under test are separate processes); without a display, or when listing, the tests alone.
inline int runX11Tests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests) || qEnvironmentVariableIsEmpty("DISPLAY")) {
        return RUN_ALL_TESTS();
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace m2::test

#define M2_X11_TEST_MAIN()                        \
    int main(int argc, char** argv) {             \
        return m2::test::runX11Tests(argc, argv); \
    }
