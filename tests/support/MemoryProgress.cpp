#include "support/MemoryProgress.h"

#include <algorithm>

namespace m2::test {

void MemoryProgressIndicator::setMaxValue(double maximum) {
    maximum_ = std::max(0.0, maximum);
    value_ = std::min(value_, maximum_);
}

void MemoryProgressIndicator::setDoubleValue(double value) {
    value_ = std::clamp(value, 0.0, maximum_);
}

void MemoryProgressIndicator::incrementBy(double delta) {
    increments_.push_back(delta);
    setDoubleValue(value_ + delta);
}

}  // namespace m2::test
