#pragma once

#include <string>

class QLabel;

namespace m2 {

// Shows the rating of a typed password: its word, its indicator picture and the advice.
// Missing labels are skipped.
void showPasswordStrength(const std::string& password, QLabel* word, QLabel* picture,
                          QLabel* advice);

}  // namespace m2
