// The library batch (SecurityManager::encryptFile) next to openssl enc + shred over the same
// files in one run: 1,000 small files, then 4 files of 256 MiB. Both sides derive a key per
// file over 10000 SHA-256 rounds, write the encrypted file, sync it and destroy the plain
// file. Prints the wall-time ratios (batch / openssl) at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/library/SecurityManager.h"
#include "bench/support/PatternFiles.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

struct Shape {
    const char* name;
    int files;
    std::size_t bytes;
};
constexpr Shape kSmall{"small", 1000, 4096};
constexpr Shape kLarge{"large", 4, std::size_t{256} << 20};

fs::path scratch() {
    static const fs::path dir = m2bench::scratchFolder("batch");
    return dir;
}

// Fresh plain files with deterministic content; answers their library entries.
std::vector<m2::FileItemPtr> makeFiles(const Shape& shape) {
    const fs::path dir = scratch() / shape.name;
    std::vector<m2::FileItemPtr> items;
    for (const std::string& name : m2bench::writePatternFiles(dir, shape.files, shape.bytes)) {
        auto item = std::make_shared<m2::FileItem>();
        item->fileName = name;
        item->filePath = dir.string();
        items.push_back(item);
    }
    return items;
}

void Batch(benchmark::State& state, const Shape& shape) {
    m2::platform::ScopedManualMainQueue mainQueue;
    for (auto _ : state) {
        state.PauseTiming();
        const auto entries = m2::SecurityManager::snapshot(makeFiles(shape));
        state.ResumeTiming();
        const m2::ProcessReport report = m2::SecurityManager::instance().encryptFile(
            entries, nullptr, "bench password", "hint", nullptr, nullptr);
        state.PauseTiming();
        mainQueue->drain();
        if (report.success().size() != entries.size()) {
            state.SkipWithError("an entry failed");
        }
        state.ResumeTiming();
    }
}

void OpensslAndShred(benchmark::State& state, const Shape& shape) {
    const std::string dir = (scratch() / shape.name).string();
    const std::string script =
        "cd '" + dir +
        "' && for f in *.bin; do openssl enc -aes-256-cbc -pbkdf2 -iter 10000 -md sha256 -salt "
        "-pass pass:bench -in \"$f\" -out \"$f.enc\" && sync \"$f.enc\" && shred -n 1 -u \"$f\" "
        "|| exit 1; done";
    for (auto _ : state) {
        state.PauseTiming();
        (void)makeFiles(shape);
        state.ResumeTiming();
        if (std::system(script.c_str()) != 0) {
            state.SkipWithError("openssl enc, sync or shred failed");
        }
    }
}

// Keeps each benchmark's wall time per iteration for the ratios.
class WallReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
                seconds[r.run_name.function_name] = r.real_accumulated_time / r.iterations;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatio(const char* label, const std::string& ours, const std::string& theirs) const {
        const auto a = seconds.find(ours), b = seconds.find(theirs);
        if (a != seconds.end() && b != seconds.end() && b->second > 0) {
            std::printf("  %-40s %.2fx\n", label, a->second / b->second);
        }
    }
    std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
    // The batch reads the settings: keep them, and every file, out of the user's home.
    m2::platform::setDocumentsFolderOverride(scratch() / "Documents");
    for (const Shape* shape : {&kSmall, &kLarge}) {
        const std::string suffix = std::string("/") + shape->name;
        benchmark::RegisterBenchmark(("Batch" + suffix).c_str(), Batch, *shape)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("OpensslAndShred" + suffix).c_str(), OpensslAndShred, *shape)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    WallReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nwall time, batch / (openssl enc + sync + shred):\n");
    reporter.printRatio("1,000 files of 4 KiB", "Batch/small", "OpensslAndShred/small");
    reporter.printRatio("4 files of 256 MiB", "Batch/large", "OpensslAndShred/large");
    fs::remove_all(scratch());
    benchmark::Shutdown();
    return 0;
}
