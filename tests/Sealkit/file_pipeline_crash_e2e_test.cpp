// Kills a child process at random moments while it encrypts or decrypts a large file:
// afterwards the folder holds the original or a complete, decryptable result, and
// nothing half-written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/FileDecryptor.h"
#include "Sealkit/Cryptography/FileEncryptor.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "Shredder/SecureDelete.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace Morvane::Security;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kPassword = "crash password";
constexpr std::size_t kFileBytes = 32u << 20;
constexpr int kUnnamedKills = 20;
constexpr int kNamedKills = 5;
const std::string kPlainName = "f.bin";
const std::string kEncryptedName = "f.bin.m2p";
// The named temporary of both pipelines where unnamed files are not used.
const std::string kTemporaryName = "f.bin.m2p.cdf";

class Encrypting : public FileEncryptor {
  public:
    Encrypting(bool unnamed, CCipherConstraints c) : FileEncryptor(false, kPassword, c) {
        useUnnamedFiles = unnamed;
    }
};

class Decrypting : public FileDecryptor {
  public:
    explicit Decrypting(bool unnamed) : FileDecryptor(false, kPassword) {
        useUnnamedFiles = unnamed;
    }
};

int encryptIn(const fs::path& folder, bool unnamed) {
    CCipherConstraints c;
    c.CreateUserConstraint();
    std::string path = folder / kPlainName, hint = "hint";
    return Encrypting(unnamed, c).processFile(path, hint, false, "");
}

int decryptIn(const fs::path& folder, bool unnamed) {
    std::string path = folder / kEncryptedName, hint;
    const int code = Decrypting(unnamed).processFile(path, hint, false, "");
    return code == kRenamedCopy ? kOK : code;
}

// Runs the operation in a child; kills it after `delay` unless it ended. Whether it ended.
bool runChild(const std::function<int()>& operation, Clock::duration delay) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(operation() == kOK ? 0 : 1);
    }
    const Clock::time_point deadline = Clock::now() + delay;
    int status = 0;
    while (Clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status);
}

Clock::duration timeOf(const std::function<int()>& operation) {
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(runChild(operation, std::chrono::minutes(5)));
    return Clock::now() - start;
}

bool allBytesAre(const std::string& bytes, char value) {
    return std::all_of(bytes.begin(), bytes.end(), [value](char c) { return c == value; });
}

std::string decryptedCopyOf(const fs::path& encrypted) {
    m2::test::TempDir elsewhere;
    fs::copy_file(encrypted, elsewhere / kEncryptedName);
    const SealkitOutcome out =
        Decryptor(kPassword, "").decryptFileOutcome(elsewhere / kEncryptedName, "");
    return out.succeeded() ? m2::test::readFile(out.path) : std::string();
}

// What a kill left; fails the test for anything but the original and complete results.
// Besides those only an overwritten remnant under the shredder's "Z" name (killed between
// its rename and removal) and, with named temporaries, the private temporary may remain.
std::string judge(const fs::path& folder, const std::string& plain, const std::string& sealed,
                  bool named) {
    std::vector<std::string> names = m2::test::listFolder(folder);
    const std::string zero = CSecureDelete::zeroName(kPlainName);
    std::string state;
    for (const std::string& name : names) {
        const std::string bytes = m2::test::readFile(folder / name);
        if (name == kEncryptedName) {
            const bool intact =
                sealed.empty() ? decryptedCopyOf(folder / name) == plain : bytes == sealed;
            EXPECT_TRUE(intact) << "the encrypted file is not complete";
            state += "[encrypted]";
        } else if (name == kPlainName) {
            state += bytes == plain ? "[plain]" : "[plain being shredded]";
        } else if (name == zero && allBytesAre(bytes, '\xFF')) {
            state += "[shredded remnant]";
        } else if (named && name == kTemporaryName &&
                   m2::test::permissionBits(folder / name) == 0600) {
            state += "[private temporary]";
        } else {
            ADD_FAILURE() << "left behind: " << name;
        }
    }
    const bool plainIntact = state.find("[plain]") != std::string::npos;
    const bool sealedThere = state.find("[encrypted]") != std::string::npos;
    EXPECT_TRUE(plainIntact || sealedThere) << "neither the original nor a result: " << state;
    if (!sealedThere) {
        EXPECT_EQ(state.find("[plain being shredded]"), std::string::npos);
    }
    return state;
}

// Starts from `start` (a file the folder then holds alone), kills `operation` at random
// moments over its usual length, judges each outcome and hands the state to `after`.
void killRepeatedly(const char* what, bool unnamed, int kills, const fs::path& folder,
                    const std::string& start, const std::string& startBytes,
                    const std::function<int()>& operation,
                    const std::function<std::string()>& judgeState,
                    const std::function<void(const std::string&)>& after) {
    auto reset = [&] {
        for (const std::string& name : m2::test::listFolder(folder)) {
            fs::remove(folder / name);
        }
        m2::test::writeFile(folder / start, startBytes);
    };
    reset();
    const Clock::duration span = timeOf(operation) * 11 / 10;
    std::mt19937 random{std::random_device{}()};
    std::map<std::string, int> seen;
    for (int kill = 0; kill < kills; ++kill) {
        reset();
        const Clock::duration moment(
            std::uniform_int_distribution<Clock::rep>(0, span.count())(random));
        SCOPED_TRACE(std::string(what) + " killed after " + std::to_string(moment.count()) +
                     " clock ticks");
        (void)runChild(operation, moment);
        const std::string state = judgeState();
        ++seen[state];
        after(state);
    }
    for (const auto& [state, count] : seen) {
        std::cout << what << ", " << (unnamed ? "unnamed" : "named") << ": " << count << " x "
                  << state << "\n";
    }
}

void killEncryptions(bool unnamed, int kills) {
    m2::test::TempDir dir;
    const std::string plain = m2::test::patternText(kFileBytes);
    killRepeatedly(
        "encryption", unnamed, kills, dir.path(), kPlainName, plain,
        [&] { return encryptIn(dir.path(), unnamed); },
        [&] { return judge(dir.path(), plain, "", !unnamed); },
        [&](const std::string& state) {
            if (state.find("[plain]") == std::string::npos) {
                return;
            }
            // From the untouched original, with a stale temporary beside it, the next run
            // finishes cleanly and leaves only its result.
            for (const std::string& name : m2::test::listFolder(dir.path())) {
                if (name != kPlainName) {
                    fs::remove(dir / name);
                }
            }
            m2::test::writeFile(dir / kTemporaryName, "stale");
            fs::permissions(dir / kTemporaryName, fs::perms::owner_read | fs::perms::owner_write);
            ASSERT_EQ(encryptIn(dir.path(), unnamed), kOK);
            EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{kEncryptedName});
        });
}

void killDecryptions(bool unnamed, int kills) {
    m2::test::TempDir dir;
    const std::string plain = m2::test::patternText(kFileBytes);
    m2::test::writeFile(dir / kPlainName, plain);
    ASSERT_EQ(encryptIn(dir.path(), true), kOK);
    const std::string sealed = m2::test::readFile(dir / kEncryptedName);
    killRepeatedly(
        "decryption", unnamed, kills, dir.path(), kEncryptedName, sealed,
        [&] { return decryptIn(dir.path(), unnamed); },
        [&] { return judge(dir.path(), plain, sealed, !unnamed); },
        [&](const std::string& state) {
            if (state.find("[private temporary]") != std::string::npos) {
                // A later decryption destroys the plain leftover.
                ASSERT_EQ(decryptIn(dir.path(), unnamed), kOK);
                EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{kPlainName});
            }
        });
}

TEST(PipelineCrash, KilledEncryptionLeavesTheOriginalOrACompleteFile) {
    killEncryptions(true, kUnnamedKills);
}

TEST(PipelineCrash, KilledDecryptionLeavesTheOriginalOrACompleteFile) {
    killDecryptions(true, kUnnamedKills);
}

TEST(PipelineCrash, NamedTemporariesAreTheOnlyLeftoverAndGoNextTime) {
    killEncryptions(false, kNamedKills);
    killDecryptions(false, kNamedKills);
}

}  // namespace
