#pragma once

#include <string>

class QLabel;

namespace m2 {

// Rates a candidate password and shows the rating: the word, the meter picture and the advice.
void showPasswordStrength(const std::string& password, QLabel* word, QLabel* picture,
                          QLabel* advice);

}  // namespace m2
