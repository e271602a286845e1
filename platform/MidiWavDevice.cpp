// The WAV device: the synthesizer rendered into a 16-bit stereo 44.1 kHz WAV
// file in step with the stream's clock. Each message is applied at the
// sample of its time on that clock (pauses excluded), so the file holds the
// song as it was timed, whatever the machine's load, and its length is the
// time of the last message plus one second for the last notes to fade.
// The file is written from the first message on: a stream that plays
// nothing leaves an earlier file of the same name as it was.
#include "MidiDevice.h"
#include "MidiSynth.h"

#include <zplatform/FdIo.h>
#include <zplatform/UniqueFd.h>

#include <fcntl.h>

#include <algorithm>
#include <bit>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zplatform::midi {
namespace {

// The synthesizer's samples go to the file as they are in memory.
static_assert(std::endian::native == std::endian::little, "WAV samples are little-endian");

constexpr std::size_t kHeaderSize = 44;
constexpr std::uint64_t kBytesPerFrame = MidiSynth::kChannels * sizeof(std::int16_t);
// The RIFF sizes are 32-bit: a file stops growing before they would wrap.
constexpr std::uint64_t kMaxFrames = (0xFFFFFFFFull - kHeaderSize) / kBytesPerFrame;
constexpr std::uint64_t kTailFrames = MidiSynth::kSampleRate;  // one second
constexpr std::size_t kChunkFrames = 4096;

void PutLe(std::array<char, kHeaderSize>& header, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) header[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::array<char, kHeaderSize> WavHeader(std::uint64_t frames) {
  std::array<char, kHeaderSize> header{};
  const auto dataBytes = static_cast<std::uint32_t>(frames * kBytesPerFrame);
  std::memcpy(header.data(), "RIFF", 4);
  PutLe(header, 4, 36 + dataBytes, 4);
  std::memcpy(header.data() + 8, "WAVEfmt ", 8);
  PutLe(header, 16, 16, 4);  // format chunk size
  PutLe(header, 20, 1, 2);   // PCM
  PutLe(header, 22, MidiSynth::kChannels, 2);
  PutLe(header, 24, MidiSynth::kSampleRate, 4);
  PutLe(header, 28, static_cast<std::uint32_t>(MidiSynth::kSampleRate * kBytesPerFrame), 4);
  PutLe(header, 32, static_cast<std::uint32_t>(kBytesPerFrame), 2);
  PutLe(header, 34, 16, 2);  // bits per sample
  std::memcpy(header.data() + 36, "data", 4);
  PutLe(header, 40, dataBytes, 4);
  return header;
}

class WavDevice final : public MidiDevice {
 public:
  explicit WavDevice(std::string path) : m_path(std::move(path)) {}
  ~WavDevice() override { Finish(0); }

  void Send(DWORD message, double streamMs) override {
    if (!m_started) Start();
    if (!m_synth) return;
    RenderTo(FrameAt(streamMs));
    m_lastFrame = std::max(m_lastFrame, m_frames);
    m_synth->Apply(message);
  }

  void Finish(double /*streamMs*/) override {
    if (!m_synth || !m_file) return;
    RenderTo(m_lastFrame + kTailFrames);
    const auto header = WavHeader(m_frames);
    if (!zplatform::PwriteFully(m_file.get(), header.data(), header.size(), 0) || m_file.close() != 0)
      Fail(std::strerror(errno));
    m_file = {};
  }

 private:
  static std::uint64_t FrameAt(double streamMs) {
    if (!(streamMs > 0)) return 0;
    const double frame = std::floor(streamMs * MidiSynth::kSampleRate / 1000.0);
    return frame >= static_cast<double>(kMaxFrames) ? kMaxFrames : static_cast<std::uint64_t>(frame);
  }

  void Start() {
    m_started = true;
    std::string error;
    auto synth = MidiSynth::Create(error);
    if (!synth) return Fail(error);
    m_file = UniqueFd(::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!m_file) return Fail(std::strerror(errno));
    const auto header = WavHeader(0);
    if (!WriteFully(m_file.get(), std::string_view(header.data(), header.size())))
      return Fail(std::strerror(errno));
    m_synth = std::move(synth);
  }

  void RenderTo(std::uint64_t frame) {
    frame = std::min(frame, kMaxFrames);
    std::vector<std::int16_t> chunk(kChunkFrames * MidiSynth::kChannels);
    while (m_synth && m_frames < frame) {
      const std::size_t frames = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkFrames, frame - m_frames));
      const std::span<std::int16_t> samples(chunk.data(), frames * MidiSynth::kChannels);
      m_synth->Render(samples);
      if (!WriteFully(m_file.get(), std::string_view(reinterpret_cast<const char*>(samples.data()),
                                                     samples.size_bytes())))
        return Fail(std::strerror(errno));
      m_frames += frames;
    }
  }

  // Output stops at the first failure, which is said once: the stream goes
  // on playing to nothing rather than failing its caller mid-song.
  void Fail(const std::string& reason) {
    std::fprintf(stderr, "zplatform MIDI: cannot render to WAV file %s: %s\n", m_path.c_str(), reason.c_str());
    m_synth.reset();
    m_file = {};
  }

  std::string m_path;
  bool m_started = false;
  std::unique_ptr<MidiSynth> m_synth;  // null before the first message and after a failure
  UniqueFd m_file;
  std::uint64_t m_frames = 0;     // frames written after the header
  std::uint64_t m_lastFrame = 0;  // frame of the last message
};

}  // namespace

std::unique_ptr<MidiDevice> OpenWavDevice(std::string path) { return std::make_unique<WavDevice>(std::move(path)); }

}  // namespace zplatform::midi
