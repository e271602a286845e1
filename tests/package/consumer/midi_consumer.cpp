// A program that knows Zerth only through its installed package: plays the
// Standard MIDI File named on its command line through the MIDI mapper, to
// its end. The device is the mapper's: ZERTH_MIDI_DEVICE=wav:PATH renders
// the song to a WAV file instead of the audio output. Exit 0 once the song
// has played, 1 when the file is refused, 2 when it cannot be read or does
// not end within the limit (second argument, seconds; 600 by default).
#include <zerth/zerth.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: midi_consumer FILE.mid [LIMIT_SECONDS]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string song{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in && !in.eof()) return 2;
  CMIDI player;
  if (!player.Create(song.data(), song.size())) {
    std::fprintf(stderr, "%s is not a playable Standard MIDI File\n", argv[1]);
    return 1;
  }
  const auto limit = std::chrono::seconds(argc > 2 ? std::atoi(argv[2]) : 600);
  const auto start = std::chrono::steady_clock::now();
  if (!player.Play()) return 2;
  while (player.IsPlaying()) {
    if (std::chrono::steady_clock::now() - start > limit) return 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("played %s in %.2f s\n", argv[1], took.count());
  return 0;
}
