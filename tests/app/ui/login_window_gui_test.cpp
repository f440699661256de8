// The login window at a fresh start and after a lock, its "Decrypt and Open" mode and its
// key file, driven through the shared fixture with an in-memory keyring.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "Sealkit/SealkitFacade.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/LoginStoryboard.h"
#include "app/ui/LoginViewController.h"
#include "app/ui/MainWindowController.h"
#include "guisupport/LauncherFailures.h"
#include "guisupport/Screenshot.h"
#include "guisupport/UiFixture.h"
#include "platform/Dispatch.h"
#include "platform/ui/Application.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/RecordingWorkspace.h"
#include "support/TestFiles.h"

using m2::LoginViewController;
using m2::PasswordCredentials;
using m2::platform::ui::Application;
using m2::platform::ui::Storyboard;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;
using m2::test::saveScreenshot;

namespace {

// Stands in for the main controller after a lock.
class LoginRecorder final : public m2::LoginDelegate {
  public:
    int logins = 0;
    void login() override { ++logins; }
    void decryptAndOpenFile(const std::string&, std::string_view, bool) override {}
};

constexpr const char* masterPassword = "Correct horse 7";

}  // namespace

class LoginWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<PasswordCredentials> credentials_;
    std::unique_ptr<m2::test::ScopedRecordingWorkspace> desktop_;
    int mainWindowsMade_ = 0;

    // A master password (and hint) in the keyring, as the setup sheet leaves it.
    void storeMasterPassword(const std::string& hint) {
        PasswordCredentials setup(fixture_->keychain());
        setup.setPassword(Morvane::Security::Secret(masterPassword));
        setup.setHint(hint);
        QVERIFY(setup.saveToKeychain());
    }
    // The program's first window, shown as start-up shows it.
    LoginViewController* showLoginWindow() {
        auto window = Storyboard::main().instantiateInitialController();
        auto* controller = dynamic_cast<WindowController*>(window.get());
        if (controller == nullptr) {
            return nullptr;
        }
        window.release();
        Application::instance().adopt(std::unique_ptr<WindowController>(controller));
        controller->showWindow();
        return dynamic_cast<LoginViewController*>(controller->contentViewController());
    }
    static void logOn(LoginViewController* login, const QString& typed) {
        login->passwordEdit->clear();
        QTest::keyClicks(login->passwordEdit, typed);
        QTest::mouseClick(login->logonButton, Qt::LeftButton);
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        credentials_ = std::make_unique<PasswordCredentials>(fixture_->keychain());
        desktop_ = std::make_unique<m2::test::ScopedRecordingWorkspace>();
        Storyboard& board = Storyboard::main();
        m2::registerLoginStoryboard(board, *credentials_);
        mainWindowsMade_ = 0;
        board.registerController("mainWindowSausage", [this] {
            ++mainWindowsMade_;
            auto window = std::make_unique<m2::MainWindowController>();
            window->setContentViewController(std::make_unique<ViewController>());
            return window;
        });
    }
    void cleanup() {
        fixture_.reset();
        desktop_.reset();
        credentials_.reset();
    }

    void hintBecomesThePlaceholder_data() {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("hint") << "abc"
                              << "Password hint: 'abc'";
        QTest::newRow("empty hint") << ""
                                    << "Master password";
    }
    void hintBecomesThePlaceholder() {
        QFETCH(QString, hint);
        QFETCH(QString, placeholder);
        storeMasterPassword(hint.toStdString());
        credentials_->setPassword(Morvane::Security::Secret("left over"));
        LoginViewController* login = showLoginWindow();
        QVERIFY(login != nullptr);
        QCOMPARE(login->passwordEdit->placeholderText(), placeholder);
        QCOMPARE(login->window()->windowTitle(), QString("Login"));
        QVERIFY(login->forgotButton->isVisible());
        QCOMPARE(credentials_->password(), std::string());  // forgotten when the view loads
        if (!hint.isEmpty()) {
            saveScreenshot(login->window(), "login_window.png");
        }
    }

    // A fresh start: a wrong password is refused and the window stays; the right one opens
    // exactly one main window and ends nothing.
    void wrongThenRightPasswordOpensOneMainWindow() {
        storeMasterPassword("abc");
        LoginViewController* login = showLoginWindow();
        QPointer<QWidget> loginWindow = login->window();
        for (const QString& wrong : {QString(""), QString("correct horse 7")}) {
            fixture_->expectAlert("Invalid Password",
                                  "Please enter a valid password and try again.");
            logOn(login, wrong);
            QVERIFY(loginWindow->isVisible());
            QCOMPARE(login->passwordEdit->text(), wrong);  // text kept
            QVERIFY(!login->passwordValidated);
        }
        logOn(login, masterPassword);
        QCOMPARE(mainWindowsMade_, 1);
        QCOMPARE(credentials_->password(), std::string(masterPassword));
        fixture_->drainMainQueue();
        QVERIFY(loginWindow == nullptr || !loginWindow->isVisible());
        QVERIFY(Application::instance().mainWindowController() != nullptr);
        QCOMPARE(fixture_->terminations(), 0);
    }

    // The catalogue read while the password is typed: a right password leaves the login
    // window up, without the password and unanswering, until the catalogue is read; then the
    // main window comes once, with the whole library. (Once per program: the library is
    // the process's own.)
    void theMainWindowWaitsForTheCatalogue() {
        storeMasterPassword("");
        {
            m2::LibraryManager seed;
            seed.folderManager.initItems();
            for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
                m2::test::writeFile(fixture_->documents() / name, name);
            }
            seed.fileManager.addFilesByUrl({fixture_->documents().string()}, true,
                                           m2::FolderManager::document);
            seed.save();
        }
        m2::platform::ManualMainQueue reader;
        m2::LibraryManager::preload(reader);
        LoginViewController* login = showLoginWindow();
        QPointer<QWidget> loginWindow = login->window();
        logOn(login, masterPassword);
        fixture_->drainMainQueue();
        QCOMPARE(mainWindowsMade_, 0);
        QVERIFY(loginWindow->isVisible());
        QVERIFY(login->passwordEdit->text().isEmpty());
        QVERIFY(!login->logonButton->isEnabled() && !login->passwordEdit->isEnabled());
        QCOMPARE(loginWindow->cursor().shape(), Qt::BusyCursor);
        saveScreenshot(loginWindow, "login_while_the_catalogue_is_read.png");

        QVERIFY(reader.drain() > 0);    // the worker reads the catalogue
        QCOMPARE(mainWindowsMade_, 0);  // told through the main queue
        fixture_->drainMainQueue();
        QCOMPARE(mainWindowsMade_, 1);
        QVERIFY(loginWindow == nullptr || !loginWindow->isVisible());
        QCOMPARE(m2::LibraryManager::instance().fileManager.library.size(), std::size_t(3));
        QCOMPARE(fixture_->terminations(), 0);
        int later = 0;
        m2::LibraryManager::whenLoaded([&later] { ++later; });
        QCOMPARE(later, 1);  // at once, now that it is read
    }

    // After a lock the main controller presented the login: it is told once, and no second
    // main window is made.
    void delegateIsToldOnce() {
        storeMasterPassword("");
        auto owner = Storyboard::main().instantiate<WindowController>("mainWindowSausage");
        owner->showWindow();
        LoginRecorder recorder;
        owner->contentViewController()->performSegueWithIdentifier("loginToMorvaneSegue", nullptr);
        // The kit shows it as a window of its own.
        auto* login = dynamic_cast<LoginViewController*>(
            fixture_->presentations().events().back().controller.data());
        QVERIFY(login != nullptr);
        login->delegate = &recorder;
        logOn(login, masterPassword);
        QCOMPARE(recorder.logins, 1);
        QVERIFY(!login->isPresented());
        QCOMPARE(mainWindowsMade_, 1);  // only the owner above
        QCOMPARE(fixture_->terminations(), 0);
    }

    // Return in the field, at a fresh start and in the window a lock presents (a dialog
    // whose default button is Log On): one log-on per key press, so one alert per wrong
    // password and one login for the right one.
    void returnInTheFieldLogsOnOnce_data() {
        QTest::addColumn<bool>("afterLock");
        QTest::newRow("fresh start") << false;
        QTest::newRow("after a lock") << true;
    }
    void returnInTheFieldLogsOnOnce() {
        QFETCH(bool, afterLock);
        storeMasterPassword("");
        std::unique_ptr<WindowController> owner;
        LoginRecorder recorder;
        LoginViewController* login = nullptr;
        if (afterLock) {
            owner = Storyboard::main().instantiate<WindowController>("mainWindowSausage");
            owner->showWindow();
            owner->contentViewController()->performSegueWithIdentifier("loginToMorvaneSegue",
                                                                       nullptr);
            login = dynamic_cast<LoginViewController*>(
                fixture_->presentations().events().back().controller.data());
            QVERIFY(login != nullptr);
            login->delegate = &recorder;
        } else {
            login = showLoginWindow();
        }
        login->window()->activateWindow();
        login->passwordEdit->setFocus();
        fixture_->expectAlert("Invalid Password", "Please enter a valid password and try again.");
        QTest::keyClicks(login->passwordEdit, "wrong password");
        QTest::keyClick(login->passwordEdit, Qt::Key_Return);
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->alerts().shown().size(), std::size_t(1));
        login->passwordEdit->clear();
        QTest::keyClicks(login->passwordEdit, masterPassword);
        QTest::keyClick(login->passwordEdit, Qt::Key_Return);
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->alerts().shown().size(), std::size_t(1));
        QCOMPARE(afterLock ? recorder.logins : mainWindowsMade_, 1);
    }

    // A keyring that could not be asked, or that lost the check, is told as such, never as
    // a wrong password; once it answers again the same password logs on.
    void aKeyringThatCannotTellIsNoWrongPassword_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("details");
        QTest::newRow("locked, prompt dismissed")
            << int(m2::platform::keychainAuthFailed) << "The system keyring is locked"
            << "The system keyring is locked and was not unlocked. Morvane 2 Riravevovavi keeps "
               "the check of your master password there: unlock the keyring when your desktop "
               "asks for it, then try again.";
        QTest::newRow("no keyring")
            << int(m2::platform::keychainNotAvailable) << "The system keyring is not available"
            << "No system keyring (Secret Service) answers on this desktop session. Morvane 2 "
               "Riravevovavi keeps the check of your master password there: start your "
               "desktop's keyring, then try again.";
        QTest::newRow("check removed")
            << int(m2::platform::keychainItemNotFound) << "The master password cannot be checked"
            << "The system keyring holds no check of your master password, so no password can "
               "be checked against it. Your encrypted files are unchanged. If you still know "
               "your master password, choose Reset… below the password and set it again; "
               "otherwise restore the keyring from a backup.";
    }
    void aKeyringThatCannotTellIsNoWrongPassword() {
        QFETCH(int, status);
        QFETCH(QString, title);
        QFETCH(QString, details);
        storeMasterPassword("");
        LoginViewController* login = showLoginWindow();
        const auto kept = fixture_->keychain()->items;
        if (status == m2::platform::keychainItemNotFound) {
            fixture_->keychain()->items.clear();
        } else {
            fixture_->keychain()->failWith = status;
        }
        fixture_->expectAlert(title.toStdString(), details.toStdString());
        logOn(login, masterPassword);
        QVERIFY(login->window()->isVisible());
        QVERIFY(!login->passwordValidated);
        QCOMPARE(mainWindowsMade_, 0);
        fixture_->keychain()->failWith = m2::platform::keychainSuccess;  // unlocked meanwhile
        fixture_->keychain()->items = kept;
        logOn(login, masterPassword);
        QCOMPARE(mainWindowsMade_, 1);
    }

    void closingWithoutLogOnQuits() {
        storeMasterPassword("");
        LoginViewController* login = showLoginWindow();
        login->window()->close();
        QCOMPARE(fixture_->terminations(), 1);
    }

    // At a first run the main window replaces the login window, which must not end the
    // program as it goes.
    void firstRunCloseDoesNotQuit() {
        LoginViewController* login = showLoginWindow();
        login->closeForMainWindow();
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->terminations(), 0);
    }

    void openModeHandsTheDocumentToTheLauncher() {
        storeMasterPassword("abc");
        LoginViewController* login = showLoginWindow();
        login->setFileToOpen("/home/u/report.m2p");
        login->updateForOpenFileMode();
        QCOMPARE(login->window()->windowTitle(), QString("Morvane 2 Pro"));
        QCOMPARE(login->logonButton->text(), QString("Decrypt and Open"));
        QVERIFY(!login->forgotButton->isVisible());
        QVERIFY(!login->forgotLabel->isVisible());
        QCOMPARE(login->passwordEdit->placeholderText(), QString("Password hint: 'abc'"));
        saveScreenshot(login->window(), "login_decrypt_and_open.png");

        logOn(login, "any password");  // the launcher checks it, not the keyring
        const auto starts = (*desktop_)->launches();
        QCOMPARE(starts.size(), std::size_t(1));
        QCOMPARE(starts[0].launcher, std::filesystem::path("/opt/morvane2/m2-launcher"));
        QCOMPARE(starts[0].documentPath, std::string("/home/u/report.m2p"));
        QCOMPARE(starts[0].password, std::string("any password"));  // on its input, not argv
        QCOMPARE(fixture_->terminations(), 1);
        QVERIFY(login->passwordValidated);
    }

    // The user's double-click must not end in nothing: without a started launcher the
    // window stays and the program runs on.
    void openModeStaysWhenTheLauncherDoesNotStart_data() { m2::test::addLauncherFailureRows(); }
    void openModeStaysWhenTheLauncherDoesNotStart() {
        QFETCH(bool, installed);
        QFETCH(QString, details);
        m2::test::failLauncher(**desktop_, installed);
        LoginViewController* login = showLoginWindow();
        login->decryptAndOpenFile("/home/u/report.m2p", true);
        login->updateForOpenFileMode();
        fixture_->expectAlert("Error", details.toStdString());
        logOn(login, "secret1");
        QCOMPARE(fixture_->terminations(), 0);
        QVERIFY(login->window()->isVisible());
        QVERIFY(!login->passwordValidated);
    }

    // The key text joined to the password typed in the sheet logs on like a typed password.
    void keyFileLogsOn() {
        const m2::test::TempDir folder;
        const auto keyPath = folder.path() / "key.bin";
        m2::test::writeFile(keyPath, std::string(4096, 'k'));
        Keyfile facade;
        const std::string key(facade.createKey(keyPath.string()).view());
        PasswordCredentials setup(fixture_->keychain());
        setup.setPassword(Morvane::Security::Secret(key + "abc"));
        QVERIFY(setup.saveToKeychain());

        LoginViewController* login = showLoginWindow();
        QTest::mouseClick(login->keyfileButton, Qt::LeftButton);
        auto* sheet = fixture_->presentations().topSheet<m2::KeyfileViewController>();
        QVERIFY(sheet != nullptr);
        fixture_->openPanel().queueChoice({keyPath.string()});
        QTest::mouseClick(sheet->selectFileButton, Qt::LeftButton);
        QTest::keyClicks(sheet->passwordEdit, "abc");
        QTest::mouseClick(sheet->useKeyButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QCOMPARE(login->passwordEdit->text().toStdString(), key + "abc");
        QTest::mouseClick(login->logonButton, Qt::LeftButton);
        QCOMPARE(mainWindowsMade_, 1);
    }
};

M2_GUI_TEST_MAIN(LoginWindowTest)
#include "login_window_gui_test.moc"
