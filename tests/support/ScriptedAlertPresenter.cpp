#include "support/ScriptedAlertPresenter.h"

namespace m2::test {

int ScriptedAlertPresenter::present(const platform::AlertRequest& request) {
    const std::lock_guard lock(mutex_);
    shown_.push_back(request);
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return static_cast<int>(request.buttons.size()) - 1;
}

void ScriptedAlertPresenter::queueAnswer(int buttonIndex) {
    const std::lock_guard lock(mutex_);
    answers_.push_back(buttonIndex);
}

std::vector<platform::AlertRequest> ScriptedAlertPresenter::shown() const {
    const std::lock_guard lock(mutex_);
    return shown_;
}

ScopedScriptedAlerts::ScopedScriptedAlerts()
    : presenter_(std::make_shared<ScriptedAlertPresenter>()) {
    platform::setAlertPresenter(presenter_);
}

ScopedScriptedAlerts::~ScopedScriptedAlerts() {
    platform::setAlertPresenter(nullptr);
}

}  // namespace m2::test
