// The facade's encryptFile and decryptFile on one large file next to the same work done
// with OpenSSL and coreutils (encrypt, make durable, overwrite once, remove; decrypt,
// truncate, rename, remove; and once more with the plain file made durable before the
// encrypted one goes, as the engine does), timed on the wall clock with medians of several repeats.
// Run through bench/file_pipeline.sh, which makes the file; prints the ratios and the
// engine's peak memory at the end.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "Sealkit/SealkitFacade.h"

namespace fs = std::filesystem;

namespace {

const char* const kKeyHex = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
const char* const kIvHex = "0f0e0d0c0b0a09080706050403020100";
const std::string kPassword = "benchmark password";

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

const std::string& plainFile() {
    static const std::string path = env("M2_BENCH_PLAIN");
    return path;
}

std::string workFile(const std::string& name) {
    return (fs::path(plainFile()).parent_path() / name).string();
}

void copyFresh(const std::string& from, const std::string& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

long peakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long g_baselineKib = 0;

// Times one facade call a repeat, each on a fresh copy of `from` named `name`; copying
// the input and removing the output stay outside the timing.
template <typename Call>
void timeOnFreshCopies(benchmark::State& state, const std::string& from, const std::string& name,
                       Call call) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string input = workFile(name);
        copyFresh(from, input);
        state.ResumeTiming();
        const SealkitOutcome out = call(input);
        state.PauseTiming();
        if (!out.succeeded()) {
            state.SkipWithError(out.text().c_str());
        }
        fs::remove(out.path);
        state.ResumeTiming();
    }
}

void FacadeEncrypt(benchmark::State& state) {
    Encryptor encryptor(kPassword, "", false, false);
    timeOnFreshCopies(state, plainFile(), "ours.bin", [&](const std::string& source) {
        return encryptor.encryptFileOutcome(source, "");
    });
}

void OpensslEncrypt(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string source = workFile("theirs.bin");
        copyFresh(plainFile(), source);
        const std::string target = source + ".enc";
        state.ResumeTiming();
        const bool ok = run(std::string("openssl enc -aes-256-cbc -K ") + kKeyHex + " -iv " +
                            kIvHex + " -in '" + source + "' -out '" + target + "' && sync '" +
                            target + "' && shred -x -n 0 -z --remove=wipe '" + source + "'");
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("openssl enc, sync or shred failed");
        }
        fs::remove(target);
        state.ResumeTiming();
    }
}

void FacadeDecrypt(benchmark::State& state) {
    // One encrypted copy made up front; each repeat decrypts a fresh copy of it.
    const std::string master = workFile("ours-master.bin.m2p");
    {
        const std::string source = workFile("ours-master.bin");
        copyFresh(plainFile(), source);
        const SealkitOutcome out =
            Encryptor(kPassword, "", false, false).encryptFileOutcome(source, "");
        if (!out.succeeded()) {
            state.SkipWithError(out.text().c_str());
            return;
        }
    }
    Decryptor decryptor(kPassword, "");
    timeOnFreshCopies(state, master, "ours.bin.m2p", [&](const std::string& encrypted) {
        return decryptor.decryptFileOutcome(encrypted, "");
    });
    fs::remove(master);
}

// synced: the plain file is also made durable before the encrypted one is removed, as
// the engine does.
void OpensslDecrypt(benchmark::State& state, bool synced) {
    const std::string master = workFile("theirs-master.enc");
    if (!run(std::string("openssl enc -aes-256-cbc -K ") + kKeyHex + " -iv " + kIvHex + " -in '" +
             plainFile() + "' -out '" + master + "'")) {
        state.SkipWithError("openssl enc failed");
        return;
    }
    const std::string size = std::to_string(fs::file_size(plainFile()));
    for (auto _ : state) {
        state.PauseTiming();
        const std::string encrypted = workFile("theirs.enc");
        const std::string temporary = encrypted + ".cdf";
        const std::string plain = workFile("theirs.out");
        copyFresh(master, encrypted);
        state.ResumeTiming();
        const bool ok =
            run(std::string("openssl enc -d -aes-256-cbc -K ") + kKeyHex + " -iv " + kIvHex +
                " -in '" + encrypted + "' -out '" + temporary + "' && truncate -s " + size + " '" +
                temporary + "'" + (synced ? " && sync '" + temporary + "'" : "") + " && mv '" +
                temporary + "' '" + plain + "' && rm '" + encrypted + "'");
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("openssl enc -d, truncate, mv or rm failed");
        }
        fs::remove(plain);
        state.ResumeTiming();
    }
    fs::remove(master);
}

// Keeps the median wall time of each benchmark for the ratios.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                medians[r.run_name.function_name] = r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatio(const std::string& label, const std::string& ours,
                    const std::string& theirs) const {
        const auto a = medians.find(ours), b = medians.find(theirs);
        if (a != medians.end() && b != medians.end() && b->second > 0) {
            std::printf("%s: %.3fx (goal: at most 1.1x)\n", label.c_str(), a->second / b->second);
        }
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
    if (plainFile().empty() || !fs::exists(plainFile())) {
        std::fprintf(stderr, "set M2_BENCH_PLAIN to the plain file (bench/file_pipeline.sh)\n");
        return 2;
    }
    const std::string repeats = env("M2_BENCH_REPEATS");
    const int n = repeats.empty() ? 5 : std::atoi(repeats.c_str());
    for (auto* b : {benchmark::RegisterBenchmark("FacadeEncrypt", FacadeEncrypt),
                    benchmark::RegisterBenchmark("OpensslEncrypt", OpensslEncrypt),
                    benchmark::RegisterBenchmark("FacadeDecrypt", FacadeDecrypt),
                    benchmark::RegisterBenchmark("OpensslDecrypt", OpensslDecrypt, false),
                    benchmark::RegisterBenchmark("OpensslDecryptSynced", OpensslDecrypt, true)}) {
        b->Iterations(1)->Repetitions(n)->ReportAggregatesOnly(true)->UseRealTime()->Unit(
            benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    g_baselineKib = peakKib();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("encryptFile / (openssl enc + sync + shred)", "FacadeEncrypt",
                        "OpensslEncrypt");
    reporter.printRatio("decryptFile / (openssl enc -d + truncate + mv + rm)", "FacadeDecrypt",
                        "OpensslDecrypt");
    reporter.printRatio("decryptFile / (openssl enc -d + truncate + sync + mv + rm)",
                        "FacadeDecrypt", "OpensslDecryptSynced");
    std::printf(
        "peak memory: %.1f MiB, of which %.1f MiB before any file work (goal: the "
        "engine under 16 MiB)\n",
        static_cast<double>(peakKib()) / 1024, static_cast<double>(g_baselineKib) / 1024);
    benchmark::Shutdown();
    return 0;
}
