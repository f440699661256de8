// Start-up of the main application: the time from starting `morvane2` to its first shown
// window, with an empty library and with one of 100,000 entries, next to a bare Qt program
// that shows one window, in one run; ratios and peak memory. Offscreen, so no display is
// needed. Both programs report the shown window on a pipe and then quit.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 100000;
constexpr int kRuns = 7;
constexpr const char* kShownFdVariable = "M2_REPORT_FIRST_WINDOW_FD";

std::vector<m2::FileItemPtr> makeLibrary() {
    std::vector<m2::FileItemPtr> library;
    library.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        auto item = std::make_shared<m2::FileItem>();
        item->fileName = "Report " + std::to_string(i) + (i % 4 == 0 ? ".pdf.m2p" : ".pdf");
        item->filePath = "/home/user/Documents/Project " + std::to_string(i % 300);
        item->folder = m2::FolderManager::home;
        item->absolutePath = "file://" + item->filePath + "/" + item->fileName;
        item->encrypted = i % 4 == 0;
        item->size = std::to_string(i % 999 + 1) + " KB";
        library.push_back(std::move(item));
    }
    return library;
}

struct Start {
    double shownSeconds = 0;  // from the start to the first shown window
    long peakKilobytes = 0;
};

// Starts a program with its Documents folder and a fresh private runtime folder and waits for
// its shown window; nothing when it fails or takes more than a minute.
std::optional<Start> startOnce(const std::vector<std::string>& argv, const fs::path& documents,
                               const fs::path& runtime) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    std::fflush(stdout);
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::fcntl(pipeFds[1], F_SETFD, 0);
        ::setenv(kShownFdVariable, std::to_string(pipeFds[1]).c_str(), 1);
        ::setenv("M2_DOCUMENTS_DIR", documents.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (std::freopen("/dev/null", "w", stderr) == nullptr) {
            ::_exit(126);
        }
        std::vector<char*> args;
        for (const auto& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::optional<double> shown;
    pollfd poller{pipeFds[0], POLLIN, 0};
    char byte = 0;
    if (pid > 0 && ::poll(&poller, 1, 60000) == 1 && ::read(pipeFds[0], &byte, 1) == 1) {
        shown = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    ::close(pipeFds[0]);
    if (pid <= 0) {
        return std::nullopt;
    }
    if (!shown) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !shown || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return Start{*shown, usage.ru_maxrss};
}

struct Series {
    std::string what;
    std::vector<std::string> argv;
    fs::path documents;
    std::vector<Start> starts;

    [[nodiscard]] double medianSeconds() const {
        std::vector<double> times;
        for (const auto& start : starts) {
            times.push_back(start.shownSeconds);
        }
        std::sort(times.begin(), times.end());
        return times.empty() ? 0 : times[times.size() / 2];
    }
    [[nodiscard]] long peakKilobytes() const {
        long peak = 0;
        for (const auto& start : starts) {
            peak = std::max(peak, start.peakKilobytes);
        }
        return peak;
    }
};

long selfPeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The bare program: one empty window, reported once shown.
int bareWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare window");
    window.resize(960, 600);
    struct Reporter : QObject {
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Expose && !done) {
                done = true;
                if (const char* fd = std::getenv(kShownFdVariable)) {
                    const char byte = '1';
                    (void)::write(std::atoi(fd), &byte, 1);
                }
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
            return QObject::eventFilter(watched, event);
        }
        bool done = false;
    } reporter;
    app.installEventFilter(&reporter);
    window.show();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--bare-window") {
        return bareWindow(argc, argv);
    }
    const fs::path program = fs::path(M2_BINARY_DIR) / "morvane2";
    if (!fs::exists(program)) {
        std::fprintf(stderr, "%s is not built\n", program.c_str());
        return 1;
    }
    std::string pattern = (fs::temp_directory_path() / "m2-bench-startup-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path runtime = root / "run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(root / "empty");
    // The large library is written by a child: a process's peak memory survives exec, so the
    // programs measured must not be forked from a parent that held the library.
    // Both are a returning user's: a master password was set up, so the first window is the
    // login, which needs no catalogue.
    const auto returningUser = [](const fs::path& documents) {
        m2::platform::setDocumentsFolderOverride(documents);
        if (!m2::platform::ensureBaseFolder()) {
            return false;
        }
        std::ofstream settings(documents / "Morvane" / "Morvane2.plist", std::ios::binary);
        settings
            << R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
            << R"(<key>databaseSetupKey</key><true/><key>firstRun</key><false/></dict></plist>)";
        return static_cast<bool>(settings.flush());
    };
    const pid_t writer = ::fork();
    if (writer == 0) {
        ::_exit(returningUser(root / "empty") && returningUser(root / "large") &&
                        m2::FileReader::save(makeLibrary())
                    ? 0
                    : 1);
    }
    int written = -1;
    if (writer < 0 || ::waitpid(writer, &written, 0) != writer || !WIFEXITED(written) ||
        WEXITSTATUS(written) != 0) {
        std::fprintf(stderr, "could not write the library file\n");
        return 1;
    }

    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::vector<Series> series = {
        {"bare Qt window", {self, "--bare-window"}, root / "empty", {}},
        {"morvane2, empty library", {program.string()}, root / "empty", {}},
        {"morvane2, 100,000 entries", {program.string()}, root / "large", {}},
    };
    // Interleaved, so a busy moment of the machine falls on every program alike.
    for (int run = 0; run < kRuns; ++run) {
        for (auto& one : series) {
            if (auto start = startOnce(one.argv, one.documents, runtime)) {
                one.starts.push_back(*start);
            }
        }
    }

    std::printf("start to first shown window, median of %d starts (offscreen)\n", kRuns);
    for (const auto& one : series) {
        if (one.starts.empty()) {
            std::printf("%-28s failed\n", one.what.c_str());
            continue;
        }
        std::printf("%-28s %8.1f ms %8.1f MB peak\n", one.what.c_str(), one.medianSeconds() * 1e3,
                    static_cast<double>(one.peakKilobytes()) / 1024.0);
    }
    const double bare = series[0].medianSeconds();
    if (bare > 0 && !series[1].starts.empty() && !series[2].starts.empty()) {
        std::printf("empty library / bare window: %.2f\n", series[1].medianSeconds() / bare);
        std::printf("100,000 entries / bare window: %.2f\n", series[2].medianSeconds() / bare);
        std::printf(
            "(a started program's peak is never below the benchmark's own, %.1f MB,\n"
            " as the peak is kept across exec)\n",
            static_cast<double>(selfPeakKilobytes()) / 1024.0);
        std::printf("100,000 entries / bare window, peak memory: %.2f\n",
                    static_cast<double>(series[2].peakKilobytes()) /
                        static_cast<double>(series[0].peakKilobytes()));
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
