// The notes file: saving and loading 1,000 notes of 1 KiB through NoteReader (one decryption,
// a write and one encryption; one decryption, a read and a parse) next to openssl enc of the
// same plain XML (a decryption and an encryption; a decryption). Both sides derive the key
// over 10000 SHA-256 rounds, and write their plain output to a memory file system (/dev/shm,
// standing in for the session's runtime folder). Prints the wall-time ratios at the end.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "bench/support/PatternFiles.h"
#include "bench/support/RatioReporter.h"
#include "platform/Paths.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kNotes = 1000;
constexpr std::size_t kNoteBytes = 1024;
constexpr const char* kPassword = "bench notes password";

fs::path scratch() {
    static const fs::path dir = [] {
        char pattern[] = "/tmp/m2-bench-notes-XXXXXX";
        const char* made = mkdtemp(pattern);
        return fs::path(made != nullptr ? made : "/tmp/m2-bench-notes");
    }();
    return dir;
}

std::vector<m2::NoteItemPtr> makeNotes() {
    std::vector<m2::NoteItemPtr> notes;
    for (int i = 0; i < kNotes; ++i) {
        std::string content(kNoteBytes, ' ');
        for (std::size_t c = 0; c < content.size(); ++c) {
            content[c] = c % 64 == 63 ? '\n' : static_cast<char>('a' + (31 * c + i) % 26);
        }
        notes.push_back(std::make_shared<m2::NoteItem>(
            "Note " + std::to_string(i),
            m2::NoteCategory::Category::allCases[static_cast<std::size_t>(i) % 11], content,
            "ID-" + std::to_string(i)));
    }
    return notes;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs openssl with these arguments (no shell; the password comes from a file).
bool openssl(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/usr/bin/openssl");
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> opensslEnc(bool decrypt, const fs::path& in, const fs::path& out) {
    std::vector<std::string> arguments{"enc"};
    if (decrypt) {
        arguments.emplace_back("-d");
    }
    for (const char* a : {"-aes-256-cbc", "-pbkdf2", "-iter", "10000", "-md", "sha256"}) {
        arguments.emplace_back(a);
    }
    arguments.insert(arguments.end(), {"-pass", "file:" + (scratch() / "password").string(), "-in",
                                       in.string(), "-out", out.string()});
    return arguments;
}

struct Fixture {
    std::vector<m2::NoteItemPtr> notes = makeNotes();
    fs::path notesFile;
    fs::path plain = scratch() / "plain.xml";
    fs::path sealed = scratch() / "plain.xml.enc";
    fs::path decrypted;  // beside the working copies, on the same file system
};

Fixture* g_fixture = nullptr;

void NotesSave(benchmark::State& state) {
    for (auto _ : state) {
        if (!m2::NoteReader::save(g_fixture->notes, g_fixture->notesFile.string())) {
            state.SkipWithError("NoteReader::save failed");
            break;
        }
    }
}

void NotesLoad(benchmark::State& state) {
    for (auto _ : state) {
        const auto notes = m2::NoteReader::load(g_fixture->notesFile.string());
        if (!notes || notes->size() != static_cast<std::size_t>(kNotes)) {
            state.SkipWithError("NoteReader::load failed");
            break;
        }
    }
}

void OpensslDecryptAndEncrypt(benchmark::State& state) {
    const fs::path& out = g_fixture->decrypted;
    for (auto _ : state) {
        if (!openssl(opensslEnc(true, g_fixture->sealed, out)) ||
            !openssl(opensslEnc(false, g_fixture->plain, g_fixture->sealed))) {
            state.SkipWithError("openssl enc failed");
            break;
        }
    }
}

void OpensslDecrypt(benchmark::State& state) {
    const fs::path& out = g_fixture->decrypted;
    for (auto _ : state) {
        if (!openssl(opensslEnc(true, g_fixture->sealed, out))) {
            state.SkipWithError("openssl enc -d failed");
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Settings, working copies and files stay out of the user's home. The working copies go
    // to a memory file system, as under a desktop session's runtime folder.
    m2::platform::setDocumentsFolderOverride(scratch() / "Documents");
    const fs::path runtime = m2bench::useMemoryRuntimeFolder("notes", scratch());
    m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(kPassword));
    m2::PasswordCredentials::instance().setHint("hint");

    Fixture fixture;
    fixture.decrypted = runtime / "decrypted.xml";
    g_fixture = &fixture;
    const fs::path empty = scratch() / "M2_SecureNotes.m2n";
    writeFile(empty, "");
    Encryptor encryptor(kPassword, "hint", false, false);
    fixture.notesFile = encryptor.encryptFileOutcome(empty.string(), "hint").path;
    const std::string document = m2::NoteReader::document(fixture.notes);
    writeFile(fixture.plain, document);
    writeFile(scratch() / "password", kPassword);
    if (!m2::NoteReader::save(fixture.notes, fixture.notesFile.string()) ||
        !openssl(opensslEnc(false, fixture.plain, fixture.sealed))) {
        std::fprintf(stderr, "could not set up the notes file or its openssl twin\n");
        return 1;
    }
    std::printf("plain XML of %d notes: %zu bytes; working copies in %s\n", kNotes, document.size(),
                runtime.c_str());

    benchmark::RegisterBenchmark("NotesSave", NotesSave)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("NotesLoad", NotesLoad)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpensslDecryptAndEncrypt", OpensslDecryptAndEncrypt)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpensslDecrypt", OpensslDecrypt)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto print = [&](const char* what, const char* numerator, const char* denominator) {
        if (const auto ratio = reporter.realRatio(numerator, denominator)) {
            std::printf("%-58s %.2f\n", what, *ratio);
        }
    };
    std::printf("\nwall time, notes file / openssl enc of the same plain XML:\n");
    print("save (NoteReader::save / openssl enc -d + openssl enc)", "NotesSave/real_time",
          "OpensslDecryptAndEncrypt/real_time");
    print("load (NoteReader::load / openssl enc -d)", "NotesLoad/real_time",
          "OpensslDecrypt/real_time");
    fs::remove_all(scratch());
    fs::remove_all(runtime);
    benchmark::Shutdown();
    return 0;
}
