// Real audio: a short song played through FluidSynth into a WAV file. The
// file is 16-bit stereo at 44.1 kHz, not silent, and as long as the song at
// its tempo plus the one second left for the last notes to fade.
#include "MidiTestStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace {

DWORD Le(const std::string& bytes, std::size_t at, int size) {
  DWORD value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(MidiWav, RendersASongAudiblyForItsLengthAtItsTempo) {
  struct Case {
    DWORD tempo;
    double songSeconds;  // three quarter notes
  };
  for (const Case c : {Case{500'000, 1.5}, Case{250'000, 0.75}}) {
    SCOPED_TRACE(c.tempo);
    const auto path = std::filesystem::temp_directory_path() / ("midi-" + std::to_string(::getpid()) + ".wav");
    zplatform::SetMidiMapperDevice("wav:" + path.string());
    CallbackLog log;
    const HMIDISTRM stream = OpenStream(log, 96);
    ASSERT_NE(stream, nullptr);
    StreamBuffer song{{0, Tempo(c.tempo)},  {0, 0x00C0},          {0, NoteOn(60)}, {96, NoteOff(60)},
                      {0, NoteOn(64)},      {96, NoteOff(64)},     {0, NoteOn(67)}, {96, NoteOff(67)}};
    ASSERT_EQ(Queue(stream, song), 0u);
    ASSERT_EQ(midiStreamRestart(stream), 0u);
    ASSERT_TRUE(log.WaitFor(MOM_DONE, 1));
    ASSERT_EQ(midiStreamClose(stream), 0u);

    std::ifstream in(path, std::ios::binary);
    const std::string wav{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(path);
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8), "RIFFWAVEfmt ");
    EXPECT_EQ(Le(wav, 20, 2), 1u);  // PCM
    EXPECT_EQ(Le(wav, 22, 2), 2u);
    EXPECT_EQ(Le(wav, 24, 4), 44'100u);
    EXPECT_EQ(Le(wav, 34, 2), 16u);
    ASSERT_EQ(wav.substr(36, 4), "data");
    const DWORD dataBytes = Le(wav, 40, 4);
    ASSERT_EQ(dataBytes, wav.size() - 44);
    EXPECT_EQ(Le(wav, 4, 4), dataBytes + 36);
    EXPECT_NEAR(dataBytes / 4 / 44'100.0, c.songSeconds + 1, 2 / 44'100.0);

    // Loud while the notes play: a peak above a thirtieth of full scale.
    std::vector<std::int16_t> samples(dataBytes / 2);
    std::memcpy(samples.data(), wav.data() + 44, samples.size() * 2);
    const auto songEnd = samples.begin() + static_cast<std::ptrdiff_t>(c.songSeconds * 44'100 * 2);
    const auto [low, high] = std::minmax_element(samples.begin(), songEnd);
    EXPECT_GT(std::max(-*low, +*high), 32767 / 30);
    // Each note starts at its own sample: louder after its start than in
    // the fading note before it.
    const auto rms = [&](double from) {
      double sum = 0;
      const auto first = static_cast<std::size_t>(from * 44'100) * 2;
      for (std::size_t i = first; i < first + 2 * 2205; ++i) sum += double(samples[i]) * samples[i];
      return sum;
    };
    for (const double start : {c.songSeconds / 3, c.songSeconds * 2 / 3})
      EXPECT_GT(rms(start), 1.2 * rms(start - 0.05)) << start;
  }
}

}  // namespace
