// CMD5 against OpenSSL's MD5, measured side by side in the same run: the
// digest of 1 KiB, 64 KiB and 1 MiB buffers. The reported time is CMD5's;
// the counters give both rates and ratio = OpenSSL's time / CMD5's time
// (above 1: CMD5 is faster).
//   build/ci/bin/md5_bench --benchmark_counters_tabular=true
#include "zerth/CMD5.h"

#include "SideBySide.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

void BM_Digest(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  std::vector<unsigned char> data(length);
  for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<unsigned char>(i * 131 + 7);
  unsigned char theirs[EVP_MAX_MD_SIZE];
  unsigned int theirsLength = 0;
  bench::SideBySide(
      state, static_cast<std::int64_t>(length),
      [&] { benchmark::DoNotOptimize(CMD5::GetMD5(data.data(), static_cast<std::uint32_t>(length))); },
      [&] {
        EVP_Digest(data.data(), length, theirs, &theirsLength, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(theirs);
      });
}

BENCHMARK(BM_Digest)->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
