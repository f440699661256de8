#pragma once

#include <QApplication>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/ui/Application.h"
#include "platform/ui/Controller.h"
#include "support/FakeIdleSource.h"
#include "support/FakeKeychain.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/ScriptedOpenPanel.h"
#include "support/TestFiles.h"
#include "support/WorkerGate.h"

namespace m2::platform::ui {
class QtMainQueue;
}

namespace m2::test {

// What the window kit did: segues performed and refused, sheets and windows presented,
// controllers dismissed, in order.
class PresentationRecorder {
  public:
    void record(const platform::ui::KitEvent& event) { events_.push_back(event); }

    [[nodiscard]] const std::vector<platform::ui::KitEvent>& events() const { return events_; }
    // Identifiers of the events of one kind, in order.
    [[nodiscard]] std::vector<std::string> identifiers(platform::ui::KitEvent::Kind kind) const;
    [[nodiscard]] std::vector<std::string> performedSegues() const {
        return identifiers(platform::ui::KitEvent::Kind::seguePerformed);
    }
    [[nodiscard]] std::vector<std::string> refusedSegues() const {
        return identifiers(platform::ui::KitEvent::Kind::segueRefused);
    }
    // The most recent controller presented as a sheet that is still up, as T; else nullptr.
    template <class T>
    [[nodiscard]] T* topSheet() const {
        for (auto event = events_.rbegin(); event != events_.rend(); ++event) {
            if (event->kind == platform::ui::KitEvent::Kind::sheetPresented &&
                event->controller != nullptr && stillPresented(*event)) {
                return dynamic_cast<T*>(event->controller.data());
            }
        }
        return nullptr;
    }
    void clear() { events_.clear(); }

  private:
    [[nodiscard]] static bool stillPresented(const platform::ui::KitEvent& event);

    std::vector<platform::ui::KitEvent> events_;
};

// The surroundings of one window test. Make it in init() and destroy it in cleanup(), so
// each test has its own:
// - HOME, XDG folders (config, data, cache, state, runtime) and Documents folder, fresh and
//   empty, under the build tree;
// - strict scripted alerts: expectAlert() lists the alerts the test expects, in order, with
//   the button to press; any other alert fails the test, and so does an expected one that
//   never came (checked when the fixture is destroyed);
// - a scripted open panel and a terminate spy (tests that open files or start the launcher
//   install a recording workspace of their own);
// - an in-memory keychain and a fake idle source for the code that takes them;
// - a recorder of segues and presentations, an empty storyboard "Main" (the test registers
//   what it needs), and the Qt main queue so work posted to the main queue runs on the
//   event loop.
class UiFixture {
  public:
    UiFixture();
    // Fails the running test for unmet alert expectations; closes every window of ours.
    ~UiFixture();
    UiFixture(const UiFixture&) = delete;
    UiFixture& operator=(const UiFixture&) = delete;

    [[nodiscard]] const std::filesystem::path& home() const { return home_.path(); }
    [[nodiscard]] std::filesystem::path documents() const { return home_.path() / "Documents"; }

    // The next alert must have this message (and these details, when given); it is answered
    // with the button at `answer` (0 = first).
    void expectAlert(const std::string& message, std::optional<std::string> details,
                     int answer = 0);
    [[nodiscard]] ScriptedAlertPresenter& alerts() { return *alerts_; }
    [[nodiscard]] ScriptedOpenPanel& openPanel() { return *openPanel_; }
    [[nodiscard]] int terminations() const { return terminations_; }
    [[nodiscard]] const std::shared_ptr<FakeKeychain>& keychain() const { return keychain_; }
    [[nodiscard]] FakeIdleSource& idle() { return idle_; }
    [[nodiscard]] PresentationRecorder& presentations() { return recorder_; }
    [[nodiscard]] WorkerGate& gate() { return gate_; }

    // Runs the work waiting on the main queue and the event loop, including work that work
    // posts and deferred deletions, until none is left (bounded).
    void drainMainQueue();
    // Waits, while the event loop runs, until `count` workers wait at the gate; false after
    // the time-out.
    [[nodiscard]] bool waitForWorkersAtGate(
        std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits, while the event loop runs, until the condition holds; false after the time-out.
    [[nodiscard]] bool waitFor(const std::function<bool()>& condition,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10));

  private:
    TempDir home_;
    std::vector<std::unique_ptr<ScopedEnv>> environment_;
    std::shared_ptr<ScriptedAlertPresenter> alerts_;
    std::shared_ptr<ScriptedOpenPanel> openPanel_;
    std::shared_ptr<platform::OpenPanel> previousOpenPanel_;
    int terminations_ = 0;
    std::shared_ptr<FakeKeychain> keychain_;
    FakeIdleSource idle_;
    PresentationRecorder recorder_;
    WorkerGate gate_;
    std::shared_ptr<platform::ui::QtMainQueue> mainQueue_;
    std::shared_ptr<platform::MainQueue> previousMainQueue_;
};

}  // namespace m2::test

// The main() of a window test: the offscreen platform unless another was asked for, the
// program's display name, then the QtTest class.
#define M2_GUI_TEST_MAIN(TestClass)                                                         \
    int main(int argc, char** argv) {                                                       \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {                               \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                        \
        }                                                                                   \
        QApplication app(argc, argv);                                                       \
        m2::platform::ui::Application::instance().setDisplayName("Morvane 2 Riravevovavi"); \
        TestClass test;                                                                     \
        return QTest::qExec(&test, argc, argv);                                             \
    }
