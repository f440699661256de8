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
                realSeconds[run.benchmark_name()] = run.real_accumulated_time / run.iterations;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Time of `numerator` over time of `denominator`, when both ran.
    [[nodiscard]] std::optional<double> ratio(const std::string& numerator,
                                              const std::string& denominator) const {
        return ratioIn(seconds, numerator, denominator);
    }
    // The same over wall-clock time, for work on other threads or in child processes.
    [[nodiscard]] std::optional<double> realRatio(const std::string& numerator,
                                                  const std::string& denominator) const {
        return ratioIn(realSeconds, numerator, denominator);
    }

    std::map<std::string, double> seconds;
    std::map<std::string, double> realSeconds;

  private:
    static std::optional<double> ratioIn(const std::map<std::string, double>& times,
                                         const std::string& numerator,
                                         const std::string& denominator) {
        const auto a = times.find(numerator);
        const auto b = times.find(denominator);
        if (a == times.end() || b == times.end() || b->second <= 0) {
            return std::nullopt;
        }
        return a->second / b->second;
    }
};

}  // namespace m2bench
