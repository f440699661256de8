#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/AlertPresenter.h"

namespace m2::test {

// Records every alert and answers with the button indexes queued by the test (0 = first
// button); with nothing queued it presses the last button ("OK" or "No").
class ScriptedAlertPresenter : public platform::AlertPresenter {
  public:
    int present(const platform::AlertRequest& request) override;

    void queueAnswer(int buttonIndex);
    [[nodiscard]] std::vector<platform::AlertRequest> shown() const;

  private:
    mutable std::mutex mutex_;
    std::deque<int> answers_;
    std::vector<platform::AlertRequest> shown_;
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
