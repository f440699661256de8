// The library batch (SecurityManager::encryptFile) next to openssl enc + shred over the same
// files in one run: 1,000 small files, then 4 files of 256 MiB. Both sides derive a key per
// file over 10000 SHA-256 rounds, write the encrypted file, sync it and destroy the plain
// file. Prints the wall-time ratios (batch / openssl) at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/library/SecurityManager.h"
#include "bench/support/OpensslBatch.h"
#include "bench/support/PatternFiles.h"
#include "bench/support/RatioReporter.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

using Shape = m2bench::BatchShape;
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
    // A bench-only password, given as a file so it is on no command line.
    const fs::path passFile = scratch() / "pass";
    std::ofstream(passFile) << "bench password\n";
    for (auto _ : state) {
        state.PauseTiming();
        (void)makeFiles(shape);
        state.ResumeTiming();
        if (!m2bench::opensslAndShred(scratch() / shape.name, shape.files, passFile)) {
            state.SkipWithError("openssl enc, sync or shred failed");
        }
    }
}

// Batch over the reference, wall time, for one shape.
void printRatio(const m2bench::RatioReporter& reporter, const char* label, const char* shape) {
    const std::string suffix = std::string("/") + shape + "/iterations:1/real_time";
    if (const auto ratio = reporter.realRatio("Batch" + suffix, "OpensslAndShred" + suffix)) {
        std::printf("  %-40s %.2fx\n", label, *ratio);
    }
}

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
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nwall time, batch / (openssl enc + sync + shred):\n");
    printRatio(reporter, "1,000 files of 4 KiB", "small");
    printRatio(reporter, "4 files of 256 MiB", "large");
    fs::remove_all(scratch());
    benchmark::Shutdown();
    return 0;
}
