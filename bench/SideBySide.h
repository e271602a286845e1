// Our code and a reference timed in the same benchmark run, for the ratio
// counters the speed targets are read from.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace bench {

// Times one run of each per iteration, alternating which goes first so that
// neither always meets a cold cache. Reports our throughput and the
// reference's (when bytesPerRun > 0) and "ratio" = reference time / ours, so
// a ratio above 1 means ours is faster. Use with UseManualTime().
template <typename Ours, typename Theirs>
void SideBySide(benchmark::State& state, std::int64_t bytesPerRun, Ours&& ours, Theirs&& theirs) {
  using Clock = std::chrono::steady_clock;
  auto time = [](auto&& run) {
    const auto start = Clock::now();
    run();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  double oursSeconds = 0;
  double theirsSeconds = 0;
  bool oursFirst = true;
  for (auto _ : state) {
    double mine;
    if (oursFirst) {
      mine = time(ours);
      theirsSeconds += time(theirs);
    } else {
      theirsSeconds += time(theirs);
      mine = time(ours);
    }
    oursFirst = !oursFirst;
    oursSeconds += mine;
    state.SetIterationTime(mine);
  }
  state.SetBytesProcessed(state.iterations() * bytesPerRun);
  if (bytesPerRun > 0) {
    const double mebibytes =
        static_cast<double>(state.iterations()) * static_cast<double>(bytesPerRun) / (1024.0 * 1024.0);
    state.counters["zerth_MiB/s"] = mebibytes / oursSeconds;
    state.counters["openssl_MiB/s"] = mebibytes / theirsSeconds;
  }
  state.counters["ratio"] = theirsSeconds / oursSeconds;
}

}  // namespace bench
