// Crypt against OpenSSL's Blowfish, measured side by side in the same run:
// CBC over 64 KiB and 1 MiB buffers in both directions, and key set-up.
// The reported time is Crypt's; the counters give both rates and
// ratio = OpenSSL's time / Crypt's time (above 1: Crypt is faster).
//   build/ci/bin/crypt_bench --benchmark_counters_tabular=true
#include "zerth/Crypt.h"

#include "SideBySide.h"
#include "mailing/SignatureFooter.h"

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


// The key the program deciphers key.sig with.
constexpr const char* kKey = kFooterKey;

using bench::SideBySide;

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
