// The FluidSynth synthesizer with the General MIDI SoundFont that Debian
// ships: what the synthesizer device plays through the audio output and the
// WAV device renders into its file.
#pragma once

#include <zplatform/WinTypes.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;

namespace zplatform::midi {

class MidiSynth {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr int kChannels = 2;

  // A synthesizer with the SoundFont loaded, or null with the reason in
  // error (no SoundFont, FluidSynth failed).
  static std::unique_ptr<MidiSynth> Create(std::string& error);
  ~MidiSynth();
  MidiSynth(const MidiSynth&) = delete;
  MidiSynth& operator=(const MidiSynth&) = delete;

  // A channel message; system messages are ignored.
  void Apply(DWORD message);

  // Renders the next frames into interleaved 16-bit stereo samples.
  void Render(std::span<std::int16_t> interleaved);

  // Starts playing to the default audio output; false with the reason in
  // error when no output could be opened (no sound card, no sound server).
  bool StartAudioOutput(std::string& error);

  // The SoundFont used: the first of the Debian General MIDI fonts present.
  static std::string SoundFontPath();

 private:
  MidiSynth() = default;

  struct SettingsDeleter {
    void operator()(_fluid_hashtable_t* settings) const;
  };
  struct SynthDeleter {
    void operator()(_fluid_synth_t* synth) const;
  };
  struct DriverDeleter {
    void operator()(_fluid_audio_driver_t* driver) const;
  };
  // Declaration order is destruction order reversed: the driver stops
  // before the synthesizer it pulls from goes, and that before its settings.
  std::unique_ptr<_fluid_hashtable_t, SettingsDeleter> m_settings;
  std::unique_ptr<_fluid_synth_t, SynthDeleter> m_synth;
  std::unique_ptr<_fluid_audio_driver_t, DriverDeleter> m_driver;
};

}  // namespace zplatform::midi
