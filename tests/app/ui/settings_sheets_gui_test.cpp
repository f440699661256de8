// The settings sheet, the sign-on settings, the cloud setup sheet and the change of the master
// password, opened from the main controller over a library of real files sealed by the
// engine, with the keyring stand-in.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/library/CloudType.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/SessionManager.h"
#include "app/services/Settings.h"
#include "app/ui/ChangePasswordViewController.h"
#include "app/ui/CloudSetupViewController.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/PasswordSettingsViewController.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/SettingsStoryboard.h"
#include "app/ui/SettingsViewController.h"
#include "app/ui/projectViewController.h"
#include "guisupport/LibraryWindow.h"
#include "guisupport/Screenshot.h"
#include "guisupport/SecretTyping.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/LibraryTesting.h"
#include "support/RekeyingLibrary.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::ChangePasswordViewController;
using m2::CloudSetupViewController;
using m2::CurrentProcess;
using m2::LibraryManager;
using m2::PasswordCredentials;
using m2::projectViewController;
using m2::Settings;
using m2::SettingsViewController;
using m2::platform::ui::Storyboard;
using m2::platform::ui::WindowController;
using m2::test::kNewHint;
using m2::test::kNewPassword;
using m2::test::kOldPassword;
using m2::test::plainWith;
using m2::test::saveScreenshot;
using Names = std::vector<std::string>;

namespace {

// Whether the sheet is down; a dismissed controller is deleted soon after, so it is held
// by a guarded pointer.
template <class T>
bool down(const QPointer<T>& sheet) {
    return sheet == nullptr || !sheet->isPresented();
}

// A click on the box itself: the middle of a wide check box may lie beyond its text.
void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

}  // namespace

class SettingsSheetsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<PasswordCredentials> credentials_;
    std::unique_ptr<LibraryManager> library_;
    std::unique_ptr<WindowController> window_;
    projectViewController* view_ = nullptr;
    fs::path files_;

    // Real sealed files (two under the master password, one under another, one plain) and
    // a notes file, in a library written as an earlier run would have.
    void seedLibrary() {
        files_ = fixture_->home() / "files";
        fs::create_directories(files_);
        LibraryManager seed;
        seed.folderManager.initItems();
        const auto add = [&](const fs::path& path, bool encrypted) {
            auto entry = m2::test::entryFor(path, encrypted);
            entry->folder = m2::FolderManager::document;
            seed.fileManager.library.push_back(entry);
        };
        add(m2::test::sealWith("one", files_, "one.txt", kOldPassword), true);
        add(m2::test::sealWith("two", files_, "two.txt", kOldPassword), true);
        add(m2::test::sealWith("other", files_, "other.txt", m2::test::kOtherPassword), true);
        m2::test::writeFile(files_ / "plain.txt", "plain");
        add(files_ / "plain.txt", false);
        seed.save();
        Settings::instance().setNotesPath(
            m2::test::sealWith("<morvane/>", files_, "M2_SecureNotes.m2n", kOldPassword).string());
    }

    template <class T>
    T* top() {
        return fixture_->presentations().topSheet<T>();
    }
    SettingsViewController* openSettings() {
        view_->showSettings();
        return top<SettingsViewController>();
    }
    ChangePasswordViewController* openChangePassword() {
        SettingsViewController* settings = openSettings();
        QTest::mouseClick(settings->changePasswordButton, Qt::LeftButton);
        return top<ChangePasswordViewController>();
    }
    CloudSetupViewController* openCloud() {
        view_->cloudSettings();
        return top<CloudSetupViewController>();
    }
    void type(ChangePasswordViewController* sheet, const QString& one, const QString& two,
              const QString& hint) {
        QTest::keyClicks(sheet->newPasswordOneEdit, one);
        QTest::keyClicks(sheet->newPasswordTwoEdit, two);
        QTest::keyClicks(sheet->newHintEdit, hint);
    }
    // The labels of the outline's rows, expanded.
    Names outline() {
        QTreeView* tree = view_->folderView;
        tree->expandAll();
        Names labels;
        for (QModelIndex index = tree->model()->index(0, 0); index.isValid();
             index = tree->indexBelow(index)) {
            labels.push_back(index.data().toString().toStdString());
        }
        return labels;
    }
    bool listed(const std::string& name) const {
        for (const auto& entry : library_->fileManager.library) {
            if (entry->fileName == name) {
                return true;
            }
        }
        return false;
    }
    // OK on the cloud sheet and the second after it.
    void applyCloud(CloudSetupViewController* controller) {
        const QPointer<CloudSetupViewController> sheet(controller);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(fixture_->waitFor([&] { return sheet == nullptr || !sheet->applyPending(); }));
        fixture_->drainMainQueue();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        credentials_ = std::make_unique<PasswordCredentials>(fixture_->keychain());
        credentials_->setPassword(Morvane::Security::Secret(kOldPassword));
        credentials_->setHint(m2::test::kOldHint);
        QVERIFY(credentials_->saveToKeychain());
        seedLibrary();
        library_ = std::make_unique<LibraryManager>();
        Storyboard& board = Storyboard::main();
        m2::registerMainStoryboard(board);
        m2::registerSettingsStoryboard(board, *credentials_, fixture_->keychain(), *library_);
        window_ = m2::test::libraryWindow(*library_, view_);
        view_->startupComplete = true;  // the login is not under test here
        QVERIFY(m2::test::showExposed(*window_));
    }
    void cleanup() {
        window_.reset();
        library_.reset();
        credentials_.reset();
        fixture_.reset();
    }

    // --- General settings -------------------------------------------------------------

    void settingsSaveThePeriodAndTheFileNameOptions_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("encryptNames");
        QTest::addColumn<bool>("hideExtensions");
        QTest::newRow("never") << 0 << qint64(-1) << false << true << false;
        QTest::newRow("one minute") << 1 << qint64(60) << true << false << true;
        QTest::newRow("five minutes") << 3 << qint64(300) << true << false << false;
        QTest::newRow("one hour") << 7 << qint64(3600) << true << true << true;
    }
    void settingsSaveThePeriodAndTheFileNameOptions() {
        QFETCH(int, index);
        QFETCH(qint64, interval);
        QFETCH(bool, active);
        QFETCH(bool, encryptNames);
        QFETCH(bool, hideExtensions);
        SettingsViewController* sheet = openSettings();
        QVERIFY(sheet != nullptr);
        // Nothing stored yet: never, both options off.
        QCOMPARE(sheet->logoffPeriodCombo->count(), 8);
        QCOMPARE(sheet->logoffPeriodCombo->currentIndex(), 0);
        QVERIFY(!sheet->encryptFilenames->isChecked());
        QVERIFY(!sheet->hideExtensions->isChecked());
        QCOMPARE(sheet->window()->windowTitle(), QString("Morvane 2 Riravevovavi"));

        sheet->logoffPeriodCombo->setCurrentIndex(index);
        sheet->encryptFilenames->setChecked(encryptNames);
        sheet->hideExtensions->setChecked(hideExtensions);
        QTest::mouseClick(sheet->saveButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());

        const Settings& settings = Settings::instance();
        QCOMPARE(settings.TimeoutPeriod(), qint64(index));
        QCOMPARE(settings.TimeOutInterval(), interval);
        QCOMPARE(m2::SessionManager::instance().timeout(), interval);
        QCOMPARE(m2::SessionManager::instance().active(), active);
        QCOMPARE(settings.EncryptFilenames(), encryptNames);
        QCOMPARE(settings.HideFileExtensions(), hideExtensions);

        fixture_->drainMainQueue();
        SettingsViewController* again = openSettings();
        QCOMPARE(again->logoffPeriodCombo->currentIndex(), index);
        QCOMPARE(again->encryptFilenames->isChecked(), encryptNames);
        QCOMPARE(again->hideExtensions->isChecked(), hideExtensions);
    }

    // The sheet shows the limit the idle check works to, from fresh settings and from a
    // stored period and limit that disagree; Save with what it shows keeps that limit.
    void settingsShowWhatTheIdleCheckDoes_data() {
        QTest::addColumn<bool>("fresh");
        QTest::addColumn<qint64>("period");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qint64>("locksAfter");  // -1: never
        QTest::newRow("fresh settings") << true << qint64(0) << qint64(0) << "Never" << qint64(-1);
        QTest::newRow("limit seeded, period never")
            << false << qint64(0) << qint64(180) << "3 minutes" << qint64(180);
        QTest::newRow("limit of another period")
            << false << qint64(0) << qint64(600) << "10 minutes" << qint64(600);
        QTest::newRow("period without a limit")
            << false << qint64(3) << qint64(-1) << "Never" << qint64(-1);
        QTest::newRow("lock switched off")
            << false << qint64(-1) << qint64(300) << "Never" << qint64(-1);
        QTest::newRow("pair that agrees")
            << false << qint64(7) << qint64(3600) << "1 hour" << qint64(3600);
    }
    void settingsShowWhatTheIdleCheckDoes() {
        QFETCH(bool, fresh);
        QFETCH(qint64, period);
        QFETCH(qint64, limit);
        QFETCH(QString, shown);
        QFETCH(qint64, locksAfter);
        if (!fresh) {
            Settings::instance().setTimeoutPeriod(period);
            Settings::instance().setTimeOutInterval(limit);
        }
        for (int save = 0; save < 2; ++save) {
            SettingsViewController* sheet = openSettings();
            QVERIFY(sheet != nullptr);
            QCOMPARE(sheet->logoffPeriodCombo->currentText(), shown);
            if (save == 0) {
                sheet->windowCloseRequested();
            } else {
                QTest::mouseClick(sheet->saveButton, Qt::LeftButton);
            }
            fixture_->drainMainQueue();

            // The idle check of the policy the program starts with from these settings.
            m2::SessionManager session(fixture_->idle());
            view_->sessionManager = &session;
            const auto locksWhenIdleFor = [&](qint64 units) {
                fixture_->idle().milliseconds = (units << 30) / 1'000'000 + 1;
                const std::size_t before = fixture_->presentations().performedSegues().size();
                view_->updateIdle();
                const auto& segues = fixture_->presentations().performedSegues();
                return segues.size() > before && segues.back() == "loginToMorvaneSegue";
            };
            if (locksAfter == -1) {
                QVERIFY(!locksWhenIdleFor(100000));
            } else {
                QVERIFY(!locksWhenIdleFor(locksAfter));
                if (save == 1) {
                    QVERIFY(locksWhenIdleFor(locksAfter + 1));
                }
            }
            view_->sessionManager = &m2::SessionManager::instance();
        }
    }

    void settingsWithAStoredPeriodOutOfRangeKeepItOnSave() {
        Settings::instance().setTimeoutPeriod(12);
        Settings::instance().setTimeOutInterval(900);
        SettingsViewController* sheet = openSettings();
        // The lock works to the stored limit, which no period names.
        QCOMPARE(sheet->logoffPeriodCombo->currentText(), QString("15 minutes"));
        sheet->encryptFilenames->setChecked(true);
        QTest::mouseClick(sheet->saveButton, Qt::LeftButton);
        QCOMPARE(Settings::instance().TimeoutPeriod(), qint64(12));
        QCOMPARE(Settings::instance().TimeOutInterval(), qint64(900));
        QVERIFY(Settings::instance().EncryptFilenames());
    }

    void settingsRefusedWhileBusyAndItsButtonsOpenTheOtherSheets() {
        view_->setCurrentState(CurrentProcess::encrypting);
        fixture_->expectAlert("Could not show settings.", m2::asString(CurrentProcess::encrypting));
        view_->showSettings();
        QCOMPARE(top<SettingsViewController>(), nullptr);
        view_->setCurrentState(CurrentProcess::idel);

        SettingsViewController* sheet = openSettings();
        saveScreenshot(sheet->window(), "settings_sheet.png");
        QTest::mouseClick(sheet->passwordSettingsButton, Qt::LeftButton);
        QVERIFY(top<m2::PasswordSettingsViewController>() != nullptr);
        QCOMPARE(fixture_->presentations().performedSegues(),
                 (Names{"showSettingsSegue", "showPasswordSettingsSegue"}));
    }

    // --- Sign-on settings -------------------------------------------------------------

    void signOnBoxesExcludeEachOther_data() {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("clicks");  // s = single box, m = multiple box
        QTest::addColumn<bool>("single");
        QTest::addColumn<bool>("multi");
        QTest::newRow("default single, no clicks") << true << "" << true << false;
        QTest::newRow("multiple clears single") << true << "m" << false << true;
        QTest::newRow("single clears multiple") << false << "s" << true << false;
        QTest::newRow("clicking the ticked box leaves none") << true << "s" << false << false;
        QTest::newRow("back and forth") << true << "msm" << false << true;
    }
    void signOnBoxesExcludeEachOther() {
        QFETCH(bool, stored);
        QFETCH(QString, clicks);
        QFETCH(bool, single);
        QFETCH(bool, multi);
        Settings::instance().setSingleSignOn(stored);
        QTest::mouseClick(openSettings()->passwordSettingsButton, Qt::LeftButton);
        auto* sheet = top<m2::PasswordSettingsViewController>();
        QCOMPARE(sheet->singleSignCheck->isChecked(), stored);
        QCOMPARE(sheet->multiSignCheck->isChecked(), !stored);
        for (const QChar c : clicks) {
            clickBox(c == 's' ? sheet->singleSignCheck : sheet->multiSignCheck);
        }
        QCOMPARE(sheet->singleSignCheck->isChecked(), single);
        QCOMPARE(sheet->multiSignCheck->isChecked(), multi);
        QTest::mouseClick(sheet->saveButton, Qt::LeftButton);
        QCOMPARE(Settings::instance().SingleSignOn(), single);
        QVERIFY(!sheet->isPresented());
    }

    // --- Cloud setup ------------------------------------------------------------------

    void cloudAddChangeAndRemoveAProvider() {
        const fs::path dropbox = fixture_->home() / "Dropbox";
        const fs::path moved = fixture_->home() / "Dropbox (moved)";
        fs::create_directories(dropbox / "Photos");
        m2::test::writeFile(dropbox / "Photos" / "beach.jpg", "jpg");
        m2::test::writeFile(dropbox / "notes.txt", "txt");
        fs::create_directories(moved);
        m2::test::writeFile(moved / "moved.txt", "txt");

        CloudSetupViewController* sheet = openCloud();
        QVERIFY(sheet != nullptr);
        QVERIFY(!sheet->dropboxCheck->isChecked());
        QVERIFY(sheet->dropboxPathEdit->text().isEmpty());
        fixture_->openPanel().queueChoice({dropbox.string()});
        QTest::mouseClick(sheet->view()->findChild<QPushButton*>("dropboxFolderButton"),
                          Qt::LeftButton);
        QCOMPARE(sheet->dropboxPathEdit->text(), QString::fromStdString(dropbox.string()));
        sheet->dropboxCheck->setChecked(true);
        sheet->monitorFoldersCheck->setChecked(false);
        saveScreenshot(sheet->window(), "cloud_setup_sheet.png");
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(sheet->progressLabel->isVisible());
        QCOMPARE(sheet->progressLabel->text(), QString("Updating cloud..."));
        QVERIFY(fixture_->waitFor([guard = QPointer(sheet)] { return down(guard); }));
        fixture_->drainMainQueue();

        QVERIFY(m2::CloudType(m2::CloudType::DropBox).included());
        QCOMPARE(m2::CloudType(m2::CloudType::DropBox).cloudPath(), dropbox.string());
        QVERIFY(!Settings::instance().MonitorCloudFolders());
        const Names tree = outline();
        QVERIFY(std::find(tree.begin(), tree.end(), "Cloud") != tree.end());
        QVERIFY(std::find(tree.begin(), tree.end(), "Dropbox") != tree.end());
        QVERIFY(std::find(tree.begin(), tree.end(), "Photos") != tree.end());
        QVERIFY(listed("beach.jpg"));
        QVERIFY(listed("notes.txt"));

        // A new path replaces the subtree.
        CloudSetupViewController* change = openCloud();
        QVERIFY(change->dropboxCheck->isChecked());
        change->dropboxPathEdit->setText(QString::fromStdString(moved.string()));
        applyCloud(change);
        QCOMPARE(m2::CloudType(m2::CloudType::DropBox).cloudPath(), moved.string());
        QVERIFY(listed("moved.txt"));
        QVERIFY(!listed("beach.jpg"));

        // Removal asks first; No changes nothing.
        CloudSetupViewController* remove = openCloud();
        const QPointer<CloudSetupViewController> removeGuard(remove);
        remove->dropboxCheck->setChecked(false);
        const std::string question =
            "Are you sure you would like to remove the selected cloud folders from your library?";
        fixture_->expectAlert(question, std::nullopt, 1);  // "No"
        QTest::mouseClick(remove->okButton, Qt::LeftButton);
        QVERIFY(!remove->applyPending());
        QVERIFY(remove->isPresented());
        QVERIFY(listed("moved.txt"));
        fixture_->expectAlert(question, std::nullopt, 0);  // "Yes"
        applyCloud(remove);
        QVERIFY(fixture_->waitFor([&] { return down(removeGuard); }));
        QVERIFY(!m2::CloudType(m2::CloudType::DropBox).included());
        QCOMPARE(m2::CloudType(m2::CloudType::DropBox).cloudPath(), moved.string());
        QVERIFY(!listed("moved.txt"));
        const Names after = outline();
        QVERIFY(std::find(after.begin(), after.end(), "Dropbox") == after.end());
    }

    void cloudRefusesAProviderWithoutAFolder_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << "";
        QTest::newRow("missing") << "/no/such/folder";
    }
    void cloudRefusesAProviderWithoutAFolder() {
        QFETCH(QString, path);
        Settings::instance().setMonitorCloudFolders(true);
        CloudSetupViewController* sheet = openCloud();
        sheet->dropboxCheck->setChecked(true);
        sheet->dropboxPathEdit->setText(path);
        sheet->monitorFoldersCheck->setChecked(false);
        fixture_->expectAlert("Please enter a valid Dropbox location", std::nullopt);
        applyCloud(sheet);
        QVERIFY(sheet->isPresented());
        QVERIFY(!m2::CloudType(m2::CloudType::DropBox).included());
        QVERIFY2(Settings::instance().MonitorCloudFolders(), "not saved after a refusal");
    }

    void cloudOkTwiceAppliesOnce() {
        const fs::path drive = fixture_->home() / "Drive";
        fs::create_directories(drive);
        m2::test::writeFile(drive / "sheet.ods", "ods");
        CloudSetupViewController* sheet = openCloud();
        sheet->googleDriveCheck->setChecked(true);
        sheet->googleDriveEdit->setText(QString::fromStdString(drive.string()));
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        // Closed by the user meanwhile: the pending step still runs, then the sheet goes.
        sheet->windowCloseRequested();
        QVERIFY(sheet->isPresented());
        QVERIFY(fixture_->waitFor([guard = QPointer(sheet)] { return down(guard); }));
        fixture_->drainMainQueue();
        QTest::qWait(1200);  // a second apply would have come by now
        fixture_->drainMainQueue();
        int count = 0;
        for (const auto& entry : library_->fileManager.library) {
            count += entry->fileName == "sheet.ods" ? 1 : 0;
        }
        QCOMPARE(count, 1);
        QCOMPARE(fixture_->presentations()
                     .identifiers(m2::platform::ui::KitEvent::Kind::dismissed)
                     .size(),
                 std::size_t(1));
    }

    void cloudMonitoringSwitchStartsAndStopsTheWatchers() {
        const fs::path icloud = fixture_->home() / "iCloud";
        fs::create_directories(icloud);
        CloudSetupViewController* sheet = openCloud();
        sheet->iCloudCheck->setChecked(true);
        sheet->iCloudPathEdit->setText(QString::fromStdString(icloud.string()));
        sheet->monitorFoldersCheck->setChecked(true);
        applyCloud(sheet);
        QVERIFY(view_->cloudManager->observingCloudFolders());
        QVERIFY(view_->cloudSyncNotice->isVisibleTo(view_->view()));

        CloudSetupViewController* off = openCloud();
        off->monitorFoldersCheck->setChecked(false);
        applyCloud(off);
        QVERIFY(!view_->cloudManager->observingCloudFolders());
        QVERIFY(!view_->cloudSyncNotice->isVisibleTo(view_->view()));
    }

    void cloudRefusedWhileBusy() {
        view_->setCurrentState(CurrentProcess::refreshingCloud);
        fixture_->expectAlert("Could not change cloud folders.",
                              m2::asString(CurrentProcess::refreshingCloud));
        view_->cloudSettings();
        QCOMPARE(top<CloudSetupViewController>(), nullptr);
    }

    // --- Change of the master password ------------------------------------------------

    void changeReKeysTheLibraryAndTheNotes() {
        ChangePasswordViewController* sheet = openChangePassword();
        QVERIFY(sheet != nullptr);
        type(sheet, kNewPassword, kNewPassword, kNewHint);
        QVERIFY(!sheet->passwordLabel->text().isEmpty());
        saveScreenshot(sheet->window(), "change_password_sheet.png");
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QCOMPARE(view_->currentState(), CurrentProcess::changePassword);
        QVERIFY(!sheet->okButton->isEnabled());
        QVERIFY(!sheet->newPasswordOneEdit->isEnabled());
        QVERIFY(PasswordCredentials(fixture_->keychain()).validateWithKeychain(kNewPassword));
        QVERIFY(fixture_->waitFor([&] { return !sheet->running(); }));

        QCOMPARE(view_->currentState(), CurrentProcess::idel);
        QCOMPARE(credentials_->password(), std::string(kNewPassword));
        QCOMPARE(credentials_->hint(), std::string(kNewHint));
        QCOMPARE(plainWith(files_ / "one.txt.m2p", kNewPassword), std::string("one"));
        QCOMPARE(plainWith(files_ / "two.txt.m2p", kNewPassword), std::string("two"));
        QCOMPARE(plainWith(files_ / "M2_SecureNotes.m2n.m2p", kNewPassword),
                 std::string("<morvane/>"));
        QCOMPARE(plainWith(files_ / "other.txt.m2p", m2::test::kOtherPassword),
                 std::string("other"));
        QCOMPARE(m2::test::readFile(files_ / "plain.txt"), std::string("plain"));

        const m2::ProcessReport& report = *sheet->processReport;
        QCOMPARE(report.currentProcess(), CurrentProcess::changePassword);
        QCOMPARE(report.success().size(), std::size_t(3));
        QCOMPARE(report.failure().size(), std::size_t(1));
        QCOMPARE(fs::path(report.failure()[0].path).filename().string(),
                 std::string("other.txt.m2p"));
        QCOMPARE(report.failure()[0].reason, std::string("Password incorrect "));
        auto* shown = top<m2::ReportControllerView>();
        QVERIFY(shown != nullptr);
        QCOMPARE(shown->processReport.get(),
                 static_cast<const m2::ProcessReport*>(sheet->processReport.get()));
        QCOMPARE(shown->titleMessage->text(), QString("Could not process all items."));
        QCOMPARE(
            shown->titleDetails->text(),
            QString(
                "Master password changed. 3 files succesfully changed. Failed to change 1 file"));
        QVERIFY(shown->invalidPasswordButton->isVisibleTo(shown->view()));
        saveScreenshot(shown->window(), "change_password_report.png");

        // Closing the report closes the sheet.
        const QPointer<ChangePasswordViewController> guard(sheet);
        QTest::mouseClick(shown->closeButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QVERIFY(down(guard));
    }

    // The new password goes from the sheet's fields through the re-keying job to the
    // credentials; once the change is over and the session forgets it, neither it nor its
    // file key is left in memory.
    void aChangeLeavesNoCopyOfTheNewPasswordInMemory() {
        const auto password = m2::test::MaskedValue::of(
            "Slate 76 kestrels over the Bransdale moor while the curlews call at dusk");
        ChangePasswordViewController* sheet = openChangePassword();
        QVERIFY(sheet != nullptr);
        m2::test::typeSecret(sheet->newPasswordOneEdit, password);
        m2::test::typeSecret(sheet->newPasswordTwoEdit, password);
        QTest::keyClicks(sheet->newHintEdit, kNewHint);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(fixture_->waitFor([&] { return !sheet->running(); }));
        QVERIFY(credentials_->password() == password.reveal());
        const QPointer<ChangePasswordViewController> guard(sheet);
        QTest::mouseClick(top<m2::ReportControllerView>()->closeButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QVERIFY(down(guard));
        // As the lock forgets it (the sheet's credentials are the session's here).
        credentials_->reset();
        credentials_->setPassword2(Morvane::Security::Secret());
        m2::test::verifyNothingInMemory(m2::test::passwordAndKeyForms(password));
    }

    void changeRefusesBadInputAndAKeyringThatDoesNotKeepIt_data() {
        QTest::addColumn<QString>("one");
        QTest::addColumn<QString>("two");
        QTest::addColumn<bool>("keyringFails");
        QTest::addColumn<QString>("details");
        QTest::newRow("different") << "abcdefgh"
                                   << "abcdefgx" << false << "";
        QTest::newRow("five characters") << "abcde"
                                         << "abcde" << false << "";
        QTest::newRow("keyring refuses") << kNewPassword << kNewPassword << true
                                         << "The system keyring could not store the new password.";
    }
    void changeRefusesBadInputAndAKeyringThatDoesNotKeepIt() {
        QFETCH(QString, one);
        QFETCH(QString, two);
        QFETCH(bool, keyringFails);
        QFETCH(QString, details);
        const std::string before = m2::test::readFile(files_ / "one.txt.m2p");
        ChangePasswordViewController* sheet = openChangePassword();
        type(sheet, one, two, "hint");
        if (keyringFails) {
            fixture_->keychain()->failWith = m2::platform::keychainAuthFailed;
        }
        // The reasons of bad input are the credentials' own.
        PasswordCredentials probe(fixture_->keychain());
        probe.setPassword(Morvane::Security::Secret(one.toStdString()));
        probe.setPassword2(Morvane::Security::Secret(two.toStdString()));
        const std::string reason =
            details.isEmpty() ? probe.Validate().resaon : details.toStdString();
        fixture_->expectAlert("Error", reason);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        fixture_->keychain()->failWith = m2::platform::keychainSuccess;

        QVERIFY(sheet->isPresented());
        QVERIFY(sheet->okButton->isEnabled());
        QCOMPARE(sheet->newPasswordOneEdit->text(), one);
        QCOMPARE(view_->currentState(), CurrentProcess::idel);
        QCOMPARE(m2::test::readFile(files_ / "one.txt.m2p"), before);
        QCOMPARE(credentials_->password(), std::string(kOldPassword));
        QVERIFY(PasswordCredentials(fixture_->keychain()).validateWithKeychain(kOldPassword));
    }

    void changeRefusedWhenAProcessStartedMeanwhile() {
        ChangePasswordViewController* sheet = openChangePassword();
        type(sheet, kNewPassword, kNewPassword, "");
        view_->setCurrentState(CurrentProcess::refreshingCloud);
        fixture_->expectAlert("Could not change password.",
                              m2::asString(CurrentProcess::refreshingCloud));
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(sheet->okButton->isEnabled());
        QVERIFY(PasswordCredentials(fixture_->keychain()).validateWithKeychain(kOldPassword));
    }

    void whileTheRunGoesCloseLockAndTheSheetsCloseAreRefused() {
        ChangePasswordViewController* sheet = openChangePassword();
        sheet->openForEditing = [this](const std::string&) {
            fixture_->gate().pass();
            return false;
        };
        type(sheet, kNewPassword, kNewPassword, kNewHint);
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(fixture_->waitForWorkersAtGate(1));

        sheet->windowCloseRequested();
        QVERIFY(sheet->isPresented());
        const std::string busy = m2::asString(CurrentProcess::changePassword);
        fixture_->expectAlert("Warning", busy);
        QVERIFY(!view_->windowShouldClose());
        m2::SessionManager idle(fixture_->idle());
        idle.setTimeout(1);
        idle.setActive(true);
        fixture_->idle().milliseconds = 3'600'000;
        view_->sessionManager = &idle;
        view_->updateIdle();
        QVERIFY(fixture_->presentations().performedSegues().back() != "loginToMorvaneSegue");
        QCOMPARE(credentials_->password(), std::string(kOldPassword));

        fixture_->gate().release();
        QVERIFY(fixture_->waitFor([&] { return !sheet->running(); }));
        view_->sessionManager = &m2::SessionManager::instance();
        QCOMPARE(credentials_->password(), std::string(kNewPassword));
    }

    void aKeyTextFillsBothFieldsAndLeavesTheMeter() {
        ChangePasswordViewController* sheet = openChangePassword();
        QTest::keyClicks(sheet->newPasswordOneEdit, "ab");
        const QString word = sheet->passwordLabel->text();
        sheet->useKeyfile("0123456789abcdef0123456789abcdef");
        QCOMPARE(sheet->newPasswordOneEdit->text(), QString("0123456789abcdef0123456789abcdef"));
        QCOMPARE(sheet->newPasswordTwoEdit->text(), QString("0123456789abcdef0123456789abcdef"));
        QCOMPARE(sheet->passwordLabel->text(), word);
        QTest::mouseClick(sheet->keyfileButton, Qt::LeftButton);
        auto* keyfile = top<m2::KeyfileViewController>();
        QVERIFY(keyfile != nullptr);
        QCOMPARE(keyfile->delegate, static_cast<m2::keyfileDelegate*>(sheet));
    }
};

M2_GUI_TEST_MAIN(SettingsSheetsTest)
#include "settings_sheets_gui_test.moc"
