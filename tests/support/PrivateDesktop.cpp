#include "support/PrivateDesktop.h"

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <thread>

#include "support/CommandOutput.h"

extern char** environ;

namespace fs = std::filesystem;

namespace m2::test {

fs::path testHelper(const std::string& name) {
    return fs::path(M2_BINARY_DIR) / "test-helpers" / name;
}

bool waitForPath(const fs::path& path, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pathExists(path)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

PrivateDesktop::PrivateDesktop() {
    for (const char* folder :
         {"data/applications", "config", "empty", "cache", "home", "run", "records", "cwd"}) {
        fs::create_directories(dir_ / folder);
    }
    ::chmod((dir_ / "run").c_str(), 0700);
}

void PrivateDesktop::addApplication(const std::string& id, const std::string& lines) {
    writeFile(dir_ / ("data/applications/" + id + ".desktop"),
              "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=\"" +
                  testHelper("recorder").string() + "\" %f\n" + lines);
}

void PrivateDesktop::setDefault(const std::string& type, const std::string& id) {
    defaults_[type] = id;
    std::string list = "[Default Applications]\n";
    for (const auto& [contentType, entry] : defaults_) {
        list += contentType + "=" + entry + ".desktop\n";
    }
    writeFile(dir_ / "config/mimeapps.list", list);
}

std::vector<std::string> PrivateDesktop::environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {
        "HOME=" + (dir_ / "home").string(),
        "XDG_DATA_HOME=" + (dir_ / "data").string(),
        "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
        "XDG_CACHE_HOME=" + (dir_ / "cache").string(),
        "XDG_DATA_DIRS=" + (dir_ / "empty").string(),
        "XDG_CONFIG_DIRS=" + (dir_ / "empty").string(),
        "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (dir_ / "no-bus").string(),
        "PATH=/usr/bin:/bin",
        "M2_TEST_RECORD=" + (dir_ / "records").string(),
    };
    for (char** var = environ; *var != nullptr; ++var) {
        const std::string text = *var;
        for (const char* sanitizer : {"ASAN_", "LSAN_", "UBSAN_", "TSAN_"}) {
            if (text.starts_with(sanitizer)) {
                env.push_back(text);
            }
        }
    }
    for (const std::string& setting : extra) {
        // A setting given here replaces the one above of the same name.
        const std::string name = setting.substr(0, setting.find('=') + 1);
        std::erase_if(env, [&](const std::string& old) { return old.starts_with(name); });
        env.push_back(setting);
    }
    return env;
}

std::map<std::string, std::string> PrivateDesktop::probe(
    const std::vector<std::string>& arguments, const std::vector<std::string>& extra,
    const std::vector<std::string>& wrapper) const {
    std::vector<std::string> argv = wrapper;
    argv.push_back(testHelper("desktop_probe").string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::istringstream lines(
        m2test::programOutput(argv, environment(extra), (dir_ / "cwd").string()));
    std::map<std::string, std::string> answer;
    for (std::string line; std::getline(lines, line);) {
        if (const auto equals = line.find('='); equals != std::string::npos) {
            answer[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return answer;
}

std::vector<PrivateDesktop::Recorded> PrivateDesktop::recorded() const {
    std::vector<Recorded> all;
    for (const std::string& name : listFolder(dir_ / "records")) {
        if (!name.ends_with(".started")) {
            continue;
        }
        const std::string base = (dir_ / "records" / name.substr(0, name.size() - 8)).string();
        Recorded one;
        one.pid = std::stoi(name);
        std::istringstream arguments(readFile(base + ".argv"));
        for (std::string argument; std::getline(arguments, argument, '\0');) {
            one.arguments.push_back(argument);
        }
        one.session = std::stoi(readFile(base + ".sid"));
        if (pathExists(base + ".stdin")) {
            one.input = readFile(base + ".stdin");
        }
        one.after = pathExists(base + ".after");
        all.push_back(std::move(one));
    }
    return all;
}

}  // namespace m2::test
