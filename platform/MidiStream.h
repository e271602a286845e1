// One open MIDI output handle (midiStreamOpen or midiOutOpen): its device,
// the queue of stream buffers and the player thread that times their events
// by ticks and tempo, sends them to the device and runs the caller's
// callbacks. Callbacks run on the player thread only, with no lock held, so
// they may call any MIDI function, including closing this very stream.
#pragma once

#include "MidiDevice.h"

#include <array>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zplatform::midi {

struct MidiCallback {
  DWORD type = CALLBACK_NULL;  // CALLBACK_NULL, CALLBACK_FUNCTION or CALLBACK_EVENT
  DWORD_PTR target = 0;        // the function or the event handle
  DWORD_PTR instance = 0;      // passed back to the function
};

class MidiStream {
 public:
  // A paused stream on device, its player thread started; callbacks get
  // handle as their first argument. MOM_OPEN is the first callback.
  static std::shared_ptr<MidiStream> Open(std::unique_ptr<MidiDevice> device, MidiCallback callback,
                                          HMIDIOUT handle);
  ~MidiStream();
  MidiStream(const MidiStream&) = delete;
  MidiStream& operator=(const MidiStream&) = delete;

  // Returns every queued buffer (MOM_DONE), turns sounding notes off, calls
  // back MOM_CLOSE and ends the player thread; after it no callback comes.
  void Close();

  MMRESULT Out(MIDIHDR* header, UINT size);
  MMRESULT Pause();
  MMRESULT Restart();
  // Returns every queued buffer, turns notes off, rewinds the stream clock
  // to 0 and leaves the stream paused.
  MMRESULT Stop();
  // Returns every queued buffer and turns notes off; playing goes on.
  MMRESULT Reset();
  MMRESULT Property(LPBYTE data, DWORD property);
  MMRESULT ShortMsg(DWORD message);
  MMRESULT Prepare(MIDIHDR* header, UINT size);
  MMRESULT Unprepare(MIDIHDR* header, UINT size);

 private:
  using Clock = std::chrono::steady_clock;
  using Lock = std::unique_lock<std::mutex>;

  struct Queued {
    MIDIHDR* header;
    DWORD length;      // dwBytesRecorded when queued: the bound of every read
    DWORD offset = 0;  // next event
  };
  struct Notification {
    UINT message;
    MIDIHDR* header;
  };
  struct Event {
    DWORD delta;
    DWORD word;
    DWORD size;  // bytes of the event in the buffer
  };

  MidiStream(std::unique_ptr<MidiDevice> device, MidiCallback callback, HMIDIOUT handle);

  void Run();
  void PlayNext(Lock& lock);
  void Apply(const Event& event, Queued& buffer, DWORD eventOffset);
  void DeliverPending(Lock& lock);
  void Deliver(const Notification& notification);
  void ReturnBuffer(MIDIHDR* header);
  void ReturnAll();
  void Send(DWORD message, double streamMs);
  void NotesOff(double streamMs);
  double StreamNowNs() const;
  double NsPerTick() const;

  // Reads the event at the buffer's offset; false when the buffer has no
  // whole event there (its end, or an event that claims more bytes than are
  // left), which ends that buffer.
  static bool ReadEvent(const Queued& buffer, Event& event);

  const HMIDIOUT m_handle;
  const MidiCallback m_callback;
  std::thread m_thread;

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::unique_ptr<MidiDevice> m_device;
  std::deque<Queued> m_queue;
  std::deque<Notification> m_pending;  // callbacks not yet delivered, in order
  bool m_closing = false;
  bool m_running = false;  // restarted and not paused or stopped
  bool m_starved = false;  // ran out of buffers while running
  DWORD m_timeDivision = 96;
  DWORD m_tempo = 500000;  // microseconds per quarter note
  Clock::time_point m_origin;  // wall time of stream time 0, while running
  double m_pausedAtNs = 0;     // stream time, while not running
  double m_cursorNs = 0;       // stream time of the last event played
  std::array<std::bitset<128>, 16> m_sounding{};  // notes on, per channel
  std::bitset<16> m_sustained;                    // sustain pedal down
};

}  // namespace zplatform::midi
