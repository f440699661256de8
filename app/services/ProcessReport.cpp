#include "app/services/ProcessReport.h"

#include <algorithm>

namespace m2 {

ProcessReport::ProcessReport()
    : startTime_(Clock::now()), steadyStart_(std::chrono::steady_clock::now()) {}

void ProcessReport::setStartTime(Clock::time_point time) {
    startTime_ = time;
    // Keep the steady anchor the same distance in the past as the given wall-clock time.
    steadyStart_ =
        std::chrono::steady_clock::now() -
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(Clock::now() - time);
}

void ProcessReport::startTimer() {
    startTime_ = Clock::now();
    steadyStart_ = std::chrono::steady_clock::now();
}

void ProcessReport::stopTimer() {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - steadyStart_;
    timeInterval_ = std::max(0.0, elapsed.count());
}

void ProcessReport::reset() {
    success_.clear();
    failure_.clear();
    timeInterval_ = 0;
    canceled_ = false;
}

}  // namespace m2
