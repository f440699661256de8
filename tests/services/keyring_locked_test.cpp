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

TEST(LockedKeyring, SaveToKeychainAnswersFalse) {
    if (std::getenv(childFlag) != nullptr) {
        m2::PasswordCredentials credentials;
        m2::test::expectMasterPasswordNotSaved(credentials);
        return;
    }
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const m2::test::TempDir home;
    const std::string dir = home.path().string();
    const std::string command =
        "mkdir -m 700 '" + dir + "/run' && HOME='" + dir + "' XDG_RUNTIME_DIR='" + dir + "/run' " +
        childFlag +
        "=1 timeout 120 env -u DISPLAY -u WAYLAND_DISPLAY dbus-run-session -- sh -c "
        "'gnome-keyring-daemon --components=secrets "
        "--daemonize </dev/null >/dev/null; exec \"$0\" --gtest_filter=LockedKeyring.*' '" +
        std::string(self, static_cast<std::size_t>(n)) + "' 2>&1";
    int status = -1;
    const std::string output = m2test::commandOutput(command, &status);
    EXPECT_EQ(status, 0) << output;
}

}  // namespace
