// The Windows multimedia MIDI output and stream functions (WINMM) and the
// named event that the MIDI player uses to hand control between threads,
// with their Windows names, over the platform's MIDI devices:
//   - the MIDI mapper (MIDI_MAPPER, -1): the device named by
//     ZERTH_MIDI_DEVICE (or SetMidiMapperDevice), by default the built-in
//     FluidSynth synthesizer playing to the default audio output;
//   - device 0: that synthesizer; devices 1 and on: the ALSA sequencer's
//     writable ports, where the machine has a sequencer.
// Callbacks (MOM_OPEN, MOM_DONE, MOM_POSITIONCB, MOM_CLOSE) run on the
// stream's own player thread, never on the caller's.
#pragma once

#include <zplatform/WinTypes.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using DWORD_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using LPUINT = UINT*;
using MMRESULT = UINT;
using MMVERSION = UINT;
using HANDLE = void*;

struct HMIDIOUT__ {
  int unused;
};
struct HMIDISTRM__ {
  int unused;
};
// A stream handle may be passed where an output handle is expected (as
// midiOutShortMsg((HMIDIOUT)stream, ...)): both name the same open device.
using HMIDIOUT = HMIDIOUT__*;
using HMIDISTRM = HMIDISTRM__*;
using LPHMIDIOUT = HMIDIOUT*;
using LPHMIDISTRM = HMIDISTRM*;

struct MIDIHDR {
  LPSTR lpData;            // the buffer of MIDIEVENTs (streams) or bytes
  DWORD dwBufferLength;    // its size
  DWORD dwBytesRecorded;   // bytes of it in use; at most dwBufferLength
  DWORD_PTR dwUser;        // the caller's
  DWORD dwFlags;           // MHDR_*
  MIDIHDR* lpNext;         // reserved
  DWORD_PTR reserved;      // reserved
  DWORD dwOffset;          // offset of the event of a MOM_POSITIONCB
  DWORD_PTR dwReserved[8]; // reserved
};
using LPMIDIHDR = MIDIHDR*;

struct MIDIEVENT {
  DWORD dwDeltaTime;  // ticks since the previous event
  DWORD dwStreamID;   // 0
  DWORD dwEvent;      // type (top byte), flags and parameter
  DWORD dwParms[1];   // long events only: their dwEvent parameter bytes
};

struct MIDIPROPTIMEDIV {
  DWORD cbStruct;
  DWORD dwTimeDiv;
};

struct MIDIPROPTEMPO {
  DWORD cbStruct;
  DWORD dwTempo;
};

struct MIDIOUTCAPSA {
  WORD wMid;
  WORD wPid;
  MMVERSION vDriverVersion;
  char szPname[32];
  WORD wTechnology;
  WORD wVoices;
  WORD wNotes;
  WORD wChannelMask;
  DWORD dwSupport;
};
using MIDIOUTCAPS = MIDIOUTCAPSA;
using LPMIDIOUTCAPS = MIDIOUTCAPSA*;

using MIDICALLBACK = void (*)(HMIDIOUT hmo, UINT wMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1,
                              DWORD_PTR dwParam2);
using LPMIDICALLBACK = MIDICALLBACK;

#ifndef CALLBACK
#define CALLBACK
#endif

#define MHDR_DONE 0x00000001
#define MHDR_PREPARED 0x00000002
#define MHDR_INQUEUE 0x00000004
#define MHDR_ISSTRM 0x00000008

#define MEVT_F_SHORT 0x00000000L
#define MEVT_F_LONG 0x80000000L
#define MEVT_F_CALLBACK 0x40000000L
#define MEVT_EVENTTYPE(x) ((BYTE)(((x) >> 24) & 0xFF))
#define MEVT_EVENTPARM(x) ((DWORD)((x) & 0x00FFFFFFL))
#define MEVT_SHORTMSG ((BYTE)0x00)
#define MEVT_TEMPO ((BYTE)0x01)
#define MEVT_NOP ((BYTE)0x02)
#define MEVT_LONGMSG ((BYTE)0x80)
#define MEVT_COMMENT ((BYTE)0x82)
#define MEVT_VERSION ((BYTE)0x84)

#define MIDIPROP_SET 0x80000000L
#define MIDIPROP_GET 0x40000000L
#define MIDIPROP_TIMEDIV 0x00000001L
#define MIDIPROP_TEMPO 0x00000002L

#define MIDI_MAPPER ((UINT)-1)

#define CALLBACK_TYPEMASK 0x00070000L
#define CALLBACK_NULL 0x00000000L
#define CALLBACK_WINDOW 0x00010000L
#define CALLBACK_TASK 0x00020000L
#define CALLBACK_FUNCTION 0x00030000L
#define CALLBACK_THREAD CALLBACK_TASK
#define CALLBACK_EVENT 0x00050000L

#define MM_MOM_OPEN 0x3C7
#define MM_MOM_CLOSE 0x3C8
#define MM_MOM_DONE 0x3C9
#define MM_MOM_POSITIONCB 0x3CA
#define MOM_OPEN MM_MOM_OPEN
#define MOM_CLOSE MM_MOM_CLOSE
#define MOM_DONE MM_MOM_DONE
#define MOM_POSITIONCB MM_MOM_POSITIONCB

#define MMSYSERR_BASE 0
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_BADERRNUM 9
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define MMSYSERR_HANDLEBUSY 12
#define MMSYSERR_LASTERROR 20

#define MIDIERR_BASE 64
#define MIDIERR_UNPREPARED (MIDIERR_BASE + 0)
#define MIDIERR_STILLPLAYING (MIDIERR_BASE + 1)
#define MIDIERR_NOMAP (MIDIERR_BASE + 2)
#define MIDIERR_NOTREADY (MIDIERR_BASE + 3)
#define MIDIERR_NODEVICE (MIDIERR_BASE + 4)
#define MIDIERR_INVALIDSETUP (MIDIERR_BASE + 5)
#define MIDIERR_BADOPENMODE (MIDIERR_BASE + 6)
#define MIDIERR_DONT_CONTINUE (MIDIERR_BASE + 7)
#define MIDIERR_LASTERROR (MIDIERR_BASE + 7)

#define MOD_MIDIPORT 1
#define MOD_SYNTH 2
#define MOD_SQSYNTH 3
#define MOD_FMSYNTH 4
#define MOD_MAPPER 5
#define MOD_WAVETABLE 6
#define MOD_SWSYNTH 7

#define MIDICAPS_VOLUME 0x0001
#define MIDICAPS_LRVOLUME 0x0002
#define MIDICAPS_CACHE 0x0004
#define MIDICAPS_STREAM 0x0008

// Streams. A new stream is paused; midiStreamRestart starts or continues it.
MMRESULT midiStreamOpen(LPHMIDISTRM phms, LPUINT puDeviceID, DWORD cMidi, DWORD_PTR dwCallback,
                        DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT midiStreamClose(HMIDISTRM hms);
MMRESULT midiStreamProperty(HMIDISTRM hms, LPBYTE lppropdata, DWORD dwProperty);
MMRESULT midiStreamOut(HMIDISTRM hms, LPMIDIHDR pmh, UINT cbmh);
MMRESULT midiStreamPause(HMIDISTRM hms);
MMRESULT midiStreamRestart(HMIDISTRM hms);
MMRESULT midiStreamStop(HMIDISTRM hms);

// Output devices (and streams, cast to HMIDIOUT).
UINT midiOutGetNumDevs();
MMRESULT midiOutGetDevCaps(UINT_PTR uDeviceID, LPMIDIOUTCAPS pmoc, UINT cbmoc);
MMRESULT midiOutOpen(LPHMIDIOUT phmo, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                     DWORD fdwOpen);
MMRESULT midiOutClose(HMIDIOUT hmo);
MMRESULT midiOutPrepareHeader(HMIDIOUT hmo, LPMIDIHDR pmh, UINT cbmh);
MMRESULT midiOutUnprepareHeader(HMIDIOUT hmo, LPMIDIHDR pmh, UINT cbmh);
MMRESULT midiOutReset(HMIDIOUT hmo);
MMRESULT midiOutShortMsg(HMIDIOUT hmo, DWORD dwMsg);

// Events: process-wide objects; a name given again opens the same event.
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

HANDLE CreateEvent(void* lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL CloseHandle(HANDLE hObject);

namespace zplatform {

// The device that the MIDI mapper opens from now on: "synth" (the
// synthesizer to the audio output), "wav:PATH" (the synthesizer rendered to
// a WAV file), "record" (every short message kept with its time, see
// MidiRecording), "alsa:CLIENT:PORT" (a sequencer port), or empty to go back
// to ZERTH_MIDI_DEVICE (itself "synth" when unset). Streams already open
// keep their device.
void SetMidiMapperDevice(std::string_view device);

// One short message that reached the recording device.
struct MidiRecordedMessage {
  // Wall-clock time since the first midiStreamRestart after the recording
  // was last cleared (0 for messages before it).
  double milliseconds;
  // The sending stream's own clock: the playing time (pauses excluded) at
  // which the stream scheduled the message, from 0 at the stream's opening.
  double streamMilliseconds;
  DWORD message;
};

// A copy of what the recording device has received, in order.
std::vector<MidiRecordedMessage> MidiRecording();
void ClearMidiRecording();

}  // namespace zplatform
