// CBase64 against OpenSSL's EVP_EncodeBlock and EVP_DecodeBlock, measured
// side by side in the same run. Each run codes 1 MiB of data in chunks of the
// benchmark's argument: 54 bytes (one attachment line), 4 KiB and 1 MiB.
// The reported time is CBase64's; the counters give both rates and
// ratio = OpenSSL's time / CBase64's time (above 1: CBase64 is faster).
//   build/ci/bin/base64_bench --benchmark_counters_tabular=true
#include "zerth/CBase64.h"

#include "SideBySide.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {


constexpr std::size_t kDataPerRun = 1 << 20;

using bench::SideBySide;

std::vector<char> RandomData() {
  std::mt19937 rng(1999);
  std::vector<char> data(kDataPerRun);
  for (auto& b : data) b = static_cast<char>(rng());
  return data;
}

// Rate in bytes of binary data on both sides, for encoding and decoding alike.
void BM_Encode(benchmark::State& state) {
  const auto chunk = static_cast<std::size_t>(state.range(0));
  const std::vector<char> data = RandomData();
  std::vector<unsigned char> theirs((chunk + 2) / 3 * 4 + 1);
  CBase64 codec;
  SideBySide(
      state, static_cast<std::int64_t>(data.size()),
      [&] {
        for (std::size_t at = 0; at < data.size(); at += chunk) {
          std::string text = codec.Encode(data.data() + at, static_cast<int>(std::min(chunk, data.size() - at)));
          benchmark::DoNotOptimize(text.data());
        }
      },
      [&] {
        for (std::size_t at = 0; at < data.size(); at += chunk) {
          const int n = EVP_EncodeBlock(theirs.data(), reinterpret_cast<const unsigned char*>(data.data() + at),
                                        static_cast<int>(std::min(chunk, data.size() - at)));
          benchmark::DoNotOptimize(n);
          benchmark::DoNotOptimize(theirs.data());
        }
      });
}

void BM_Decode(benchmark::State& state) {
  const auto chunk = static_cast<std::size_t>(state.range(0));
  const std::vector<char> data = RandomData();
  CBase64 codec;
  std::vector<std::string> texts;
  for (std::size_t at = 0; at < data.size(); at += chunk)
    texts.push_back(codec.Encode(data.data() + at, static_cast<int>(std::min(chunk, data.size() - at))));
  std::vector<char> ours(texts.front().size() + 1);
  std::vector<unsigned char> theirs(texts.front().size() + 1);
  SideBySide(
      state, static_cast<std::int64_t>(data.size()),
      [&] {
        for (const auto& text : texts) {
          benchmark::DoNotOptimize(codec.Decode(text.c_str(), ours.data()));
          benchmark::DoNotOptimize(ours.data());
        }
      },
      [&] {
        for (const auto& text : texts) {
          benchmark::DoNotOptimize(EVP_DecodeBlock(theirs.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                                   static_cast<int>(text.size())));
          benchmark::DoNotOptimize(theirs.data());
        }
      });
}

BENCHMARK(BM_Encode)->Arg(54)->Arg(4 << 10)->Arg(1 << 20)->UseManualTime();
BENCHMARK(BM_Decode)->Arg(54)->Arg(4 << 10)->Arg(1 << 20)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
