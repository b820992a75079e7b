#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace wfdesk::bench {

// Console output as usual, then one line per compared pair: the time of a
// measured operation divided by the time of its peer from the same run. A
// run that failed has no time: its pairs say FAILED, never a ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Pair {
    std::string measured;
    std::string peer;
    double limit;
  };
  explicit RatioReporter(std::vector<Pair> pairs) : pairs_(std::move(pairs)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.error_occurred) {
        failed_.insert(run.benchmark_name());
      } else {
        times_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& pair : pairs_) {
      if (failed_.count(pair.measured) || failed_.count(pair.peer)) {
        std::printf("RATIO %-40s / %-28s = FAILED (a run failed: no ratio)\n",
                    pair.measured.c_str(), pair.peer.c_str());
        continue;
      }
      if (!times_.count(pair.measured) || !times_.count(pair.peer)) continue;
      const double ratio = times_[pair.measured] / times_[pair.peer];
      if (pair.limit <= 0) {  // no limit on the ratio: shown for comparison
        std::printf("RATIO %-40s / %-28s = %6.3f\n", pair.measured.c_str(), pair.peer.c_str(),
                    ratio);
        continue;
      }
      std::printf("RATIO %-40s / %-28s = %6.3f  (limit %.3f) %s\n", pair.measured.c_str(),
                  pair.peer.c_str(), ratio, pair.limit, ratio <= pair.limit ? "ok" : "OVER");
    }
  }

 private:
  std::vector<Pair> pairs_;
  std::map<std::string, double> times_;
  std::set<std::string> failed_;
};

}  // namespace wfdesk::bench
