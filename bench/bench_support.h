// What the benchmarks share: a reporter that keeps each benchmark's throughput for the ratios
// printed at the end, and the one size option each takes before the library's own options.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace qor::bench {

// Whether a run was skipped or failed: Google Benchmark 1.8 renamed error_occurred to skipped, and
// 1.9 dropped the old name. Debian 12 has 1.7, Debian 13 has 1.9.
template <typename R>
auto RunSkipped(const R& run, int) -> decltype(static_cast<bool>(run.skipped)) {
  return static_cast<bool>(run.skipped);
}
template <typename R>
bool RunSkipped(const R& run, long) {
  return run.error_occurred;
}

// Prints as usual and keeps each benchmark's bytes per second, by benchmark name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (RunSkipped(run, 0) || run.run_type != Run::RT_Iteration) continue;
      const auto counter = run.counters.find("bytes_per_second");
      if (counter != run.counters.end()) speed[run.run_name.function_name] = counter->second;
    }
  }
  std::map<std::string, double> speed;
};

// Takes the option "<prefix>N" (e.g. "--file-mb=") out of the command line and passes the rest to
// benchmark::Initialize. Returns N, or fallback when the option is not given.
inline int InitializeWithSizeOption(int argc, char** argv, const std::string& prefix,
                                    int fallback) {
  int value = fallback;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind(prefix, 0) == 0) {
      value = std::atoi(arg.c_str() + prefix.size());
    } else {
      args.push_back(argv[i]);
    }
  }
  int arg_count = static_cast<int>(args.size());
  benchmark::Initialize(&arg_count, args.data());
  return value;
}

}  // namespace qor::bench
