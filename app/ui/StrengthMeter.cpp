#include "app/ui/StrengthMeter.h"

#include <QLabel>

#include "app/services/PasswordStrength.h"
#include "platform/ui/Images.h"

namespace m2 {

void showPasswordStrength(std::string_view password, QLabel* word, QLabel* picture,
                          QLabel* advice) {
    const PasswordStrengthRating rating = passwordStrength(password);
    word->setText(QString::fromUtf8(rating.label.data(), qsizetype(rating.label.size())));
    picture->setPixmap(platform::ui::pixmapNamed(std::string(image(rating.value)), QSize(96, 16)));
    const std::string_view text = details(rating.value);
    advice->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

}  // namespace m2
