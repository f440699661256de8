#pragma once

#include <string>
#include <vector>

#include "platform/Progress.h"

namespace m2::test {

// A progress bar without a window; it records every increment in order.
class MemoryProgressIndicator final : public platform::ProgressIndicator {
  public:
    void setMaxValue(double maximum) override;
    void setDoubleValue(double value) override;
    [[nodiscard]] double doubleValue() const override { return value_; }
    void incrementBy(double delta) override;
    [[nodiscard]] const std::vector<double>& increments() const { return increments_; }

  private:
    double value_ = 0;
    double maximum_ = 100;
    std::vector<double> increments_;
};

// A text field without a window; it records every text it was given, in order.
class MemoryTextField final : public platform::TextField {
  public:
    void setStringValue(const std::string& text) override { texts_.push_back(text); }
    [[nodiscard]] std::string stringValue() const override {
        return texts_.empty() ? std::string() : texts_.back();
    }
    [[nodiscard]] const std::vector<std::string>& texts() const { return texts_; }

  private:
    std::vector<std::string> texts_;
};

}  // namespace m2::test
