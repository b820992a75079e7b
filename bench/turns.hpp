#pragma once

// Benchmarks measured in turns: each one run a turn, the turns of all of
// them taken in random order, and compared by their medians, so that a
// change in the machine's load during the benchmark falls on all alike.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace wfdesk::bench {

// Which time a benchmark in turns reports: the clock's, or its own.
enum class TurnTime { kReal, kManual };

inline void MeasureInTurns(benchmark::internal::Benchmark* b, int turns, TurnTime time) {
  b->Unit(benchmark::kMillisecond);
  if (time == TurnTime::kManual) {
    b->UseManualTime();
  } else {
    b->UseRealTime();
  }
  b->Iterations(1)->Repetitions(turns)->ReportAggregatesOnly(true);
}

// The name of the median of a benchmark measured in turns.
inline std::string MedianOfTurns(const std::string& name, int turns, TurnTime time) {
  return name + "/iterations:1/repeats:" + std::to_string(turns) +
         (time == TurnTime::kManual ? "/manual_time_median" : "/real_time_median");
}

// Google Benchmark started with its turns in random order, unless the
// command line says otherwise.
inline void InitializeInRandomTurns(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  static std::string interleaving = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleaving.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
}

}  // namespace wfdesk::bench
