// The WINMM MIDI functions over the platform's streams and devices.
#include <zplatform/Mmsystem.h>

MMRESULT midiStreamOpen(LPHMIDISTRM phms, LPUINT, DWORD, DWORD_PTR, DWORD_PTR, DWORD) {
  if (phms != nullptr) *phms = nullptr;
  return MMSYSERR_NODRIVER;
}
MMRESULT midiStreamClose(HMIDISTRM) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiStreamProperty(HMIDISTRM, LPBYTE, DWORD) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiStreamOut(HMIDISTRM, LPMIDIHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiStreamPause(HMIDISTRM) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiStreamRestart(HMIDISTRM) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiStreamStop(HMIDISTRM) { return MMSYSERR_INVALHANDLE; }
UINT midiOutGetNumDevs() { return 0; }
MMRESULT midiOutGetDevCaps(UINT_PTR, LPMIDIOUTCAPS, UINT) { return MMSYSERR_BADDEVICEID; }
MMRESULT midiOutOpen(LPHMIDIOUT phmo, UINT, DWORD_PTR, DWORD_PTR, DWORD) {
  if (phmo != nullptr) *phmo = nullptr;
  return MMSYSERR_NODRIVER;
}
MMRESULT midiOutClose(HMIDIOUT) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiOutPrepareHeader(HMIDIOUT, LPMIDIHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiOutUnprepareHeader(HMIDIOUT, LPMIDIHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiOutReset(HMIDIOUT) { return MMSYSERR_INVALHANDLE; }
MMRESULT midiOutShortMsg(HMIDIOUT, DWORD) { return MMSYSERR_INVALHANDLE; }

