// The result map of a mailing run of 100,000 recipients, and the report page
// built from it, against a plain std::unordered_map filled with the same
// addresses in the same run.
#include "mailing/CResultMap.h"
#include "mailing/DeliveryReport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Addresses(int count) {
  std::vector<std::string> addresses;
  addresses.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) addresses.push_back("recipient" + std::to_string(i) + "@example.org");
  return addresses;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_ResultMapInsert(benchmark::State& state) {
  const auto addresses = Addresses(static_cast<int>(state.range(0)));
  double ours = 0, reference = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    CResultMap map;
    for (std::size_t i = 0; i < addresses.size(); ++i) map.SetAt(addresses[i], static_cast<std::uint32_t>(i % 3));
    benchmark::DoNotOptimize(map.GetCount());
    const double elapsed = Seconds(Clock::now() - start);
    state.SetIterationTime(elapsed);
    ours += elapsed;

    start = Clock::now();
    std::unordered_map<std::string, std::uint32_t> plain;
    for (std::size_t i = 0; i < addresses.size(); ++i) plain[addresses[i]] = static_cast<std::uint32_t>(i % 3);
    benchmark::DoNotOptimize(plain.size());
    reference += Seconds(Clock::now() - start);
  }
  state.counters["ratio_to_unordered_map"] = ours / reference;
}
BENCHMARK(BM_ResultMapInsert)->Arg(100'000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_DeliveryReportPage(benchmark::State& state) {
  CResultMap map;
  const auto addresses = Addresses(static_cast<int>(state.range(0)));
  for (std::size_t i = 0; i < addresses.size(); ++i) map.SetAt(addresses[i], static_cast<std::uint32_t>(i % 3));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string page = BuildDeliveryReport(map, "<HTML>\n", "</html>");
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_DeliveryReportPage)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
