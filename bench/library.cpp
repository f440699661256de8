// A library of 100,000 entries: loading, showing, sorting, searching and saving, then the
// load in a fresh process next to xmllint parsing the same file, with time and peak memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FileManager.h"
#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "bench/support/LibraryData.h"
#include "bench/support/RatioReporter.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = m2bench::kLibraryEntries;

std::unique_ptr<m2::FileManager> g_model;

void LoadLibrary(benchmark::State& state) {
    for (auto _ : state) {
        m2::FileManager model;
        benchmark::DoNotOptimize(model.library.data());
    }
}

void ShowHome(benchmark::State& state) {
    for (auto _ : state) {
        g_model->setView(m2::FolderManager::home);
    }
}

template <m2::FileManager::sortOrder Order>
void Sort(benchmark::State& state) {
    g_model->setView(m2::FolderManager::home);
    bool ascending = true;
    for (auto _ : state) {
        g_model->sort(Order, ascending);
        ascending = !ascending;
    }
}

void Search(benchmark::State& state) {
    g_model->setView(m2::FolderManager::home);
    for (auto _ : state) {
        g_model->filter("übersicht 12");
        benchmark::DoNotOptimize(g_model->filtered.size());
    }
    g_model->clearFilter();
}

// One entry changes before every save, so each one really writes.
void SaveLibrary(benchmark::State& state) {
    m2::FileItem& entry = *g_model->library.front();
    for (auto _ : state) {
        entry.favorite = !entry.favorite;
        benchmark::DoNotOptimize(m2::FileReader::save(g_model->library));
    }
}

// Nothing changed: nothing is written.
void SaveUnchangedLibrary(benchmark::State& state) {
    (void)m2::FileReader::save(g_model->library);
    for (auto _ : state) {
        benchmark::DoNotOptimize(m2::FileReader::save(g_model->library));
    }
}

// Runs argv (no shell) with its standard output going to `output` when given; true when
// it exited with 0.
bool spawn(const std::vector<std::string>& argv, const std::string& output = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const bool started =
        ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return started && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The same bytes written and made durable by coreutils: cat into a new file, sync it.
void CatAndSync(benchmark::State& state) {
    const std::string file = m2::FileReader::location().string();
    const std::string copy = file + ".cat";
    for (auto _ : state) {
        if (!spawn({"cat", file}, copy) || !spawn({"sync", copy})) {
            state.SkipWithError("cat or sync failed");
            break;
        }
    }
    std::error_code ec;
    fs::remove(copy, ec);
}

BENCHMARK(LoadLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(ShowHome)->Unit(benchmark::kMillisecond);
BENCHMARK(Sort<m2::FileManager::sortOrder::fileName>)->Unit(benchmark::kMillisecond);
BENCHMARK(Sort<m2::FileManager::sortOrder::favourite>)->Unit(benchmark::kMillisecond);
BENCHMARK(Search)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveUnchangedLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CatAndSync)->Unit(benchmark::kMillisecond)->UseRealTime();

struct ChildRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKilobytes = 0;
};

// Runs a program in a fresh process and measures it; nothing when it fails.
std::optional<ChildRun> runChild(const std::vector<std::string>& argv,
                                 const std::string& documents) {
    std::fflush(stdout);  // or the child would print what is still buffered
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("M2_DOCUMENTS_DIR", documents.c_str(), 1);
        std::vector<char*> args;
        for (const auto& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        if (std::FILE* null = std::freopen("/dev/null", "w", stdout)) {
            (void)null;
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return ChildRun{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                    seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

void printRun(const char* what, const std::optional<ChildRun>& run) {
    if (!run) {
        std::printf("%-34s failed\n", what);
        return;
    }
    std::printf("%-34s %8.1f ms wall %8.1f ms CPU %8.1f MB peak\n", what, run->wallSeconds * 1e3,
                run->cpuSeconds * 1e3, static_cast<double>(run->peakKilobytes) / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    // The child mode: load the library of $M2_DOCUMENTS_DIR once and exit.
    if (argc == 2 && std::string(argv[1]) == "--load-only") {
        m2::FileManager model;
        return model.library.size() == static_cast<std::size_t>(kEntries) ? 0 : 1;
    }
    std::string pattern = (fs::temp_directory_path() / "m2-bench-library-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path documents = pattern;
    m2::platform::setDocumentsFolderOverride(documents);
    if (!m2::platform::ensureBaseFolder() || !m2::FileReader::save(m2bench::makeLibrary())) {
        std::fprintf(stderr, "could not write the library file\n");
        return 1;
    }
    g_model = std::make_unique<m2::FileManager>();

    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const std::string file = m2::FileReader::location().string();
    std::printf("\nlibrary file: %d entries, %.1f MB\n", kEntries,
                static_cast<double>(fs::file_size(file)) / 1e6);
    const auto ours = runChild({"/proc/self/exe", "--load-only"}, documents.string());
    const auto xmllint = runChild({"xmllint", "--noout", file}, documents.string());
    for (const char* name : {"SaveLibrary/real_time", "SaveUnchangedLibrary/real_time"}) {
        if (const auto r = reporter.realRatio(name, "CatAndSync/real_time")) {
            std::printf("%s / (cat + sync): %.2f\n", name, *r);
        }
    }
    printRun("load in a fresh process", ours);
    printRun("xmllint --noout, same file", xmllint);
    if (ours && xmllint && xmllint->cpuSeconds > 0 && xmllint->peakKilobytes > 0) {
        std::printf(
            "load / xmllint: %.2f CPU time, %.2f peak memory\n",
            ours->cpuSeconds / xmllint->cpuSeconds,
            static_cast<double>(ours->peakKilobytes) / static_cast<double>(xmllint->peakKilobytes));
    }
    g_model.reset();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(documents, ec);
    return 0;
}
