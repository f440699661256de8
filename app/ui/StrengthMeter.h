#pragma once

#include <string>
#include <string_view>

class QLabel;

namespace m2 {

// Rates a candidate password and shows the rating: the word, the meter picture and the advice.
void showPasswordStrength(std::string_view password, QLabel* word, QLabel* picture, QLabel* advice);

}  // namespace m2
