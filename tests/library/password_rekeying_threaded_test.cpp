#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/library/PasswordRekeying.h"
#include "app/library/RekeyingJournal.h"
#include "app/services/PasswordCredentials.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "support/FakeKeychain.h"
#include "support/LibraryTesting.h"
#include "support/MemoryProgress.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::CurrentProcess;
using m2::MasterPasswordChange;
using m2::PasswordCredentials;
using m2::ProcessReport;
using m2::test::kNewHint;
using m2::test::kNewPassword;
using m2::test::kOldPassword;
using m2::test::kOtherPassword;
using m2::test::plainWith;
using m2::test::readFile;

namespace {

// A library of real sealed files and a notes file, the keyring stand-in, and a change of the
// master password run on a worker while the test thread plays the main thread.
class Rekeying : public testing::Test {
  protected:
    m2::test::NotesEnvironment env;  // the logged-in password is kOldPassword
    m2::platform::ScopedManualMainQueue mainQueue;
    m2::LibraryManager library;
    m2::test::RecordingMainView mainView;
    std::shared_ptr<m2::test::FakeKeychain> keychain = std::make_shared<m2::test::FakeKeychain>();
    PasswordCredentials newCredentials{keychain};
    std::shared_ptr<m2::test::MemoryProgressIndicator> progress =
        std::make_shared<m2::test::MemoryProgressIndicator>();
    std::shared_ptr<m2::test::MemoryTextField> label =
        std::make_shared<m2::test::MemoryTextField>();
    m2::OpenForEditing openForEditing;
    std::optional<ProcessReport> report;
    fs::path notes;

    void SetUp() override {
        newCredentials.setPassword(Morvane::Security::Secret(kNewPassword));
        newCredentials.setPassword2(Morvane::Security::Secret(kNewPassword));
        newCredentials.setHint(kNewHint);
    }

    fs::path add(const std::string& name, const std::optional<std::string>& password,
                 const fs::path& folder = {}) {
        const fs::path where = folder.empty() ? env.folder() : folder;
        fs::path path = where / name;
        if (password) {
            path = m2::test::sealWith("contents of " + name, where, name, *password);
        } else {
            m2::test::writeFile(path, "contents of " + name);
        }
        library.fileManager.library.push_back(m2::test::entryFor(path, password.has_value()));
        return path;
    }

    void addNotes() {
        notes = m2::test::sealWith("<morvane/>", env.folder(), "notes", kOldPassword);
    }

    std::optional<MasterPasswordChange::Refusal> start() {
        return MasterPasswordChange::start(
            {newCredentials, PasswordCredentials::instance(), mainView, library, notes.string(),
             openForEditing, progress, label, [this](const ProcessReport& r) { report = r; }});
    }

    // Plays the main thread until the run's last step has run.
    void finish() {
        for (int i = 0; i < 100 && !report; ++i) {
            m2::test::waitForMainQueueWork(mainQueue.queue());
            mainQueue->drain();
        }
        ASSERT_TRUE(report.has_value());
    }

    static std::vector<std::string> names(const std::vector<m2::Result>& results) {
        std::vector<std::string> out;
        for (const auto& r : results) {
            out.push_back(fs::path(r.path).filename().string() + ": " + r.reason);
        }
        return out;
    }
};

TEST_F(Rekeying, EncryptedEntriesAndNotesMoveToTheNewPasswordOthersStayAsTheyWere) {
    const fs::path one = add("one.txt", kOldPassword);
    const fs::path two = add("two.txt", kOldPassword);
    const fs::path foreign = add("foreign.txt", kOtherPassword);
    const fs::path plain = add("plain.txt", std::nullopt);
    addNotes();
    const std::string foreignBefore = readFile(foreign);

    ASSERT_FALSE(start().has_value());
    EXPECT_EQ(mainView.state, CurrentProcess::changePassword);
    EXPECT_TRUE(PasswordCredentials(keychain).validateWithKeychain(kNewPassword))
        << "the keyring holds the new digest before any file is touched";
    finish();

    for (const fs::path& path : {one, two}) {
        EXPECT_EQ(plainWith(path, kNewPassword), "contents of " + path.stem().string());
        EXPECT_EQ(plainWith(path, kOldPassword), std::nullopt);
    }
    EXPECT_EQ(plainWith(notes, kNewPassword), "<morvane/>");
    EXPECT_EQ(readFile(foreign), foreignBefore);
    EXPECT_EQ(readFile(plain), "contents of plain.txt");
    EXPECT_EQ(PasswordCredentials::instance().password(), kNewPassword);
    EXPECT_EQ(PasswordCredentials::instance().hint(), kNewHint);
    EXPECT_EQ(mainView.state, CurrentProcess::idel);

    EXPECT_EQ(report->currentProcess(), CurrentProcess::changePassword);
    EXPECT_EQ(names(report->success()),
              (std::vector<std::string>{"notes.m2p: ", one.filename().string() + ": ",
                                        two.filename().string() + ": "}));
    EXPECT_EQ(names(report->failure()),
              std::vector<std::string>{foreign.filename().string() + ": Password incorrect "});
    EXPECT_EQ(report->failure()[0].id, library.fileManager.library[2]->id);
    // Names and the catalogue stay; nothing plain is left beside the documents or in the
    // private folders.
    EXPECT_EQ(m2::test::listFolder(env.folder()),
              (std::vector<std::string>{"foreign.txt.m2p", "notes.m2p", "one.txt.m2p", "plain.txt",
                                        "two.txt.m2p"}));
    EXPECT_TRUE(env.workingFoldersEmpty());
    EXPECT_EQ(label->stringValue(),
              "Changing password (4 of 4) files : Current file: " + foreign.filename().string());
    EXPECT_EQ(progress->doubleValue(), 4.0);
}

// The longest name a folder allows still leaves room for every temporary of the run.
TEST_F(Rekeying, ADocumentWithTheLongestNameIsRekeyed) {
    const fs::path longest = add(std::string(247, 'l') + ".txt", kOldPassword);
    ASSERT_EQ(longest.filename().string().size(), 255u);
    ASSERT_FALSE(start().has_value());
    finish();
    EXPECT_EQ(plainWith(longest, kNewPassword), "contents of " + longest.stem().string());
    EXPECT_EQ(names(report->success()),
              std::vector<std::string>{longest.filename().string() + ": "});
    EXPECT_TRUE(report->failure().empty());
    EXPECT_EQ(m2::test::listFolder(env.folder()),
              std::vector<std::string>{longest.filename().string()});
    EXPECT_TRUE(env.workingFoldersEmpty());
}

TEST_F(Rekeying, RefusalsTouchNothing) {
    const fs::path one = add("one.txt", kOldPassword);
    const std::string before = readFile(one);

    mainView.state = CurrentProcess::refreshingCloud;
    const auto busy = start();
    ASSERT_TRUE(busy.has_value());
    EXPECT_EQ(busy->message, "Could not change password.");
    EXPECT_EQ(busy->details, m2::asString(CurrentProcess::refreshingCloud));
    EXPECT_TRUE(keychain->items.empty());

    mainView.state = CurrentProcess::idel;
    keychain->failWith = m2::platform::keychainAuthFailed;
    const auto refused = start();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->message, "Error");
    EXPECT_EQ(refused->details, "The system keyring could not store the new password.");

    EXPECT_EQ(mainView.state, CurrentProcess::idel);
    EXPECT_EQ(mainQueue->pending(), 0U);
    EXPECT_EQ(readFile(one), before);
    EXPECT_EQ(PasswordCredentials::instance().password(), kOldPassword);
}

// The small disk comes first: a process joins a private mount namespace only while it runs
// one thread, and the fixture starts workers.
struct SmallDisk {
    m2::test::SmallTmpfs mount{4 * 1024 * 1024};
};
class RekeyingOnASmallDisk : protected SmallDisk, public Rekeying {};

TEST_F(RekeyingOnASmallDisk, SealingFailuresComeFirstAndLeaveTheDocumentUnderTheOldPassword) {
    if (!mount.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << mount.whyNotMounted();
    }
    const fs::path foreign = add("foreign.txt", kOtherPassword);
    const fs::path stuck = add("stuck.txt", kOldPassword, mount.path());
    const fs::path locked = add("locked.txt", kOldPassword);
    const fs::path editing = add("editing.txt", kOldPassword);
    ASSERT_TRUE(m2::platform::setLocked(locked, true));
    ASSERT_TRUE(mount.setReadOnly(true));
    openForEditing = [&](const std::string& path) { return path == editing.string(); };

    ASSERT_FALSE(start().has_value());
    finish();
    ASSERT_TRUE(mount.setReadOnly(false));

    EXPECT_EQ(names(report->failure()),
              (std::vector<std::string>{"stuck.txt.m2p: Could not automatically re-encrypt files",
                                        "foreign.txt.m2p: Password incorrect ",
                                        "editing.txt.m2p: File is open for editing"}));
    EXPECT_EQ(plainWith(stuck, kOldPassword), "contents of stuck.txt");
    EXPECT_EQ(plainWith(editing, kOldPassword), "contents of editing.txt");
    EXPECT_EQ(plainWith(locked, kNewPassword), "contents of locked.txt");
    EXPECT_EQ(m2::platform::isLocked(locked), true) << "the read-only flag comes back";
    EXPECT_TRUE(env.workingFoldersEmpty());
    EXPECT_EQ(PasswordCredentials::instance().password(), kNewPassword)
        << "the keyring holds the new password, so the session follows it";
}

// The program's end stops a change between documents: what was done is under the new
// password, the rest under the old one and named by the journal for the next log-on.
TEST_F(Rekeying, AStopEndsTheRunBetweenDocumentsWithTheJournalNamingTheRest) {
    addNotes();
    const fs::path one = add("one.txt", kOldPassword);
    const fs::path two = add("two.txt", kOldPassword);
    const fs::path three = add("three.txt", kOldPassword);
    m2::setRekeyingStepHook([](std::size_t done) {
        if (done == 2) {
            MasterPasswordChange::stop();  // asked while the second document is in hand
        }
    });
    ASSERT_FALSE(start().has_value());
    finish();
    m2::setRekeyingStepHook(nullptr);

    EXPECT_TRUE(report->canceled());
    EXPECT_EQ(names(report->success()),
              (std::vector<std::string>{"notes.m2p: ", "one.txt.m2p: ", "two.txt.m2p: "}));
    EXPECT_EQ(plainWith(two, kNewPassword), "contents of two.txt");
    EXPECT_EQ(plainWith(three, kOldPassword), "contents of three.txt");
    const auto journal = m2::readRekeyingJournal(m2::rekeyingJournalPath());
    ASSERT_TRUE(journal.has_value());
    EXPECT_TRUE(journal->notesPath.empty());
    ASSERT_EQ(journal->documents.size(), 1u);
    EXPECT_EQ(journal->documents[0].path, three.string());
    EXPECT_EQ(mainView.state, CurrentProcess::idel);
    EXPECT_TRUE(env.workingFoldersEmpty());

    // A later run is not stopped by the old request.
    ASSERT_TRUE(m2::writeRekeyingJournal(m2::rekeyingJournalPath(), m2::RekeyingJournal{}));
    report.reset();
    ASSERT_FALSE(start().has_value());
    finish();
    EXPECT_FALSE(report->canceled());
}

TEST_F(Rekeying, AnEmptyLibraryGivesAnEmptyReport) {
    add("plain.txt", std::nullopt);
    ASSERT_FALSE(start().has_value());
    finish();
    EXPECT_TRUE(report->success().empty());
    EXPECT_TRUE(report->failure().empty());
    EXPECT_EQ(PasswordCredentials::instance().password(), kNewPassword);
}

}  // namespace
