#pragma once

#include <string>

namespace m2::platform {

// A determinate progress bar. Main thread only.
class ProgressIndicator {
  public:
    virtual ~ProgressIndicator() = default;
    virtual void setMaxValue(double maximum) = 0;
    virtual void setDoubleValue(double value) = 0;
    [[nodiscard]] virtual double doubleValue() const = 0;
    // Advances the bar; it never goes past its maximum.
    virtual void incrementBy(double delta) = 0;
};

// A one-line text shown to the user, such as a progress label. Main thread only.
class TextField {
  public:
    virtual ~TextField() = default;
    virtual void setStringValue(const std::string& text) = 0;
    [[nodiscard]] virtual std::string stringValue() const = 0;
};

}  // namespace m2::platform
