#pragma once

#include <QPointer>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/services/PasswordCredentials.h"

class QLineEdit;

namespace m2 {

// The text of a field as UTF-8.
[[nodiscard]] std::string fieldText(const QLineEdit* field);
// The text of a password field as UTF-8, encoded straight into the secret: no plain copy of
// it is made on the way.
[[nodiscard]] Secret secretFieldText(const QLineEdit* field);
// Puts a secret (a key-file text) into a password field.
void setSecretFieldText(QLineEdit* field, std::string_view text);
// Empties password fields when their dialog goes away, so no typed password outlives it on
// screen or in the field's buffer. Fields already gone are skipped.
void clearSecretFields(std::initializer_list<QPointer<QLineEdit>> fields);

}  // namespace m2
