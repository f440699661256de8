// The README's start command, scripts/run.sh, as on a machine that has only what
// scripts/setup.sh installs without --tests: it runs in a private mount namespace where the
// files of the test framework and of the benchmark library are hidden, with a fresh build
// folder of its own (bind-mounted where the script builds). It must configure, build the two
// programs and nothing else, and start the main one; a second run builds nothing and starts
// it again.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/CommandOutput.h"
#include "support/PrivateMounts.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// What the child tells by its exit status before it runs the script.
constexpr int kNoNamespace = 90;  // no private mount namespace for this user here
constexpr int kNoMount = 91;      // a bind mount failed
constexpr int kStillVisible = 92;

// Folders of GoogleTest and Google Benchmark, which only `setup.sh --tests` installs.
std::vector<std::string> frameworkFolders() {
    std::vector<fs::path> candidates{"/usr/include/gtest",     "/usr/include/gmock",
                                     "/usr/include/benchmark", "/usr/src/googletest",
                                     "/usr/src/gtest",         "/usr/src/gmock",
                                     "/usr/lib/cmake/GTest",   "/usr/lib/cmake/benchmark"};
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib", ec)) {
        candidates.push_back(entry.path() / "cmake/GTest");
        candidates.push_back(entry.path() / "cmake/benchmark");
    }
    std::vector<std::string> found;
    for (const fs::path& folder : candidates) {
        if (fs::is_directory(folder, ec) && !fs::is_symlink(folder, ec)) {
            found.push_back(folder.string());
        }
    }
    return found;
}

class StartCommandTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(build_);
        fs::create_directories(empty_);
        fs::create_directories(home_);
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        // Where the script builds; made here if missing, so the fresh folder can cover it.
        createdTarget_ = fs::create_directories(target_);
        const char* path = std::getenv("PATH");
        env_ = {"PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin"),
                "HOME=" + home_.string(), "XDG_RUNTIME_DIR=" + runtime_.string(),
                "QT_QPA_PLATFORM=offscreen", "LANG=C.UTF-8"};
        // The shared compiler cache, when there is one, keeps the build short.
        int status = -1;
        std::string cache =
            m2test::programOutput({"/usr/bin/ccache", "-k", "cache_dir"}, env_, "/", &status);
        while (!cache.empty() && (cache.back() == '\n' || cache.back() == ' ')) {
            cache.pop_back();
        }
        if (status == 0 && !cache.empty()) {
            env_.insert(env_.end(), {"CCACHE_DIR=" + cache, "CMAKE_C_COMPILER_LAUNCHER=ccache",
                                     "CMAKE_CXX_COMPILER_LAUNCHER=ccache"});
        }
    }
    void TearDown() override {
        std::error_code ec;
        if (createdTarget_ && fs::is_empty(target_, ec)) {
            fs::remove(target_, ec);
        }
    }

    // Runs the script in a namespace of its own; answers its process, or -1.
    pid_t start(const fs::path& log) {
        std::vector<std::string> hidden = frameworkFolders();
        std::string emptyFolder = empty_.string();
        std::string buildFolder = build_.string();
        std::string targetFolder = target_.string();
        std::string logPath = log.string();
        std::string header = "/usr/include/gtest/gtest.h";
        std::vector<std::string> args{(fs::path(M2_SOURCE_DIR) / "scripts/run.sh").string()};
        std::vector<std::string> vars = env_;
        const std::vector<char*> argv = m2test::execPointers(args);
        const std::vector<char*> envp = m2test::execPointers(vars);
        std::string source = M2_SOURCE_DIR;
        const std::string uidMap = m2::test::ownUidMap();
        const std::string gidMap = m2::test::ownGidMap();

        const pid_t pid = ::fork();
        if (pid != 0) {
            return pid;
        }
        // The child: system calls only, up to exec.
        if (!m2::test::enterPrivateMountsInChild(uidMap.c_str(), gidMap.c_str())) {
            ::_exit(kNoNamespace);
        }
        for (const std::string& folder : hidden) {
            if (::mount(emptyFolder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
                ::_exit(kNoMount);
            }
        }
        if (::mount(buildFolder.c_str(), targetFolder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            ::_exit(kNoMount);
        }
        if (::access(header.c_str(), F_OK) == 0) {
            ::_exit(kStillVisible);
        }
        // The build runs beside other tests and gives way to them, but not so far that a
        // machine busy with other work starves it past the test's time limit.
        (void)::setpriority(PRIO_PROCESS, 0, 5);
        const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int none = ::open("/dev/null", O_RDONLY);
        if (out < 0 || none < 0 || ::dup2(none, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(out, 2) < 0 || ::chdir(source.c_str()) != 0) {
            ::_exit(kNoMount);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    // Waits until the script has become the main program (it ends by exec-ing it); answers
    // false, with the exit status in `status`, when it ended instead.
    static bool waitForProgram(pid_t pid, int& status) {
        const auto deadline = std::chrono::steady_clock::now() + 40min;
        const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                return false;
            }
            if (m2::test::readFile(comm) == "morvane2\n") {
                return true;
            }
            std::this_thread::sleep_for(200ms);
        }
        status = -1;
        return false;
    }

    // Answers whether the started program is still running once it has made its settings
    // file; ends it either way.
    bool runsThenEnd(pid_t pid) {
        const fs::path settings = home_ / "Documents/Morvane/Morvane2.plist";
        bool running = true;
        int status = 0;
        for (int tries = 0; tries < 300 && running && !fs::exists(settings); ++tries) {
            running = ::waitpid(pid, &status, WNOHANG) == 0;
            std::this_thread::sleep_for(100ms);
        }
        running = running && fs::exists(settings) && ::waitpid(pid, &status, WNOHANG) == 0;
        ::kill(pid, SIGTERM);
        for (int tries = 0; tries < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++tries) {
            std::this_thread::sleep_for(100ms);
        }
        if (::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        return running;
    }

    // Programs the build made, by file name (the compiler checks under CMakeFiles aside).
    [[nodiscard]] std::set<std::string> builtPrograms() const {
        std::set<std::string> found;
        for (auto entry = fs::recursive_directory_iterator(build_);
             entry != fs::recursive_directory_iterator(); ++entry) {
            if (entry->path().filename() == "CMakeFiles") {
                entry.disable_recursion_pending();
                continue;
            }
            if (entry->is_regular_file() &&
                (entry->status().permissions() & fs::perms::owner_exec) != fs::perms::none) {
                found.insert(entry->path().filename().string());
            }
        }
        return found;
    }

    m2::test::TempDir temp_;
    fs::path build_ = temp_ / "build";
    fs::path empty_ = temp_ / "empty";
    fs::path home_ = temp_ / "home";
    fs::path runtime_ = temp_ / "runtime";
    fs::path target_ = fs::path(M2_SOURCE_DIR) / "build/app";
    bool createdTarget_ = false;
    std::vector<std::string> env_;
};

TEST_F(StartCommandTest, BuildsOnlyTheTwoProgramsWithoutTheTestFrameworkAndStartsAgainAtOnce) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the start command builds without sanitizers; the normal build checks it";
#endif
    const fs::path firstLog = temp_ / "first.log";
    const pid_t first = start(firstLog);
    ASSERT_GT(first, 0);
    int status = 0;
    if (!waitForProgram(first, status)) {
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (code == kNoNamespace) {
            GTEST_SKIP() << "no private mount namespace on this machine: the test framework "
                            "cannot be hidden from the build";
        }
        ASSERT_NE(code, kNoMount) << "a bind mount failed in the private namespace";
        ASSERT_NE(code, kStillVisible) << "the test framework is still visible to the build";
        FAIL() << "the start command ended (status " << code << ") before it started the "
               << "program:\n"
               << m2::test::readFile(firstLog);
    }
    EXPECT_TRUE(runsThenEnd(first)) << "the program did not keep running\n"
                                    << m2::test::readFile(firstLog);

    const std::string cache = m2::test::readFile(build_ / "CMakeCache.txt");
    EXPECT_NE(cache.find("\nM2_TESTS:BOOL=OFF\n"), std::string::npos);
    EXPECT_NE(cache.find("\nM2_BENCH:BOOL=OFF\n"), std::string::npos);
    EXPECT_EQ(builtPrograms(), (std::set<std::string>{"morvane2", "m2-launcher"}))
        << m2::test::readFile(firstLog);

    // Nothing changed: the second start builds nothing.
    const fs::path secondLog = temp_ / "second.log";
    const pid_t second = start(secondLog);
    ASSERT_GT(second, 0);
    ASSERT_TRUE(waitForProgram(second, status)) << m2::test::readFile(secondLog);
    EXPECT_TRUE(runsThenEnd(second)) << m2::test::readFile(secondLog);
    const std::string again = m2::test::readFile(secondLog);
    EXPECT_NE(again.find("ninja: no work to do."), std::string::npos) << again;
}

}  // namespace
