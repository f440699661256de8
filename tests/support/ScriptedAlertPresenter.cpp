#include "support/ScriptedAlertPresenter.h"

namespace m2::test {

namespace {

std::string describe(const std::string& message, const std::optional<std::string>& details) {
    return "\"" + message + "\"" + (details ? " / \"" + *details + "\"" : std::string());
}

}  // namespace

int ScriptedAlertPresenter::present(const platform::AlertRequest& request) {
    std::unique_lock lock(mutex_);
    shown_.push_back(request);
    const int last = static_cast<int>(request.buttons.size()) - 1;
    if (strict_) {
        const std::string seen = describe(request.message, request.informativeText);
        std::string problem;
        if (expected_.empty()) {
            problem = "unexpected alert " + seen;
        } else {
            const Expected next = expected_.front();
            expected_.pop_front();
            if (next.message == request.message &&
                (!next.details || next.details == request.informativeText)) {
                return next.answer;
            }
            problem = "alert " + seen + " where " + describe(next.message, next.details) +
                      " was expected";
        }
        problems_.push_back(problem);
        const auto handler = onProblem_;
        lock.unlock();
        if (handler) {
            handler(problem);
        }
        return last;
    }
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return last;
}

void ScriptedAlertPresenter::queueAnswer(int buttonIndex) {
    const std::lock_guard lock(mutex_);
    answers_.push_back(buttonIndex);
}

std::vector<platform::AlertRequest> ScriptedAlertPresenter::shown() const {
    const std::lock_guard lock(mutex_);
    return shown_;
}

void ScriptedAlertPresenter::expect(std::string message, std::optional<std::string> details,
                                    int answer) {
    const std::lock_guard lock(mutex_);
    strict_ = true;
    expected_.push_back({std::move(message), std::move(details), answer});
}

void ScriptedAlertPresenter::setStrict(bool strict) {
    const std::lock_guard lock(mutex_);
    strict_ = strict;
}

void ScriptedAlertPresenter::setProblemHandler(std::function<void(const std::string&)> handler) {
    const std::lock_guard lock(mutex_);
    onProblem_ = std::move(handler);
}

std::vector<std::string> ScriptedAlertPresenter::problems() const {
    const std::lock_guard lock(mutex_);
    return problems_;
}

std::vector<std::string> ScriptedAlertPresenter::unmetExpectations() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> unmet;
    for (const Expected& expected : expected_) {
        unmet.push_back("expected alert " + describe(expected.message, expected.details) +
                        " never came");
    }
    return unmet;
}

ScopedScriptedAlerts::ScopedScriptedAlerts()
    : presenter_(std::make_shared<ScriptedAlertPresenter>()) {
    platform::setAlertPresenter(presenter_);
}

ScopedScriptedAlerts::~ScopedScriptedAlerts() {
    platform::setAlertPresenter(nullptr);
}

}  // namespace m2::test
