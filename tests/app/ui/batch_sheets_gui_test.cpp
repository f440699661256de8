// The sheets around a batch: the password entry sheet, the decryption password sheet (both
// roads) and the report sheet, opened by their segues from an owner that is their delegate.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/PasswordStrength.h"
#include "app/ui/BatchStoryboard.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/PasswordController.h"
#include "app/ui/PasswordEntryDelegate.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/ShowReportDelegate.h"
#include "guisupport/ContentWindow.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"
#include "support/TestFiles.h"

using m2::CurrentProcess;
using m2::DecryptionPasswordViewController;
using m2::PasswordController;
using m2::PasswordCredentials;
using m2::ProcessReport;
using m2::ReportControllerView;
using m2::Result;
using m2::platform::ui::Storyboard;
using m2::platform::ui::StoryboardSegue;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;

namespace {

const std::string invalidPasswordHelp =
    "Your master password is not the password used to encrypt some of your files. To enter a "
    "new password:\n\n1) Click the Settings button on your toolbar (⌘,) \n2) Click 'Password "
    "settings'\n3) Select 'I use multiple passwords' and click 'Save'\n\nYou will now be asked "
    "for a password when you decrypt your files.";

// What the sheets told their delegate, in order.
struct Call {
    std::string what;  // "batch" or "open"
    std::string password;
    std::string hint;
    CurrentProcess process = CurrentProcess::idel;
    std::string path;
};

// Stands in for the main controller: the sheets' delegate, preparing their segues.
class SheetOwner : public ViewController,
                   public m2::PasswordEntryDelegate,
                   public m2::ShowReportDelegate {
  public:
    std::vector<Call> calls;
    std::shared_ptr<ProcessReport> report;
    bool reportDelegate = false;
    int dismissals = 0;
    bool sheetUpWhenTold = false;
    std::string openPath;  // set: the decryption sheet opens in file-open mode

    void processFilesFromPasswordEntrySegue(const PasswordCredentials& credentials,
                                            CurrentProcess process) override {
        calls.push_back(
            {"batch", std::string(credentials.password().view()), credentials.hint(), process, {}});
    }
    void startDecryptAndOpenProcess(const PasswordCredentials& credentials,
                                    const std::string& path) override {
        calls.push_back({"open", std::string(credentials.password().view()), credentials.hint(),
                         CurrentProcess::idel, path});
    }
    void reportDismissed() override {
        ++dismissals;
        auto* sheet =
            presentedViewControllers().empty() ? nullptr : presentedViewControllers().back();
        sheetUpWhenTold = sheet != nullptr && sheet->isPresented();
    }
    void prepareForSegue(StoryboardSegue& segue, QObject*) override {
        if (segue.identifier() == "passwordEntrySegue") {
            segue.destinationAs<PasswordController>()->delegate = this;
        } else if (segue.identifier() == "decryptPasswordSegue") {
            auto* sheet = segue.destinationAs<DecryptionPasswordViewController>();
            sheet->delegate = this;
            if (!openPath.empty()) {
                sheet->fileOpenMode = true;
                sheet->fileOpenPath = openPath;
            }
        } else if (segue.identifier() == "showReportSegue") {
            auto* sheet = segue.destinationAs<ReportControllerView>();
            sheet->processReport = report;
            if (reportDelegate) {
                sheet->delegate = this;
            }
        }
    }
};

Result failed(const std::string& path, const std::string& reason) {
    return {false, reason, path, "ID"};
}

}  // namespace

class BatchSheetsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<WindowController> window_;
    SheetOwner* owner_ = nullptr;

    template <class Sheet>
    Sheet* open(const char* segue) {
        owner_->performSegueWithIdentifier(segue, nullptr);
        return fixture_->presentations().topSheet<Sheet>();
    }
    ReportControllerView* openReport(std::shared_ptr<ProcessReport> report) {
        owner_->report = std::move(report);
        return open<ReportControllerView>("showReportSegue");
    }
    // Picks a key file in the key file sheet opened by `button` and answers its key text.
    std::string useKeyFile(QPushButton* button, const std::string& typed) {
        const auto keyPath = fixture_->home() / "key.bin";
        m2::test::writeFile(keyPath, std::string(3000, 'k'));
        QTest::mouseClick(button, Qt::LeftButton);
        auto* sheet = fixture_->presentations().topSheet<m2::KeyfileViewController>();
        if (sheet == nullptr) {
            return {};
        }
        fixture_->openPanel().queueChoice({keyPath.string()});
        QTest::mouseClick(sheet->selectFileButton, Qt::LeftButton);
        QTest::keyClicks(sheet->passwordEdit, QString::fromStdString(typed));
        QTest::mouseClick(sheet->useKeyButton, Qt::LeftButton);
        Keyfile facade;
        return std::string(facade.createKey(keyPath.string()).view()) + typed;
    }
    static std::string text(const QLabel* label) { return label->text().toStdString(); }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        Storyboard& board = Storyboard::main();
        m2::registerBatchStoryboard(board);
        window_ = m2::test::windowWithContent<SheetOwner>(owner_);
        window_->window()->resize(800, 600);
        window_->showWindow();
    }
    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    // --- password entry sheet ---

    void passwordEntryRefusalsKeepTheSheetAndItsTexts_data() {
        QTest::addColumn<QString>("one");
        QTest::addColumn<QString>("two");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << ""
                               << ""
                               << "Please enter a valid password";
        QTest::newRow("five characters")
            << "abcde"
            << "abcde"
            << "Password is too short. Password must be at least 6 characters.";
        QTest::newRow("different") << "abcdef"
                                   << "abcdeg"
                                   << "Passwords do not match";
    }
    void passwordEntryRefusalsKeepTheSheetAndItsTexts() {
        QFETCH(QString, one);
        QFETCH(QString, two);
        QFETCH(QString, reason);
        auto* sheet = open<PasswordController>("passwordEntrySegue");
        QVERIFY(sheet != nullptr);
        QTest::keyClicks(sheet->passwordOneEdit, one);
        QTest::keyClicks(sheet->password2Edit, two);
        fixture_->expectAlert("Error", reason.toStdString());
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(sheet->isPresented());
        QCOMPARE(sheet->passwordOneEdit->text(), one);
        QCOMPARE(sheet->password2Edit->text(), two);
        QVERIFY(owner_->calls.empty());
    }

    void passwordEntryHandsBackEncryptingWithTheHintAsTyped() {
        auto* sheet = open<PasswordController>("passwordEntrySegue");
        QTest::keyClicks(sheet->passwordOneEdit, "secret");
        QTest::keyClicks(sheet->password2Edit, "secret");
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(
            sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/password_entry_sheet.png"));
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QCOMPARE(owner_->calls.size(), std::size_t(1));
        QCOMPARE(owner_->calls[0].what, std::string("batch"));
        QCOMPARE(owner_->calls[0].password, std::string("secret"));
        QCOMPARE(owner_->calls[0].hint, std::string());
        QVERIFY(owner_->calls[0].process == CurrentProcess::encrypting);
        QVERIFY(!sheet->isPresented());

        sheet = open<PasswordController>("passwordEntrySegue");
        QTest::keyClicks(sheet->passwordOneEdit, "another");
        QTest::keyClicks(sheet->password2Edit, "another");
        QTest::keyClicks(sheet->passwordHintEdit, "the usual");
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QCOMPARE(owner_->calls.back().hint, std::string("the usual"));
    }

    void strengthMeterFollowsOnlyTheFirstField() {
        auto* sheet = open<PasswordController>("passwordEntrySegue");
        const QString before = sheet->passwordLabel->text();
        QTest::keyClicks(sheet->password2Edit, "Tr0ub4dor&3xyz!");
        QTest::keyClicks(sheet->passwordHintEdit, "hint");
        QCOMPARE(sheet->passwordLabel->text(), before);

        QTest::keyClicks(sheet->passwordOneEdit, "abc");
        QCOMPARE(text(sheet->passwordLabel), std::string("Too Short"));
        QCOMPARE(text(sheet->passwordStrengthDetails),
                 std::string(m2::details(m2::PasswordStrengthValue::toShort)));
        QVERIFY(!sheet->strengthIndicatorImage->pixmap().isNull());
        QTest::keyClicks(sheet->passwordOneEdit, "Xy9$Qw7!Lm2#");
        QCOMPARE(text(sheet->passwordLabel),
                 std::string(m2::passwordStrength("abcXy9$Qw7!Lm2#").label));

        // A key file fills both fields alike and leaves the meter at the last typed rating.
        const QString rated = sheet->passwordLabel->text();
        const std::string key = useKeyFile(sheet->keyfileButton, "pin");
        QCOMPARE(sheet->passwordOneEdit->text().toStdString(), key);
        QCOMPARE(sheet->password2Edit->text().toStdString(), key);
        QCOMPARE(sheet->passwordLabel->text(), rated);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QCOMPARE(owner_->calls.size(), std::size_t(1));
        QCOMPARE(owner_->calls[0].password, key);
    }

    void passwordEntryCancelTellsNobody() {
        auto* sheet = open<PasswordController>("passwordEntrySegue");
        QTest::keyClicks(sheet->passwordOneEdit, "secret");
        QTest::keyClicks(sheet->password2Edit, "secret");
        QTest::mouseClick(sheet->cancelButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QVERIFY(owner_->calls.empty());
    }

    // --- decryption password sheet ---

    void decryptionSheetRefusesShortPasswords_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << ""
                               << "Please enter a valid password";
        QTest::newRow("five") << "abcde"
                              << "Password is too short. Password must be at least 6 characters.";
    }
    void decryptionSheetRefusesShortPasswords() {
        QFETCH(QString, typed);
        QFETCH(QString, reason);
        auto* sheet = open<DecryptionPasswordViewController>("decryptPasswordSegue");
        QVERIFY(sheet != nullptr);
        QTest::keyClicks(sheet->passwordOneEdit, typed);
        fixture_->expectAlert("Error", reason.toStdString());
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(sheet->isPresented());
        QCOMPARE(sheet->passwordOneEdit->text(), typed);
        QVERIFY(owner_->calls.empty());
    }

    void decryptionSheetServesTheBatchOrTheOpenedDocument() {
        auto* sheet = open<DecryptionPasswordViewController>("decryptPasswordSegue");
        QVERIFY(!sheet->fileOpenMode);
        QTest::keyClicks(sheet->passwordOneEdit, "secret");
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(
            sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/decrypt_password_sheet.png"));
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());

        owner_->openPath = "/docs/letter.txt.m2p";
        sheet = open<DecryptionPasswordViewController>("decryptPasswordSegue");
        // A key text replaces what was typed.
        QTest::keyClicks(sheet->passwordOneEdit, "typed first");
        const std::string key = useKeyFile(sheet->keyfileButton, "pin");
        QCOMPARE(sheet->passwordOneEdit->text().toStdString(), key);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);

        QCOMPARE(owner_->calls.size(), std::size_t(2));
        QCOMPARE(owner_->calls[0].what, std::string("batch"));
        QVERIFY(owner_->calls[0].process == CurrentProcess::decrypting);
        QCOMPARE(owner_->calls[0].password, std::string("secret"));
        QCOMPARE(owner_->calls[0].hint, std::string());
        QCOMPARE(owner_->calls[1].what, std::string("open"));
        QCOMPARE(owner_->calls[1].path, std::string("/docs/letter.txt.m2p"));
        QCOMPARE(owner_->calls[1].password, key);
    }

    // --- report sheet ---

    void reportTextsByOutcomeAndProcess_data() {
        QTest::addColumn<int>("succeeded");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("process");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("icon");
        const auto row = [](const char* name, int s, int f, CurrentProcess p, const char* title,
                            const char* summary, const char* icon) {
            QTest::newRow(name) << s << f << int(p) << title << summary << icon;
        };
        using P = CurrentProcess;
        const char* some = "Could not process all items.";
        row("one encrypted", 1, 0, P::encrypting, "Success.", "1 file encrypted", "ok_button");
        row("three encrypted", 3, 0, P::encrypting, "Success.", "3 files encrypted", "ok_button");
        row("decrypted", 2, 0, P::decrypting, "Success.", "2 files decrypted", "ok_button");
        row("password changed", 4, 0, P::changePassword, "Success.",
            "Master password and all encrypted files changed.", "ok_button");
        row("shredded", 1, 0, P::shredding, "Success.", "1 file shredded!", "ok_button");
        row("other succeeded", 2, 0, P::addingFiles, "Success.", "", "ok_button");
        row("mixed encryption", 1, 2, P::encrypting, some,
            "2 files failed to encrypt, 1 file succesfully encrypted.", "warning");
        row("mixed decryption", 2, 1, P::decrypting, some,
            "1 file failed to decrypt, 2 files succesfully decrypted.", "warning");
        row("mixed password change", 1, 1, P::changePassword, some,
            "Master password changed. 1 file succesfully changed. Failed to change 1 file",
            "warning");
        row("mixed shred", 2, 2, P::shredding, some,
            "2 files failed to shred, 2 files succesfully shredded.", "warning");
        row("other mixed", 1, 1, P::addingFiles, some, "", "warning");
        row("encryption failed", 0, 1, P::encrypting, "Encryption failed.",
            "1 file failed to encrypt.", "delete_button_error");
        row("decryption failed", 0, 3, P::decrypting, "Decryption failed.",
            "3 files failed to decrypt.", "delete_button_error");
        row("password change failed", 0, 2, P::changePassword, "",
            "Master password changed. Failed to change 2 files", "delete_button_error");
        row("shred failed", 0, 1, P::shredding, "Shredding failed.", "1 file failed to shred.",
            "delete_button_error");
        row("other failed", 0, 1, P::idel, "", "", "delete_button_error");
        row("nothing", 0, 0, P::changePassword, "", "", "");
    }
    void reportTextsByOutcomeAndProcess() {
        QFETCH(int, succeeded);
        QFETCH(int, failures);
        QFETCH(int, process);
        QFETCH(QString, title);
        QFETCH(QString, summary);
        QFETCH(QString, icon);
        auto report = std::make_shared<ProcessReport>();
        report->setCurrentProcess(CurrentProcess(process));
        for (int n = 0; n < succeeded; ++n) {
            report->success().push_back({true, "OK", "/f/ok" + std::to_string(n), "ID"});
        }
        for (int n = 0; n < failures; ++n) {
            report->failure().push_back(failed("/f/bad" + std::to_string(n), "Could not open"));
        }
        auto* sheet = openReport(report);
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->titleMessage->text(), title);
        QCOMPARE(sheet->titleDetails->text(), summary);
        QCOMPARE(QString::fromStdString(sheet->iconName()), icon);
        QCOMPARE(sheet->iconState->pixmap().isNull(), icon.isEmpty());
        QCOMPARE(sheet->errorListView->isVisible(), failures > 0);
        QCOMPARE(sheet->errorLabel->isVisible(), failures > 0);
    }

    void reportTimeTexts_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("seconds") << 42.25 << "Time taken: 42.25 Seconds";
        QTest::newRow("one minute") << 60.0 << "Time taken: 1.0 Minutes, 0.0 Seconds";
        QTest::newRow("hours") << 3725.5 << "Time taken: 1.0 Hours, 2.0 Minutes, 5.5 Seconds";
        QTest::newRow("rounded up to 60") << 59.9996 << "Time taken: 60.0 Seconds";
        QTest::newRow("thousandths") << 0.0004 << "Time taken: 0.0 Seconds";
        QTest::newRow("two hours") << 7200.0 << "Time taken: 2.0 Hours, 0.0 Minutes, 0.0 Seconds";
    }
    void reportTimeTexts() {
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(
                     ReportControllerView::printSecondsToHoursMinutesSeconds(seconds)),
                 expected);
        auto report = std::make_shared<ProcessReport>();
        report->setTimeInterval(seconds);
        report->success().push_back({true, "OK", "/f/a", "ID"});
        QCOMPARE(openReport(report)->timerLabel->text(), expected);
    }

    void reportTimeOfZeroLeavesTheLabelAlone() {
        auto report = std::make_shared<ProcessReport>();
        report->success().push_back({true, "OK", "/f/a", "ID"});
        auto* sheet = openReport(report);
        QCOMPARE(sheet->timerLabel->text(), QString());
    }

    void reportFailureListAndPasswordHelp() {
        auto report = std::make_shared<ProcessReport>();
        report->setCurrentProcess(CurrentProcess::decrypting);
        report->failure().push_back(failed("/home/u/Taxes/2024.pdf.m2p", "Password incorrect"));
        report->failure().push_back(failed("/home/u/b.txt.m2p", "File is open for editing"));
        auto* sheet = openReport(report);
        QCOMPARE(sheet->errorTableView->rowCount(), 2);
        QCOMPARE(sheet->errorTableView->item(0, 0)->text(), QString("2024.pdf.m2p"));
        QCOMPARE(sheet->errorTableView->item(0, 1)->text(), QString("Password incorrect"));
        QCOMPARE(sheet->errorTableView->item(1, 0)->text(), QString("b.txt.m2p"));
        // Columns are known by position: a third one is empty.
        QCOMPARE(sheet->cellFor(0, 1),
                 (std::pair<std::string, std::string>{"filename", "b.txt.m2p"}));
        QCOMPARE(sheet->cellFor(1, 1),
                 (std::pair<std::string, std::string>{"reason", "File is open for editing"}));
        QCOMPARE(sheet->cellFor(2, 0), (std::pair<std::string, std::string>{}));
        // The engine's text has a trailing blank; without it there is no help.
        QVERIFY(!sheet->invalidPasswordButton->isVisible());
        sheet->OnClose();

        report->failure().push_back(failed("/home/u/c.txt.m2p", "Password incorrect "));
        sheet = openReport(report);
        QVERIFY(sheet->invalidPasswordButton->isVisible());
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(
            sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/report_sheet_failures.png"));
        fixture_->expectAlert("Invalid passwords?", invalidPasswordHelp);
        QTest::mouseClick(sheet->invalidPasswordButton, Qt::LeftButton);
    }

    void reportShrinksWhenNothingFailed() {
        auto withFailure = std::make_shared<ProcessReport>();
        withFailure->failure().push_back(failed("/f/a", "Could not open"));
        auto* sheet = openReport(withFailure);
        QVERIFY(QTest::qWaitForWindowExposed(sheet->window()));
        const QSize full = sheet->window()->size();
        sheet->OnClose();

        auto allWell = std::make_shared<ProcessReport>();
        allWell->setCurrentProcess(CurrentProcess::encrypting);
        allWell->success().push_back({true, "OK", "/f/a.m2p", "ID"});
        sheet = openReport(allWell);
        QVERIFY(QTest::qWaitForWindowExposed(sheet->window()));
        QCOMPARE(sheet->window()->size(), full - QSize(100, 240));
        QVERIFY(
            sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/report_sheet_success.png"));
    }

    void reportWithoutAReportShowsEmptyTexts() {
        auto* sheet = openReport(nullptr);
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->titleMessage->text(), QString());
        QCOMPARE(sheet->titleDetails->text(), QString());
        QCOMPARE(sheet->numberOfRowsInTableView(), 0);
    }

    void reportCloseTellsTheDelegateFirst() {
        auto report = std::make_shared<ProcessReport>();
        auto* sheet = openReport(report);
        QTest::mouseClick(sheet->closeButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QCOMPARE(owner_->dismissals, 0);  // no delegate set

        owner_->reportDelegate = true;
        sheet = openReport(report);
        QTest::mouseClick(sheet->closeButton, Qt::LeftButton);
        QCOMPARE(owner_->dismissals, 1);
        QVERIFY(owner_->sheetUpWhenTold);
        QVERIFY(!sheet->isPresented());
    }
};

M2_GUI_TEST_MAIN(BatchSheetsTest)
#include "batch_sheets_gui_test.moc"
