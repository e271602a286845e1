// The WINMM MIDI functions over the platform's streams and devices. Open
// handles are numbers in a table, so a closed or made-up handle is refused
// with MMSYSERR_INVALHANDLE instead of followed. A stream handle and an
// output handle share the table: midiOut* functions take either, as
// Windows lets a stream be used as an output.
#include "MidiDevice.h"
#include "MidiStream.h"

#include <map>
#include <memory>
#include <mutex>

namespace zplatform::midi {
namespace {

class MidiHandles {
 public:
  // Opens device id as a new handle; its number first, since the stream
  // passes it to every callback from its first (MOM_OPEN) on.
  MMRESULT Open(UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags, bool stream,
                std::uintptr_t& handle) {
    MidiCallback how{static_cast<DWORD>(flags & CALLBACK_TYPEMASK), callback, instance};
    if (how.type != CALLBACK_NULL && how.type != CALLBACK_FUNCTION && how.type != CALLBACK_EVENT)
      return MMSYSERR_NOTSUPPORTED;
    if (how.type != CALLBACK_NULL && callback == 0) return MMSYSERR_INVALPARAM;
    MMRESULT error = MMSYSERR_NOERROR;
    std::unique_ptr<MidiDevice> device = OpenMidiDevice(id, error);
    if (!device) return error;
    std::lock_guard lock(m_mutex);
    m_next += kHandleStep;
    handle = m_next;
    auto player = MidiStream::Open(std::move(device), how, reinterpret_cast<HMIDIOUT>(handle));
    // A plain output has no stream to start: its clock runs from the open,
    // so that a WAV device places its messages when they were sent.
    if (!stream) player->Restart();
    m_open[handle] = {std::move(player), stream};
    return MMSYSERR_NOERROR;
  }

  // The open handle, for streams only when stream is set; null when there
  // is none.
  std::shared_ptr<MidiStream> Find(std::uintptr_t handle, bool streamOnly) {
    std::lock_guard lock(m_mutex);
    const auto found = m_open.find(handle);
    if (found == m_open.end() || (streamOnly && !found->second.stream)) return nullptr;
    return found->second.player;
  }

  std::shared_ptr<MidiStream> Remove(std::uintptr_t handle, bool stream) {
    std::lock_guard lock(m_mutex);
    const auto found = m_open.find(handle);
    if (found == m_open.end() || found->second.stream != stream) return nullptr;
    auto player = std::move(found->second.player);
    m_open.erase(found);
    return player;
  }

 private:
  struct Entry {
    std::shared_ptr<MidiStream> player;
    bool stream = false;  // from midiStreamOpen
  };
  // Never 0 and never reused, so that a stale handle cannot reach a newer
  // stream.
  static constexpr std::uintptr_t kHandleStep = 4;

  std::mutex m_mutex;
  std::map<std::uintptr_t, Entry> m_open;
  std::uintptr_t m_next = 0x20000;
};

MidiHandles& Handles() {
  static MidiHandles handles;
  return handles;
}

std::shared_ptr<MidiStream> FindStream(HMIDISTRM hms) {
  return Handles().Find(reinterpret_cast<std::uintptr_t>(hms), true);
}

std::shared_ptr<MidiStream> FindOutput(HMIDIOUT hmo) {
  return Handles().Find(reinterpret_cast<std::uintptr_t>(hmo), false);
}

}  // namespace
}  // namespace zplatform::midi

using zplatform::midi::FindOutput;
using zplatform::midi::FindStream;
using zplatform::midi::Handles;

MMRESULT midiStreamOpen(LPHMIDISTRM phms, LPUINT puDeviceID, DWORD cMidi, DWORD_PTR dwCallback,
                        DWORD_PTR dwInstance, DWORD fdwOpen) {
  if (phms == nullptr || puDeviceID == nullptr || cMidi != 1) return MMSYSERR_INVALPARAM;
  *phms = nullptr;
  std::uintptr_t handle = 0;
  const MMRESULT result = Handles().Open(*puDeviceID, dwCallback, dwInstance, fdwOpen, true, handle);
  if (result == MMSYSERR_NOERROR) *phms = reinterpret_cast<HMIDISTRM>(handle);
  return result;
}

MMRESULT midiStreamClose(HMIDISTRM hms) {
  const auto stream = Handles().Remove(reinterpret_cast<std::uintptr_t>(hms), true);
  if (!stream) return MMSYSERR_INVALHANDLE;
  stream->Close();
  return MMSYSERR_NOERROR;
}

MMRESULT midiStreamProperty(HMIDISTRM hms, LPBYTE lppropdata, DWORD dwProperty) {
  const auto stream = FindStream(hms);
  return stream ? stream->Property(lppropdata, dwProperty) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiStreamOut(HMIDISTRM hms, LPMIDIHDR pmh, UINT cbmh) {
  const auto stream = FindStream(hms);
  return stream ? stream->Out(pmh, cbmh) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiStreamPause(HMIDISTRM hms) {
  const auto stream = FindStream(hms);
  return stream ? stream->Pause() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiStreamRestart(HMIDISTRM hms) {
  const auto stream = FindStream(hms);
  return stream ? stream->Restart() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiStreamStop(HMIDISTRM hms) {
  const auto stream = FindStream(hms);
  return stream ? stream->Stop() : MMSYSERR_INVALHANDLE;
}

UINT midiOutGetNumDevs() { return zplatform::midi::MidiDeviceCount(); }

MMRESULT midiOutGetDevCaps(UINT_PTR uDeviceID, LPMIDIOUTCAPS pmoc, UINT cbmoc) {
  if (pmoc == nullptr || cbmoc < sizeof(MIDIOUTCAPSA)) return MMSYSERR_INVALPARAM;
  return zplatform::midi::MidiDeviceCaps(static_cast<UINT>(uDeviceID), *pmoc);
}

MMRESULT midiOutOpen(LPHMIDIOUT phmo, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance, DWORD fdwOpen) {
  if (phmo == nullptr) return MMSYSERR_INVALPARAM;
  *phmo = nullptr;
  std::uintptr_t handle = 0;
  const MMRESULT result = Handles().Open(uDeviceID, dwCallback, dwInstance, fdwOpen, false, handle);
  if (result == MMSYSERR_NOERROR) *phmo = reinterpret_cast<HMIDIOUT>(handle);
  return result;
}

MMRESULT midiOutClose(HMIDIOUT hmo) {
  const auto output = Handles().Remove(reinterpret_cast<std::uintptr_t>(hmo), false);
  if (!output) return MMSYSERR_INVALHANDLE;
  output->Close();
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutPrepareHeader(HMIDIOUT hmo, LPMIDIHDR pmh, UINT cbmh) {
  const auto output = FindOutput(hmo);
  return output ? output->Prepare(pmh, cbmh) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutUnprepareHeader(HMIDIOUT hmo, LPMIDIHDR pmh, UINT cbmh) {
  const auto output = FindOutput(hmo);
  return output ? output->Unprepare(pmh, cbmh) : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutReset(HMIDIOUT hmo) {
  const auto output = FindOutput(hmo);
  return output ? output->Reset() : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutShortMsg(HMIDIOUT hmo, DWORD dwMsg) {
  const auto output = FindOutput(hmo);
  return output ? output->ShortMsg(dwMsg) : MMSYSERR_INVALHANDLE;
}
