#include "guisupport/UiFixture.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include "platform/Paths.h"
#include "platform/ui/Application.h"
#include "platform/ui/QtMainQueue.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"

namespace m2::test {

using platform::ui::Application;
using platform::ui::KitEvent;

std::vector<std::string> PresentationRecorder::identifiers(KitEvent::Kind kind) const {
    std::vector<std::string> found;
    for (const KitEvent& event : events_) {
        if (event.kind == kind) {
            found.push_back(event.identifier);
        }
    }
    return found;
}

bool PresentationRecorder::stillPresented(const KitEvent& event) {
    const auto* controller = dynamic_cast<platform::ui::ViewController*>(event.controller.data());
    return controller != nullptr && controller->isPresented();
}

UiFixture::UiFixture()
    : alerts_(std::make_shared<ScriptedAlertPresenter>()),
      openPanel_(std::make_shared<ScriptedOpenPanel>()),
      keychain_(std::make_shared<FakeKeychain>()) {
    const std::filesystem::path root = home_.path();
    const std::vector<std::pair<const char*, std::filesystem::path>> folders{
        {"HOME", root},
        {"XDG_CONFIG_HOME", root / ".config"},
        {"XDG_DATA_HOME", root / ".local/share"},
        {"XDG_CACHE_HOME", root / ".cache"},
        {"XDG_STATE_HOME", root / ".local/state"},
        {"XDG_RUNTIME_DIR", root / "runtime"},
        {"M2_DOCUMENTS_DIR", root / "Documents"}};
    for (const auto& [name, folder] : folders) {
        std::filesystem::create_directories(folder);
        environment_.push_back(std::make_unique<ScopedEnv>(name, folder.string()));
    }
    ::chmod((root / "runtime").c_str(), 0700);  // the runtime folder must be private
    platform::setDocumentsFolderOverride(documents());

    alerts_->setStrict(true);
    alerts_->setProblemHandler([](const std::string& problem) {
        // A failure is recorded only on the test's own thread; others are checked at the end.
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
            QTest::qFail(problem.c_str(), __FILE__, __LINE__);
        }
    });
    platform::setAlertPresenter(alerts_);
    previousOpenPanel_ = platform::setOpenPanel(openPanel_);

    mainQueue_ = std::make_shared<platform::ui::QtMainQueue>();
    previousMainQueue_ = platform::Dispatch::installMain(mainQueue_);

    platform::ui::Storyboard::main().clear();
    Application::instance().reset();
    Application::instance().setTerminateHandler([this] { ++terminations_; });
    platform::ui::setKitObserver([this](const KitEvent& event) { recorder_.record(event); });
}

UiFixture::~UiFixture() {
    gate_.release();
    for (const std::string& unmet : alerts_->unmetExpectations()) {
        QTest::qFail(unmet.c_str(), __FILE__, __LINE__);
    }
    // Problems met on other threads could not fail the test when they happened.
    const auto problems = alerts_->problems();
    if (!problems.empty() && !QTest::currentTestFailed()) {
        QTest::qFail(problems.front().c_str(), __FILE__, __LINE__);
    }

    // Windows of the test go before the seams they may still call.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        window->close();
    }
    Application::instance().reset();
    drainMainQueue();
    platform::ui::setKitObserver({});
    platform::ui::Storyboard::main().clear();

    platform::Dispatch::installMain(previousMainQueue_);
    platform::setOpenPanel(previousOpenPanel_);
    platform::setAlertPresenter(nullptr);
    platform::setDocumentsFolderOverride(std::nullopt);
    environment_.clear();
}

void UiFixture::expectAlert(const std::string& message, std::optional<std::string> details,
                            int answer) {
    alerts_->expect(message, std::move(details), answer);
}

void UiFixture::drainMainQueue() {
    // Each round runs what the previous one posted; a bounded number keeps a loop that
    // re-posts itself from hanging the test.
    for (int round = 0; round < 50; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

bool UiFixture::waitForWorkersAtGate(std::size_t count, std::chrono::milliseconds timeout) {
    return waitFor([&] { return gate_.arrived() >= count; }, timeout);
}

bool UiFixture::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace m2::test
