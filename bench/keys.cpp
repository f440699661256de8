// The 10000-round password key next to OpenSSL's SHA-256 over the same number of
// compressions; prints the ratio at the end.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <string>

#include "Sealkit/Hash/MD5.h"
#include "Sealkit/Hash/sha2.h"
#include "bench/support/RatioReporter.h"

namespace {

const std::string kPassword = "correct horse battery staple";
constexpr int kRounds = 10000;

void StretchedSha256Key(benchmark::State& state) {
    for (auto _ : state) {
        Morvane::Security::sha2 key(reinterpret_cast<const unsigned char*>(kPassword.data()),
                                    static_cast<int>(kPassword.size()));
        key.StretchKey();
        benchmark::DoNotOptimize(key.getDigestRaw()[0]);
    }
}

// One compression for the password, then one per round over the 32-byte digest: the
// same 10001 compressions the stretched key costs.
void OpenSslSha256SameCompressions(benchmark::State& state) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    const EVP_MD* md = EVP_sha256();
    unsigned char digest[32];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, kPassword.data(), kPassword.size());
        EVP_DigestFinal_ex(ctx, digest, &length);
        for (int i = 0; i < kRounds; ++i) {
            EVP_DigestInit_ex(ctx, md, nullptr);
            EVP_DigestUpdate(ctx, digest, sizeof digest);
            EVP_DigestFinal_ex(ctx, digest, &length);
        }
        benchmark::DoNotOptimize(digest[0]);
    }
    EVP_MD_CTX_free(ctx);
}

// The bare compression speed: one message of 10000 blocks (10001 compressions with the
// padding block), without the per-digest set-up the rounds above pay.
void OpenSslSha256OneLongMessage(benchmark::State& state) {
    const std::string message(64 * static_cast<std::size_t>(kRounds), 'k');
    unsigned char digest[32];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(message.data(), message.size(), digest, &length, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(digest[0]);
    }
}

void StretchedMd5VariantKey(benchmark::State& state) {
    for (auto _ : state) {
        Morvane::Security::MD5 key(kPassword.c_str());
        key.StretchKey();
        benchmark::DoNotOptimize(key.getDigestRaw()[0]);
    }
}

BENCHMARK(StretchedSha256Key)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSslSha256SameCompressions)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSslSha256OneLongMessage)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchedMd5VariantKey)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (const auto r = reporter.ratio("StretchedSha256Key", "OpenSslSha256SameCompressions")) {
        std::printf("stretched SHA-256 key / OpenSSL SHA-256, same compressions: %.2f\n", *r);
    }
    if (const auto r = reporter.ratio("StretchedSha256Key", "OpenSslSha256OneLongMessage")) {
        std::printf("stretched SHA-256 key / OpenSSL SHA-256, one long message: %.2f\n", *r);
    }
    benchmark::Shutdown();
    return 0;
}
