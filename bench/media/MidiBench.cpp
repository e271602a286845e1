// CMIDI's cost against the music it plays: a generated Standard MIDI File of
// 1 MiB (16 tracks of notes with running status, 256 events a second, about
// 23 minutes) is
//   - parsed and converted whole into 1024-byte stream buffers (CPU time of
//     the converting thread), and
//   - streamed in real time through the recording device for a few seconds
//     (CPU time of the whole process: the player's stream thread, the
//     refills in CMIDI's callback and the device),
// each reported as "cpu_%" of the playing time it stands for: the song's
// duration for the conversion, the window's length for the streaming. The
// reference is the music's own clock, so the figures need no second program.
//   build/h-cmidi-bench/bin/midi_bench --benchmark_counters_tabular=true
#include <zerth/CMIDI.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <thread>

namespace {

constexpr int kTracks = 16;
constexpr int kDivision = 96;
constexpr std::uint32_t kTempo = 500000;  // microseconds per quarter note
constexpr int kDeltaTicks = 12;           // an event every 62.5 ms on each track
constexpr std::size_t kTrackBytes = 64 * 1024;

std::string Be(std::uint32_t value, int bytes) {
  std::string out;
  while (bytes--) out += static_cast<char>(value >> (8 * bytes) & 0xFF);
  return out;
}

struct Song {
  std::string image;
  double seconds = 0;
};

// Notes on and off (velocity 0) by running status: 3 bytes an event.
Song MakeSong() {
  Song song;
  song.image = "MThd" + Be(6, 4) + Be(1, 2) + Be(kTracks, 2) + Be(kDivision, 2);
  std::uint64_t ticks = 0;
  for (int track = 0; track < kTracks; ++track) {
    std::string data = track == 0 ? std::string("\x00\xFF\x51\x03", 4) + Be(kTempo, 3) : std::string();
    data += std::string(1, '\0') + static_cast<char>(0x90 | track) + '\x3C' + '\x40';
    std::uint64_t trackTicks = 0;
    for (int i = 0; data.size() + 3 + 4 <= kTrackBytes; ++i, trackTicks += kDeltaTicks) {
      data += static_cast<char>(kDeltaTicks);
      data += static_cast<char>(0x30 + (i * 7 + track) % 48);
      data += static_cast<char>(i % 2 ? 0x40 : 0);
    }
    data += std::string("\x00\xFF\x2F\x00", 4);
    song.image += "MTrk" + Be(static_cast<std::uint32_t>(data.size()), 4) + data;
    ticks = std::max(ticks, trackTicks);
  }
  song.seconds = static_cast<double>(ticks) / kDivision * kTempo / 1e6;
  return song;
}

// The song, and the recording device for every stream (no synthesizer).
const Song& TheSong() {
  static const Song song = (zplatform::SetMidiMapperDevice("record"), MakeSong());
  return song;
}

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The whole song through ConvertToBuffer, as the refills would convert it.
class Converter : public CMIDI {
public:
  int ConvertAll() {
    BYTE block[kBufferSize];
    CONVERTINFO buffer{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(block);
    buffer.header.dwBufferLength = buffer.maxLength = kBufferSize;
    int buffers = 0;
    while (ConvertToBuffer(0, &buffer) == kConvertOk) {
      buffer.timeIsUp = 0;
      ++buffers;
    }
    return buffers;
  }
};

void BM_ParseAndConvert1MiB(benchmark::State& state) {
  const Song& song = TheSong();
  double cpu = 0;
  for (auto _ : state) {
    const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    Converter player;
    if (!player.Create(song.image.data(), song.image.size())) state.SkipWithError("Create failed");
    benchmark::DoNotOptimize(player.ConvertAll());
    const double used = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    cpu += used;
    state.SetIterationTime(used);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(song.image.size()));
  state.counters["song_s"] = song.seconds;
  state.counters["cpu_%"] = 100 * cpu / (static_cast<double>(state.iterations()) * song.seconds);
}
BENCHMARK(BM_ParseAndConvert1MiB)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_StreamInRealTime(benchmark::State& state) {
  const Song& song = TheSong();
  const auto window = std::chrono::seconds(state.range(0));
  double cpu = 0;
  for (auto _ : state) {
    zplatform::ClearMidiRecording();
    const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    CMIDI player;
    if (!player.Create(song.image.data(), song.image.size()) || !player.Play()) state.SkipWithError("no stream");
    std::this_thread::sleep_for(window);
    player.Stop(0);
    const double used = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start;
    cpu += used;
    state.SetIterationTime(used);
    state.counters["messages"] = static_cast<double>(zplatform::MidiRecording().size());
  }
  state.counters["cpu_%"] = 100 * cpu / (static_cast<double>(state.iterations()) * static_cast<double>(window.count()));
}
BENCHMARK(BM_StreamInRealTime)->Arg(5)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
