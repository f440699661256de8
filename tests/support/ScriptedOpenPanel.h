#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "platform/OpenPanel.h"

namespace m2::test {

// Records the options of every panel and answers with the results queued by the test;
// with nothing queued it answers cancel.
class ScriptedOpenPanel : public platform::OpenPanel {
  public:
    platform::OpenPanelResult runModal(const platform::OpenPanelOptions& options) override;

    void queueChoice(std::vector<std::string> paths);
    void queueCancel();
    [[nodiscard]] const std::vector<platform::OpenPanelOptions>& shown() const { return shown_; }

  private:
    std::deque<platform::OpenPanelResult> answers_;
    std::vector<platform::OpenPanelOptions> shown_;
};

// Installs a fresh scripted panel for one scope and removes it afterwards.
class ScopedScriptedOpenPanel {
  public:
    ScopedScriptedOpenPanel();
    ~ScopedScriptedOpenPanel();
    ScopedScriptedOpenPanel(const ScopedScriptedOpenPanel&) = delete;
    ScopedScriptedOpenPanel& operator=(const ScopedScriptedOpenPanel&) = delete;

    ScriptedOpenPanel* operator->() const { return panel_.get(); }

  private:
    std::shared_ptr<ScriptedOpenPanel> panel_;
    std::shared_ptr<platform::OpenPanel> previous_;
};

}  // namespace m2::test
