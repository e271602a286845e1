// The recording device: every short message it is sent is kept with its
// times, for programs (and their tests) that check what a song played and
// when. One recording for the whole process, read with MidiRecording.
#include "MidiDevice.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace zplatform::midi {
namespace {

using Clock = std::chrono::steady_clock;

class Recording {
 public:
  // A song of an hour holds a few hundred thousand messages; the cap keeps
  // a recording device left open by mistake from growing without end.
  static constexpr std::size_t kMaxMessages = 1'000'000;

  void Add(DWORD message, double streamMs) {
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(m_mutex);
    if (m_messages.size() >= kMaxMessages) return;
    const double ms =
        m_origin ? std::chrono::duration<double, std::milli>(now - *m_origin).count() : 0.0;
    m_messages.push_back({ms, streamMs, message});
  }

  void Started() {
    std::lock_guard lock(m_mutex);
    if (!m_origin) m_origin = Clock::now();
  }

  std::vector<MidiRecordedMessage> Copy() {
    std::lock_guard lock(m_mutex);
    return m_messages;
  }

  void Clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_origin.reset();
  }

 private:
  std::mutex m_mutex;
  std::vector<MidiRecordedMessage> m_messages;
  std::optional<Clock::time_point> m_origin;  // the first start since the last Clear
};

Recording& TheRecording() {
  static Recording recording;
  return recording;
}

class RecordDevice final : public MidiDevice {
 public:
  void Send(DWORD message, double streamMs) override { TheRecording().Add(message, streamMs); }
  void Started() override { TheRecording().Started(); }
};

}  // namespace

std::unique_ptr<MidiDevice> OpenRecordDevice() { return std::make_unique<RecordDevice>(); }

}  // namespace zplatform::midi

namespace zplatform {

std::vector<MidiRecordedMessage> MidiRecording() { return midi::TheRecording().Copy(); }
void ClearMidiRecording() { midi::TheRecording().Clear(); }

}  // namespace zplatform
