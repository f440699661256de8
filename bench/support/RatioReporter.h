#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace m2bench {

// Keeps each run's CPU time per iteration so ratios can be printed after the table.
// CPU time, as these single-threaded runs share the machine with other work.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                seconds[run.benchmark_name()] = run.cpu_accumulated_time / run.iterations;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Time of `numerator` over time of `denominator`, when both ran.
    [[nodiscard]] std::optional<double> ratio(const std::string& numerator,
                                              const std::string& denominator) const {
        const auto a = seconds.find(numerator);
        const auto b = seconds.find(denominator);
        if (a == seconds.end() || b == seconds.end() || b->second <= 0) {
            return std::nullopt;
        }
        return a->second / b->second;
    }

    std::map<std::string, double> seconds;
};

}  // namespace m2bench
