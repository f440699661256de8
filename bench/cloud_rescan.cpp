// A rescan of a provider folder with 100,000 files in 1,000 folders, next to
// `find DIR | wc -l` over the same tree; prints the ratios at the end. Wall-clock time, as
// the scan runs on a background queue and find in child processes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "app/library/CloudManager.h"
#include "app/library/CloudScan.h"
#include "app/library/LibraryManager.h"
#include "app/services/Settings.h"
#include "bench/support/RatioReporter.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;

// The tree, a Documents folder and a library that already shows the tree as a provider.
struct World {
    World() {
        std::string pattern = (fs::temp_directory_path() / "m2-bench-cloud-XXXXXX").string();
        top = ::mkdtemp(pattern.data());
        tree = top / "Dropbox";
        for (int f = 0; f < kFolders; ++f) {
            const fs::path folder =
                tree / ("folder-" + std::to_string(f / 100)) / ("sub-" + std::to_string(f));
            fs::create_directories(folder);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                std::ofstream(folder / ("file-" + std::to_string(i) + ".txt"));
            }
        }
        m2::platform::setDocumentsFolderOverride(top / "Documents");
        m2::Settings::instance().setMonitorCloudFolders(false);
        library = std::make_unique<m2::LibraryManager>();
        library->setupViews(nullptr, nullptr);
        cloud = std::make_unique<m2::CloudManager>(*library);
        (void)cloud->addCloudProvider(m2::CloudType::DropBox, tree.string());
        queue->drain();
    }
    ~World() {
        cloud.reset();
        library.reset();
        m2::platform::setDocumentsFolderOverride(std::nullopt);
        std::error_code ignored;
        fs::remove_all(top, ignored);
    }

    m2::platform::ScopedManualMainQueue queue;
    fs::path top;
    fs::path tree;
    std::unique_ptr<m2::LibraryManager> library;
    std::unique_ptr<m2::CloudManager> cloud;
};

World& world() {
    static World made;
    return made;
}

void CloudRescan(benchmark::State& state) {
    World& w = world();
    for (auto _ : state) {
        w.cloud->refreshCloudFolderAndContents();
        while (w.cloud->isRefreshing()) {
            if (w.queue->drain() == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
    }
    state.counters["entries"] = static_cast<double>(w.library->fileManager.library.size());
}

// The background part alone: listing the folders and testing the entries.
void CloudRescanPlanOnly(benchmark::State& state) {
    World& w = world();
    m2::CloudSnapshot snapshot;
    snapshot.providers.push_back(
        {m2::CloudType(m2::CloudType::DropBox).id(), w.tree.string(), {}, {}});
    for (const auto& entry : w.library->fileManager.library) {
        snapshot.entries.push_back({entry->id, entry->filePath, entry->fileName});
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(m2::planCloudRescan(snapshot).newFiles.size());
    }
}

void FindWcL(benchmark::State& state) {
    World& w = world();
    const std::string command = "find '" + w.tree.string() + "' | wc -l";
    for (auto _ : state) {
        FILE* pipe = ::popen(command.c_str(), "r");
        char line[64] = {};
        benchmark::DoNotOptimize(std::fgets(line, sizeof line, pipe));
        ::pclose(pipe);
    }
}

BENCHMARK(CloudRescan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CloudRescanPlanOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FindWcL)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* name : {"CloudRescan/real_time", "CloudRescanPlanOnly/real_time"}) {
        if (const auto r = reporter.realRatio(name, "FindWcL/real_time")) {
            std::printf("%s / find | wc -l: %.2f\n", name, *r);
        }
    }
    benchmark::Shutdown();
    return 0;
}
