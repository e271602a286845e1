// CMIDI: the song's life on the stream: creation, the conversion of the
// merged tracks into stream buffers, and the hand-over of the buffers
// between the caller's thread and the stream's thread.
//
// Hand-over. The stream's thread refills a returned buffer under m_handOver;
// Stop changes the state under the same lock, so a refill either completes
// (its buffer queued before the stream is stopped, and so returned by the
// stop) or sees the stop and only counts the buffer. Stop then waits until
// the callback has counted every queued buffer back (state 200), woken by
// the "Wait For Buffer Return" event and re-checking the state, so a signal
// meant for another player sharing the named event cannot end its wait
// early. At the end of the song the callback only marks the song ended;
// preparing it again (closing and reopening the stream) is left to the next
// Play or Stop on the caller's thread, since a stream must not be closed from
// inside its own callback.
#include <zerth/CMIDI.h>

#include "MidiResource.h"
#include "SmfImage.h"
#include "SmfTrackReader.h"
#include "StreamEvents.h"
#include "TrackMerge.h"
#include "VolumeReportRelay.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr BYTE kMetaEndOfTrack = 0x2F;
constexpr BYTE kMetaTempo = 0x51;
// The tempo of a song that has not named one: 120 quarter notes a minute.
constexpr DWORD kDefaultTempo = 500000;
// How long one wait for the buffer event lasts before the state is checked again.
constexpr auto kWaitSlice = std::chrono::milliseconds(50);

bool IsEndOfTrack(const CMIDI::TEMPEVENT& event) { return event.status == 0xFF && event.data1 == kMetaEndOfTrack; }

HMIDIOUT AsOutput(HMIDISTRM stream) { return reinterpret_cast<HMIDIOUT>(stream); }

}  // namespace

CMIDI::CMIDI() { m_hBufferReturnEvent = CreateEvent(nullptr, FALSE, FALSE, kBufferReturnEventName); }

CMIDI::~CMIDI() {
  Stop(0);
  FreeLongData(m_teTemp);
  if (m_hBufferReturnEvent) CloseHandle(m_hBufferReturnEvent);
}

CMIDI::CMIDI(const CMIDI& other) : CMIDI() { CopySettingsFrom(other); }

CMIDI& CMIDI::operator=(const CMIDI& other) {
  if (this == &other) return *this;
  ReleaseSong();
  m_resourceImage.clear();
  CopySettingsFrom(other);
  return *this;
}

void CMIDI::ReleaseSong() {
  Stop(0);
  FreeLongData(m_teTemp);
  m_pData = nullptr;
  m_dwSize = 0;
  m_Tracks.clear();
  m_Volumes.clear();
  m_relay.reset();
  m_pWndParent = nullptr;
}

void CMIDI::CopySettingsFrom(const CMIDI& other) {
  m_uDeviceID = other.m_uDeviceID;
  m_bLooped = other.m_bLooped.load();
  m_dwTempoPercent = other.m_dwTempoPercent.load();
  m_bTempoChanged = other.m_bTempoChanged.load();
  if (!other.m_pData) return;
  const void* image = other.m_pData;
  if (!other.m_resourceImage.empty()) {
    m_resourceImage = other.m_resourceImage;
    image = m_resourceImage.data();
  }
  if (!CreateFromImage(image, other.m_dwSize, other.m_pWndParent)) {
    m_resourceImage.clear();
    return;
  }
  for (std::size_t i = 0; i < m_Volumes.size() && i < other.m_Volumes.size(); ++i) m_Volumes[i] = other.m_Volumes[i].load();
}

// ---------------------------------------------------------------- creation

int CMIDI::Create(const void* data, unsigned long size, QObject* parent) {
  if (m_pData) return 0;
  return CreateFromImage(data, size, parent);
}

int CMIDI::Create(const char* name, QObject* parent) {
  if (m_pData) return 0;
  return CreateFromResource(zerth::detail::MidiResourcePath(name), parent);
}

int CMIDI::Create(unsigned int id, QObject* parent) {
  if (m_pData) return 0;
  return CreateFromResource(zerth::detail::MidiResourcePath(id), parent);
}

int CMIDI::CreateFromResource(const std::string& path, QObject* parent) {
  if (path.empty() || !zerth::detail::LoadMidiResource(path, m_resourceImage)) return 0;
  if (CreateFromImage(m_resourceImage.data(), static_cast<unsigned long>(m_resourceImage.size()), parent)) return 1;
  m_resourceImage.clear();
  return 0;
}

int CMIDI::CreateFromImage(const void* data, unsigned long size, QObject* parent) {
  if (!data || size > std::numeric_limits<DWORD>::max()) return 0;
  zerth::detail::SmfHeader header;
  std::vector<TRACK> tracks;
  if (!zerth::detail::ParseSmfImage({static_cast<const BYTE*>(data), size}, header, tracks)) return 0;
  m_dwFormat = header.format;
  m_dwTrackCount = header.trackCount;
  m_dwTimeDivision = header.division;
  m_Tracks = std::move(tracks);
  m_dwSize = static_cast<DWORD>(size);
  m_pData = static_cast<const BYTE*>(data);
  m_pWndParent = parent;
  if (parent) m_relay.reset(new zerth::detail::VolumeReportRelay(parent));
  m_Volumes = std::vector<std::atomic<DWORD>>(kChannelCount);
  for (auto& volume : m_Volumes) volume = 100;
  m_dwConvertFlags = 0;
  m_tkCurrent = 0;
  m_tkBufferSpan = 0;
  m_dwCurrentTempo = 0;
  if (StreamBufferSetup()) return 1;
  // A song that cannot be prepared leaves the object as it was, so that
  // Create can be tried again.
  ReleaseSong();
  return 0;
}

// ---------------------------------------------------------------- track reading

BOOL CMIDI::GetTrackByte(TRACK* track, BYTE* byte) { return zerth::detail::ReadTrackByte(*track, *byte); }

BOOL CMIDI::GetTrackVDWord(TRACK* track, DWORD* value) {
  *value = 0;
  return zerth::detail::ReadTrackNumber(*track, *value);
}

BOOL CMIDI::GetTrackEvent(TRACK* track, TEMPEVENT* event) {
  FreeLongData(*event);
  const char* error = nullptr;
  if (!zerth::detail::ReadTrackEvent(*track, *event, error)) {
    if (error) TrackError(track, error);
    return FALSE;
  }
  if (event->longData) ++m_nLongDataBlocks;
  return TRUE;
}

void CMIDI::FreeLongData(TEMPEVENT& event) {
  if (!event.longData) return;
  std::free(event.longData);
  event.longData = nullptr;
  --m_nLongDataBlocks;
}

int CMIDI::RewindTracks() {
  int result = 1;
  for (TRACK& track : m_Tracks) {
    if (!zerth::detail::StartTrack(track)) result = 0;
  }
  return result;
}

// Also starts the conversion afresh, so that the next events are timed
// from the song's start instead of from the last tick written.
int CMIDI::Rewind() {
  if (!m_pData) return 0;
  std::lock_guard lock(m_handOver);
  FreeLongData(m_teTemp);
  m_teTemp = {};
  m_dwConvertFlags = 0;
  m_tkCurrent = 0;
  return RewindTracks();
}

// ---------------------------------------------------------------- conversion

int CMIDI::AddEventToStreamBuffer(TEMPEVENT* event, CONVERTINFO* buffer) {
  using namespace zerth::detail;
  if (buffer->bytesUsed == 0) buffer->startTick = m_tkCurrent;
  if (m_tkCurrent - buffer->startTick > m_tkBufferSpan) {
    if (buffer->timeIsUp) {
      buffer->timeIsUp = 0;
      return kBufferFull;
    }
    buffer->timeIsUp = 1;
  }
  if (m_bTempoChanged) {
    if (FreeBytes(*buffer) < kStreamEventSize) return kBufferFull;
    // Cleared before the percent is read: a SetTempo meanwhile sets it again.
    m_bTempoChanged = 0;
    const DWORD tempo = m_dwCurrentTempo ? m_dwCurrentTempo : kDefaultTempo;
    (void)AppendStreamEvent(*buffer, 0, TempoEventWord(tempo, m_dwTempoPercent));
  }
  const auto write = [&](DWORD word) {
    (void)AppendStreamEvent(*buffer, event->tick - m_tkCurrent, word);
    m_tkCurrent = event->tick;
    return kConvertOk;
  };
  if (event->status < 0xF0) {
    if (FreeBytes(*buffer) < kStreamEventSize) return kBufferFull;
    DWORD word = ShortEventWord(event->status, event->data1, event->data2);
    if (IsVolumeController(event->status, event->data1)) word |= MEVT_F_CALLBACK;
    return write(word);
  }
  if (event->status == 0xF0 || event->status == 0xF7) {
    FreeLongData(*event);
    return kConvertOk;
  }
  // A tempo needs its three bytes and cannot be 0 (the span divides by it).
  const BYTE* data = event->longData;
  const DWORD tempo = data && event->length >= 3 ? DWORD{data[0]} << 16 | DWORD{data[1]} << 8 | data[2] : 0;
  if (event->data1 != kMetaTempo || tempo == 0) {
    FreeLongData(*event);
    return kEventSkipped;
  }
  // Kept whole when it does not fit: it is written first into the next buffer.
  if (FreeBytes(*buffer) < kStreamEventSize) return kBufferFull;
  m_dwCurrentTempo = tempo;
  m_tkBufferSpan = m_dwTimeDivision * 60000 / tempo;
  FreeLongData(*event);
  return write(TempoEventWord(tempo, m_dwTempoPercent));
}

int CMIDI::ConvertToBuffer(DWORD flags, CONVERTINFO* buffer) {
  buffer->bytesUsed = 0;
  if (flags & kConvertReset) {
    m_dwConvertFlags = 0;
    FreeLongData(m_teTemp);
    m_teTemp = {};
    m_tkCurrent = 0;
  }
  if (m_dwConvertFlags & kConvertAllEnded) {
    if (!m_bLooped) return kConvertEndOfSong;
    RewindTracks();
    m_dwConvertFlags = 0;
    m_tkCurrent = 0;
  }
  if (m_dwConvertFlags & kConvertReadError) return kConvertAfterReadError;
  // The result of adding one event: -1 to go on, else the result to return.
  const auto add = [&]() -> int {
    const int added = AddEventToStreamBuffer(&m_teTemp, buffer);
    if (added == kConvertOk || added == kEventSkipped) return -1;
    if (added == kBufferFull) {
      m_dwConvertFlags |= kConvertPending;
      return kConvertOk;
    }
    FreeLongData(m_teTemp);
    return 1;
  };
  if (m_dwConvertFlags & kConvertPending) {
    m_dwConvertFlags &= ~kConvertPending;
    if (IsEndOfTrack(m_teTemp)) {
      FreeLongData(m_teTemp);
    } else if (const int result = add(); result != -1) {
      return result;
    }
  }
  for (;;) {
    const int next = zerth::detail::NextTrackToRead(m_Tracks);
    if (next < 0) {
      m_dwConvertFlags |= kConvertAllEnded;
      return kConvertOk;
    }
    if (!GetTrackEvent(&m_Tracks[static_cast<std::size_t>(next)], &m_teTemp)) {
      m_dwConvertFlags |= kConvertReadError;
      return kConvertReadFailed;
    }
    if (IsEndOfTrack(m_teTemp)) {
      FreeLongData(m_teTemp);
      continue;
    }
    if (const int result = add(); result != -1) return result;
  }
}

// ---------------------------------------------------------------- buffers

BOOL CMIDI::StreamBufferSetup() {
  if (!m_hStream) {
    HMIDISTRM stream = nullptr;
    UINT device = m_uDeviceID;
    const MMRESULT opened = midiStreamOpen(&stream, &device, 1, reinterpret_cast<DWORD_PTR>(&MidiProc),
                                           reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
      MidiError(opened);
      return FALSE;
    }
    std::lock_guard lock(m_handOver);
    m_hStream = stream;
  }
  for (CONVERTINFO& buffer : m_StreamBuffers) buffer = {};
  MIDIPROPTIMEDIV division{sizeof(MIDIPROPTIMEDIV), m_dwTimeDivision};
  const MMRESULT set = midiStreamProperty(m_hStream, reinterpret_cast<LPBYTE>(&division), MIDIPROP_SET | MIDIPROP_TIMEDIV);
  if (set != MMSYSERR_NOERROR) {
    MidiError(set);
    return FALSE;
  }
  {
    // None is queued yet: a stop waits only for the buffers that are.
    std::lock_guard lock(m_handOver);
    m_nBuffersOut = kBufferCount;
    m_nCurrentBuffer = 0;
  }
  for (int i = 0; i < kBufferCount; ++i) {
    CONVERTINFO& buffer = m_StreamBuffers[i];
    m_blocks[i].reset(new (std::nothrow) BYTE[kBufferSize]());
    if (!m_blocks[i]) return FALSE;
    buffer.header.lpData = reinterpret_cast<LPSTR>(m_blocks[i].get());
    buffer.header.dwBufferLength = kBufferSize;
    buffer.maxLength = kBufferSize;
    const int converted = ConvertToBuffer(i == 0 ? kConvertReset : 0, &buffer);
    if (converted != kConvertOk && converted != kConvertEndOfSong) return FALSE;
    buffer.header.dwBytesRecorded = buffer.bytesUsed;
    if (!(buffer.header.dwFlags & MHDR_PREPARED)) {
      const MMRESULT prepared = midiOutPrepareHeader(AsOutput(m_hStream), &buffer.header, sizeof(MIDIHDR));
      if (prepared != MMSYSERR_NOERROR) {
        MidiError(prepared);
        return FALSE;
      }
    }
    const MMRESULT queued = midiStreamOut(m_hStream, &buffer.header, sizeof(MIDIHDR));
    if (queued != MMSYSERR_NOERROR) {
      MidiError(queued);
      return TRUE;
    }
    {
      std::lock_guard lock(m_handOver);
      --m_nBuffersOut;
    }
    if (converted == kConvertEndOfSong) break;  // nothing more to convert
  }
  m_bBuffersPrepared = TRUE;
  return TRUE;
}

void CMIDI::FreeBuffers() {
  for (CONVERTINFO& buffer : m_StreamBuffers) {
    if (m_hStream && (buffer.header.dwFlags & MHDR_PREPARED)) {
      const MMRESULT result = midiOutUnprepareHeader(AsOutput(m_hStream), &buffer.header, sizeof(MIDIHDR));
      if (result != MMSYSERR_NOERROR) MidiError(result);
    }
    buffer.header.lpData = nullptr;
  }
  m_bBuffersPrepared = FALSE;
  for (auto& block : m_blocks) block.reset();
}

// ---------------------------------------------------------------- playing

int CMIDI::Play(int looped) {
  if (m_bPaused) {
    if (m_bPlaying) {
      Continue();
      return 1;
    }
    m_bPaused = 0;  // the song ended while it was being paused
  }
  if (m_bPlaying || m_bRestartPending) Stop(1);
  SetBufferState(kStateNormal);
  if (!m_bLooped) m_bTempoChanged = 1;
  // Playing before the restart: a buffer that comes back at once is refilled.
  m_bPlaying = 1;
  m_bLooped = looped;
  const MMRESULT restarted = midiStreamRestart(m_hStream);
  if (restarted != MMSYSERR_NOERROR) {
    m_bPlaying = 0;
    MidiError(restarted);
    return 0;
  }
  return 1;
}

int CMIDI::Stop(int restart) {
  int result = 1;
  if (m_bPlaying || m_nState != kStateBuffersBack) {
    m_bPaused = 0;
    m_bPlaying = 0;
    {
      std::lock_guard lock(m_handOver);
      const int state = m_nState;
      // With every buffer back already nothing is left to wait for.
      if (!m_hStream || m_nBuffersOut >= kBufferCount) m_nState = kStateBuffersBack;
      else if (state != kStateBuffersBack && state != kStateSongEnded) m_nState = kStateStopping;
    }
    if (m_hStream) {
      if (const MMRESULT stopped = midiStreamStop(m_hStream); stopped != MMSYSERR_NOERROR) {
        MidiError(stopped);
        result = 0;
      }
      if (const MMRESULT reset = midiOutReset(AsOutput(m_hStream)); reset != MMSYSERR_NOERROR) {
        MidiError(reset);
        result = 0;
      }
      AwaitBuffers();
    }
  }
  SetBufferState(kStateNormal);
  m_bRestartPending = 0;
  FreeBuffers();
  CloseStream();
  if (!restart) return result;
  if (!m_pData) return 0;
  // Prepared from the beginning: the first buffers hold the song's start.
  Rewind();
  return StreamBufferSetup() ? result : 0;
}

void CMIDI::AwaitBuffers() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMilliseconds);
  while (m_nState != kStateBuffersBack) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) {
      SetBufferState(kStateBuffersBack);
      return;
    }
    const auto slice = std::chrono::ceil<std::chrono::milliseconds>(std::min<std::chrono::steady_clock::duration>(left, kWaitSlice));
    WaitForSingleObject(m_hBufferReturnEvent, static_cast<DWORD>(slice.count()));
  }
  std::lock_guard lock(m_handOver);  // everything the callback did before is seen from here on
}

void CMIDI::SetBufferState(int state) {
  std::lock_guard lock(m_handOver);
  m_nState = state;
}

void CMIDI::CloseStream() {
  if (!m_hStream) return;
  const MMRESULT closed = midiStreamClose(m_hStream);
  if (closed != MMSYSERR_NOERROR) MidiError(closed);
  std::lock_guard lock(m_handOver);
  m_hStream = nullptr;
}

int CMIDI::Pause() {
  if (m_bPlaying && !m_bPaused && m_pData) {
    if (const MMRESULT result = midiStreamPause(m_hStream); result != MMSYSERR_NOERROR) MidiError(result);
    m_bPaused = 1;
  }
  return 0;
}

int CMIDI::Continue() {
  if (m_bPaused && m_bPlaying && m_pData) {
    if (const MMRESULT result = midiStreamRestart(m_hStream); result != MMSYSERR_NOERROR) MidiError(result);
    m_bPaused = 0;
  }
  return 0;
}

void CMIDI::SetTempo(unsigned long percent) {
  const unsigned long capped = std::min<unsigned long>(percent, std::numeric_limits<DWORD>::max());
  m_dwTempoPercent = capped ? static_cast<DWORD>(capped) : 1;
  m_bTempoChanged = 1;
}

// ---------------------------------------------------------------- volume

void CMIDI::SetChannelVolume(unsigned long channel, unsigned long percent) {
  if (!m_bPlaying || channel >= m_Volumes.size()) return;
  // Clamped before it is sent too: a data byte above 127 would read as a status.
  const auto volume = static_cast<DWORD>(std::min<unsigned long>(percent, 100));
  m_Volumes[channel] = volume;
  const DWORD message =
      zerth::detail::ShortEventWord(static_cast<BYTE>(0xB0 | channel), 7, static_cast<BYTE>(volume * 127 / 100));
  if (const MMRESULT result = midiOutShortMsg(AsOutput(m_hStream), message); result != MMSYSERR_NOERROR) MidiError(result);
}

void CMIDI::SetVolume(unsigned long percent) {
  for (unsigned long channel = 0; channel < m_Volumes.size(); ++channel) SetChannelVolume(channel, percent);
}

unsigned long CMIDI::GetChannelVolume(unsigned long channel) const {
  return channel < m_Volumes.size() ? m_Volumes[channel].load() : 0;
}

unsigned long CMIDI::GetVolume() const {
  if (m_Volumes.empty()) return 0;
  unsigned long sum = 0;
  for (const auto& volume : m_Volumes) sum += volume.load();
  return sum / m_Volumes.size();
}

// ---------------------------------------------------------------- callbacks

void CMIDI::MidiError(MMRESULT) {}
void CMIDI::TrackError(TRACK*, const char*) {}
void CMIDI::OnMidiOutOpen() {}
void CMIDI::OnMidiOutClose() {}

void CMIDI::OnMidiOutDone(MIDIHDR&) {
  std::lock_guard lock(m_handOver);
  const int state = m_nState;
  if (state == kStateBuffersBack) return;
  ++m_nBuffersOut;
  if (state == kStateStopping || state == kStateSongEnded) {
    if (m_nBuffersOut < kBufferCount) return;
    if (state == kStateSongEnded) {
      FinishSong();
    } else {
      m_nState = kStateBuffersBack;
      SetEvent(m_hBufferReturnEvent);
    }
    return;
  }
  if (m_bPlaying) Refill(m_StreamBuffers[m_nCurrentBuffer]);
}

// Called with m_handOver held.
void CMIDI::Refill(CONVERTINFO& buffer) {
  buffer.startOffset = 0;
  buffer.maxLength = kBufferSize;
  buffer.bytesUsed = 0;
  buffer.startTick = 0;
  buffer.timeIsUp = 0;
  const int converted = ConvertToBuffer(0, &buffer);
  if (converted == kConvertOk) {
    buffer.header.dwBytesRecorded = buffer.bytesUsed;
    m_nCurrentBuffer = (m_nCurrentBuffer + 1) % kBufferCount;
    const MMRESULT queued = midiStreamOut(m_hStream, &buffer.header, sizeof(MIDIHDR));
    if (queued == MMSYSERR_NOERROR) {
      --m_nBuffersOut;
      return;
    }
    MidiError(queued);  // not out, so it stays counted as back
  } else if (converted == kConvertEndOfSong) {
    m_nState = kStateSongEnded;
  }
  // The song ended, or cannot go on: once no buffer is out, nothing more
  // will come back to refill, and the song is over.
  if (m_nBuffersOut >= kBufferCount) FinishSong();
}

// Called with m_handOver held, every buffer back.
void CMIDI::FinishSong() {
  m_bPlaying = 0;
  m_bPaused = 0;
  m_bRestartPending = 1;  // prepared again by the next Play or Stop (see the top of this file)
  m_nState = kStateBuffersBack;
  SetEvent(m_hBufferReturnEvent);
}

void CMIDI::OnMidiOutPositionCB(MIDIHDR&, MIDIEVENT& event) {
  if ((event.dwEvent >> 24 & 0x3F) != MEVT_SHORTMSG) return;
  ReportVolume(event.dwEvent & 0xFFFFFF);
}

void CMIDI::ReportVolume(DWORD shortMessage) {
  const auto status = static_cast<BYTE>(shortMessage & 0xFF);
  const auto data1 = static_cast<BYTE>(shortMessage >> 8 & 0xFF);
  const auto data2 = static_cast<BYTE>(shortMessage >> 16 & 0xFF);
  if (!zerth::detail::IsVolumeController(status, data1)) return;
  const unsigned channel = status & 0x0F;
  const unsigned volume = data2 * 100u / 127u;
  if (channel < m_Volumes.size()) m_Volumes[channel] = volume;
  if (m_relay) m_relay->Post(this, channel, volume);
}

void CMIDI::MidiProc(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  auto* player = reinterpret_cast<CMIDI*>(instance);
  auto* header = reinterpret_cast<MIDIHDR*>(param1);
  if (!player) return;
  switch (message) {
    case MOM_OPEN: player->OnMidiOutOpen(); break;
    case MOM_CLOSE: player->OnMidiOutClose(); break;
    case MOM_DONE:
      if (header) player->OnMidiOutDone(*header);
      break;
    case MOM_POSITIONCB: {
      // A copy of the event: the buffer is a byte block, and only its first
      // dwBytesRecorded bytes were written.
      if (!header || !header->lpData || header->dwBytesRecorded < kStreamEventSize ||
          header->dwOffset > header->dwBytesRecorded - kStreamEventSize) {
        break;
      }
      MIDIEVENT event{};
      std::memcpy(&event, header->lpData + header->dwOffset, kStreamEventSize);
      player->OnMidiOutPositionCB(*header, event);
      break;
    }
    default: break;
  }
}
