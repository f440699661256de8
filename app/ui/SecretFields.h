#pragma once

#include <QPointer>
#include <initializer_list>
#include <string>

class QLineEdit;

namespace m2 {

// The text of a field as UTF-8.
[[nodiscard]] std::string fieldText(const QLineEdit* field);
// Empties password fields when their dialog goes away, so no typed password outlives it on
// screen or in the field's buffer. Fields already gone are skipped.
void clearSecretFields(std::initializer_list<QPointer<QLineEdit>> fields);

}  // namespace m2
