// Both programs, as built, keep their memory to themselves: no core file and not dumpable,
// from the moment they start. Read from outside, as another process of the user would.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

extern char** environ;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The "Max core file size" line of /proc/<pid>/limits, e.g. "0 0" or "unlimited unlimited".
std::string coreLimitOf(pid_t pid) {
    std::istringstream limits(readAll("/proc/" + std::to_string(pid) + "/limits"));
    std::string line;
    while (std::getline(limits, line)) {
        if (line.rfind("Max core file size", 0) == 0) {
            std::istringstream fields(line.substr(18));
            std::string soft;
            std::string hard;
            fields >> soft >> hard;
            return soft + " " + hard;
        }
    }
    return {};
}

std::string commandOf(pid_t pid) {
    std::string comm = readAll("/proc/" + std::to_string(pid) + "/comm");
    while (!comm.empty() && comm.back() == '\n') {
        comm.pop_back();
    }
    return comm;
}

// A program started in `folder` with core files allowed as far as this process may allow
// them, its standard input a pipe kept open (the launcher waits there for a password).
class Started {
  public:
    Started(const std::vector<std::string>& argv, const fs::path& folder,
            const std::vector<std::string>& environment) {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        input_ = ends[1];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> env;
        for (const std::string& e : environment) {
            env.push_back(const_cast<char*>(e.c_str()));
        }
        env.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, args.data(), env.data()),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[0]);
    }
    ~Started() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            (void)crashStatus();
        }
        ::close(input_);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }
    // Waits until the program itself runs (not the child before its exec) and `ready` holds.
    template <class Ready>
    [[nodiscard]] bool runs(const std::string& comm, Ready ready) const {
        for (auto until = std::chrono::steady_clock::now() + 20s;
             std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
            if (commandOf(pid_) == comm && ready()) {
                return true;
            }
        }
        return false;
    }
    // Sends SIGSEGV and answers the wait status.
    int crash() {
        ::kill(pid_, SIGSEGV);
        return crashStatus();
    }

  private:
    int crashStatus() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }
    pid_t pid_ = -1;
    int input_ = -1;
};

bool hasCoreFile(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("core", 0) == 0) {
            return true;
        }
    }
    return false;
}

class ProcessHardening : public testing::Test {
  protected:
    void SetUp() override {
#ifndef M2_HARDENED
        GTEST_SKIP() << "built with M2_HARDEN off (or a sanitizer build): the programs may "
                        "write core files and be traced";
#endif
        // Core files as large as this process may allow, so only the program's own setting
        // can keep one from being written.
        rlimit core{};
        ASSERT_EQ(::getrlimit(RLIMIT_CORE, &core), 0);
        core.rlim_cur = core.rlim_max;
        ASSERT_EQ(::setrlimit(RLIMIT_CORE, &core), 0);
        fs::create_directories(home_);
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        env_ = {"PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin"),
                "HOME=" + home_.string(),
                "XDG_RUNTIME_DIR=" + runtime_.string(),
                "XDG_CONFIG_HOME=" + (home_ / ".config").string(),
                "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (runtime_ / "no-bus").string(),
                "QT_QPA_PLATFORM=offscreen",
                "LANG=C.UTF-8"};
        // Whether this machine writes a core file at all for an unprotected program here.
        const fs::path control = dir_ / "control";
        fs::create_directories(control);
        {
            Started sleeper({"/bin/sleep", "30"}, control, env_);
            ASSERT_TRUE(sleeper.runs("sleep", [] { return true; }));
            const int status = sleeper.crash();
            coresWritten_ = WIFSIGNALED(status) && WCOREDUMP(status);
        }
    }

    // The program runs protected: no core limit, and (for a user other than root, whom the
    // kernel lets read anything) its /proc entries belong to root and its memory is closed.
    void expectProtected(const std::vector<std::string>& argv, const std::string& comm) {
        const fs::path folder = dir_ / comm;
        fs::create_directories(folder);
        Started program(argv, folder, env_);
        ASSERT_TRUE(program.runs(comm, [&] { return coreLimitOf(program.pid()) == "0 0"; }))
            << comm << " runs with the core file limit " << coreLimitOf(program.pid());
        const std::string proc = "/proc/" + std::to_string(program.pid());
        if (::getuid() != 0) {
            struct stat info {};
            ASSERT_EQ(::stat((proc + "/status").c_str(), &info), 0);
            EXPECT_EQ(info.st_uid, 0u) << comm << " is dumpable";
            const int mem = ::open((proc + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
            EXPECT_LT(mem, 0) << "another process of the user reads the memory of " << comm;
            if (mem >= 0) {
                ::close(mem);
            }
        }
        const int status = program.crash();
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGSEGV);
        EXPECT_FALSE(WCOREDUMP(status)) << comm << " dumped its memory";
        EXPECT_FALSE(hasCoreFile(folder)) << comm << " left a core file";
        if (!coresWritten_) {
            std::printf(
                "note: this machine writes no core file even for an unprotected "
                "program, so the crash shows only what the wait status says\n");
        }
    }

    m2::test::TempDir dir_;
    fs::path home_ = dir_ / "home";
    fs::path runtime_ = dir_ / "runtime";
    std::vector<std::string> env_;
    bool coresWritten_ = false;
};

TEST_F(ProcessHardening, TheMainProgramWritesNoCoreFileAndCannotBeRead) {
    expectProtected({M2_BINARY_DIR "/morvane2"}, "morvane2");
}

TEST_F(ProcessHardening, TheLauncherIsProtectedBeforeItReadsThePassword) {
    // Blocked on its standard input, the pipe the password would come through.
    const std::string document = (dir_ / "report.txt.m2p").string();
    expectProtected({M2_BINARY_DIR "/m2-launcher", document + ",-,hint"}, "m2-launcher");
}

}  // namespace
