#pragma once

#include <QLabel>
#include <QPointer>
#include <QProgressBar>

#include "platform/Progress.h"

namespace m2::platform::ui {

// The progress bar of the progress panel. The bar is not owned; once it is gone, calls do
// nothing.
class QtProgressIndicator final : public ProgressIndicator {
  public:
    explicit QtProgressIndicator(QProgressBar* bar);
    void setMaxValue(double maximum) override;
    void setDoubleValue(double value) override;
    [[nodiscard]] double doubleValue() const override { return value_; }
    [[nodiscard]] double maxValue() const { return maximum_; }
    void incrementBy(double delta) override;

  private:
    void show();

    QPointer<QProgressBar> bar_;
    double value_ = 0;
    double maximum_ = 100;
};

// A label used as a text field; not owned, as above.
class QtTextField final : public TextField {
  public:
    explicit QtTextField(QLabel* label) : label_(label) {}
    void setStringValue(const std::string& text) override;
    [[nodiscard]] std::string stringValue() const override;

  private:
    QPointer<QLabel> label_;
};

}  // namespace m2::platform::ui
