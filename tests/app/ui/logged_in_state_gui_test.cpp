// Start-up routing, the logged-in state and the idle lock of the real main window, with an
// in-memory keyring, a fake idle source and timers the test moves by hand.

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/services/PasswordCredentials.h"
#include "app/services/SessionManager.h"
#include "app/services/Settings.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/LoginStoryboard.h"
#include "app/ui/LoginViewController.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/SetupViewController.h"
#include "app/ui/projectViewController.h"
#include "guisupport/Screenshot.h"
#include "guisupport/SecretTyping.h"
#include "guisupport/UiFixture.h"
#include "platform/ModalSession.h"
#include "platform/Timer.h"
#include "platform/ui/Application.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Toolbar.h"

using m2::LoginViewController;
using m2::PasswordCredentials;
using m2::projectViewController;
using m2::platform::ui::Application;
using m2::platform::ui::Storyboard;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;
using m2::test::saveScreenshot;
using namespace std::chrono_literals;

namespace {

constexpr const char* masterPassword = "Correct horse 7";
constexpr std::int64_t timeoutUnits = 3;
// Idle long enough to pass the time-out: 4 units of about 1.074 s.
constexpr std::int64_t idleBeyondTimeout = 4 * 1074;

}  // namespace

class LoggedInStateTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<PasswordCredentials> credentials_;
    std::shared_ptr<m2::platform::ManualTimerScheduler> timers_;
    std::shared_ptr<m2::platform::TimerScheduler> previousTimers_;
    std::unique_ptr<m2::SessionManager> session_;
    std::unique_ptr<m2::AppDelegate> delegate_;
    int mainWindowsMade_ = 0;

    // As the program starts: the storyboard's first window, then the delegate's routing.
    void startProgram() {
        auto initial = Storyboard::main().instantiateInitialController();
        auto* window = dynamic_cast<WindowController*>(initial.release());
        QVERIFY(window != nullptr);
        Application::instance().adopt(std::unique_ptr<WindowController>(window))->showWindow();
        delegate_->applicationDidFinishLaunching();
        fixture_->drainMainQueue();
    }
    // The login controller in front: the first window's content or the lock's window.
    LoginViewController* loginInFront() const {
        for (auto event = fixture_->presentations().events().rbegin();
             event != fixture_->presentations().events().rend(); ++event) {
            auto* login = dynamic_cast<LoginViewController*>(event->controller.data());
            if (login != nullptr && login->isPresented()) {
                return login;
            }
        }
        return dynamic_cast<LoginViewController*>(
            Application::instance().mainWindowContentViewController());
    }
    static void logOn(LoginViewController* login, const QString& typed) {
        QTest::keyClicks(login->passwordEdit, typed);
        QTest::mouseClick(login->logonButton, Qt::LeftButton);
    }
    // Starts with a master password and logs on; answers the main controller.
    projectViewController* loggedIn() {
        return loggedInWith(m2::test::MaskedValue::of(masterPassword));
    }
    projectViewController* loggedInWith(const m2::test::MaskedValue& password) {
        m2::Settings::instance().setDatabaseSetup(true);
        PasswordCredentials setup(fixture_->keychain());
        setup.setPassword(password.reveal());
        if (!setup.saveToKeychain()) {
            return nullptr;
        }
        startProgram();
        LoginViewController* login = loginInFront();
        if (login == nullptr) {
            return nullptr;
        }
        m2::test::typeSecret(login->passwordEdit, password);
        QTest::mouseClick(login->logonButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        return delegate_->mainController();
    }
    void tick(int seconds = 1) {
        timers_->advance(std::chrono::seconds(seconds));
        fixture_->drainMainQueue();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        credentials_ = std::make_unique<PasswordCredentials>(fixture_->keychain());
        timers_ = std::make_shared<m2::platform::ManualTimerScheduler>();
        previousTimers_ = m2::platform::TimerScheduler::installMain(timers_);
        session_ = std::make_unique<m2::SessionManager>(fixture_->idle());
        session_->setTimeout(timeoutUnits);
        session_->setActive(true);
        fixture_->idle().milliseconds = 0;

        Storyboard& board = Storyboard::main();
        m2::registerMainStoryboard(board);
        m2::registerLoginStoryboard(board, *credentials_);
        mainWindowsMade_ = 0;
        board.registerController("mainWindowSausage", [this] {
            ++mainWindowsMade_;
            auto window = std::make_unique<m2::MainWindowController>();
            auto content = std::make_unique<projectViewController>();
            content->sessionManager = session_.get();
            window->setContentViewController(std::move(content));
            return window;
        });
        delegate_ = std::make_unique<m2::AppDelegate>();
    }
    void cleanup() {
        delegate_.reset();
        fixture_.reset();
        m2::platform::TimerScheduler::installMain(previousTimers_);
        session_.reset();
        credentials_.reset();
    }

    // A master password exists: the login window is the only window until the password is
    // right, then there is exactly one main window, kept by the application delegate.
    void routingWithAPasswordStartsAtTheLoginWindow() {
        m2::Settings::instance().setDatabaseSetup(true);
        PasswordCredentials setup(fixture_->keychain());
        setup.setPassword(Morvane::Security::Secret(masterPassword));
        QVERIFY(setup.saveToKeychain());
        startProgram();
        LoginViewController* login = loginInFront();
        QVERIFY(login != nullptr);
        QCOMPARE(mainWindowsMade_, 0);
        QCOMPARE(Application::instance().visibleWindows().size(), std::size_t(1));

        fixture_->expectAlert("Invalid Password", "Please enter a valid password and try again.");
        logOn(login, "wrong password");
        QCOMPARE(mainWindowsMade_, 0);
        login->passwordEdit->clear();
        logOn(login, masterPassword);
        fixture_->drainMainQueue();
        QCOMPARE(mainWindowsMade_, 1);
        QVERIFY(delegate_->mainWindowController != nullptr);
        projectViewController* main = delegate_->mainController();
        QVERIFY(main != nullptr);
        QVERIFY(delegate_->openForAction);
        QCOMPARE(timers_->validTimerCount(), std::size_t(1));  // logged in
        QCOMPARE(fixture_->terminations(), 0);
    }

    // A file-manager request while the login window is in front turns it to open mode.
    void fileManagerRequestTurnsTheLoginToOpenMode() {
        m2::Settings::instance().setDatabaseSetup(true);
        startProgram();
        QVERIFY(delegate_->application("/home/u/taxes.m2p"));
        LoginViewController* login = loginInFront();
        QVERIFY(login->fileOpenMode);
        QCOMPARE(login->fileToOpen, std::string("/home/u/taxes.m2p"));
        QCOMPARE(login->logonButton->text(), QString("Decrypt and Open"));
    }

    // First run: the main window replaces the login window without ending the program, the
    // setup sheet follows, and a created password starts the logged-in state at once.
    void firstRunCreateStartsTheLoggedInState() {
        startProgram();
        QCOMPARE(fixture_->terminations(), 0);
        QCOMPARE(mainWindowsMade_, 1);
        auto* setup = fixture_->presentations().topSheet<m2::SetupViewController>();
        QVERIFY(setup != nullptr);
        QCOMPARE(timers_->validTimerCount(), std::size_t(0));
        saveScreenshot(setup->window(), "setup_first_run.png");
        QTest::keyClicks(setup->passwordOneEdit, masterPassword);
        QTest::keyClicks(setup->passwordTwoEdit, masterPassword);
        fixture_->expectAlert(
            "Would you like to view Morvane 2 Riravevovavis getting started guide?", std::nullopt,
            1);  // "No"
        QTest::mouseClick(setup->createButton, Qt::LeftButton);
        QVERIFY(m2::Settings::instance().DatabaseSetup());
        QCOMPARE(timers_->validTimerCount(), std::size_t(1));
        QVERIFY(credentials_->validateWithKeychain(masterPassword));
    }

    // Idle beyond the time-out locks: the login window in front, the main window and its
    // sheets hidden, the timer stopped, the password forgotten, no main controller for the
    // menu. The password brings everything back with one timer and the earlier toolbar.
    void idleLocksAndThePasswordComesBack() {
        projectViewController* main = loggedIn();
        QVERIFY(main != nullptr);
        QCOMPARE(credentials_->password(), std::string(masterPassword));
        m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(masterPassword));
        main->toolbarOrganiser.noteView(main->toolbar());
        const std::vector<std::string> notesToolbar = main->toolbar()->itemIdentifiers();
        auto* sheet = main->presentViewControllerAsSheet(std::make_unique<ViewController>());
        QVERIFY(sheet->window()->isVisible());

        tick(2);
        QVERIFY(loginInFront() == nullptr || !loginInFront()->isPresented());
        fixture_->idle().milliseconds = idleBeyondTimeout;
        tick();
        QCOMPARE(fixture_->presentations().performedSegues().back(),
                 std::string("loginToMorvaneSegue"));
        LoginViewController* login = loginInFront();
        QVERIFY(login != nullptr && login->isPresented());
        QVERIFY(login->window()->isVisible());
        QVERIFY(!main->window()->isVisible());
        QVERIFY(!main->programView->isVisible());
        QVERIFY(!sheet->window()->isVisible());
        QCOMPARE(timers_->validTimerCount(), std::size_t(0));
        QCOMPARE(m2::PasswordCredentials::instance().password(), std::string());
        QVERIFY(delegate_->mainController() == nullptr);
        saveScreenshot(login->window(), "locked_login.png");

        fixture_->idle().milliseconds = 0;
        logOn(login, masterPassword);
        fixture_->drainMainQueue();
        QVERIFY(main->window()->isVisible());
        QVERIFY(main->programView->isVisible());
        QVERIFY(sheet->window()->isVisible());
        QCOMPARE(timers_->validTimerCount(), std::size_t(1));
        QCOMPARE(main->toolbarOrganiser.viewType, m2::ToolbarOrganiser::ViewType::notes);
        QCOMPARE(main->toolbar()->itemIdentifiers(), notesToolbar);
        QCOMPARE(delegate_->mainController(), main);
        QCOMPARE(mainWindowsMade_, 1);
        QCOMPARE(fixture_->terminations(), 0);
    }

    // A password typed at the log-on and held for the session is gone from memory once the
    // session locks: neither the field, nor the check against the keyring, nor the
    // credentials leave a copy, in UTF-8 or UTF-16.
    void aLockLeavesNoCopyOfThePasswordInMemory() {
        const auto password = m2::test::MaskedValue::of(
            "Lyre 42 tamarind dusk over Helmsdale, where the slow river bends twice "
            "before the old mill and the heron waits");
        projectViewController* main = loggedInWith(password);
        QVERIFY(main != nullptr);
        QVERIFY(credentials_->password() == password.reveal());
        m2::PasswordCredentials::instance().setPassword(credentials_->password());
        // As a change of master password during the session leaves it.
        m2::PasswordCredentials::instance().setPassword2(credentials_->password());
        fixture_->idle().milliseconds = idleBeyondTimeout;
        tick();
        QVERIFY(!main->window()->isVisible());
        QCOMPARE(credentials_->password(), std::string());
        m2::test::verifyNothingInMemory(m2::test::passwordForms(password));
    }

    // A running process postpones the lock until it ends; the lock then follows within a
    // tick. An open alert or panel postpones it too.
    void busyOrModalPostponesTheLock() {
        projectViewController* main = loggedIn();
        QVERIFY(main != nullptr);
        fixture_->idle().milliseconds = idleBeyondTimeout;
        main->setCurrentState(m2::CurrentProcess::encrypting);
        tick(5);
        QVERIFY(main->window()->isVisible());
        main->setCurrentState(m2::CurrentProcess::idel);
        {
            const m2::platform::ModalSession alertUp;
            tick(3);
            QVERIFY(main->window()->isVisible());
        }
        tick();
        QVERIFY(!main->window()->isVisible());
        QVERIFY(loginInFront() != nullptr);
    }

    void timeoutNeverDoesNotLock() {
        projectViewController* main = loggedIn();
        QVERIFY(main != nullptr);
        session_->setTimeout(-1);
        fixture_->idle().milliseconds = 3'600'000;
        tick(10);
        QVERIFY(main->window()->isVisible());
        QCOMPARE(timers_->validTimerCount(), std::size_t(1));
    }

    // A second login replaces the idle timer instead of adding one.
    void repeatedLoginKeepsOneTimer() {
        projectViewController* main = loggedIn();
        QVERIFY(main != nullptr);
        main->login();
        main->login();
        QCOMPARE(timers_->validTimerCount(), std::size_t(1));
    }

    // Log Off during a batch is refused with the lock's alert; no login window appears.
    void logOffDuringABatchIsRefused() {
        projectViewController* main = loggedIn();
        QVERIFY(main != nullptr);
        main->setCurrentState(m2::CurrentProcess::decrypting);
        fixture_->expectAlert("Could not lock Morvane 2 Riravevovavi",
                              m2::asString(m2::CurrentProcess::decrypting));
        delegate_->mainWindowController->performSegueWithIdentifier("logoffSegue", nullptr);
        QCOMPARE(fixture_->presentations().refusedSegues(),
                 std::vector<std::string>{"logoffSegue"});
        QVERIFY(main->window()->isVisible());

        main->setCurrentState(m2::CurrentProcess::idel);
        delegate_->mainWindowController->performSegueWithIdentifier("logoffSegue", nullptr);
        LoginViewController* login = loginInFront();
        QVERIFY(login != nullptr && login->isPresented());
        QVERIFY(!main->window()->isVisible());
        logOn(login, masterPassword);  // through the window controller's LoginDelegate
        QVERIFY(main->window()->isVisible());
        QCOMPARE(timers_->validTimerCount(), std::size_t(1));
    }

    // Closing the lock's login window without the password ends the program.
    void closingTheLockWindowQuits() {
        projectViewController* main = loggedIn();
        QVERIFY(main != nullptr);
        fixture_->idle().milliseconds = idleBeyondTimeout;
        tick();
        LoginViewController* login = loginInFront();
        QVERIFY(login != nullptr);
        login->window()->close();
        fixture_->drainMainQueue();
        QVERIFY(fixture_->terminations() >= 1);
    }
};

M2_GUI_TEST_MAIN(LoggedInStateTest)
#include "logged_in_state_gui_test.moc"
