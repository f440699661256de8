#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/AlertPresenter.h"

namespace m2::test {

// Records every alert and answers with the button indexes queued by the test (0 = first
// button); with nothing queued it presses the last button ("OK" or "No").
//
// Strict use: the test lists the alerts it expects, in order, each with its answer. An alert
// that does not match the next expectation (or comes when none is left) is a problem: it is
// recorded, reported to the problem handler and answered with the last button.
class ScriptedAlertPresenter : public platform::AlertPresenter {
  public:
    int present(const platform::AlertRequest& request) override;

    void queueAnswer(int buttonIndex);
    [[nodiscard]] std::vector<platform::AlertRequest> shown() const;

    // Turns on strict use. Details absent: the alert's informative text is not compared.
    void expect(std::string message, std::optional<std::string> details, int answer);
    void setStrict(bool strict);
    // Called (on the alert's thread) with a sentence for every problem.
    void setProblemHandler(std::function<void(const std::string&)> handler);
    [[nodiscard]] std::vector<std::string> problems() const;
    // Expected alerts that have not come yet, as sentences.
    [[nodiscard]] std::vector<std::string> unmetExpectations() const;

  private:
    struct Expected {
        std::string message;
        std::optional<std::string> details;
        int answer;
    };

    mutable std::mutex mutex_;
    std::deque<int> answers_;
    std::vector<platform::AlertRequest> shown_;
    bool strict_ = false;
    std::deque<Expected> expected_;
    std::vector<std::string> problems_;
    std::function<void(const std::string&)> onProblem_;
};

// Installs a fresh scripted presenter for one scope and removes it afterwards.
class ScopedScriptedAlerts {
  public:
    ScopedScriptedAlerts();
    ~ScopedScriptedAlerts();
    ScopedScriptedAlerts(const ScopedScriptedAlerts&) = delete;
    ScopedScriptedAlerts& operator=(const ScopedScriptedAlerts&) = delete;

    ScriptedAlertPresenter& operator*() const { return *presenter_; }
    ScriptedAlertPresenter* operator->() const { return presenter_.get(); }

  private:
    std::shared_ptr<ScriptedAlertPresenter> presenter_;
};

}  // namespace m2::test
