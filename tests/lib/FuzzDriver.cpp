// Runs a libFuzzer-style target without libFuzzer (the recipient-list and
// the Base64 targets): the kept inputs named on the command line, then random
// inputs and mutations of them from a fixed seed (or --seed=N) so that a
// failure can be replayed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr int kRounds = 200000;
constexpr std::size_t kMaxLength = 256;
// Bytes that matter to the parsers, drawn more often than the rest.
constexpr char kInteresting[] = {';', '<', '>', ' ', ',', '\r', '\n', '.', '\0', 'a', '=', '/', 'Z', '\xBD'};

void Run(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

char Interesting(std::mt19937& random) { return kInteresting[random() % sizeof kInteresting]; }

std::string RandomInput(std::mt19937& random) {
  std::string input(random() % kMaxLength, '\0');
  for (char& c : input)
    c = random() % 2 ? Interesting(random) : static_cast<char>(random() % 256);
  return input;
}

void Mutate(std::string& input, std::mt19937& random) {
  const unsigned what = random() % 3;
  if (what == 1 && input.size() < kMaxLength)
    input.insert(input.begin() + random() % (input.size() + 1), Interesting(random));
  else if (what == 0 && !input.empty())
    input[random() % input.size()] = Interesting(random);
  else if (what == 2 && !input.empty())
    input.erase(random() % input.size(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = 20261207;
  std::vector<std::string> corpus;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seed=", 7) == 0) {
      seed = static_cast<unsigned>(std::strtoul(argv[i] + 7, nullptr, 10));
      continue;
    }
    std::ifstream in(argv[i], std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    Run(corpus.back());
  }
  std::mt19937 random(seed);
  for (int round = 0; round < kRounds; ++round) {
    std::string input = corpus.empty() || random() % 2 ? RandomInput(random) : corpus[random() % corpus.size()];
    for (int steps = static_cast<int>(random() % 8); steps > 0; --steps) Mutate(input, random);
    Run(input);
  }
  std::printf("%zu kept inputs and %d generated inputs ran (seed %u)\n", corpus.size(), kRounds, seed);
  return 0;
}
