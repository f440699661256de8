// AES-256-CBC of the engine next to OpenSSL's EVP aes-256-cbc over the same buffers, and
// the CBC mode over streams next to EVP over the same streams in the same 10000-byte
// chunks; prints the speed ratios (engine / OpenSSL) at the end.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/AesCipher.h"
#include "Sealkit/Cryptography/CBCMode.h"
#include "Sealkit/Cryptography/IV.h"
#include "bench/support/RatioReporter.h"

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;
constexpr std::size_t kStreamBytes = 8 << 20;

const std::vector<unsigned char>& key() {
    static const std::vector<unsigned char> k = [] {
        std::vector<unsigned char> v(32);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<unsigned char>(i * 13 + 1);
        return v;
    }();
    return k;
}

const unsigned char kIv[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

std::vector<unsigned char> data(std::size_t n) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>((31 * i + 7) % 251);
    return v;
}

template <bool Decrypt>
void EngineCbcBuffer(benchmark::State& state, AesCipher::Backend backend) {
    AesCipher aes(backend);
    aes.Initialize(key().data(), 32);
    const auto in = data(kBufferBytes);
    std::vector<unsigned char> out(kBufferBytes);
    for (auto _ : state) {
        unsigned char chain[16];
        std::copy(kIv, kIv + 16, chain);
        if (Decrypt) {
            aes.cbcDecrypt(in.data(), out.data(), kBufferBytes / 16, chain);
        } else {
            aes.cbcEncrypt(in.data(), out.data(), kBufferBytes / 16, chain);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferBytes));
}

template <bool Decrypt>
void OpenSslCbcBuffer(benchmark::State& state) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const auto in = data(kBufferBytes);
    std::vector<unsigned char> out(kBufferBytes + 16);
    for (auto _ : state) {
        EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key().data(), kIv, Decrypt ? 0 : 1);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        int n = 0;
        EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(kBufferBytes));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferBytes));
}

// One pass from an in-memory input stream to an in-memory output stream.
template <typename Pass>
void overStreams(benchmark::State& state, Pass pass) {
    auto in = data(kStreamBytes);
    std::vector<unsigned char> out(kStreamBytes + 64);
    for (auto _ : state) {
        FILE* input = fmemopen(in.data(), in.size(), "rb");
        FILE* output = fmemopen(out.data(), out.size(), "wb");
        if (!pass(input, output)) {
            state.SkipWithError("pass failed");
        }
        std::fclose(input);
        std::fclose(output);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kStreamBytes));
}

template <bool Decrypt>
void EngineCbcModeStreams(benchmark::State& state) {
    AesCipher aes;
    aes.Initialize(key().data(), 32);
    Morvane::Security::CBCMode mode(16);
    IV iv(16);
    iv.setIV("000102030405060708090A0B0C0D0E0F");
    overStreams(state, [&](FILE* input, FILE* output) {
        return Decrypt ? mode.fileDecrypt(&aes, kStreamBytes, 0, input, output, &iv)
                       : mode.fileEncrypt(&aes, kStreamBytes, 0, input, output, &iv) == 1;
    });
}

template <bool Decrypt>
void OpenSslCbcStreams(benchmark::State& state) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::vector<unsigned char> chunk(10000), result(10000 + 16);
    overStreams(state, [&](FILE* input, FILE* output) {
        EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key().data(), kIv, Decrypt ? 0 : 1);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        std::size_t got = 0;
        while ((got = std::fread(chunk.data(), 1, chunk.size(), input)) > 0) {
            int n = 0;
            EVP_CipherUpdate(ctx, result.data(), &n, chunk.data(), static_cast<int>(got));
            std::fwrite(result.data(), 1, static_cast<std::size_t>(n), output);
        }
        return true;
    });
    EVP_CIPHER_CTX_free(ctx);
}

void EngineCbcEncrypt(benchmark::State& state, AesCipher::Backend backend) {
    EngineCbcBuffer<false>(state, backend);
}
void EngineCbcDecrypt(benchmark::State& state, AesCipher::Backend backend) {
    EngineCbcBuffer<true>(state, backend);
}
void OpenSslCbcEncrypt(benchmark::State& state) {
    OpenSslCbcBuffer<false>(state);
}
void OpenSslCbcDecrypt(benchmark::State& state) {
    OpenSslCbcBuffer<true>(state);
}
void EngineModeEncrypt(benchmark::State& state) {
    EngineCbcModeStreams<false>(state);
}
void EngineModeDecrypt(benchmark::State& state) {
    EngineCbcModeStreams<true>(state);
}
void OpenSslStreamEncrypt(benchmark::State& state) {
    OpenSslCbcStreams<false>(state);
}
void OpenSslStreamDecrypt(benchmark::State& state) {
    OpenSslCbcStreams<true>(state);
}

BENCHMARK_CAPTURE(EngineCbcEncrypt, hardware, AesCipher::Backend::Hardware);
BENCHMARK_CAPTURE(EngineCbcEncrypt, portable, AesCipher::Backend::Portable);
BENCHMARK(OpenSslCbcEncrypt);
BENCHMARK_CAPTURE(EngineCbcDecrypt, hardware, AesCipher::Backend::Hardware);
BENCHMARK_CAPTURE(EngineCbcDecrypt, portable, AesCipher::Backend::Portable);
BENCHMARK(OpenSslCbcDecrypt);
BENCHMARK(EngineModeEncrypt);
BENCHMARK(OpenSslStreamEncrypt);
BENCHMARK(EngineModeDecrypt);
BENCHMARK(OpenSslStreamDecrypt);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const struct {
        const char* label;
        const char* ours;
        const char* openssl;
    } ratios[] = {
        {"CBC encryption, AES instructions", "EngineCbcEncrypt/hardware", "OpenSslCbcEncrypt"},
        {"CBC encryption, portable code", "EngineCbcEncrypt/portable", "OpenSslCbcEncrypt"},
        {"CBC decryption, AES instructions", "EngineCbcDecrypt/hardware", "OpenSslCbcDecrypt"},
        {"CBC decryption, portable code", "EngineCbcDecrypt/portable", "OpenSslCbcDecrypt"},
        {"CBCMode::fileEncrypt over streams", "EngineModeEncrypt", "OpenSslStreamEncrypt"},
        {"CBCMode::fileDecrypt over streams", "EngineModeDecrypt", "OpenSslStreamDecrypt"},
    };
    std::printf("\nspeed ratio engine / OpenSSL EVP aes-256-cbc (AES instructions %s):\n",
                AesCipher::hardwareAvailable() ? "available" : "not available");
    for (const auto& r : ratios) {
        // Time of OpenSSL over ours: above 1 means the engine is faster.
        if (const auto speed = reporter.ratio(r.openssl, r.ours)) {
            std::printf("  %-36s %.2fx\n", r.label, *speed);
        }
    }
    benchmark::Shutdown();
    return 0;
}
