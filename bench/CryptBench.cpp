// Crypt against OpenSSL's Blowfish, measured side by side in the same run:
// CBC over 64 KiB and 1 MiB buffers in both directions, and key set-up.
// The reported time is Crypt's; the counters give both rates and
// ratio = OpenSSL's time / Crypt's time (above 1: Crypt is faster).
//   build/ci/bin/crypt_bench --benchmark_counters_tabular=true
#include "zerth/Crypt.h"

#include <benchmark/benchmark.h>

// Blowfish is deprecated in OpenSSL 3; it is the yardstick here all the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/blowfish.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kKey = "KDW Tansy Lanterns 2.7";

// Times one run of each, alternating which goes first so neither always
// meets a cold cache, and reports the pair.
template <typename Ours, typename Theirs>
void SideBySide(benchmark::State& state, std::int64_t bytesPerRun, Ours&& ours, Theirs&& theirs) {
  double oursSeconds = 0;
  double theirsSeconds = 0;
  bool oursFirst = true;
  for (auto _ : state) {
    auto time = [](auto&& run) {
      const auto start = Clock::now();
      run();
      benchmark::ClobberMemory();
      return std::chrono::duration<double>(Clock::now() - start).count();
    };
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
  const double runs = static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * bytesPerRun);
  if (bytesPerRun > 0) {
    const double mebibytes = runs * static_cast<double>(bytesPerRun) / (1024.0 * 1024.0);
    state.counters["crypt_MiB/s"] = mebibytes / oursSeconds;
    state.counters["openssl_MiB/s"] = mebibytes / theirsSeconds;
  }
  state.counters["ratio"] = theirsSeconds / oursSeconds;
}

BF_KEY OpenSslKey() {
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(std::strlen(kKey)), reinterpret_cast<const unsigned char*>(kKey));
  return key;
}

void CbcBench(benchmark::State& state, bool encrypt) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const Crypt crypt(kKey);
  const BF_KEY key = OpenSslKey();
  std::vector<unsigned char> ours(length, 0x5A);
  std::vector<unsigned char> theirs(length, 0x5A);
  Crypt::Block chain{0, 0};
  unsigned char iv[8] = {};
  SideBySide(
      state, static_cast<std::int64_t>(length),
      [&] {
        if (encrypt)
          crypt.Encrypt(ours.data(), static_cast<std::uint32_t>(length), chain);
        else
          crypt.Decrypt(ours.data(), static_cast<std::uint32_t>(length), chain);
        benchmark::DoNotOptimize(ours.data());
      },
      [&] {
        BF_cbc_encrypt(theirs.data(), theirs.data(), static_cast<long>(length), &key, iv,
                       encrypt ? BF_ENCRYPT : BF_DECRYPT);
        benchmark::DoNotOptimize(theirs.data());
      });
}

void BM_CbcEncrypt(benchmark::State& state) { CbcBench(state, true); }
void BM_CbcDecrypt(benchmark::State& state) { CbcBench(state, false); }

// Expanding a key: 521 encipherments on either side.
void BM_KeySetup(benchmark::State& state) {
  SideBySide(
      state, 0, [] { benchmark::DoNotOptimize(Crypt(kKey)); },
      [] { benchmark::DoNotOptimize(OpenSslKey()); });
}

BENCHMARK(BM_CbcEncrypt)->Arg(64 << 10)->Arg(1 << 20)->UseManualTime();
BENCHMARK(BM_CbcDecrypt)->Arg(64 << 10)->Arg(1 << 20)->UseManualTime();
BENCHMARK(BM_KeySetup)->UseManualTime();

}  // namespace

#pragma GCC diagnostic pop

BENCHMARK_MAIN();
