#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace m2::platform {

enum class AlertStyle { warning = 0, informational = 1 };

// One modal message box: texts and buttons in the order they are shown.
struct AlertRequest {
    AlertStyle style = AlertStyle::warning;
    std::string message;
    std::optional<std::string> informativeText;  // absent: no informative text at all
    std::vector<std::string> buttons;
    std::size_t defaultButton = 0;  // index into buttons of the one Return presses
};

// Shows modal alerts. The programs install a window-system presenter at start-up, tests a
// scripted one. present() may be called from any thread and blocks until the user answers.
class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    // Index into request.buttons of the button pressed; -1 when the box was closed otherwise.
    virtual int present(const AlertRequest& request) = 0;
};

// Installs the presenter every alert goes through; nullptr removes it.
void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter);
[[nodiscard]] std::shared_ptr<AlertPresenter> alertPresenter();

}  // namespace m2::platform
