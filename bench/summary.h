// The benches' main: Google Benchmark's usual output, then a summary of one
// figure per case (the median when repetitions give one, else the single
// run), printed by the bench itself. Colour only on a terminal, so that
// saved output stays plain text.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bench {

using Run = benchmark::BenchmarkReporter::Run;
using Figures = std::map<std::string, double>;
// A run's name in the summary, and its figure (none: the run is left out).
using NameOf = std::function<std::string(const Run&)>;
using FigureOf = std::function<std::optional<double>(const Run&)>;

// A run's real time per iteration, in nanoseconds.
inline std::optional<double> RealNanoseconds(const Run& run) {
    return run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
           benchmark::GetTimeUnitMultiplier(run.time_unit);
}

// A run's counter, such as "items_per_second".
inline FigureOf Counter(std::string name) {
    return [name](const Run& run) -> std::optional<double> {
        auto it = run.counters.find(name);
        if (it == run.counters.end()) return std::nullopt;
        return double(it->second);
    };
}

class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    SummaryReporter(OutputOptions options, NameOf name, FigureOf figure)
        : ConsoleReporter(options), name_(std::move(name)), figure_(std::move(figure)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            std::optional<double> figure = figure_(run);
            if (!figure) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[name_(run)] = *figure;
            else if (run.run_type == Run::RT_Iteration)
                figures[name_(run)] = *figure;
        }
        for (const auto& [name, figure] : medians_)
            figures[name] = figure;
    }

    Figures figures;

  private:
    NameOf name_;
    FigureOf figure_;
    Figures medians_;
};

inline int RunWithSummary(int argc, char** argv, NameOf name, FigureOf figure,
                          const std::function<void(const Figures&)>& print) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                   : benchmark::ConsoleReporter::OO_Tabular,
                             std::move(name), std::move(figure));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print(reporter.figures);
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
