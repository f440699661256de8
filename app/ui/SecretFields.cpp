#include "app/ui/SecretFields.h"

#include <QLineEdit>

namespace m2 {

std::string fieldText(const QLineEdit* field) {
    return field != nullptr ? field->text().toStdString() : std::string();
}

void clearSecretFields(std::initializer_list<QPointer<QLineEdit>> fields) {
    for (const QPointer<QLineEdit>& field : fields) {
        if (field != nullptr) {
            // Overwrite before clearing: the field's own buffer is reused, not freed.
            field->setText(QString(field->text().size(), QChar(' ')));
            field->clear();
        }
    }
}

}  // namespace m2
