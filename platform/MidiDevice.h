// The output devices behind the MIDI handles: what a stream sends its short
// messages to, and the table that numbers them (the synthesizer as device 0,
// the sequencer's ports after it) and resolves the MIDI mapper.
#pragma once

#include <zplatform/Mmsystem.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zplatform::midi {

class MidiDevice {
 public:
  virtual ~MidiDevice() = default;

  // A channel message (status in the low byte). streamMs is the sending
  // stream's clock: devices that render audio place the message there.
  virtual void Send(DWORD message, double streamMs) = 0;

  // The stream started or continued playing.
  virtual void Started() {}

  // The handle closes at streamMs on its clock: last chance to finish
  // output (the WAV device writes its tail and completes its file).
  virtual void Finish(double /*streamMs*/) {}
};

// Devices 0 .. MidiDeviceCount() - 1 and MIDI_MAPPER. An unknown id or a
// device that cannot be opened gives null and the WINMM code in error.
std::unique_ptr<MidiDevice> OpenMidiDevice(UINT id, MMRESULT& error);
UINT MidiDeviceCount();
MMRESULT MidiDeviceCaps(UINT id, MIDIOUTCAPSA& caps);

// A device named as in ZERTH_MIDI_DEVICE ("synth", "wav:PATH", "record",
// "alsa:CLIENT:PORT"); null with MIDIERR_NODEVICE when the name is unknown.
std::unique_ptr<MidiDevice> OpenNamedMidiDevice(std::string_view name, MMRESULT& error);

// The concrete devices.
std::unique_ptr<MidiDevice> OpenSynthDevice();
std::unique_ptr<MidiDevice> OpenWavDevice(std::string path);
std::unique_ptr<MidiDevice> OpenRecordDevice();

// Writable ports of the ALSA sequencer ("client:port" addresses), none where
// the sequencer cannot be opened.
struct AlsaPort {
  int client = 0;
  int port = 0;
  std::string name;
};
std::vector<AlsaPort> AlsaSequencerPorts();
std::unique_ptr<MidiDevice> OpenAlsaDevice(int client, int port, MMRESULT& error);

}  // namespace zplatform::midi
