// Stream buffers built from (delta, event word) pairs, and a callback that
// keeps what it was called with, for the tests of the MIDI stream layer.
#pragma once

#include <zplatform/Mmsystem.h>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

constexpr DWORD NoteOn(DWORD note) { return 0x90 | note << 8 | 100 << 16; }
constexpr DWORD NoteOff(DWORD note) { return 0x80 | note << 8; }
constexpr DWORD Tempo(DWORD microseconds) { return DWORD{MEVT_TEMPO} << 24 | microseconds; }

// The buffer holds exactly the events' bytes, so that a read past them is
// a read past the heap block (seen by AddressSanitizer).
struct StreamBuffer {
  explicit StreamBuffer(std::initializer_list<std::pair<DWORD, DWORD>> events) {
    for (const auto& [delta, word] : events) words.insert(words.end(), {delta, 0, word});
    header.lpData = reinterpret_cast<LPSTR>(words.data());
    header.dwBufferLength = header.dwBytesRecorded = static_cast<DWORD>(words.size() * sizeof(DWORD));
  }
  std::vector<DWORD> words;
  MIDIHDR header{};
};

struct CallbackLog {
  struct Call {
    UINT message;
    std::thread::id thread;
    MIDIHDR* header;
    DWORD offset;
  };

  static void CALLBACK Proc(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* log = reinterpret_cast<CallbackLog*>(instance);
    auto* header = reinterpret_cast<MIDIHDR*>(param1);
    {
      std::lock_guard lock(log->mutex);
      log->calls.push_back({message, std::this_thread::get_id(), header, header ? header->dwOffset : 0});
      log->changed.notify_all();
    }
    if (log->onCall) log->onCall(message, header);
  }

  // True when count calls of message came within 10 s (a bound against a
  // hang, far above any song here).
  bool WaitFor(UINT message, std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return Count(message) >= count; });
  }

  std::size_t Count(UINT message) const {
    std::size_t n = 0;
    for (const Call& call : calls) n += call.message == message;
    return n;
  }

  std::vector<UINT> Messages() {
    std::lock_guard lock(mutex);
    std::vector<UINT> messages;
    for (const Call& call : calls) messages.push_back(call.message);
    return messages;
  }

  void (*onCall)(UINT, MIDIHDR*) = nullptr;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Call> calls;
};

// A stream on the mapper with the given time division, calling back log.
inline HMIDISTRM OpenStream(CallbackLog& log, DWORD division) {
  HMIDISTRM stream = nullptr;
  UINT device = MIDI_MAPPER;
  if (midiStreamOpen(&stream, &device, 1, reinterpret_cast<DWORD_PTR>(&CallbackLog::Proc),
                     reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
    return nullptr;
  MIDIPROPTIMEDIV property{sizeof property, division};
  midiStreamProperty(stream, reinterpret_cast<LPBYTE>(&property), MIDIPROP_SET | MIDIPROP_TIMEDIV);
  return stream;
}

inline MMRESULT Queue(HMIDISTRM stream, StreamBuffer& buffer) {
  const MMRESULT prepared = midiOutPrepareHeader(reinterpret_cast<HMIDIOUT>(stream), &buffer.header, sizeof(MIDIHDR));
  return prepared != MMSYSERR_NOERROR ? prepared : midiStreamOut(stream, &buffer.header, sizeof(MIDIHDR));
}
