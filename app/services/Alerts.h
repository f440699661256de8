#pragma once

#include <string>

namespace m2 {

// Modal alerts; each returns when the user has pressed a button. With no presenter installed
// (see platform/AlertPresenter.h) the texts go to standard output and yesNoAlert answers false.

// Warning with the message and one button "OK".
void warningAlert(const std::string& message);
// Warning with the message, the details as informative text and one button "OK".
void warningAlert(const std::string& message, const std::string& details);
// The answer Return gives to a yes/no question.
enum class DefaultAnswer { yes, no };

// Informational alert with buttons "Yes" and "No"; true only when "Yes" was pressed. Return
// answers "No" unless the caller names "Yes", so a stray key press never destroys anything;
// "Yes" is the default only where "No" is the answer that loses something.
[[nodiscard]] bool yesNoAlert(const std::string& message, const std::string& text,
                              DefaultAnswer defaultAnswer = DefaultAnswer::no);

}  // namespace m2
