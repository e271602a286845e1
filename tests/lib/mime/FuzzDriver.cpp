// A stand-in for libFuzzer: random, mostly Base64-like inputs until a count
// or a few seconds run out; the seed is printed so a failure can be rerun:
//   base64_decode_fuzz_driver [seconds] [seed]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr char kLikely[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/==\r\n \xC1\xE1\xBD";

std::vector<std::uint8_t> RandomInput(std::mt19937_64& rng) {
  std::vector<std::uint8_t> input(rng() % 512);
  const bool anyByte = rng() % 4 == 0;
  for (auto& b : input)
    b = static_cast<std::uint8_t>(anyByte || rng() % 50 == 0 ? rng() : kLikely[rng() % (sizeof kLikely - 1)]);
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  const auto seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10)
                             : static_cast<unsigned long long>(std::random_device{}());
  std::printf("seed %llu\n", seed);
  std::mt19937_64 rng(seed);
  constexpr long kMaxInputs = 2'000'000;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  long runs = 0;
  while (runs < kMaxInputs && std::chrono::steady_clock::now() < end) {
    for (int i = 0; i < 256; ++i, ++runs) {
      const auto input = RandomInput(rng);
      LLVMFuzzerTestOneInput(input.data(), input.size());
    }
  }
  std::printf("%ld inputs, no fault\n", runs);
  return 0;
}
