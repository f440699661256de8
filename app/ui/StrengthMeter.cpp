#include "app/ui/StrengthMeter.h"

#include <QLabel>

#include "app/services/PasswordStrength.h"
#include "platform/ui/Images.h"

namespace m2 {
namespace {

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

}  // namespace

void showPasswordStrength(const std::string& password, QLabel* word, QLabel* picture,
                          QLabel* advice) {
    const PasswordStrengthRating rating = passwordStrength(password);
    if (word != nullptr) {
        word->setText(text(rating.label));
    }
    if (picture != nullptr) {
        picture->setPixmap(
            platform::ui::pixmapNamed(std::string(image(rating.value)), QSize(96, 16)));
    }
    if (advice != nullptr) {
        advice->setText(text(details(rating.value)));
    }
}

}  // namespace m2
