#pragma once

#include <string>

namespace m2 {

// Modal alerts; each returns when the user has pressed a button. With no presenter installed
// (see platform/AlertPresenter.h) the texts go to standard output and yesNoAlert answers false.

// Warning with the message and one button "OK".
void warningAlert(const std::string& message);
// Warning with the message, the details as informative text and one button "OK".
void warningAlert(const std::string& message, const std::string& details);
// Informational alert with buttons "Yes" and "No"; true only when "Yes" was pressed.
[[nodiscard]] bool yesNoAlert(const std::string& message, const std::string& text);

}  // namespace m2
