#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/library/PasswordRekeying.h"
#include "app/library/RekeyingJournal.h"
#include "app/services/PasswordCredentials.h"
#include "platform/AtomicWrite.h"
#include "platform/Dispatch.h"
#include "platform/WorkingFolders.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::test::kNewPassword;
using m2::test::kOldPassword;
using m2::test::plainWith;

namespace {

constexpr int kDocuments = 5;
constexpr std::size_t kSize = 384 * 1024;

std::string contentOf(int i) {
    return std::to_string(i) + m2::test::patternText(kSize);
}

// A library of sealed documents and a notes file, re-keyed by a child process that may be
// killed at any moment, as a power cut or a kill -9 would stop the program.
class RekeyingCrash : public testing::Test {
  protected:
    m2::test::NotesEnvironment env;
    m2::platform::ScopedManualMainQueue mainQueue;

    // Makes a fresh library in `folder` under the old password and saves its catalogue;
    // answers the job the child runs.
    m2::RekeyingJob prepare(const fs::path& folder) {
        fs::create_directories(folder);
        m2::LibraryManager library;
        library.fileManager.library.clear();  // the earlier runs' entries
        for (int i = 0; i < kDocuments; ++i) {
            const fs::path sealed =
                m2::test::sealWith(contentOf(i), folder, "doc" + std::to_string(i), kOldPassword);
            library.fileManager.library.push_back(m2::test::entryFor(sealed, true));
        }
        (void)m2::test::sealWith(contentOf(kDocuments), folder, "notes", kOldPassword);
        library.save();
        m2::RekeyingJob job = m2::rekeyingJob(
            library.fileManager.library, (folder / "notes.m2p").string(),
            m2::PasswordCredentials::instance(), m2::Secret(kNewPassword), m2::test::kNewHint);
        job.journalPath = journalOf(folder).string();
        return job;
    }

    static fs::path journalOf(const fs::path& folder) { return folder.string() + ".journal"; }

    // The documents of `folder` (notes and entries, by path) still under the old password.
    static std::set<std::string> underOldPassword(const fs::path& folder) {
        std::set<std::string> old;
        for (int i = 0; i <= kDocuments; ++i) {
            const fs::path path =
                folder / ((i < kDocuments ? "doc" + std::to_string(i) : "notes") + ".m2p");
            if (plainWith(path, kOldPassword)) {
                old.insert(path.string());
            }
        }
        return old;
    }

    static std::set<std::string> listedIn(const m2::RekeyingJournal& journal) {
        std::set<std::string> listed;
        if (!journal.notesPath.empty()) {
            listed.insert(journal.notesPath);
        }
        for (const auto& document : journal.documents) {
            listed.insert(document.path);
        }
        return listed;
    }

    // Runs the job in a child process as the worker and the final step would; kills it with
    // SIGKILL after `delay` unless it ended first. Answers whether it finished by itself.
    static bool runChild(const m2::RekeyingJob& job, std::chrono::microseconds delay) {
        // As the program does before the keyring takes the new password.
        EXPECT_TRUE(m2::writeRekeyingJournal(job.journalPath, m2::journalOf(job)));
        const pid_t child = ::fork();
        if (child == 0) {
            (void)m2::rekeyDocuments(job, nullptr, nullptr, nullptr);
            m2::LibraryManager library;  // reloads the catalogue, then saves it as the run does
            library.save();
            ::_exit(0);
        }
        const auto deadline = std::chrono::steady_clock::now() + delay;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(child, &status, WNOHANG) == child) {
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Every document opens with the old or the new password and holds what it held; nothing
    // else lies beside them; the catalogue names exactly the files on disk.
    void check(const fs::path& folder, int run) {
        std::vector<std::string> expected;
        for (int i = 0; i <= kDocuments; ++i) {
            const std::string name = i < kDocuments ? "doc" + std::to_string(i) : "notes";
            expected.push_back(name + ".m2p");
            const fs::path path = folder / (name + ".m2p");
            auto plain = plainWith(path, kNewPassword);
            if (!plain) {
                plain = plainWith(path, kOldPassword);
            }
            EXPECT_EQ(plain, contentOf(i)) << "run " << run << ": " << path;
        }
        // Besides them at most the hidden partial copy of a sealed file that the atomic
        // replacement was writing: ciphertext, never plain text, and gone at the next start
        // (made to look older than this one).
        for (const std::string& name : m2::test::listFolder(folder)) {
            if (std::find(expected.begin(), expected.end(), name) != expected.end()) {
                continue;
            }
            EXPECT_EQ(name.front(), '.') << "run " << run << ": " << name;
            EXPECT_EQ(m2::test::readFile(folder / name).find(m2::test::patternText(256)),
                      std::string::npos)
                << "run " << run << ": " << name << " holds plain text";
            fs::last_write_time(folder / name,
                                fs::last_write_time(folder / name) - std::chrono::hours(1));
        }
        (void)m2::platform::removeLeftoverTemporaries(folder);
        std::vector<std::string> left = m2::test::listFolder(folder);
        std::sort(left.begin(), left.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(left, expected) << "run " << run;

        // The journal names every document still under the old password, and only documents
        // of the run; it goes once nothing is pending.
        const auto journal = m2::readRekeyingJournal(journalOf(folder));
        const std::set<std::string> old = underOldPassword(folder);
        if (journal) {
            const std::set<std::string> listed = listedIn(*journal);
            EXPECT_TRUE(std::includes(listed.begin(), listed.end(), old.begin(), old.end()))
                << "run " << run;
            for (const std::string& path : listed) {
                EXPECT_EQ(fs::path(path).parent_path(), folder) << "run " << run;
            }
        } else {
            EXPECT_TRUE(old.empty()) << "run " << run << ": no journal";
        }

        const m2::LibraryManager reloaded;
        std::set<std::string> listed;
        for (const auto& item : reloaded.fileManager.library) {
            const fs::path path = fs::path(item->filePath) / item->fileName;
            EXPECT_TRUE(fs::is_regular_file(path)) << "run " << run << ": " << path;
            EXPECT_TRUE(item->encrypted);
            listed.insert(item->fileName);
        }
        EXPECT_EQ(listed.size(), static_cast<std::size_t>(kDocuments)) << "run " << run;
        // What a killed run left in the private folders is only ever a copy; the next start
        // removes it.
        (void)m2::platform::removeStaleWorkingFolders();
        EXPECT_TRUE(env.workingFoldersEmpty()) << "run " << run;
    }
};

TEST_F(RekeyingCrash, EveryDocumentOpensWithTheOldOrTheNewPasswordAfterAKillAtAnyMoment) {
    // How long an undisturbed run takes on this machine, so the kills spread over all of it.
    const auto begin = std::chrono::steady_clock::now();
    const fs::path first = env.folder() / "undisturbed";
    ASSERT_TRUE(runChild(prepare(first), std::chrono::minutes(2)));
    EXPECT_FALSE(fs::exists(journalOf(first)));
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - begin);
    for (int i = 0; i < kDocuments; ++i) {
        EXPECT_EQ(plainWith(first / ("doc" + std::to_string(i) + ".m2p"), kNewPassword),
                  contentOf(i));
    }

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> at(0, whole.count());
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int run = 0; run < 20; ++run) {
        const fs::path folder = env.folder() / ("run" + std::to_string(run));
        const m2::RekeyingJob job = prepare(folder);
        (void)runChild(job, std::chrono::microseconds(at(random)));
        check(folder, run);
        fs::remove_all(folder);
        fs::remove(journalOf(folder));
    }
}

// Stopped right after a given number of documents, the journal names exactly those still
// under the old password, the notes (re-keyed first) among them only before the first.
TEST_F(RekeyingCrash, AStoppedRunLeavesAJournalOfExactlyWhatIsLeft) {
    for (const std::size_t done : {std::size_t(1), std::size_t(3), std::size_t(kDocuments)}) {
        const fs::path folder = env.folder() / ("after" + std::to_string(done));
        const m2::RekeyingJob job = prepare(folder);
        static std::size_t stopAfter;
        stopAfter = done;
        const pid_t child = ::fork();
        if (child == 0) {
            m2::setRekeyingStepHook([](std::size_t count) {
                if (count == stopAfter) {
                    ::raise(SIGKILL);
                }
            });
            (void)m2::rekeyDocuments(job, nullptr, nullptr, nullptr);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << done;

        const auto journal = m2::readRekeyingJournal(journalOf(folder));
        ASSERT_TRUE(journal) << done;
        EXPECT_EQ(listedIn(*journal), underOldPassword(folder)) << done;
        EXPECT_EQ(underOldPassword(folder).size(), static_cast<std::size_t>(kDocuments) + 1 - done);
        EXPECT_TRUE(journal->notesPath.empty()) << done;
        check(folder, static_cast<int>(done));
    }
}

}  // namespace
