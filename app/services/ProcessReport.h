#pragma once

#include <chrono>
#include <vector>

#include "app/services/CurrentProcess.h"
#include "app/services/Result.h"

namespace m2 {

// The record of one batch. Belongs to whoever runs the batch; a worker filling it and the
// main thread reading it order those accesses themselves.
class ProcessReport {
  public:
    using Clock = std::chrono::system_clock;

    ProcessReport();

    [[nodiscard]] std::vector<Result>& success() { return success_; }
    [[nodiscard]] const std::vector<Result>& success() const { return success_; }
    [[nodiscard]] std::vector<Result>& failure() { return failure_; }
    [[nodiscard]] const std::vector<Result>& failure() const { return failure_; }

    [[nodiscard]] CurrentProcess currentProcess() const { return currentProcess_; }
    void setCurrentProcess(CurrentProcess process) { currentProcess_ = process; }
    // The wall-clock start, for display.
    [[nodiscard]] Clock::time_point startTime() const { return startTime_; }
    void setStartTime(Clock::time_point time);
    // Seconds the batch took, measured on a steady clock: never negative.
    [[nodiscard]] double timeInterval() const { return timeInterval_; }
    void setTimeInterval(double seconds) { timeInterval_ = seconds; }
    [[nodiscard]] bool canceled() const { return canceled_; }
    void setCanceled(bool canceled) { canceled_ = canceled; }

    void startTimer();
    void stopTimer();
    void wasCanceled() { canceled_ = true; }
    // Empties both lists, zeroes the interval and clears `canceled`; keeps the process and
    // the start time.
    void reset();

  private:
    std::vector<Result> success_;
    std::vector<Result> failure_;
    CurrentProcess currentProcess_ = CurrentProcess::idel;
    Clock::time_point startTime_;
    std::chrono::steady_clock::time_point steadyStart_;
    double timeInterval_ = 0;
    bool canceled_ = false;
};

// A record of one processed file; part of the shared types, not used by the batches.
struct ProcessedItem {
    std::string orginalPath;
    std::string newPath;
    long long result = -1;
};

}  // namespace m2
