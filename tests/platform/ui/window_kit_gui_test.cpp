#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QToolBar>
#include <QWidgetAction>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/library/CloudType.h"
#include "app/services/CurrentProcess.h"
#include "app/services/PasswordStrength.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/Menus.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"

using m2::platform::ui::Application;
using m2::platform::ui::SeguePresentation;
using m2::platform::ui::Storyboard;
using m2::platform::ui::StoryboardSegue;
using m2::platform::ui::Toolbar;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;

namespace {

std::vector<std::string> trace;

// A sheet that writes each step of its life into the trace.
class TracedSheet : public ViewController {
  public:
    std::string input;  // set by the presenter's prepareForSegue
    std::function<void()> onAppear;

    void viewDidLoad() override { trace.push_back("load:" + input); }
    void viewWillAppear() override { trace.push_back("willAppear"); }
    void viewDidAppear() override {
        trace.push_back("didAppear");
        if (onAppear) {
            onAppear();
        }
    }
    void viewWillDisappear() override { trace.push_back("willDisappear"); }
};

class OtherSheet : public ViewController {};

// The content of the test window: performs segues and traces the questions it is asked.
class SourceController : public ViewController {
  public:
    bool allow = true;
    bool destinationWasLoaded = true;

    bool shouldPerformSegueWithIdentifier(const std::string& identifier, QObject*) override {
        trace.push_back("should:" + identifier);
        return allow;
    }
    void prepareForSegue(StoryboardSegue& segue, QObject*) override {
        trace.push_back("prepare:" + segue.identifier());
        if (auto* sheet = dynamic_cast<TracedSheet*>(segue.destinationController())) {
            destinationWasLoaded = sheet->isViewLoaded();
            sheet->input = "given";
        }
    }
};

}  // namespace

class WindowKitTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<Storyboard> board_;
    std::unique_ptr<WindowController> window_;
    SourceController* source_ = nullptr;

    void drain() { fixture_->drainMainQueue(); }

    std::unique_ptr<WindowController> makeWindow() {
        auto controller = board_->instantiate<WindowController>("window");
        controller->setContentViewController(board_->instantiate<SourceController>("source"));
        return controller;
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        trace.clear();
        board_ = std::make_unique<Storyboard>("Test");
        board_->registerController<WindowController>("window");
        board_->registerController<SourceController>("source");
        board_->registerController<TracedSheet>("traced");
        board_->registerController<OtherSheet>("other");
        board_->registerSegue({"tracedSegue", "traced", SeguePresentation::sheet});
        board_->registerSegue({"modalSegue", "traced", SeguePresentation::modalWindow});
        board_->registerSegue({"otherSegue", "other", SeguePresentation::sheet});
        board_->registerSegue({"windowSegue", "window", SeguePresentation::show});
        window_ = makeWindow();
        source_ = static_cast<SourceController*>(window_->contentViewController());
        window_->showWindow();
    }
    void cleanup() {
        window_.reset();
        fixture_.reset();
        board_.reset();
    }

    void segueAsksThenPreparesThenLoadsAndPresents() {
        source_->performSegueWithIdentifier("tracedSegue", nullptr);
        const std::vector<std::string> expected{"should:tracedSegue", "prepare:tracedSegue",
                                                "load:given", "willAppear", "didAppear"};
        QCOMPARE(trace, expected);
        QVERIFY(!source_->destinationWasLoaded);

        const auto presented = source_->presentedViewControllers();
        QCOMPARE(presented.size(), std::size_t(1));
        auto* dialog = qobject_cast<QDialog*>(presented[0]->window());
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(presented[0]->isSheet());
        QCOMPARE(presented[0]->presentingController(), source_);
        // Titled and closable at a fixed size: no minimise or maximise button.
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        // A sheet never becomes the main window.
        QCOMPARE(Application::instance().mainWindow(), window_->window());
        QCOMPARE(Application::instance().mainWindowContentViewController(), source_);
    }

    void modalWindowSegueShowsAnApplicationModalWindow() {
        source_->performSegueWithIdentifier("modalSegue", nullptr);
        const auto presented = source_->presentedViewControllers();
        QCOMPARE(presented.size(), std::size_t(1));
        QVERIFY(!presented[0]->isSheet());
        QCOMPARE(presented[0]->window()->windowModality(), Qt::ApplicationModal);
        QVERIFY(presented[0]->window()->isVisible());
    }

    void refusedSeguePreparesAndPresentsNothing() {
        source_->allow = false;
        source_->performSegueWithIdentifier("tracedSegue", nullptr);
        QCOMPARE(trace, std::vector<std::string>{"should:tracedSegue"});
        QVERIFY(source_->presentedViewControllers().empty());
        drain();
        QCOMPARE(Application::instance().visibleWindows().size(), std::size_t(1));
    }

    void wrongDestinationClassIsCaught() {
#ifdef NDEBUG
        StoryboardSegue segue("otherSegue", source_, source_, SeguePresentation::sheet);
        QCOMPARE(segue.destinationAs<TracedSheet>(), nullptr);
        QCOMPARE(segue.destinationAs<SourceController>(), source_);
#else
        QSKIP("fatal in debug builds");
#endif
    }

    void dismissalIsIdempotentAndDeletesLater() {
        source_->performSegueWithIdentifier("tracedSegue", nullptr);
        QPointer<ViewController> sheet = source_->presentedViewControllers().at(0);
        QPointer<QWidget> dialog = sheet->window();
        trace.clear();
        sheet->dismissController();
        sheet->dismissController();
        source_->dismissViewController(sheet);
        QCOMPARE(trace, std::vector<std::string>{"willDisappear"});
        QVERIFY(!dialog->isVisible());
        QVERIFY(sheet != nullptr);  // still usable by the code that dismissed it
        QVERIFY(source_->presentedViewControllers().empty());
        drain();
        QVERIFY(sheet == nullptr);
        QVERIFY(dialog == nullptr);
    }

    void closeButtonOfASheetDismissesIt() {
        source_->performSegueWithIdentifier("tracedSegue", nullptr);
        QPointer<ViewController> sheet = source_->presentedViewControllers().at(0);
        QVERIFY(sheet->window()->close());
        QVERIFY(!sheet->isPresented());
        drain();
        QVERIFY(sheet == nullptr);
    }

    void stackedSheetsDismissInEitherOrder_data() {
        QTest::addColumn<QString>("order");
        QTest::newRow("lower first") << "lower";
        QTest::newRow("upper first") << "upper";
        QTest::newRow("lower from the upper's code") << "fromUpper";
    }
    void stackedSheetsDismissInEitherOrder() {
        QFETCH(QString, order);
        source_->performSegueWithIdentifier("tracedSegue", nullptr);
        QPointer<ViewController> lower = source_->presentedViewControllers().at(0);
        auto upperMade = std::make_unique<TracedSheet>();
        TracedSheet* upperRaw = upperMade.get();
        if (order == "fromUpper") {
            // The upper sheet's own code dismisses the lower one, then goes on using itself.
            upperRaw->onAppear = [upperRaw, lower] {
                lower->dismissController();
                upperRaw->input = "still here";
                upperRaw->dismissController();
            };
        }
        QPointer<ViewController> upper = lower->presentViewControllerAsSheet(std::move(upperMade));
        // The upper sheet hangs on the window, not on the lower sheet.
        QVERIFY(upper->window()->parentWidget() == window_->window());
        if (order == "lower") {
            lower->dismissController();
            drain();
            QVERIFY(upper != nullptr && upper->window()->isVisible());
            upper->dismissController();
        } else if (order == "upper") {
            upper->dismissController();
            drain();
            QVERIFY(lower != nullptr && lower->window()->isVisible());
            lower->dismissController();
        }
        drain();
        QVERIFY(lower == nullptr);
        QVERIFY(upper == nullptr);
        QVERIFY(window_->window()->isVisible());
    }

    void quitsOnlyWhenNoWindowIsVisibleATurnLater_data() {
        QTest::addColumn<bool>("showAnother");
        QTest::addColumn<bool>("rule");
        QTest::addColumn<int>("terminations");
        QTest::newRow("close then show another") << true << true << 0;
        QTest::newRow("close the last window") << false << true << 1;
        QTest::newRow("rule answers false") << false << false << 0;
    }
    void quitsOnlyWhenNoWindowIsVisibleATurnLater() {
        QFETCH(bool, showAnother);
        QFETCH(bool, rule);
        QFETCH(int, terminations);
        Application::instance().setTerminatesAfterLastWindowClosed([rule] { return rule; });
        auto other = makeWindow();
        window_->close();
        if (showAnother) {
            other->showWindow();
        }
        QCOMPARE(fixture_->terminations(),
                 0);  // never decided inside the step that closed the window
        drain();
        QCOMPARE(fixture_->terminations(), terminations);
        if (showAnother) {
            QCOMPARE(Application::instance().mainWindow(), other->window());
            other->close();
            drain();
            QCOMPARE(fixture_->terminations(), 1);
        }
    }

    void windowShownBySegueLivesUntilItCloses() {
        source_->performSegueWithIdentifier("windowSegue", nullptr);
        QPointer<WindowController> shown = Application::instance().mainWindowController();
        QVERIFY(shown != nullptr && shown != window_.get());
        QVERIFY(shown->window()->isVisible());
        QCOMPARE(fixture_->presentations().performedSegues(),
                 std::vector<std::string>{"windowSegue"});
        shown->close();
        drain();
        QVERIFY(shown == nullptr);
        QCOMPARE(Application::instance().mainWindowController(), window_.get());
    }

    void windowReopensWhereItWasLeft() {
        auto first = makeWindow();
        first->setWindowFrameAutosaveName("win-pos");
        first->showWindow();
        first->window()->setGeometry(QRect(140, 90, 640, 420));
        first->close();
        auto second = makeWindow();
        second->setWindowFrameAutosaveName("win-pos");
        QCOMPARE(second->window()->geometry(), QRect(140, 90, 640, 420));
        auto unnamed = makeWindow();
        QVERIFY(unnamed->window()->geometry() != QRect(140, 90, 640, 420));
    }

    void mainWindowIsTheLastActivatedVisibleOne() {
        auto other = makeWindow();
        other->showWindow();
        QCOMPARE(Application::instance().mainWindow(), other->window());
        window_->showWindow();
        QCOMPARE(Application::instance().mainWindow(), window_->window());
        window_->close();
        QCOMPARE(Application::instance().mainWindow(), other->window());
        QCOMPARE(Application::instance().mainWindowController(), other.get());
        other->close();
        QCOMPARE(Application::instance().mainWindow(), nullptr);
    }

    void viewLifeCycleFollowsTheWindow() {
        class Content : public ViewController {
          public:
            std::vector<std::string> steps;
            void viewDidLoad() override { steps.push_back("load"); }
            void viewWillAppear() override { steps.push_back("willAppear"); }
            void viewDidAppear() override { steps.push_back("didAppear"); }
            void viewWillDisappear() override { steps.push_back("willDisappear"); }
        };
        WindowController controller;
        auto content = std::make_unique<Content>();
        Content* raw = content.get();
        controller.setContentViewController(std::move(content));
        QVERIFY(!raw->isViewLoaded());
        controller.showWindow();
        controller.window()->hide();
        controller.showWindow();
        QVERIFY(controller.window()->close());
        const std::vector<std::string> expected{"load",          "willAppear", "didAppear",
                                                "willDisappear", "willAppear", "didAppear",
                                                "willDisappear"};
        QCOMPARE(raw->steps, expected);
    }

    void toolbarListsIdentifiersAfterInsertsAndRemovals() {
        QToolBar bar;
        Toolbar toolbar(&bar);
        int pressed = 0;
        toolbar.defineItem("addFile", "Add File", "addFile", [&] { ++pressed; });
        toolbar.defineItem("settings", "Settings", "settings", {});
        const std::vector<std::string> wanted{"addFile", "hline", "NSToolbarFlexibleSpaceItem",
                                              "settings"};
        for (int round = 0; round < 2; ++round) {
            while (toolbar.count() > 0) {
                toolbar.removeItemAtIndex(0);
            }
            QVERIFY(bar.actions().isEmpty());
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                QVERIFY(toolbar.insertItemWithItemIdentifier(wanted[i], i));
            }
            QCOMPARE(toolbar.itemIdentifiers(), wanted);
        }
        QVERIFY(!toolbar.insertItemWithItemIdentifier("noSuchItem", 0));
        QVERIFY(toolbar.insertItemWithItemIdentifier("settings", 1));
        QVERIFY(toolbar.insertItemWithItemIdentifier("hline", 99));  // past the end: appended
        toolbar.removeItemAtIndex(99);
        QCOMPARE(toolbar.itemIdentifiers(),
                 (std::vector<std::string>{"addFile", "settings", "hline",
                                           "NSToolbarFlexibleSpaceItem", "settings", "hline"}));
        // The bar shows the items in the same order.
        QCOMPARE(bar.actions().size(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(bar.actions()[i], toolbar.actionAt(static_cast<std::size_t>(i)));
        }
        QVERIFY(bar.actions()[2]->isSeparator());
        auto* spacer = qobject_cast<QWidgetAction*>(bar.actions()[3]);
        QVERIFY(spacer != nullptr);
        QCOMPARE(spacer->defaultWidget()->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        toolbar.actionForIdentifier("addFile")->trigger();
        QCOMPARE(pressed, 1);
        QVERIFY(!toolbar.actionForIdentifier("addFile")->icon().isNull());
    }

    void menuItemsAreFoundByTag() {
        QMenuBar bar;
        QMenu* file = bar.addMenu("File");
        QMenu* notes = bar.addMenu("Notes");
        QMenu* library = bar.addMenu("Library");
        m2::platform::ui::setMenuItemTag(*notes->menuAction(), 1001);
        m2::platform::ui::setMenuItemTag(*library->menuAction(), 1002);
        m2::platform::ui::setMenuItemTag(*file->addAction("Nested"), 1003);
        QCOMPARE(m2::platform::ui::indexOfItemWithTag(bar, 1001), 1);
        QCOMPARE(m2::platform::ui::indexOfItemWithTag(bar, 1002), 2);
        QCOMPARE(m2::platform::ui::itemWithTag(bar, 1001), notes->menuAction());
        // Only top-level items count: a tagged item inside a menu is not found on the bar.
        QCOMPARE(m2::platform::ui::indexOfItemWithTag(bar, 1003), -1);
        QCOMPARE(m2::platform::ui::itemWithTag(bar, 1004), nullptr);
    }

    void everyImageTheWindowsNameLoads() {
        std::vector<std::string> names{
            // folders and library cells
            "home-16", "favorite-16", "favorite-off-16", "lock-16", "documents-16", "folder-16",
            // placeholders over an empty library
            "empty", "emptyHome", "emptyFav", "emptyEncrypted", "emptywithFilter",
            // report outcomes
            "ok_button", "warning", "delete_button_error",
            // note categories and the editor
            "note", "note-blue", "note-lightblue", "note-green", "note-orange", "note-pink",
            "note-purple", "note-silver", "note-red", "note-darkblue", "note-emerald",
            "editnote-32", "newnote-32",
            // toolbar items
            "addFile", "addFolder", "delFiles", "encrypt", "decrypt", "shred", "cloud", "addNote",
            "deleteNote", "editNote", "libraryView", "noteView", "logoff", "openFile", "settings",
            "help",
            // the program and its drop target
            "morvane2", "dropfiles"};
        for (const auto process : {m2::CurrentProcess::idel, m2::CurrentProcess::refreshingCloud,
                                   m2::CurrentProcess::shredding, m2::CurrentProcess::encrypting,
                                   m2::CurrentProcess::decrypting, m2::CurrentProcess::addingFiles,
                                   m2::CurrentProcess::changePassword}) {
            if (!m2::progressIcon(process).empty()) {
                names.push_back(m2::progressIcon(process));
            }
        }
        for (const auto cloud : m2::CloudType::allCases) {
            names.push_back(m2::CloudType(cloud).image());
        }
        for (int raw = 1; raw <= 7; ++raw) {
            names.emplace_back(m2::image(*m2::passwordStrengthValue(raw)));
        }
        for (const std::string& name : names) {
            const QImage image = m2::platform::ui::imageNamed(name);
            QVERIFY2(!image.isNull(), name.c_str());
            // Something is drawn: not every pixel is transparent.
            bool drawn = false;
            for (int y = 0; y < image.height() && !drawn; ++y) {
                for (int x = 0; x < image.width() && !drawn; ++x) {
                    drawn = qAlpha(image.pixel(x, y)) != 0;
                }
            }
            QVERIFY2(drawn, name.c_str());
            QVERIFY2(!m2::platform::ui::iconNamed(name).isNull(), name.c_str());
        }
        // A contact sheet of every picture, to look at.
        const auto all = m2::platform::ui::imageNames();
        QImage sheet(8 * 72, static_cast<int>((all.size() + 7) / 8) * 72, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const QRect cell(static_cast<int>(i % 8) * 72, static_cast<int>(i / 8) * 72, 72, 72);
            const QSize size =
                m2::platform::ui::imageSize(all[i]).scaled(48, 48, Qt::KeepAspectRatio);
            painter.drawImage(cell.x() + (72 - size.width()) / 2, cell.y() + 2,
                              m2::platform::ui::imageNamed(all[i], size));
            painter.drawText(cell.adjusted(0, 52, 0, 0), Qt::AlignHCenter,
                             QString::fromStdString(all[i]));
        }
        painter.end();
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(sheet.save(M2_BINARY_DIR "/screenshots/images.png"));

        for (const std::string unknown :
             {"no-such-image", "", "../images/lock-16", "lock-16.svg"}) {
            QVERIFY2(!m2::platform::ui::hasImageNamed(unknown), unknown.c_str());
            QVERIFY(m2::platform::ui::imageNamed(unknown).isNull());
            QVERIFY(m2::platform::ui::pixmapNamed(unknown).isNull());
            QVERIFY(m2::platform::ui::iconNamed(unknown).isNull());
        }
    }
};

M2_GUI_TEST_MAIN(WindowKitTest)
#include "window_kit_gui_test.moc"
