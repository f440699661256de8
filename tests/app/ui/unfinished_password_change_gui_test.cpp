// A change of the master password stopped midway, found at log-on through its journal: told,
// finished with the previous password, or left for later.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>

#include "app/library/LibraryManager.h"
#include "app/library/RekeyingJournal.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/UnfinishedPasswordChange.h"
#include "app/ui/projectViewController.h"
#include "guisupport/LibraryWindow.h"
#include "guisupport/Screenshot.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::DecryptionPasswordViewController;
using m2::PasswordCredentials;
using m2::RekeyingJournal;
using m2::UnfinishedPasswordChange;
using m2::test::kNewPassword;
using m2::test::kOldPassword;
using m2::test::plainWith;

namespace {

constexpr const char* kMessage =
    "A change of your master password did not finish: 3 documents and your notes are still "
    "under your previous master password.";

}  // namespace

class UnfinishedPasswordChangeTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<PasswordCredentials> credentials_;
    std::unique_ptr<m2::LibraryManager> library_;
    std::unique_ptr<m2::platform::ui::WindowController> window_;
    m2::projectViewController* view_ = nullptr;
    fs::path files_;
    fs::path notes_;
    int notesReloaded_ = 0;

    // Two documents and the notes still under the previous password, and one the stopped run
    // had re-keyed before its journal said so.
    void seed() {
        files_ = fixture_->home() / "files";
        fs::create_directories(files_);
        RekeyingJournal journal;
        notes_ = m2::test::sealWith("<morvane/>", files_, "M2_SecureNotes.m2n", kOldPassword);
        journal.notesPath = notes_.string();
        for (const char* name : {"one", "two"}) {
            journal.documents.push_back(
                {name, m2::test::sealWith(name, files_, name, kOldPassword).string()});
        }
        journal.documents.push_back(
            {"done", m2::test::sealWith("done", files_, "done", kNewPassword).string()});
        fs::create_directories(m2::rekeyingJournalPath().parent_path());
        QVERIFY(m2::writeRekeyingJournal(m2::rekeyingJournalPath(), journal));
    }

    void offer() {
        UnfinishedPasswordChange::offerAtLogOn(
            {*view_, *view_, *credentials_, nullptr, [this] { ++notesReloaded_; }});
    }

    DecryptionPasswordViewController* sheet() {
        return fixture_->presentations().topSheet<DecryptionPasswordViewController>();
    }

    void answer(DecryptionPasswordViewController* sheet, const QString& password) {
        QTest::keyClicks(sheet->passwordOneEdit, password);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
    }

    // Every file as seeding left it.
    std::vector<std::string> contents() const {
        std::vector<std::string> all;
        for (const char* name : {"M2_SecureNotes.m2n.m2p", "one.m2p", "two.m2p", "done.m2p"}) {
            all.push_back(m2::test::readFile(files_ / name));
        }
        all.push_back(m2::test::readFile(m2::rekeyingJournalPath()));
        return all;
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        credentials_ = std::make_unique<PasswordCredentials>(fixture_->keychain());
        credentials_->setPassword(Morvane::Security::Secret(kNewPassword));
        credentials_->setHint(m2::test::kNewHint);
        QVERIFY(credentials_->saveToKeychain());
        library_ = std::make_unique<m2::LibraryManager>();
        m2::registerMainStoryboard(m2::platform::ui::Storyboard::main());
        window_ = m2::test::libraryWindow(*library_, view_);
        view_->startupComplete = true;
        QVERIFY(m2::test::showExposed(*window_));
        notesReloaded_ = 0;
        seed();
    }
    void cleanup() {
        window_.reset();
        library_.reset();
        credentials_.reset();
        fixture_.reset();
    }

    void aWrongPreviousPasswordWritesNothingAndTheRightOneFinishes() {
        fixture_->expectAlert(kMessage, std::nullopt, 0);
        offer();
        QVERIFY(sheet() != nullptr);
        QCOMPARE(sheet()->view()->findChild<QLabel*>("titleLabel")->text(),
                 QString(UnfinishedPasswordChange::sheetTitle));
        QCOMPARE(sheet()->passwordOneEdit->echoMode(), QLineEdit::Password);
        m2::test::saveScreenshot(sheet()->window(), "unfinished_password_change_sheet.png");

        const auto before = contents();
        fixture_->expectAlert("Password incorrect", std::nullopt, 0);
        answer(sheet(), "not the previous one");
        QVERIFY(fixture_->waitFor([&] { return sheet() != nullptr && sheet()->isPresented(); }));
        QCOMPARE(view_->currentState(), m2::CurrentProcess::idel);
        QVERIFY(contents() == before);
        QCOMPARE(notesReloaded_, 0);

        answer(sheet(), kOldPassword);
        QVERIFY(fixture_->waitFor(
            [&] { return fixture_->presentations().topSheet<m2::ReportControllerView>(); }));
        auto* report = fixture_->presentations().topSheet<m2::ReportControllerView>();
        QCOMPARE(report->titleMessage->text(), QString("Success."));
        QCOMPARE(view_->currentState(), m2::CurrentProcess::idel);
        QCOMPARE(notesReloaded_, 1);
        QVERIFY(!fs::exists(m2::rekeyingJournalPath()));
        QCOMPARE(plainWith(notes_, kNewPassword), std::string("<morvane/>"));
        for (const char* name : {"one", "two", "done"}) {
            QCOMPARE(plainWith(files_ / (std::string(name) + ".m2p"), kNewPassword),
                     std::string(name));
        }
        QCOMPARE(m2::test::listFolder(files_).size(), std::size_t(4));
        QTest::mouseClick(report->closeButton, Qt::LeftButton);
        fixture_->drainMainQueue();
    }

    // A damaged file first in the journal says nothing about the password: the right one still
    // finishes the change of every document that opens.
    void aDamagedFirstFileDoesNotRefuseTheRightPassword() {
        m2::test::writeFile(notes_, std::string(4096, 'z'));
        fixture_->expectAlert(kMessage, std::nullopt, 0);
        offer();
        QVERIFY(sheet() != nullptr);
        answer(sheet(), kOldPassword);
        QVERIFY(fixture_->waitFor(
            [&] { return fixture_->presentations().topSheet<m2::ReportControllerView>(); }));
        for (const char* name : {"one", "two", "done"}) {
            QCOMPARE(plainWith(files_ / (std::string(name) + ".m2p"), kNewPassword),
                     std::string(name));
        }
        QTest::mouseClick(
            fixture_->presentations().topSheet<m2::ReportControllerView>()->closeButton,
            Qt::LeftButton);
        fixture_->drainMainQueue();
    }

    // Later, or Cancel on the password sheet: nothing changes and the next log-on asks again.
    void laterOrCancelKeepsTheJournal_data() {
        QTest::addColumn<bool>("cancelSheet");
        QTest::newRow("later") << false;
        QTest::newRow("cancel") << true;
    }
    void laterOrCancelKeepsTheJournal() {
        QFETCH(bool, cancelSheet);
        const auto before = contents();
        fixture_->expectAlert(kMessage, std::nullopt, cancelSheet ? 0 : 1);
        offer();
        if (cancelSheet) {
            QVERIFY(sheet() != nullptr);
            QTest::mouseClick(sheet()->cancelButton, Qt::LeftButton);
            fixture_->drainMainQueue();
        }
        QCOMPARE(sheet(), nullptr);
        QVERIFY(contents() == before);
        fixture_->expectAlert(kMessage, std::nullopt, 1);
        offer();
    }

    void noJournalSaysNothing() {
        QVERIFY(m2::writeRekeyingJournal(m2::rekeyingJournalPath(), RekeyingJournal{}));
        offer();
        QCOMPARE(sheet(), nullptr);
    }
};

M2_GUI_TEST_MAIN(UnfinishedPasswordChangeTest)
#include "unfinished_password_change_gui_test.moc"
