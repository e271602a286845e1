// The MIDI stream player: timing of stream events, buffer hand-back and
// callbacks.
#include "MidiStream.h"

#include <algorithm>
#include <cstring>

namespace zplatform::midi {
namespace {

constexpr DWORD kEventHeaderSize = 3 * sizeof(DWORD);  // delta, stream id, event word
constexpr BYTE kEventTypeMask = 0xBF;                 // the type without MEVT_F_CALLBACK
constexpr BYTE kControlChange = 0xB0;
constexpr BYTE kSustainPedal = 64;

double NsPerSmpteTick(DWORD division) {
  // The high byte is minus the frames per second (29 stands for 29.97),
  // the low byte the ticks per frame.
  const int framesPerSecond = -static_cast<signed char>((division >> 8) & 0xFF);
  const int ticksPerFrame = static_cast<int>(division & 0xFF);
  const double fps = framesPerSecond == 29 ? 29.97 : framesPerSecond;
  return 1e9 / (fps * ticksPerFrame);
}

bool IsSmpte(DWORD division) { return (division & 0x8000) != 0; }

bool ValidDivision(DWORD division) {
  if (division == 0 || division > 0xFFFF) return false;
  if (!IsSmpte(division)) return true;
  const int framesPerSecond = -static_cast<signed char>((division >> 8) & 0xFF);
  return (division & 0xFF) != 0 &&
         (framesPerSecond == 24 || framesPerSecond == 25 || framesPerSecond == 29 || framesPerSecond == 30);
}

}  // namespace

std::shared_ptr<MidiStream> MidiStream::Open(std::unique_ptr<MidiDevice> device, MidiCallback callback,
                                             HMIDIOUT handle) {
  std::shared_ptr<MidiStream> stream(new MidiStream(std::move(device), callback, handle));
  stream->m_pending.push_back({MOM_OPEN, nullptr});
  // The thread holds the stream, so a stream closed from its own callback
  // lives until that callback has returned.
  stream->m_thread = std::thread([stream] { stream->Run(); });
  return stream;
}

MidiStream::MidiStream(std::unique_ptr<MidiDevice> device, MidiCallback callback, HMIDIOUT handle)
    : m_handle(handle), m_callback(callback), m_device(std::move(device)) {}

MidiStream::~MidiStream() {
  if (m_thread.joinable()) m_thread.detach();
}

void MidiStream::Close() {
  Lock lock(m_mutex);
  if (m_closing) return;
  const double now = StreamNowNs();
  ReturnAll();
  NotesOff(now / 1e6);
  m_closing = true;
  m_pending.push_back({MOM_CLOSE, nullptr});
  std::unique_ptr<MidiDevice> device = std::move(m_device);
  if (std::this_thread::get_id() == m_thread.get_id()) {
    // Closed from one of its own callbacks: the thread cannot wait for
    // itself, so what is left is delivered here, and the thread ends when
    // the callback it is in returns.
    DeliverPending(lock);
    m_thread.detach();
  } else {
    m_wake.notify_all();
    lock.unlock();
    m_thread.join();
  }
  if (lock.owns_lock()) lock.unlock();
  device->Finish(now / 1e6);
}

void MidiStream::Run() {
  Lock lock(m_mutex);
  for (;;) {
    if (!m_pending.empty()) {
      const Notification next = m_pending.front();
      m_pending.pop_front();
      lock.unlock();
      Deliver(next);
      lock.lock();
      continue;
    }
    if (m_closing) return;
    if (!m_running || m_queue.empty()) {
      if (m_running) m_starved = true;
      m_wake.wait(lock);
      continue;
    }
    PlayNext(lock);
  }
}

void MidiStream::PlayNext(Lock& lock) {
  Queued& buffer = m_queue.front();
  Event event{};
  if (!ReadEvent(buffer, event)) {
    ReturnBuffer(buffer.header);
    m_queue.pop_front();
    return;
  }
  // A stream that ran dry goes on from the moment its next buffer came,
  // rather than rushing the events it would have played meanwhile.
  if (m_starved) {
    m_cursorNs = std::max(m_cursorNs, StreamNowNs());
    m_starved = false;
  }
  const double due = m_cursorNs + event.delta * NsPerTick();
  if (StreamNowNs() < due) {
    // Anything may change while waiting (pause, stop, a new tempo): the
    // caller's loop looks again before this event is played.
    m_wake.wait_until(lock, m_origin + std::chrono::nanoseconds(static_cast<std::int64_t>(due)));
    return;
  }
  const DWORD eventOffset = buffer.offset;
  buffer.offset += event.size;
  m_cursorNs = due;
  Apply(event, buffer, eventOffset);
}

bool MidiStream::ReadEvent(const Queued& buffer, Event& event) {
  if (buffer.offset > buffer.length || buffer.length - buffer.offset < kEventHeaderSize) return false;
  DWORD words[3];
  std::memcpy(words, buffer.header->lpData + buffer.offset, sizeof words);
  event.delta = words[0];
  event.word = words[2];
  event.size = kEventHeaderSize;
  if ((event.word & MEVT_F_LONG) != 0) {
    // The parameter bytes follow, padded to a whole DWORD.
    const DWORD parameterBytes = MEVT_EVENTPARM(event.word);
    const DWORD padded = (parameterBytes + 3) & ~DWORD{3};
    if (padded > buffer.length - buffer.offset - kEventHeaderSize) return false;
    event.size += padded;
  }
  return true;
}

void MidiStream::Apply(const Event& event, Queued& buffer, DWORD eventOffset) {
  switch (MEVT_EVENTTYPE(event.word) & kEventTypeMask) {
    case MEVT_SHORTMSG: Send(MEVT_EVENTPARM(event.word), m_cursorNs / 1e6); break;
    case MEVT_TEMPO:
      if (MEVT_EVENTPARM(event.word) != 0) m_tempo = MEVT_EVENTPARM(event.word);
      break;
    default: break;  // MEVT_NOP, and long events (SysEx, comments) that no device here takes
  }
  if ((event.word & MEVT_F_CALLBACK) != 0) {
    buffer.header->dwOffset = eventOffset;
    m_pending.push_back({MOM_POSITIONCB, buffer.header});
  }
}

void MidiStream::DeliverPending(Lock& lock) {
  while (!m_pending.empty()) {
    const Notification next = m_pending.front();
    m_pending.pop_front();
    lock.unlock();
    Deliver(next);
    lock.lock();
  }
}

void MidiStream::Deliver(const Notification& notification) {
  switch (m_callback.type) {
    case CALLBACK_FUNCTION:
      reinterpret_cast<MIDICALLBACK>(m_callback.target)(m_handle, notification.message, m_callback.instance,
                                                       reinterpret_cast<DWORD_PTR>(notification.header), 0);
      break;
    case CALLBACK_EVENT: SetEvent(reinterpret_cast<HANDLE>(m_callback.target)); break;
    default: break;
  }
}

void MidiStream::ReturnBuffer(MIDIHDR* header) {
  header->dwFlags = (header->dwFlags & ~DWORD{MHDR_INQUEUE}) | MHDR_DONE;
  m_pending.push_back({MOM_DONE, header});
}

void MidiStream::ReturnAll() {
  for (const Queued& buffer : m_queue) ReturnBuffer(buffer.header);
  m_queue.clear();
  m_wake.notify_all();
}

void MidiStream::Send(DWORD message, double streamMs) {
  const BYTE status = message & 0xFF;
  const unsigned channel = status & 0x0F;
  const BYTE data1 = (message >> 8) & 0x7F;
  const BYTE data2 = (message >> 16) & 0x7F;
  if (status < 0x80 || status >= 0xF0) return;  // channel messages only
  switch (status & 0xF0) {
    case 0x90: m_sounding[channel].set(data1, data2 != 0); break;
    case 0x80: m_sounding[channel].reset(data1); break;
    case kControlChange:
      if (data1 == kSustainPedal) m_sustained.set(channel, data2 >= 64);
      break;
    default: break;
  }
  if (m_device) m_device->Send(message & 0xFFFFFF, streamMs);
}

void MidiStream::NotesOff(double streamMs) {
  for (unsigned channel = 0; channel < m_sounding.size(); ++channel) {
    if (m_sustained.test(channel)) Send(kControlChange | channel | (DWORD{kSustainPedal} << 8), streamMs);
    for (unsigned note = 0; note < 128; ++note)
      if (m_sounding[channel].test(note)) Send(0x80 | channel | (note << 8), streamMs);
  }
}

double MidiStream::StreamNowNs() const {
  if (!m_running) return m_pausedAtNs;
  return std::chrono::duration<double, std::nano>(Clock::now() - m_origin).count();
}

double MidiStream::NsPerTick() const {
  if (IsSmpte(m_timeDivision)) return NsPerSmpteTick(m_timeDivision);
  return m_tempo * 1000.0 / m_timeDivision;
}

MMRESULT MidiStream::Out(MIDIHDR* header, UINT size) {
  if (header == nullptr || size < sizeof(MIDIHDR) || header->lpData == nullptr ||
      header->dwBytesRecorded > header->dwBufferLength)
    return MMSYSERR_INVALPARAM;
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  if ((header->dwFlags & MHDR_PREPARED) == 0) return MIDIERR_UNPREPARED;
  if ((header->dwFlags & MHDR_INQUEUE) != 0) return MIDIERR_STILLPLAYING;
  header->dwFlags = (header->dwFlags & ~DWORD{MHDR_DONE}) | MHDR_INQUEUE | MHDR_ISSTRM;
  header->dwOffset = 0;
  m_queue.push_back({header, header->dwBytesRecorded});
  m_wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Pause() {
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  if (m_running) {
    m_pausedAtNs = StreamNowNs();
    m_running = false;
    m_wake.notify_all();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Restart() {
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  if (!m_running) {
    m_origin = Clock::now() - std::chrono::nanoseconds(static_cast<std::int64_t>(m_pausedAtNs));
    m_running = true;
    if (m_device) m_device->Started();
    m_wake.notify_all();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Stop() {
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  ReturnAll();
  NotesOff(StreamNowNs() / 1e6);
  m_running = false;
  m_starved = false;
  m_pausedAtNs = 0;
  m_cursorNs = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Reset() {
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  ReturnAll();
  NotesOff(StreamNowNs() / 1e6);
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Property(LPBYTE data, DWORD property) {
  const bool set = (property & MIDIPROP_SET) != 0;
  const bool get = (property & MIDIPROP_GET) != 0;
  const bool division = (property & MIDIPROP_TIMEDIV) != 0;
  const bool tempo = (property & MIDIPROP_TEMPO) != 0;
  if (set == get || division == tempo) return MMSYSERR_INVALFLAG;
  if (data == nullptr) return MMSYSERR_INVALPARAM;
  // Both property structures are two DWORDs: the size, then the value.
  DWORD fields[2];
  std::memcpy(fields, data, sizeof fields);
  if (fields[0] != sizeof fields) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  DWORD& value = division ? m_timeDivision : m_tempo;
  if (get) {
    std::memcpy(data + sizeof(DWORD), &value, sizeof value);
    return MMSYSERR_NOERROR;
  }
  if (division ? !ValidDivision(fields[1]) : fields[1] == 0) return MMSYSERR_INVALPARAM;
  value = fields[1];
  m_wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::ShortMsg(DWORD message) {
  if ((message & 0x80) == 0) return MMSYSERR_INVALPARAM;  // no status byte
  std::lock_guard lock(m_mutex);
  if (m_closing) return MMSYSERR_INVALHANDLE;
  Send(message, StreamNowNs() / 1e6);
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Prepare(MIDIHDR* header, UINT size) {
  if (header == nullptr || size < sizeof(MIDIHDR) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(m_mutex);
  header->dwFlags |= MHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT MidiStream::Unprepare(MIDIHDR* header, UINT size) {
  if (header == nullptr || size < sizeof(MIDIHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(m_mutex);
  if ((header->dwFlags & MHDR_INQUEUE) != 0) return MIDIERR_STILLPLAYING;
  header->dwFlags &= ~DWORD{MHDR_PREPARED};
  return MMSYSERR_NOERROR;
}

}  // namespace zplatform::midi
