#include "platform/ui/QtProgress.h"

#include <QThread>

#include <algorithm>
#include <cmath>

namespace m2::platform::ui {

namespace {
// QProgressBar counts in integers; fractions are kept here and shown in thousandths.
constexpr double scale = 1000.0;

void assertGuiThread(const QObject* object) {
    Q_ASSERT(object == nullptr || QThread::currentThread() == object->thread());
    (void)object;
}
}  // namespace

QtProgressIndicator::QtProgressIndicator(QProgressBar* bar) : bar_(bar) {
    if (bar_) {
        bar_->setRange(0, static_cast<int>(maximum_ * scale));
        bar_->setTextVisible(false);
    }
}

void QtProgressIndicator::show() {
    assertGuiThread(bar_);
    if (bar_) {
        // A QProgressBar with an empty range shows a busy animation; a batch of no items
        // shows an empty bar instead.
        const int top = std::max(1, static_cast<int>(std::lround(maximum_ * scale)));
        bar_->setRange(0, top);
        bar_->setValue(static_cast<int>(std::lround(value_ * scale)));
    }
}

void QtProgressIndicator::setMaxValue(double maximum) {
    maximum_ = std::max(0.0, maximum);
    value_ = std::min(value_, maximum_);
    show();
}

void QtProgressIndicator::setDoubleValue(double value) {
    value_ = std::clamp(value, 0.0, maximum_);
    show();
}

void QtProgressIndicator::incrementBy(double delta) {
    setDoubleValue(value_ + delta);
}

void QtTextField::setStringValue(const std::string& text) {
    assertGuiThread(label_);
    if (label_) {
        label_->setText(QString::fromStdString(text));
    }
}

std::string QtTextField::stringValue() const {
    return label_ ? label_->text().toStdString() : std::string();
}

}  // namespace m2::platform::ui
