// The setup sheet in first-run and reset mode, the reset confirmation and the key file
// sheet, on a window whose content stands in for the main controller.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "Sealkit/SealkitFacade.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/LoginDelegate.h"
#include "app/ui/LoginStoryboard.h"
#include "app/ui/ResetMasterPasswordViewController.h"
#include "app/ui/SetupViewController.h"
#include "guisupport/ContentWindow.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/RecordingWorkspace.h"
#include "support/TestFiles.h"

using m2::KeyfileViewController;
using m2::PasswordCredentials;
using m2::SetupViewController;
using m2::platform::ui::Storyboard;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;

namespace {

// Stands in for the main controller that presents the first-run sheet.
class OwnerController final : public ViewController, public m2::LoginDelegate {
  public:
    int logins = 0;
    void login() override { ++logins; }
    void decryptAndOpenFile(const std::string&, std::string_view, bool) override {}
};

constexpr const char* refused = "Could not create your master password";
constexpr const char* guideQuestion =
    "Would you like to view Morvane 2 Riravevovavis getting started guide?";

}  // namespace

class MasterPasswordSheetsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<PasswordCredentials> credentials_;
    std::unique_ptr<WindowController> window_;
    OwnerController* owner_ = nullptr;
    std::unique_ptr<m2::test::TempDir> files_;
    std::unique_ptr<m2::test::ScopedRecordingWorkspace> desktop_;

    SetupViewController* openFirstRunSheet() {
        owner_->performSegueWithIdentifier("showInitialSetupSegue", nullptr);
        return fixture_->presentations().topSheet<SetupViewController>();
    }
    // The confirmation of a forgotten password, then its reset button.
    SetupViewController* openResetSheet() {
        owner_->performSegueWithIdentifier("showResetMasterPasswordSegue", nullptr);
        auto* confirmation =
            fixture_->presentations().topSheet<m2::ResetMasterPasswordViewController>();
        if (confirmation == nullptr) {
            return nullptr;
        }
        QTest::mouseClick(confirmation->resetButton, Qt::LeftButton);
        return fixture_->presentations().topSheet<SetupViewController>();
    }
    static void type(SetupViewController* sheet, const QString& one, const QString& two,
                     const QString& hint = {}) {
        QTest::keyClicks(sheet->passwordOneEdit, one);
        QTest::keyClicks(sheet->passwordTwoEdit, two);
        QTest::keyClicks(sheet->passwordHintEdit, hint);
    }
    void storeOldPassword() {
        PasswordCredentials old(fixture_->keychain());
        old.setPassword(Morvane::Security::Secret("old password"));
        old.setHint("old hint");
        QVERIFY(old.saveToKeychain());
    }
    std::filesystem::path keyFileOf(std::size_t bytes) {
        const auto path = files_->path() / ("key" + std::to_string(bytes));
        m2::test::writeFile(path, std::string(bytes, 'x'));
        return path;
    }
    KeyfileViewController* openKeyfileSheet(SetupViewController* setup) {
        QTest::mouseClick(setup->keyfileButton, Qt::LeftButton);
        return fixture_->presentations().topSheet<KeyfileViewController>();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        credentials_ = std::make_unique<PasswordCredentials>(fixture_->keychain());
        files_ = std::make_unique<m2::test::TempDir>();
        desktop_ = std::make_unique<m2::test::ScopedRecordingWorkspace>();
        Storyboard& board = Storyboard::main();
        m2::registerLoginStoryboard(board, *credentials_);
        window_ = m2::test::windowWithContent<OwnerController>(owner_);
        window_->showWindow();
    }
    void cleanup() {
        window_.reset();
        fixture_.reset();
        credentials_.reset();
        files_.reset();
        desktop_.reset();
    }

    void validateRefusesAndKeepsTheSheet_data() {
        QTest::addColumn<QString>("one");
        QTest::addColumn<QString>("two");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << ""
                               << ""
                               << "Please enter a valid password";
        QTest::newRow("empty, not a mismatch") << ""
                                               << "abcdef"
                                               << "Please enter a valid password";
        QTest::newRow("5 characters") << "abcde"
                                      << "abcde"
                                      << "Password is too short. Password must be at least 6 "
                                         "characters.";
        QTest::newRow("mismatch") << "abcdef"
                                  << "abcdeg"
                                  << "Passwords do not match";
    }
    void validateRefusesAndKeepsTheSheet() {
        QFETCH(QString, one);
        QFETCH(QString, two);
        QFETCH(QString, reason);
        SetupViewController* sheet = openFirstRunSheet();
        QVERIFY(sheet != nullptr);
        type(sheet, one, two, "hint");
        fixture_->expectAlert(refused, reason.toStdString());
        QTest::mouseClick(sheet->createButton, Qt::LeftButton);
        QVERIFY(sheet->isPresented());
        QCOMPARE(sheet->passwordOneEdit->text(), one);
        QCOMPARE(sheet->passwordTwoEdit->text(), two);
        QVERIFY(fixture_->keychain()->items.empty());
        QVERIFY(!m2::Settings::instance().DatabaseSetup());
        QCOMPARE(owner_->logins, 0);
    }

    // A weak password of 6 characters is only rated; Create stores digest and hint, sets
    // DatabaseSetup, asks about the guide once and starts the logged-in state.
    void createStoresTheMasterPassword_data() {
        QTest::addColumn<bool>("viewGuide");
        QTest::newRow("guide: yes") << true;
        QTest::newRow("guide: no") << false;
    }
    void createStoresTheMasterPassword() {
        QFETCH(bool, viewGuide);
        SetupViewController* sheet = openFirstRunSheet();
        type(sheet, "aaaaaa", "aaaaaa", "six letters");
        QVERIFY(!sheet->passwordLabel->text().isEmpty());
        fixture_->expectAlert(guideQuestion,
                              "You can view the start guide anytime by selecting Help > View "
                              "getting started guide.",
                              viewGuide ? 0 : 1);
        QTest::mouseClick(sheet->createButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QVERIFY(m2::Settings::instance().DatabaseSetup());
        QVERIFY(!m2::Settings::instance().FirstRun());
        QVERIFY(credentials_->validateWithKeychain("aaaaaa"));
        PasswordCredentials reader(fixture_->keychain());
        reader.loadHint();
        QCOMPARE(reader.hint(), std::string("six letters"));
        QCOMPARE(credentials_->password(), std::string("aaaaaa"));
        QCOMPARE(owner_->logins, 1);
        if (viewGuide) {
            QVERIFY(fixture_->waitFor([this] { return !(*desktop_)->urls().empty(); }));
            QCOMPARE((*desktop_)->urls(),
                     std::vector<std::string>{m2::AppDelegate::gettingStartedPage});
        } else {
            QTest::qWait(1200);
            QVERIFY((*desktop_)->urls().empty());
        }

        // A second setup (the guide was offered once) asks nothing.
        sheet = openFirstRunSheet();
        type(sheet, "bbbbbb", "bbbbbb");
        QTest::mouseClick(sheet->createButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
    }

    // Return in a field presses Create, the sheet's default button, not the first button.
    void returnInAFieldPressesCreate() {
        SetupViewController* sheet = openFirstRunSheet();
        type(sheet, "abcdef", "abcdeg");
        fixture_->expectAlert(refused, "Passwords do not match");
        QTest::keyClick(sheet->passwordHintEdit, Qt::Key_Return);
        QCOMPARE(fixture_->presentations().topSheet<KeyfileViewController>(), nullptr);
    }

    // Nothing the keyring did not keep may count as the master password.
    void keyringFailureLeavesSetupUndone() {
        fixture_->keychain()->failWith = m2::platform::keychainNotAvailable;
        SetupViewController* sheet = openFirstRunSheet();
        type(sheet, "Correct horse 7", "Correct horse 7");
        // Without a keyring the setup says why, and stores nothing.
        fixture_->expectAlert("The system keyring is not available",
                              "No system keyring (Secret Service) answers on this desktop "
                              "session. Morvane 2 Riravevovavi keeps the check of your master "
                              "password there: start your desktop's keyring, then try again.");
        QTest::mouseClick(sheet->createButton, Qt::LeftButton);
        QVERIFY(sheet->isPresented());
        QVERIFY(!m2::Settings::instance().DatabaseSetup());
        QCOMPARE(owner_->logins, 0);
        QVERIFY(fixture_->keychain()->items.empty());
        // A keyring that answers but does not keep the digest.
        fixture_->keychain()->failWith = 0;
        fixture_->keychain()->refuseAddsFor = std::string(m2::passwordServiceName);
        fixture_->expectAlert(refused, "The system keyring could not store it.");
        QTest::mouseClick(sheet->createButton, Qt::LeftButton);
        QVERIFY(sheet->isPresented());
        QVERIFY(!m2::Settings::instance().DatabaseSetup());
        QCOMPARE(owner_->logins, 0);
    }

    void cancellingTheFirstRunQuits() {
        SetupViewController* sheet = openFirstRunSheet();
        type(sheet, "Correct horse 7", "Correct horse 7");
        QTest::mouseClick(sheet->closeButton, Qt::LeftButton);
        QCOMPARE(fixture_->terminations(), 1);
        QVERIFY(fixture_->keychain()->items.empty());
        QVERIFY(!m2::Settings::instance().DatabaseSetup());
    }

    // Reset mode replaces only digest and hint when created, nothing when cancelled, and
    // ends the confirmation either way; the guide is never offered.
    void resetModeCreateOrCancel_data() {
        QTest::addColumn<bool>("create");
        QTest::newRow("reset") << true;
        QTest::newRow("cancel") << false;
    }
    void resetModeCreateOrCancel() {
        QFETCH(bool, create);
        storeOldPassword();
        SetupViewController* sheet = openResetSheet();
        QVERIFY(sheet != nullptr);
        QVERIFY(sheet->resetMode);
        QCOMPARE(sheet->titleLable->text(), QString("Reset your master password"));
        QCOMPARE(sheet->closeButton->text(), QString("Cancel"));
        QCOMPARE(sheet->createButton->text(), QString("Reset"));
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/setup_reset.png"));
        type(sheet, "new password", "new password", "new hint");
        QTest::mouseClick(create ? sheet->createButton : sheet->closeButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        fixture_->drainMainQueue();  // the dismissed sheets are deleted here
        QCOMPARE(fixture_->presentations().topSheet<m2::ResetMasterPasswordViewController>(),
                 nullptr);
        QCOMPARE(credentials_->validateWithKeychain("new password"), create);
        QCOMPARE(credentials_->validateWithKeychain("old password"), !create);
        QVERIFY(m2::Settings::instance().FirstRun());  // untouched
        QCOMPARE(fixture_->terminations(), 0);
        QCOMPARE(owner_->logins, 0);
    }

    // Key files: 2048 bytes make a key, 2047 the engine's error text, which is refused as
    // every short key is; the length counts user-perceived characters.
    void keyFileKeys_data() {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("keyField");  // typed over the key field; empty: the file's
        QTest::addColumn<bool>("accepted");
        QTest::newRow("2048 bytes") << 2048 << "" << true;
        QTest::newRow("2047 bytes") << 2047 << "" << false;
        QTest::newRow("12 characters") << 2048 << "abcdefghijkl" << false;
        QTest::newRow("13 characters") << 2048 << "abcdefghijklm" << true;
        QTest::newRow("12 graphemes of 24 code points")
            << 2048 << QString("e\u0301").repeated(12) << false;
    }
    void keyFileKeys() {
        QFETCH(int, bytes);
        QFETCH(QString, keyField);
        QFETCH(bool, accepted);
        SetupViewController* setup = openFirstRunSheet();
        KeyfileViewController* sheet = openKeyfileSheet(setup);
        QVERIFY(sheet != nullptr);
        const auto path = keyFileOf(std::size_t(bytes));
        fixture_->openPanel().queueChoice({path.string()});
        QTest::mouseClick(sheet->selectFileButton, Qt::LeftButton);
        QCOMPARE(sheet->keyfilePathEdit->text().toStdString(), path.string());
        Keyfile facade;
        QCOMPARE(sheet->keyfileEdit->text().toStdString(),
                 std::string(facade.createKey(path.string()).view()));
        if (bytes == 2047) {
            QCOMPARE(sheet->keyfileEdit->text(), QString("Error, could not create keyfile"));
        }
        if (!keyField.isEmpty()) {
            sheet->keyfileEdit->setText(keyField);
        }
        const std::string key = sheet->keyfileEdit->text().toStdString();
        QTest::keyClicks(sheet->passwordEdit, "abc");
        if (!accepted) {
            fixture_->expectAlert("Invalid key", std::nullopt);
        }
        QTest::mouseClick(sheet->useKeyButton, Qt::LeftButton);
        QCOMPARE(sheet->isPresented(), !accepted);
        if (accepted) {
            // Key text and typed password with no separator, in both fields, re-rated.
            QCOMPARE(setup->passwordOneEdit->text().toStdString(), key + "abc");
            QCOMPARE(setup->passwordTwoEdit->text().toStdString(), key + "abc");
            QVERIFY(!setup->passwordLabel->text().isEmpty());
            QVERIFY(setup->passwordHintEdit->text().isEmpty());
        } else {
            QVERIFY(setup->passwordOneEdit->text().isEmpty());
        }
    }

    void keyFilePanelCancelledChangesNothing() {
        SetupViewController* setup = openFirstRunSheet();
        KeyfileViewController* sheet = openKeyfileSheet(setup);
        fixture_->openPanel().queueCancel();
        QTest::mouseClick(sheet->selectFileButton, Qt::LeftButton);
        QVERIFY(sheet->keyfileEdit->text().isEmpty());
        QVERIFY(sheet->keyfilePathEdit->text().isEmpty());
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/keyfile_sheet.png"));
    }
};

M2_GUI_TEST_MAIN(MasterPasswordSheetsTest)
#include "master_password_sheets_gui_test.moc"
