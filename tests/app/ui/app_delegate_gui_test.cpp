// The main application's start-up, its main window and its menu, driven through the shared
// window fixture. The login window, whose own behaviour comes later, is a stand-in that
// records what start-up asks of it.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "app/services/Settings.h"
#include "app/ui/AboutViewController.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/LoginDelegate.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/ToolbarOrganiser.h"
#include "app/ui/projectViewController.h"
#include "guisupport/UiFixture.h"
#include "platform/Paths.h"
#include "platform/Workspace.h"
#include "platform/ui/Application.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtProgress.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/Storyboard.h"
#include "support/MemoryCollectionView.h"
#include "support/RecordingWorkspace.h"

using m2::AppDelegate;
using m2::CurrentProcess;
using m2::MainWindowController;
using m2::projectViewController;
using m2::Settings;
using m2::ToolbarOrganiser;
using m2::platform::ui::Application;
using m2::platform::ui::SeguePresentation;
using m2::platform::ui::Storyboard;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;
using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

// The login window as start-up sees it.
class FakeLoginController : public ViewController, public m2::LoginOpenFileMode {
  public:
    std::string fileToOpen;
    int openModeUpdates = 0;

    void setFileToOpen(const std::string& path) override { fileToOpen = path; }
    void updateForOpenFileMode() override { ++openModeUpdates; }
};

class FakeLoginWindow : public WindowController {
  public:
    FakeLoginWindow() { setContentViewController(std::make_unique<FakeLoginController>()); }
};

class EmptySheet : public ViewController {};

// Records the web pages and files the program asks the desktop to open.
const std::string kBusyOpen =
    "Morvane 2 Riravevovavi is currently open for editing, to open file from file manager "
    "please close Morvane 2 and try again.\n\nAlternatively, navigate to encrypted file in your "
    "library (or add if required) and click Open File on the tool bar.";

bool menuShown(int tag) {
    QAction* item = m2::platform::ui::itemWithTag(*Application::instance().mainMenu(), tag);
    return item != nullptr && item->isVisible();
}

QAction* menuItem(const QString& title) {
    for (QAction* top : Application::instance().mainMenu()->actions()) {
        if (top->menu() == nullptr) {
            continue;
        }
        for (QAction* item : top->menu()->actions()) {
            if (item->text() == title) {
                return item;
            }
        }
    }
    return nullptr;
}

}  // namespace

class MainApplicationTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<m2::test::ScopedRecordingWorkspace> workspace_;
    std::unique_ptr<m2::LibraryManager> library_;
    std::unique_ptr<AppDelegate> delegate_;

    static Storyboard& storyboard() { return Storyboard::main(); }

    // The login window, shown as the program shows its storyboard's first window.
    FakeLoginController* showLogin() {
        auto made = storyboard().instantiate<WindowController>("loginWindow");
        WindowController* window = Application::instance().adopt(std::move(made));
        window->showWindow();
        return dynamic_cast<FakeLoginController*>(window->contentViewController());
    }
    // A first run: the login window, then start-up routing opens the main window.
    projectViewController* openMainWindow() {
        showLogin();
        delegate_->applicationDidFinishLaunching();
        // The first-run setup sheet over the window is not what these tests look at.
        if (auto* setup = fixture_->presentations().topSheet<ViewController>()) {
            setup->dismissController();
        }
        fixture_->drainMainQueue();
        fixture_->presentations().clear();
        return delegate_->mainController();
    }
    void registerSheet(const std::string& segue) {
        storyboard().registerSegue({segue, "emptySheet", SeguePresentation::sheet});
    }
    Strings toolbarItems(const projectViewController& content) const {
        return content.toolbar()->itemIdentifiers();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        workspace_ = std::make_unique<m2::test::ScopedRecordingWorkspace>();
        library_ = std::make_unique<m2::LibraryManager>();
        m2::registerMainStoryboard(storyboard());
        storyboard().registerController("mainWindowSausage", [this] {
            auto window = std::make_unique<MainWindowController>();
            window->setContentViewController(std::make_unique<projectViewController>(*library_));
            return window;
        });
        storyboard().registerController<FakeLoginWindow>("loginWindow");
        storyboard().setInitialController("loginWindow");
        storyboard().registerController<EmptySheet>("emptySheet");
        delegate_ = std::make_unique<AppDelegate>();
    }
    void cleanup() {
        delegate_.reset();
        fixture_->drainMainQueue();
        library_.reset();
        workspace_.reset();
        fixture_.reset();
        m2::SecurityManager::instance().canceled = false;
    }

    void firstRunOpensTheMainWindowOnceAndRunsTheSetupOnce() {
        registerSheet("showInitialSetupSegue");
        FakeLoginController* login = showLogin();
        delegate_->applicationDidFinishLaunching();

        QVERIFY(delegate_->mainWindowController != nullptr);
        QMainWindow* window = delegate_->mainWindowController->window();
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Morvane 2 Riravevovavi"));
        QVERIFY(!login->window()->isVisible());
        QVERIFY(delegate_->mainController() != nullptr);
        QVERIFY(delegate_->openForAction);
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->terminations(), 0);  // the login closed, but a window is up
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"showInitialSetupSegue"});

        // Coming back (as from the Dock) runs the setup no second time.
        window->hide();
        window->show();
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"showInitialSetupSegue"});
        QCOMPARE(fixture_->terminations(), 0);
    }

    void withAMasterPasswordOnlyTheLoginWindowStays() {
        Settings::instance().setDatabaseSetup(true);
        FakeLoginController* login = showLogin();
        delegate_->applicationDidFinishLaunching();
        QVERIFY(delegate_->mainWindowController == nullptr);
        QVERIFY(login->window()->isVisible());
        QCOMPARE(delegate_->mainController(), nullptr);
    }

    void theCloudNoticeFollowsTheMonitoringSetting_data() {
        QTest::addColumn<bool>("monitoring");
        QTest::newRow("monitoring") << true;
        QTest::newRow("not monitoring") << false;
    }
    void theCloudNoticeFollowsTheMonitoringSetting() {
        QFETCH(bool, monitoring);
        Settings::instance().setMonitorCloudFolders(monitoring);
        projectViewController* content = openMainWindow();
        QCOMPARE(content->cloudSyncNotice->isHidden(), !monitoring);
        // The library is shown in the table from the start: Home, selected in the outline.
        QVERIFY(library_->folderManager.current != nullptr);
        QCOMPARE(library_->folderManager.current->id, m2::FolderManager::home);
        QCOMPARE(content->folderView->selectionModel()->selectedRows().size(), 1);
    }

    void openFileRequests_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("setUp");
        QTest::addColumn<bool>("openForAction");
        QTest::addColumn<QString>("front");  // "login", "about" or "none"
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("refusedWithAlert");

        QTest::newRow("not encrypted")
            << "/d/report.txt" << true << false << "login" << false << false;
        QTest::newRow("encrypted, login in front")
            << "/d/report.m2p" << true << false << "login" << true << false;
        QTest::newRow("name holding .m2p counts")
            << "/d/report.m2p.txt" << true << false << "login" << true << false;
        QTest::newRow("before any master password")
            << "/d/report.m2p" << false << false << "login" << false << false;
        QTest::newRow("main window has appeared")
            << "/d/report.m2p" << true << true << "login" << false << true;
        QTest::newRow("another window in front")
            << "/d/report.m2p" << true << false << "about" << false << false;
        QTest::newRow("no window") << "/d/report.m2p" << true << false << "none" << false << false;
    }
    void openFileRequests() {
        QFETCH(QString, path);
        QFETCH(bool, setUp);
        QFETCH(bool, openForAction);
        QFETCH(QString, front);
        QFETCH(bool, answer);
        QFETCH(bool, refusedWithAlert);

        Settings::instance().setDatabaseSetup(setUp);
        FakeLoginController* login = front == "none" ? nullptr : showLogin();
        if (front == "about") {
            delegate_->OnAbout(nullptr);
        }
        delegate_->openForAction = openForAction;
        if (refusedWithAlert) {
            fixture_->expectAlert("Could not open file", kBusyOpen);
        }

        QCOMPARE(delegate_->application(path.toStdString()), answer);
        const bool encrypted = path.contains(".m2p");
        QCOMPARE(delegate_->commanline, encrypted ? path.toStdString() : std::string());
        if (login != nullptr) {
            QCOMPARE(login->fileToOpen, answer ? path.toStdString() : std::string());
            QCOMPARE(login->openModeUpdates, answer ? 1 : 0);
        }
    }

    void aSecondStartHandsItsPathsToTheRunningOne() {
        Settings::instance().setDatabaseSetup(true);
        FakeLoginController* login = showLogin();
        const auto runtime = m2::platform::privateInstanceFolder();
        QVERIFY2(runtime.ok(), runtime.message.c_str());
        auto claim = m2::platform::ui::SingleInstance::claim(runtime.path, {});
        QCOMPARE(claim.role, m2::platform::ui::SingleInstance::Role::primary);
        claim.instance->setHandler(
            [this](const Strings& paths) { delegate_->openHandedOverFiles(paths); });

        // The real program, started in the same session with a path relative to its folder.
        QProcess second;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(QString::fromStdString(fixture_->home().string()));
        second.start(M2_BINARY_DIR "/morvane2", {"Report.m2p"});
        QVERIFY(second.waitForStarted(10000));
        QVERIFY(fixture_->waitFor([&] { return second.state() == QProcess::NotRunning; }, 30s));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        const std::string expected = (fixture_->home() / "Report.m2p").string();
        QVERIFY(fixture_->waitFor([&] { return login->openModeUpdates == 1; }, 10s));
        QCOMPARE(login->fileToOpen, expected);
    }

    void menusAndToolbarFollowTheView() {
        registerSheet("notesSetupSegue");
        const auto notesFile = fixture_->documents() / "Morvane" / "M2_SecureNotes.m2n";
        std::filesystem::create_directories(notesFile.parent_path());
        Settings::instance().setNotesPath(notesFile.string());
        projectViewController* content = openMainWindow();
        QVERIFY(content != nullptr);
        const Strings library = {"addFile",
                                 "addFolder",
                                 "delFiles",
                                 "hline",
                                 "encrypt",
                                 "decrypt",
                                 "hline",
                                 "shred",
                                 "hline",
                                 "cloud",
                                 "hline",
                                 "noteView",
                                 "hline",
                                 "openFile",
                                 "hline",
                                 "logoff",
                                 "NSToolbarFlexibleSpaceItem",
                                 "settings",
                                 "hline",
                                 "help"};
        const Strings notes = {
            "addNote",     "deleteNote", "editNote", "hline",
            "libraryView", "hline",      "logoff",   "NSToolbarFlexibleSpaceItem",
            "settings",    "hline",      "help"};
        QCOMPARE(toolbarItems(*content), library);
        QVERIFY(!menuShown(1001));

        // Without a notes file the setup sheet comes instead, and the view stays.
        content->showNotes();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"notesSetupSegue"});
        QCOMPARE(toolbarItems(*content), library);

        std::ofstream(notesFile) << "sealed";
        m2::platform::ui::itemWithTag(*Application::instance().mainMenu(), 1004)->setVisible(false);
        content->toolbar()->actionForIdentifier("noteView")->trigger();
        QVERIFY(content->librarySplitView->isHidden());
        QVERIFY(!content->notesView->isHidden());
        QCOMPARE(toolbarItems(*content), notes);
        QCOMPARE(content->toolbarOrganiser.viewType, ToolbarOrganiser::ViewType::notes);
        QVERIFY(menuShown(1001));
        QVERIFY(!menuShown(1002));
        QVERIFY(!menuShown(1003));
        QVERIFY(!menuShown(1004));  // the notes view leaves it as it was
        content->showNotes();
        QCOMPARE(toolbarItems(*content), notes);  // rebuilt, never doubled

        content->toolbar()->actionForIdentifier("libraryView")->trigger();
        QVERIFY(!content->librarySplitView->isHidden());
        QVERIFY(content->notesView->isHidden());
        QCOMPARE(toolbarItems(*content), library);
        QCOMPARE(content->toolbarOrganiser.viewType, ToolbarOrganiser::ViewType::library);
        QVERIFY(!menuShown(1001));
        QVERIFY(menuShown(1002));
        QVERIFY(menuShown(1003));
        QVERIFY(menuShown(1004));
    }

    void toolbarCatalogue() {
        using Item = ToolbarOrganiser::ToolbarItems;
        QCOMPARE(ToolbarOrganiser::asString(Item::deleteFiles), std::string("delFiles"));
        QCOMPARE(ToolbarOrganiser::asString(Item::flexiSpace),
                 std::string("NSToolbarFlexibleSpaceItem"));
        for (const Item separator :
             {Item::hLine1, Item::hLine2, Item::hLine3, Item::hLine4, Item::hLine5, Item::hLine6}) {
            QCOMPARE(ToolbarOrganiser::asString(separator), std::string("hline"));
        }
        QCOMPARE(ToolbarOrganiser::toolbarItemFromRawValue(23), std::optional(Item::help));
        QCOMPARE(ToolbarOrganiser::toolbarItemFromRawValue(24), std::nullopt);
        QCOMPARE(ToolbarOrganiser::toolbarItemFromRawValue(-1), std::nullopt);
        QCOMPARE(ToolbarOrganiser::viewTypeFromRawValue(1),
                 std::optional(ToolbarOrganiser::ViewType::notes));
        QCOMPARE(ToolbarOrganiser::viewTypeFromRawValue(2), std::nullopt);

        // Without a toolbar only the view is recorded.
        ToolbarOrganiser organiser;
        QCOMPARE(organiser.viewType, ToolbarOrganiser::ViewType::library);
        organiser.noteView(nullptr);
        QCOMPARE(organiser.viewType, ToolbarOrganiser::ViewType::notes);
    }

    void settingsAreRefusedWhileAProcessRuns() {
        registerSheet("showSettingsSegue");
        projectViewController* content = openMainWindow();

        content->setCurrentState(CurrentProcess::encrypting);
        fixture_->expectAlert("Could not show settings.", asString(CurrentProcess::encrypting));
        content->showSettings();
        content->setCurrentState(CurrentProcess::refreshingCloud);
        fixture_->expectAlert("Could not show settings.",
                              "Morvane 2 is currently refreshing your Cloud files, please wait.");
        menuItem("Preferences…")->trigger();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{});

        content->setCurrentState(CurrentProcess::idel);
        content->toolbar()->actionForIdentifier("settings")->trigger();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"showSettingsSegue"});
    }

    void progressPanelLevels() {
        projectViewController* content = openMainWindow();
        const auto hidden = [content] {
            return content->spinningProgress->isHidden() && content->progressLabel->isHidden() &&
                   content->progressBar2->isHidden() && content->progressLabel2->isHidden() &&
                   content->progressContainer->isHidden();
        };
        QVERIFY(hidden());

        content->showProgress("Refreshing Cloud...");
        QCOMPARE(content->progressLabel->text(), QString("Refreshing Cloud..."));
        QVERIFY(!content->progressLabel->isHidden());
        QVERIFY(!content->spinningProgress->isHidden());
        QVERIFY(content->progressContainer->isHidden());
        content->stopProgress();
        QVERIFY(hidden());
        QCOMPARE(content->progressLabel->text(), QString());

        // A batch of no items: an empty bar, not a busy one.
        content->setCurrentState(CurrentProcess::encrypting);
        content->showProgressWithLevel("Encrypting", 0);
        QCOMPARE(content->progressLabel->text(), QString("Encrypting"));
        QCOMPARE(content->progressTitle->text(), QString("Encrypting files..."));
        QVERIFY(!content->progressImage->pixmap().isNull());
        QCOMPARE(content->progressIndicator()->maxValue(), 0.0);
        QVERIFY(content->progressBar2->maximum() > content->progressBar2->minimum());
        QCOMPARE(content->progressBar2->value(), content->progressBar2->minimum());
        QVERIFY(!content->progressBar2->isHidden());
        QVERIFY(!content->progressLabel2->isHidden());
        QVERIFY(!content->progressContainer->isHidden());

        content->showProgressWithLevel("Encrypting", 4);
        QCOMPARE(content->progressIndicator()->doubleValue(), 0.0);
        content->progressIndicator()->incrementBy(1);
        QCOMPARE(content->progressBar2->value() * 4, content->progressBar2->maximum());
        content->stopProgress();
        QVERIFY(hidden());
        QCOMPARE(content->currentState(), CurrentProcess::encrypting);  // the caller resets it

        content->setCurrentState(CurrentProcess::changePassword);  // a process without icon
        content->showProgressWithLevel("Changing", 2);
        QCOMPARE(content->progressTitle->text(), QString("Changing password"));
        QVERIFY(content->progressImage->pixmap().isNull());
    }

    void theWindowFrameIsKeptUnderWinPos() {
        auto first = storyboard().instantiate<MainWindowController>("mainWindowSausage");
        first->window()->setGeometry(QRect(10, 50, 780, 480));
        QCOMPARE(first->windowFrameAutosaveName(), std::string("win-pos"));
        first->showWindow();
        first->close();
        first.reset();
        fixture_->drainMainQueue();

        auto second = storyboard().instantiate<MainWindowController>("mainWindowSausage");
        QCOMPARE(second->window()->geometry(), QRect(10, 50, 780, 480));
    }

    // The main window's own size (1100x680) is larger than the test's 800x600 screen, as it
    // is at a scale of 1.5 on a 1600x1000 one: it opens within the screen's available area,
    // also when a frame saved on a larger screen is restored.
    void theMainWindowOpensWithinTheScreen() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        for (const bool saved : {false, true}) {
            auto main = storyboard().instantiate<MainWindowController>("mainWindowSausage");
            if (saved) {
                main->window()->setGeometry(QRect(600, 400, 1100, 680));
            }
            main->showWindow();
            fixture_->drainMainQueue();
            QVERIFY2(area.contains(main->window()->frameGeometry()), saved ? "saved" : "new");
            main->close();
        }
    }

    void quittingIsRefusedWhileAProcessRuns() {
        projectViewController* content = openMainWindow();
        const std::string busy = asString(CurrentProcess::encrypting);
        content->setCurrentState(CurrentProcess::encrypting);

        fixture_->expectAlert("Warning", busy);
        menuItem("Quit Morvane 2")->trigger();
        QCOMPARE(menuItem("Quit Morvane 2")->shortcut(), QKeySequence("Ctrl+Q"));
        fixture_->expectAlert("Warning", busy);
        delegate_->mainWindowController->window()->close();
        fixture_->drainMainQueue();
        QVERIFY(delegate_->mainWindowController->window()->isVisible());
        QCOMPARE(fixture_->terminations(), 0);

        // The end of the session cannot be refused: the batch is asked to stop.
        QVERIFY(delegate_->applicationWillEndSession());
        QVERIFY(m2::SecurityManager::instance().canceled);

        content->setCurrentState(CurrentProcess::idel);
        QVERIFY(!delegate_->applicationWillEndSession());
        delegate_->OnQuit(nullptr);
        QCOMPARE(fixture_->terminations(), 1);
        delegate_->mainWindowController->window()->close();  // the last window: quits too
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->terminations(), 2);
    }

    void editingANoteNeedsExactlyOneSelected() {
        registerSheet("editNoteSeque");
        projectViewController* content = openMainWindow();
        auto grid = std::make_shared<m2::test::MemoryCollectionView>();
        content->noteManager.notesView = grid;

        fixture_->expectAlert("Please select a single note to edit", std::nullopt);
        delegate_->OnEditNote(nullptr);
        grid->select({{0, 0}, {0, 1}});
        fixture_->expectAlert("Please select a single note to edit", std::nullopt);
        delegate_->OnViewNote(nullptr);
        QCOMPARE(fixture_->presentations().refusedSegues(),
                 (Strings{"editNoteSeque", "editNoteSeque"}));

        grid->select({{0, 1}});
        delegate_->OnViewNote(nullptr);
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"editNoteSeque"});
    }

    void noPathCrashesWithoutAWindowOrItsController() {
        // No window at all: every menu action does nothing; quitting is allowed.
        for (auto action :
             {&AppDelegate::OnNewLibraryFolder, &AppDelegate::OnAddLibraryFile,
              &AppDelegate::AddFolderContents, &AppDelegate::OnSel,
              &AppDelegate::OnDeleteSelectedFiles, &AppDelegate::OnDeleteSelectedFolder,
              &AppDelegate::OnAddNote, &AppDelegate::OnEditNote, &AppDelegate::OnViewNote,
              &AppDelegate::OnDeleteNote, &AppDelegate::OnEncrypt, &AppDelegate::OnDecrypt,
              &AppDelegate::OnShred, &AppDelegate::OnPreferences}) {
            ((*delegate_).*action)(nullptr);
        }
        QCOMPARE(delegate_->mainController(), nullptr);
        QVERIFY(!delegate_->applicationWillEndSession());
        delegate_->openHandedOverFiles({});
        delegate_->OnQuit(nullptr);
        QCOMPARE(fixture_->terminations(), 1);

        // A main window whose content is not the main controller: its toolbar does nothing.
        MainWindowController bare;
        (void)bare.window();
        for (const std::string& identifier : bare.toolBar()->itemIdentifiers()) {
            if (QAction* item = bare.toolBar()->actionForIdentifier(identifier)) {
                item->trigger();
            }
        }
        QVERIFY(bare.windowShouldClose());
        bare.login();
        QCOMPARE((*workspace_)->urls(), Strings{AppDelegate::helpPage});

        // A main controller without a window: the views switch, nothing else happens.
        projectViewController loose(*library_);
        loose.loadViewIfNeeded();
        loose.showNotes();
        loose.showLibrary();
        loose.showSettings();
        QCOMPARE(loose.toolbar(), nullptr);
        QVERIFY(loose.windowShouldClose());
    }

    void aboutShowsTheVersion_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("line");
        QTest::newRow("project version") << "2.0"
                                         << "Version: 2.0";
        QTest::newRow("none") << ""
                              << "Version: ";
    }
    void aboutShowsTheVersion() {
        QFETCH(QString, version);
        QFETCH(QString, line);
        const QString before = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(version);
        delegate_->OnAbout(nullptr);
        auto* about = dynamic_cast<m2::AboutViewController*>(
            Application::instance().mainWindowContentViewController());
        QCoreApplication::setApplicationVersion(before);
        QVERIFY(about != nullptr);
        QCOMPARE(about->versionLabel->text(), line);
        if (!version.isEmpty()) {
            const auto folder = std::filesystem::path(M2_BINARY_DIR) / "screenshots";
            std::filesystem::create_directories(folder);
            QVERIFY(about->window()->grab().save(
                QString::fromStdString((folder / "about_window.png").string())));
        }
        about->OnViewHelp(nullptr);
        QCOMPARE((*workspace_)->urls(), Strings{AppDelegate::helpPage});
    }

    void aboutOpensCentredOnTheMainWindowAndEscapeClosesIt() {
        QWidget* main = openMainWindow()->window();
        // Away from the screen's centre, so that centring on the screen would show.
        const QRect screen = main->screen()->availableGeometry();
        main->setGeometry(screen.left() + 20, screen.top() + 20, screen.width() / 2 + 160,
                          screen.height() / 2 + 120);
        QApplication::processEvents();

        delegate_->OnAbout(nullptr);
        auto* about = dynamic_cast<m2::AboutViewController*>(
            Application::instance().mainWindowContentViewController());
        QVERIFY(about != nullptr);
        const QPointer<QWidget> window = about->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint offset = window->frameGeometry().center() - main->frameGeometry().center();
        QVERIFY2(std::abs(offset.x()) <= 2 && std::abs(offset.y()) <= 2,
                 qPrintable(QString("the About window is %1,%2 off the main window's centre")
                                .arg(offset.x())
                                .arg(offset.y())));
        QVERIFY(main->frameGeometry().contains(window->frameGeometry()));
        const auto folder = std::filesystem::path(M2_BINARY_DIR) / "screenshots";
        std::filesystem::create_directories(folder);
        QVERIFY(main->screen()->grabWindow(0).save(
            QString::fromStdString((folder / "about_over_main_window.png").string())));

        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(window == nullptr || !window->isVisible());
        QVERIFY(main->isVisible());
    }
};

M2_GUI_TEST_MAIN(MainApplicationTest)
#include "app_delegate_gui_test.moc"
