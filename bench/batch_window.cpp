// Encryption and decryption batches started from the main window (selection, progress panel,
// worker, library update, save, report sheet) next to the same batches through the batch
// runner alone, and next to openssl enc + shred per file: 2,000 files of 4 KiB, then 1 GiB in
// two files (M2_BENCH_LARGE_MIB scales that down on a busy machine). Each pair runs five
// times, window and runner alternating so a change in the machine's load touches both; the
// medians' ratio is the window's cost, which should stay within 5 %.
#include <sys/resource.h>
#include <QApplication>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/projectViewController.h"
#include "bench/support/OpensslBatch.h"
#include "bench/support/PatternFiles.h"
#include "bench/support/WindowBench.h"
#include "platform/Paths.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace fs = std::filesystem;

namespace {

using Shape = m2bench::BatchShape;
using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;
constexpr const char* kPassword = "bench password";

enum class Direction { encrypt, decrypt };

fs::path scratch() {
    static const fs::path dir = m2bench::scratchFolder("window");
    return dir;
}

fs::path folderOf(const Shape& shape) {
    return scratch() / shape.name;
}

void makeFiles(const Shape& shape) {
    (void)m2bench::writePatternFiles(folderOf(shape), shape.files, shape.bytes);
}

// A library whose folder "Bench" holds the shape's files; the library file is written.
void seedLibrary(const Shape& shape) {
    fs::remove_all(scratch() / "Documents");
    m2::LibraryManager seed;
    seed.folderManager.initItems();
    const auto documents = seed.folderManager.find(m2::FolderManager::document);
    auto folder = std::make_shared<m2::FolderItem>("Bench", documents->id, "folder-16");
    (void)seed.folderManager.addFolder(*documents, folder);
    seed.fileManager.addFilesByUrl({folderOf(shape).string()}, true, folder->id);
    seed.save();
}

// The shape's files and a library naming them, plain for an encryption, encrypted (by the
// runner, untimed) for a decryption.
void prepare(const Shape& shape, Direction direction) {
    makeFiles(shape);
    seedLibrary(shape);
    if (direction == Direction::decrypt) {
        m2::LibraryManager library;
        const auto entries = m2::SecurityManager::snapshot(library.fileManager.library);
        (void)m2::SecurityManager::instance().encryptFile(entries, library, kPassword, "hint",
                                                          nullptr, nullptr);
        QCoreApplication::processEvents();
        library.save();
    }
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time of every thread of this program so far, in seconds.
double cpuSeconds() {
    rusage usage{};
    (void)getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One timed batch: wall seconds (negative when an entry failed) and processor seconds.
struct Timing {
    double wall = -1;
    double cpu = 0;
};

// Seconds for the batch through the runner alone, with the library's update and save; a
// negative value when an entry failed.
Timing runnerAlone(const Shape& shape, Direction direction) {
    prepare(shape, direction);
    m2::LibraryManager library;
    const auto entries = m2::SecurityManager::snapshot(library.fileManager.library);
    auto& runner = m2::SecurityManager::instance();
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    const m2::ProcessReport report =
        direction == Direction::encrypt
            ? runner.encryptFile(entries, library, kPassword, "hint", nullptr, nullptr)
            : runner.decryptFile(entries, library, kPassword, "hint", nullptr, nullptr);
    QCoreApplication::processEvents();  // the entry updates posted to the main queue
    library.save();
    const double seconds = secondsSince(start);
    return {report.success().size() == entries.size() ? seconds : -1, cpuSeconds() - cpu};
}

// Seconds from the command to the report sheet through the main window; negative on failure.
Timing mainWindow(const Shape& shape, Direction direction) {
    prepare(shape, direction);
    m2::LibraryManager library;
    auto [window, view] = m2bench::openLibraryWindow(library, "Bench");
    view->selectAll();
    QCoreApplication::processEvents();
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    if (direction == Direction::encrypt) {
        view->encryptSelectedItems();
    } else {
        view->decryptSelectedItems();
    }
    // Until the report sheet is up: the whole batch as the user sees it. The event loop
    // sleeps between events, as the program's does; the timer only wakes it to check.
    QTimer wake;
    wake.start(10);
    while (view->currentState() != m2::CurrentProcess::idel ||
           view->presentedViewControllers().empty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double seconds = secondsSince(start);
    const double used = cpuSeconds() - cpu;
    const bool whole = view->processReport->success().size() == std::size_t(shape.files);
    for (auto* sheet : view->presentedViewControllers()) {
        sheet->dismissController();
    }
    window.reset();
    QCoreApplication::processEvents();
    return {whole ? seconds : -1, used};
}

double opensslAndShred(const Shape& shape) {
    // A bench-only password, given as a file so it is on no command line.
    const fs::path passFile = scratch() / "pass";
    std::ofstream(passFile) << kPassword << "\n";
    makeFiles(shape);
    const auto start = Clock::now();
    const bool ok = m2bench::opensslAndShred(folderOf(shape), shape.files, passFile);
    const double seconds = secondsSince(start);
    return ok ? seconds : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string figures(const std::vector<double>& values) {
    std::string text;
    for (const double value : values) {
        char one[32];
        std::snprintf(one, sizeof one, "%s%.3f", text.empty() ? "" : " ", value);
        text += one;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, library and every file stay in the scratch folder, not the user's home.
    qputenv("XDG_CONFIG_HOME", (scratch() / "config").c_str());
    m2::platform::setDocumentsFolderOverride(scratch() / "Documents");
    QApplication app(argc, argv);
    const auto mainQueue = m2bench::startLoggedOnWindows(kPassword);

    std::size_t largeMiB = 512;
    if (const char* scaled = std::getenv("M2_BENCH_LARGE_MIB"); scaled != nullptr) {
        largeMiB = std::max<std::size_t>(1, std::strtoul(scaled, nullptr, 10) / 2);
    }
    const Shape small{"small", 2000, 4096};
    const Shape large{"large", 2, largeMiB << 20};
    std::printf("medians of %d alternating runs, seconds; large = 2 x %zu MiB\n", kRounds,
                largeMiB);
    bool failed = false;
    for (const Shape* shape : {&small, &large}) {
        for (const Direction direction : {Direction::encrypt, Direction::decrypt}) {
            std::vector<Timing> window;
            std::vector<Timing> runner;
            for (int round = 0; round < kRounds; ++round) {
                // Alternating which goes first, too.
                if (round % 2 == 0) {
                    window.push_back(mainWindow(*shape, direction));
                    runner.push_back(runnerAlone(*shape, direction));
                } else {
                    runner.push_back(runnerAlone(*shape, direction));
                    window.push_back(mainWindow(*shape, direction));
                }
            }
            const auto wall = [](const std::vector<Timing>& runs) {
                std::vector<double> values;
                for (const Timing& run : runs) {
                    values.push_back(run.wall);
                }
                return values;
            };
            const auto cpu = [](const std::vector<Timing>& runs) {
                std::vector<double> values;
                for (const Timing& run : runs) {
                    values.push_back(run.cpu);
                }
                return values;
            };
            for (const auto* runs : {&window, &runner}) {
                const auto values = wall(*runs);
                failed = failed || *std::min_element(values.begin(), values.end()) < 0;
            }
            const char* verb = direction == Direction::encrypt ? "encrypt" : "decrypt";
            std::printf("  %-5s %-7s window wall %s  cpu %s\n", shape->name, verb,
                        figures(wall(window)).c_str(), figures(cpu(window)).c_str());
            std::printf("  %-5s %-7s runner wall %s  cpu %s\n", shape->name, verb,
                        figures(wall(runner)).c_str(), figures(cpu(runner)).c_str());
            std::printf("  %-5s %-7s main window / runner alone  wall %.3f  cpu %.3f\n",
                        shape->name, verb, median(wall(window)) / median(wall(runner)),
                        median(cpu(window)) / median(cpu(runner)));
            std::fflush(stdout);
        }
        const double openssl = opensslAndShred(*shape);
        std::printf("  %-5s openssl enc + shred, once: %.3f s\n", shape->name, openssl);
    }
    fs::remove_all(scratch());
    if (failed) {
        std::printf("an entry failed\n");
        return 1;
    }
    return 0;
}
