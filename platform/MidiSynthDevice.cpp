// The synthesizer device (device 0, and the MIDI mapper by default):
// FluidSynth playing to the default audio output. One synthesizer and one
// audio output serve every open handle of the process, made at the first
// open and kept until the process ends, so that a player that closes and
// reopens its stream at the end of each song does not reload the SoundFont
// and restart the output every time. Without an audio output (a machine
// with no sound card or sound server, as CI is) the device plays to nothing
// and says so once on stderr; the output is tried once per process.
#include "MidiDevice.h"
#include "MidiSynth.h"

#include <cstdio>
#include <mutex>

namespace zplatform::midi {
namespace {

class SharedSynth {
 public:
  // The running synthesizer, or null when there is no audio output.
  static std::shared_ptr<MidiSynth> Get() {
    static std::mutex mutex;
    static std::shared_ptr<MidiSynth> current;
    static bool tried = false;
    std::lock_guard lock(mutex);
    if (tried) return current;
    tried = true;
    std::string error;
    std::shared_ptr<MidiSynth> synth = MidiSynth::Create(error);
    if (synth && !synth->StartAudioOutput(error)) synth.reset();
    if (!synth)
      std::fprintf(stderr,
                   "zplatform MIDI: no audio output for the synthesizer (%s); MIDI plays silently. "
                   "ZERTH_MIDI_DEVICE=wav:FILE renders it to a WAV file instead.\n",
                   error.c_str());
    current = synth;
    return current;
  }
};

class SynthDevice final : public MidiDevice {
 public:
  SynthDevice() : m_synth(SharedSynth::Get()) {}

  void Send(DWORD message, double /*streamMs*/) override {
    if (m_synth) m_synth->Apply(message);
  }

 private:
  std::shared_ptr<MidiSynth> m_synth;
};

}  // namespace

std::unique_ptr<MidiDevice> OpenSynthDevice() { return std::make_unique<SynthDevice>(); }

}  // namespace zplatform::midi
