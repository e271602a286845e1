// Runs a libFuzzer-style target without libFuzzer: the kept inputs named on
// the command line, then random inputs and mutations of them from a fixed
// seed, so that every run is the same and a failure can be replayed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Run(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

// Half of the bytes from those that matter to the parsers.
char RandomByte(std::mt19937& random) {
  constexpr char kInteresting[] = {';', '<', '>', ' ', ',', '\r', '\n', '.', '\0', 'a', '=', '/', 'Z', '\xBD'};
  return random() % 2 ? kInteresting[random() % sizeof kInteresting] : static_cast<char>(random());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> corpus;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    Run(corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::mt19937 random(20261207);
  constexpr int kRounds = 200000;
  for (int round = 0; round < kRounds; ++round) {
    std::string input(random() % 256, '\0');
    for (char& c : input) c = RandomByte(random);
    if (!corpus.empty() && random() % 2) input = corpus[random() % corpus.size()];
    // Up to seven mutations: replace, insert or erase one byte.
    for (int steps = static_cast<int>(random() % 8); steps > 0; --steps) {
      const unsigned what = random() % 3;
      const std::size_t at = random() % (input.size() + 1);
      if (what == 1 && input.size() < 256) input.insert(at, 1, RandomByte(random));
      else if (at < input.size()) what == 0 ? void(input[at] = RandomByte(random)) : void(input.erase(at, 1));
    }
    Run(input);
  }
  std::printf("%zu kept inputs and %d generated inputs ran\n", corpus.size(), kRounds);
  return 0;
}
