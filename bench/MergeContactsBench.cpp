// MergeContacts of 100,000 picked contacts into a table of 100,000, against
// the cost of putting the same addresses into a std::unordered_set.
#include "BenchContacts.h"
#include "MergeContacts.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;

// Source: one in ten addresses already in the table, one in twenty repeated
// within the source itself, the rest new.
CContactArray MakeSource(int tableSize, int count) {
  CContactArray source;
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 0) source.Add(bench::NumberedContact(i % tableSize));
    else if (i % 20 == 5) source.Add(bench::NumberedContact(tableSize + i - 4));
    else source.Add(bench::NumberedContact(tableSize + i));
  }
  return source;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The reference: every address of table and source into a hash set.
double ReferenceSeconds(const CContactArray& table, const CContactArray& source) {
  const auto start = Clock::now();
  std::unordered_set<std::string> seen;
  for (int i = 0; i < table.GetSize(); ++i) seen.insert(table[i].m_sAddress);
  for (int i = 0; i < source.GetSize(); ++i) seen.insert(source[i].m_sAddress);
  benchmark::DoNotOptimize(seen.size());
  return Seconds(Clock::now() - start);
}

void BM_MergeContacts(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const CContactArray table = bench::NumberedContacts(0, size);
  const CContactArray source = MakeSource(size, size);
  double mergeTotal = 0, referenceTotal = 0;
  int resultSize = 0;
  for (auto _ : state) {
    CContactArray target = table;  // not timed: manual time below
    const auto start = Clock::now();
    MergeContacts(target, source);
    const double merge = Seconds(Clock::now() - start);
    state.SetIterationTime(merge);
    mergeTotal += merge;
    referenceTotal += ReferenceSeconds(table, source);
    resultSize = target.GetSize();
  }
  state.counters["result_rows"] = resultSize;
  state.counters["reference_ms"] = 1000.0 * referenceTotal / static_cast<double>(state.iterations());
  state.counters["ratio_to_reference"] = mergeTotal / referenceTotal;
}
BENCHMARK(BM_MergeContacts)->Arg(10'000)->Arg(100'000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
