#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace m2::test {

// A program built for the tests into <build>/test-helpers (tests/helpers/<name>.cpp).
[[nodiscard]] std::filesystem::path testHelper(const std::string& name);

// Waits until `path` exists; false after `timeout`.
[[nodiscard]] bool waitForPath(const std::filesystem::path& path,
                               std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A desktop of its own for child processes: private data, config, cache, runtime and home
// folders, no system folders, no session bus, and desktop entries that run the "recorder"
// helper. The environment reaches GIO before its first call, since the code under test
// runs in the "desktop_probe" helper.
class PrivateDesktop {
  public:
    // One start of the recorder.
    struct Recorded {
        pid_t pid = -1;
        std::vector<std::string> arguments;  // after argv[0]
        pid_t session = -1;
        std::string input;   // its standard input, when asked to read it
        bool after = false;  // still there when the release file appeared
    };

    PrivateDesktop();

    [[nodiscard]] const std::filesystem::path& root() const { return dir_.path(); }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
        return dir_ / name;
    }
    // The release file recorders wait for when started with M2_TEST_RELEASE=<it>.
    [[nodiscard]] std::filesystem::path releaseFile() const { return dir_ / "release"; }

    // Adds the entry "<id>.desktop" that runs the recorder with the file (%f), plus `lines`.
    void addApplication(const std::string& id, const std::string& lines = "");
    // Makes the entry `id` the default application for the content type `type`.
    void setDefault(const std::string& type, const std::string& id);

    // The child's whole environment: the folders above, PATH, the sanitizers' options, and
    // `extra` ("NAME=value", replacing any of the same name).
    [[nodiscard]] std::vector<std::string> environment(
        const std::vector<std::string>& extra = {}) const;
    // Runs the desktop probe (behind `wrapper`, a program and its arguments, when given) in
    // that environment, from the folder "cwd"; answers its "name=value" lines.
    [[nodiscard]] std::map<std::string, std::string> probe(
        const std::vector<std::string>& arguments, const std::vector<std::string>& extra = {},
        const std::vector<std::string>& wrapper = {}) const;
    // Every start of the recorder so far, in no particular order.
    [[nodiscard]] std::vector<Recorded> recorded() const;

  private:
    TempDir dir_;
    std::map<std::string, std::string> defaults_;
};

}  // namespace m2::test
