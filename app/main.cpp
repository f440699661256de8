// The main application: one per user. A later start hands the paths it was given to the
// running one and ends.
#include <unistd.h>

#include <QApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/services/Settings.h"
#include "app/ui/AppDelegate.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/projectViewController.h"
#include "platform/AtomicWrite.h"
#include "platform/Dispatch.h"
#include "platform/EndSignals.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/ProcessHardening.h"
#include "platform/WorkingFolders.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/QtAlertPresenter.h"
#include "platform/ui/QtMainQueue.h"
#include "platform/ui/QtOpenPanel.h"
#include "platform/ui/QtRunLoop.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace {

using m2::platform::ui::SingleInstance;

// For the start-up benchmark: the descriptor named by this variable gets one byte once the
// first window is on screen, and the program then quits.
constexpr const char* kReportFirstWindowVariable = "M2_REPORT_FIRST_WINDOW_FD";

class FirstWindowReporter final : public QObject {
  public:
    explicit FirstWindowReporter(int fd) : fd_(fd) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWindow*>(watched);
        if (fd_ >= 0 && event->type() == QEvent::Expose && window != nullptr &&
            window->isExposed()) {
            const char byte = '1';
            (void)::write(fd_, &byte, 1);
            ::close(fd_);
            fd_ = -1;
            QTimer::singleShot(0, qApp,
                               [] { m2::platform::ui::Application::instance().terminate(); });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    int fd_;
};

std::vector<std::string> pathsToOpen() {
    std::vector<std::string> paths;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        paths.push_back(arguments[i].toStdString());
    }
    return paths;
}

// Waits for the workers the end asked to stop (a batch finishes its entry, a change of the
// master password its document), then for what they posted back, so none of them outlives
// main or meets its statics being destroyed. The main thread's events go on meanwhile: a
// worker may be waiting on it.
void waitForWorkers(m2::AppDelegate& delegate) {
    const auto events = [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    using Clock = std::chrono::steady_clock;
    for (auto told = Clock::now();;) {
        if (m2::platform::Dispatch::waitForWorkers(std::chrono::seconds(10), events)) {
            break;
        }
        std::fprintf(
            stderr, "Waiting for the work in progress to stop (%lld s)\n",
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - told).count()));
    }
    // What they posted back ends the process in hand (the library saved, the state idle).
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        events();
        m2::projectViewController* controller = delegate.madeMainController();
        if ((controller == nullptr || controller->currentState() == m2::CurrentProcess::idel) &&
            m2::platform::Dispatch::waitForWorkers(std::chrono::milliseconds(0))) {
            break;
        }
    }
    events();
}

}  // namespace

int main(int argc, char** argv) {
#ifdef M2_HARDEN
    // Before anything is read, a secret least of all.
    if (!m2::platform::protectProcessMemory()) {
        std::perror("morvane2: could not protect its memory");
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName("morvane2");
    QApplication::setApplicationVersion(M2_VERSION);
    QGuiApplication::setDesktopFileName("morvane2");
    QApplication::setWindowIcon(m2::platform::ui::iconNamed("morvane2"));
    // Not Qt's display name: the window system would append that to every title.
    m2::platform::ui::Application::instance().setDisplayName("Morvane 2 Riravevovavi");

    // One instance writes the catalogue; a later start hands its paths over.
    const std::vector<std::string> paths = pathsToOpen();
    std::unique_ptr<SingleInstance> instance;
    const auto runtime = m2::platform::privateInstanceFolder();
    if (!runtime) {
        std::fprintf(stderr, "%s\n", runtime.message.c_str());
    } else {
        auto claim = SingleInstance::claim(runtime.path, paths);
        switch (claim.role) {
            case SingleInstance::Role::handedOver:
                return 0;
            case SingleInstance::Role::failed:
                std::fprintf(stderr, "%s\n", claim.message.c_str());
                return 1;
            case SingleInstance::Role::unguarded:
            case SingleInstance::Role::primary:
                if (!claim.message.empty()) {
                    std::fprintf(stderr, "%s\n", claim.message.c_str());
                }
                instance = std::move(claim.instance);
                break;
        }
    }

    // Only the one instance gets here: plain copies of the notes file or of a re-keying that a
    // crash left behind are still encrypted elsewhere, so they go.
    (void)m2::platform::removeStaleWorkingFolders();
    (void)m2::platform::removeLeftoverTemporaries(m2::platform::documentsFolder() / "Morvane");
    const auto mainQueue = m2::platform::ui::QtMainQueue::install();
    const auto runLoop = m2::platform::ui::QtRunLoop::install();
    const auto timers = m2::platform::ui::QtTimerScheduler::install();
    const auto alerts = m2::platform::ui::QtAlertPresenter::install();
    (void)m2::platform::setOpenPanel(std::make_shared<m2::platform::ui::QtOpenPanel>());

    std::unique_ptr<FirstWindowReporter> reporter;
    if (auto fd = m2::platform::environmentValue(kReportFirstWindowVariable)) {
        reporter = std::make_unique<FirstWindowReporter>(std::atoi(fd->c_str()));
        app.installEventFilter(reporter.get());
    }

    auto& storyboard = m2::platform::ui::Storyboard::main();
    m2::registerMainStoryboard(storyboard);
    m2::AppDelegate delegate;
    delegate.applicationWillFinishLaunching();

    auto& application = m2::platform::ui::Application::instance();
    auto initial = storyboard.instantiateInitialController();
    if (auto* window = dynamic_cast<m2::platform::ui::WindowController*>(initial.get())) {
        initial.release();
        application.adopt(std::unique_ptr<m2::platform::ui::WindowController>(window))
            ->showWindow();
    } else if (m2::Settings::instance().DatabaseSetup()) {
        std::fprintf(stderr, "Morvane 2 Riravevovavi has no login window in this build.\n");
        return 1;
    }

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&delegate](QSessionManager&) { (void)delegate.applicationWillEndSession(); });
    QTimer::singleShot(0, &app, [&] {
        delegate.applicationDidFinishLaunching();
        for (const auto& path : paths) {
            (void)delegate.application(path);
        }
        if (instance != nullptr) {
            instance->setHandler([&delegate](const std::vector<std::string>& handed) {
                delegate.openHandedOverFiles(handed);
            });
        }
        // Once the first window is on its way, the catalogue is read while the password is
        // typed; the main window waits for it.
        m2::LibraryManager::preload(
            m2::platform::Dispatch::global(m2::platform::QualityOfService::userInitiated));
    });

    // The session's end (or a terminal) asks by signal: the program ends as after Quit.
    const auto endSignals = m2::platform::EndSignals::install([&delegate] {
        (void)delegate.applicationWillEndSession();
        QCoreApplication::exit(0);
    });

    const int status = QApplication::exec();
    (void)delegate.applicationWillEndSession();
    waitForWorkers(delegate);
    // A catalogue still being read (the login window closed at once) ends before the
    // program's statics go.
    (void)m2::LibraryManager::instance();
    return status;
}
