#include "support/ScriptedOpenPanel.h"

namespace m2::test {

platform::OpenPanelResult ScriptedOpenPanel::runModal(const platform::OpenPanelOptions& options) {
    shown_.push_back(options);
    if (answers_.empty()) {
        return {};
    }
    auto answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

void ScriptedOpenPanel::queueChoice(std::vector<std::string> paths) {
    answers_.push_back({platform::PanelResponse::ok, std::move(paths)});
}

void ScriptedOpenPanel::queueCancel() {
    answers_.push_back({});
}

ScopedScriptedOpenPanel::ScopedScriptedOpenPanel() : panel_(std::make_shared<ScriptedOpenPanel>()) {
    previous_ = platform::setOpenPanel(panel_);
}

ScopedScriptedOpenPanel::~ScopedScriptedOpenPanel() {
    (void)platform::setOpenPanel(previous_);
}

}  // namespace m2::test
