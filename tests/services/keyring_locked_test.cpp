// A desktop whose Secret Service runs but has no open keyring: this program re-runs itself
// on a private bus where gnome-keyring starts without being unlocked, and checks there that
// the master password is never reported as saved. No display is passed on, so the keyring's
// unlock prompt cannot appear and is refused at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "app/services/PasswordCredentials.h"
#include "support/CommandOutput.h"
#include "support/NoKeyringChecks.h"
#include "support/TestFiles.h"

namespace {

constexpr const char* childFlag = "M2_LOCKED_KEYRING_CHILD";

// This test program's own path, for the children it runs; empty when it cannot be read.
std::string self() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

TEST(LockedKeyring, SaveToKeychainAnswersFalse) {
    if (std::getenv(childFlag) != nullptr) {
        m2::PasswordCredentials credentials;
        m2::test::expectMasterPasswordNotSaved(credentials);
        return;
    }
    const std::string program = self();
    ASSERT_FALSE(program.empty());
    const m2::test::TempDir home;
    const std::string dir = home.path().string();
    const std::string command =
        "mkdir -m 700 '" + dir + "/run' && HOME='" + dir + "' XDG_RUNTIME_DIR='" + dir + "/run' " +
        childFlag +
        "=1 timeout 120 env -u DISPLAY -u WAYLAND_DISPLAY dbus-run-session -- sh -c "
        "'gnome-keyring-daemon --components=secrets "
        "--daemonize </dev/null >/dev/null; exec \"$0\" --gtest_filter=LockedKeyring.*' '" +
        program + "' 2>&1";
    int status = -1;
    const std::string output = m2test::commandOutput(command, &status);
    EXPECT_EQ(status, 0) << output;
}

// A login collection that exists but is locked, as after an automatic log-in or a restart of
// the keyring daemon: the check stored before is found (locked, not missing) and the refused
// unlock is told as a locked keyring, never as a wrong password; once another program has
// removed the check, it is told as missing. Each step runs as a child on the same private
// bus, the keyring started again between them from the same home.
constexpr const char* stepVariable = "M2_LOCKED_KEYRING_STEP";

TEST(LockedKeyring, AStoredCheckInALockedCollectionIsFoundAndToldAsLocked) {
    if (const char* step = std::getenv(stepVariable)) {
        m2::PasswordCredentials credentials;
        const std::string which = step;
        if (which == "store") {
            credentials.setPassword(m2::Secret("Correct horse 7"));
            credentials.setHint("horse");
            EXPECT_TRUE(credentials.saveToKeychain());
            return;
        }
        const auto check = credentials.checkWithKeychain("Correct horse 7");
        if (which == "locked") {
            EXPECT_EQ(check.answer, m2::PasswordCredentials::KeychainAnswer::unavailable);
            EXPECT_EQ(check.title, "The system keyring is locked");
            credentials.loadHint();  // no prompt of its own, and nothing read
            EXPECT_EQ(credentials.hint(), "");
        } else if (which == "unlocked") {
            EXPECT_EQ(check.answer, m2::PasswordCredentials::KeychainAnswer::matches);
        } else {
            EXPECT_EQ(check.answer, m2::PasswordCredentials::KeychainAnswer::missing);
        }
        return;
    }
    const std::string program = self();
    ASSERT_FALSE(program.empty());
    const m2::test::TempDir home;
    const std::string dir = home.path().string();
    // The keyring runs in the foreground, so each one ends by its own pid.
    const std::string script =
        "ready() { for i in $(seq 100); do dbus-send --session --print-reply "
        "--dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "
        "string:org.freedesktop.secrets 2>/dev/null | grep -q true && return 0; sleep 0.1; "
        "done; return 1; }\n"
        "keyring() { if [ \"$1\" = unlocked ]; then printf m2-test | gnome-keyring-daemon "
        "--foreground --unlock --components=secrets >/dev/null 2>&1 & else "
        "gnome-keyring-daemon --foreground --components=secrets </dev/null >/dev/null 2>&1 & "
        "fi; k=$!; ready; }\n"
        "step() { M2_LOCKED_KEYRING_STEP=$1 \"$0\" "
        "--gtest_filter=LockedKeyring.AStoredCheck* || exit 1; }\n"
        "keyring unlocked && step store && kill $k && wait $k\n"
        "keyring locked && step locked && kill $k && wait $k\n"
        "keyring unlocked && step unlocked && secret-tool clear service "
        "Morvane2PasswordService && step missing && kill $k && wait $k\n";
    const std::string command =
        "mkdir -m 700 '" + dir + "/run' && HOME='" + dir + "' XDG_RUNTIME_DIR='" + dir + "/run' " +
        "timeout 120 env -u DISPLAY -u WAYLAND_DISPLAY dbus-run-session -- sh -c '" + script +
        "' '" + program + "' 2>&1";
    int status = -1;
    const std::string output = m2test::commandOutput(command, &status);
    EXPECT_EQ(status, 0) << output;
}

}  // namespace
