#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "app/library/PasswordRekeying.h"
#include "app/library/RekeyingJournal.h"
#include "app/notes/NoteManager.h"
#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/Dispatch.h"
#include "support/FakeKeychain.h"
#include "support/LibraryTesting.h"
#include "support/NotesTesting.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"
#include "support/WorkerGate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using m2::MasterPasswordChange;
using m2::NoteItem;
using m2::NoteItemPtr;
using m2::NoteManager;
using m2::NoteReader;
using m2::PasswordCredentials;
using m2::ProcessReport;
using m2::SecurityManagerExtensions;
using m2::test::kNewHint;
using m2::test::kNewPassword;
using m2::test::kOldHint;
using m2::test::kOldPassword;
using Strings = std::vector<std::string>;

namespace {

NoteItemPtr note(const std::string& label) {
    auto item = std::make_shared<NoteItem>();
    item->label = label;
    item->content = "text of " + label;
    return item;
}

// The main window's content as the re-keying sees it: its one process and the notes store.
class NotesMainView final : public m2::MainViewServices {
  public:
    explicit NotesMainView(NoteManager& store) : store_(store) {}
    m2::CurrentProcess state = m2::CurrentProcess::idel;
    [[nodiscard]] m2::CurrentProcess currentState() const override { return state; }
    void setCurrentState(m2::CurrentProcess next) override { state = next; }
    void showProgress(const std::string&) override {}
    void stopProgress() override {}
    void updateStatus() override {}
    [[nodiscard]] m2::NotesFileOwner* notesFileOwner() override { return &store_; }

  private:
    NoteManager& store_;
};

// One run of a change (or of a finish) whose worker is held at its seal step `step` (counted
// over the whole run) while the test, playing the main thread, saves a note.
class HeldAtSealStep {
  public:
    explicit HeldAtSealStep(int step) {
        SecurityManagerExtensions::setSealStepHook(
            [this, step](SecurityManagerExtensions::SealStep) {
                if (reached_++ == step) {
                    gate_.pass();
                }
            });
    }
    ~HeldAtSealStep() {
        gate_.release();
        SecurityManagerExtensions::setSealStepHook(nullptr);
    }
    HeldAtSealStep(const HeldAtSealStep&) = delete;
    HeldAtSealStep& operator=(const HeldAtSealStep&) = delete;

    // Plays the main thread until the run ends; `atStep` runs while the worker is held there.
    // False when the run never reached the step.
    bool run(m2::platform::ManualMainQueue& queue, const std::optional<ProcessReport>& report,
             const std::function<void()>& atStep) {
        bool held = false;
        for (int i = 0; i < 2000 && !report; ++i) {
            if (!held && gate_.waitForArrivals(1, 5ms)) {
                atStep();
                held = true;
                gate_.release();
            } else if (held) {
                m2::test::waitForMainQueueWork(queue);
            }
            queue.drain();
        }
        EXPECT_TRUE(report.has_value()) << "the run ends";
        return held;
    }

  private:
    m2::test::WorkerGate gate_;
    std::atomic<int> reached_{0};
};

// A notes store on a file with two notes, a library of one sealed document, all under
// `filePassword`, and a hand-drained main queue.
struct Scene {
    m2::test::NotesEnvironment env;  // logs on with kOldPassword
    m2::platform::ScopedManualMainQueue mainQueue;
    m2::LibraryManager library;
    NoteManager store;
    NotesMainView mainView{store};
    fs::path notesFile;
    fs::path document;
    std::optional<ProcessReport> report;

    explicit Scene(const std::string& filePassword, const std::string& fileHint) {
        notesFile =
            m2::test::sealWith("", env.folder(), "M2_SecureNotes.m2n", filePassword, fileHint);
        EXPECT_TRUE(NoteReader::save({note("one"), note("two")}, notesFile.string(), filePassword,
                                     fileHint));
        document =
            m2::test::sealWith("the document", env.folder(), "doc.txt", filePassword, fileHint);
        library.fileManager.library.push_back(m2::test::entryFor(document, true));
        store.setNotesFile(notesFile.string());
    }

    // The labels the notes file holds under `password`.
    [[nodiscard]] Strings storedUnder(const std::string& password) const {
        const auto plain = m2::test::plainWith(notesFile, password);
        const auto notes = plain ? NoteReader::parse(*plain) : std::nullopt;
        return notes ? m2::test::labelsOf(*notes) : Strings{"<not opened>"};
    }
    [[nodiscard]] Strings alertDetails() const {
        Strings out;
        for (const auto& alert : env.alerts().shown()) {
            out.push_back(alert.message + ": " + alert.informativeText.value_or(""));
        }
        return out;
    }
};

// A note saved at any moment of a change of the master password is kept: held while the
// notes file is re-keyed, then written under the new password; nothing says it failed.
TEST(NotesDuringAChangeOfMasterPassword, ANoteSavedAtEverySealStepReachesTheFile) {
    int step = 0;
    for (;; ++step) {
        SCOPED_TRACE("seal step " + std::to_string(step));
        Scene scene(kOldPassword, kOldHint);
        scene.store.load();
        ASSERT_EQ(m2::test::labelsOf(scene.store.notes), (Strings{"one", "two"}));
        auto keychain = std::make_shared<m2::test::FakeKeychain>();
        PasswordCredentials newCredentials(keychain);
        newCredentials.setPassword(m2::Secret(kNewPassword));
        newCredentials.setPassword2(m2::Secret(kNewPassword));
        newCredentials.setHint(kNewHint);

        HeldAtSealStep held(step);
        ASSERT_FALSE(
            MasterPasswordChange::start({newCredentials,
                                         PasswordCredentials::instance(),
                                         scene.mainView,
                                         scene.library,
                                         scene.notesFile.string(),
                                         {},
                                         nullptr,
                                         nullptr,
                                         [&](const ProcessReport& r) { scene.report = r; }})
                .has_value());
        const std::string label = "saved at step " + std::to_string(step);
        const bool reached = held.run(scene.mainQueue.queue(), scene.report,
                                      [&] { EXPECT_TRUE(scene.store.newNote(note(label))); });
        if (!reached) {
            break;
        }
        scene.mainQueue->drain();
        EXPECT_EQ(scene.storedUnder(kNewPassword), (Strings{"one", "two", label}));
        EXPECT_TRUE(scene.store.isSaved());
        EXPECT_EQ(scene.alertDetails(), Strings{});
        EXPECT_TRUE(scene.env.workingFoldersEmpty());
        // Saves after the run go to the new password as well.
        EXPECT_TRUE(scene.store.newNote(note("after")));
        EXPECT_EQ(scene.storedUnder(kNewPassword), (Strings{"one", "two", label, "after"}));
    }
    EXPECT_GE(step, 10) << "the notes file and the document each have their seal steps";
}

// Finishing a stopped change at log-on: until the notes file is re-keyed the store holds no
// notes of it, so adding one is refused with the true reason and the file stays as it is;
// once it is re-keyed the notes are read and a new one joins them.
TEST(NotesDuringAChangeOfMasterPassword, AFinishRefusesNotesUntilTheFileIsReadThenKeepsThemAll) {
    int step = 0;
    for (;; ++step) {
        SCOPED_TRACE("seal step " + std::to_string(step));
        Scene scene(kOldPassword, kOldHint);
        PasswordCredentials::instance().setPassword(m2::Secret(kNewPassword));
        PasswordCredentials::instance().setHint(kNewHint);
        m2::RekeyingJournal journal;
        journal.notesPath = scene.notesFile.string();
        journal.documents.push_back(
            {scene.library.fileManager.library[0]->id, scene.document.string()});
        ASSERT_TRUE(m2::writeRekeyingJournal(m2::rekeyingJournalPath(), journal));
        scene.store.load();
        ASSERT_TRUE(scene.store.cannotOpenNotesFile());
        const std::string before = m2::test::readFile(scene.notesFile);

        EXPECT_FALSE(scene.store.newNote(note("too early")));
        EXPECT_EQ(m2::test::readFile(scene.notesFile), before);
        ASSERT_EQ(scene.alertDetails().size(), 1u);
        EXPECT_NE(scene.alertDetails()[0].find("Finish the change of your master password first"),
                  std::string::npos)
            << scene.alertDetails()[0];

        HeldAtSealStep held(step);
        bool lent = false;
        ASSERT_FALSE(
            MasterPasswordChange::finish({m2::Secret(kOldPassword),
                                          PasswordCredentials::instance(),
                                          scene.mainView,
                                          m2::rekeyingJournalPath().string(),
                                          {},
                                          [] { FAIL() << "refused"; },
                                          [&](const ProcessReport& r) { scene.report = r; }})
                .has_value());
        const bool reached = held.run(scene.mainQueue.queue(), scene.report, [&] {
            lent = scene.store.rekeying();
            EXPECT_EQ(scene.store.newNote(note("while finishing")), !lent);
        });
        if (!reached) {
            break;
        }
        scene.mainQueue->drain();
        const Strings alerts = scene.alertDetails();
        if (lent) {
            ASSERT_EQ(alerts.size(), 2u);
            EXPECT_NE(alerts[1].find("being moved to your current master password"),
                      std::string::npos)
                << alerts[1];
        } else {
            EXPECT_EQ(alerts.size(), 1u);
        }
        Strings expected{"one", "two"};
        if (!lent) {
            expected.push_back("while finishing");
        }
        EXPECT_EQ(scene.storedUnder(kNewPassword), expected);
        EXPECT_EQ(m2::test::labelsOf(scene.store.notes), expected);
        EXPECT_TRUE(scene.store.newNote(note("after")));
        expected.push_back("after");
        EXPECT_EQ(scene.storedUnder(kNewPassword), expected);
        EXPECT_TRUE(scene.env.workingFoldersEmpty());
    }
    EXPECT_GE(step, 10);
}

}  // namespace
