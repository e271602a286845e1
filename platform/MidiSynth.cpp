// FluidSynth behind the synthesizer and WAV devices.
#include "MidiSynth.h"

#include "AlsaErrorsMuted.h"

#include <fluidsynth.h>

#include <array>
#include <mutex>
#include <string_view>
#include <sys/stat.h>

namespace zplatform::midi {
namespace {

// FluidSynth writes its errors to stderr by default; a program without a
// sound card would print one for every driver it tries. They are kept
// instead, and the device reports the last one once in its own words.
std::mutex g_logMutex;
std::string g_lastFluidError;

void KeepFluidMessage(int level, const char* message, void* /*data*/) {
  if (level > FLUID_WARN || message == nullptr) return;
  std::lock_guard lock(g_logMutex);
  g_lastFluidError = message;
}

void InstallFluidLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, KeepFluidMessage, nullptr);
  });
}

std::string LastFluidError() {
  std::lock_guard lock(g_logMutex);
  return g_lastFluidError.empty() ? std::string("no reason given") : g_lastFluidError;
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void MidiSynth::SettingsDeleter::operator()(fluid_settings_t* settings) const {
  delete_fluid_settings(settings);
}
void MidiSynth::SynthDeleter::operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
void MidiSynth::DriverDeleter::operator()(fluid_audio_driver_t* driver) const {
  delete_fluid_audio_driver(driver);
}

MidiSynth::~MidiSynth() = default;

std::string MidiSynth::SoundFontPath() {
  static constexpr std::array<std::string_view, 2> kFonts = {
      "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};
  for (const std::string_view font : kFonts)
    if (IsFile(std::string(font))) return std::string(font);
  return {};
}

std::unique_ptr<MidiSynth> MidiSynth::Create(std::string& error) {
  InstallFluidLog();
  const std::string font = SoundFontPath();
  if (font.empty()) {
    error = "no General MIDI SoundFont in /usr/share/sounds/sf2 (package timgm6mb-soundfont)";
    return nullptr;
  }
  std::unique_ptr<MidiSynth> synth(new MidiSynth);
  synth->m_settings.reset(new_fluid_settings());
  if (!synth->m_settings) {
    error = "FluidSynth settings: " + LastFluidError();
    return nullptr;
  }
  fluid_settings_setnum(synth->m_settings.get(), "synth.sample-rate", kSampleRate);
  fluid_settings_setnum(synth->m_settings.get(), "synth.gain", 0.5);
  synth->m_synth.reset(new_fluid_synth(synth->m_settings.get()));
  if (!synth->m_synth) {
    error = "FluidSynth: " + LastFluidError();
    return nullptr;
  }
  if (fluid_synth_sfload(synth->m_synth.get(), font.c_str(), 1) == FLUID_FAILED) {
    error = "SoundFont " + font + ": " + LastFluidError();
    return nullptr;
  }
  return synth;
}

void MidiSynth::Apply(DWORD message) {
  const int status = static_cast<int>(message & 0xF0);
  const int channel = static_cast<int>(message & 0x0F);
  const int data1 = static_cast<int>((message >> 8) & 0x7F);
  const int data2 = static_cast<int>((message >> 16) & 0x7F);
  fluid_synth_t* synth = m_synth.get();
  switch (status) {
    case 0x80: fluid_synth_noteoff(synth, channel, data1); break;
    case 0x90: fluid_synth_noteon(synth, channel, data1, data2); break;
    case 0xA0: fluid_synth_key_pressure(synth, channel, data1, data2); break;
    case 0xB0: fluid_synth_cc(synth, channel, data1, data2); break;
    case 0xC0: fluid_synth_program_change(synth, channel, data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7)); break;
    default: break;
  }
}

void MidiSynth::Render(std::span<std::int16_t> interleaved) {
  const int frames = static_cast<int>(interleaved.size() / kChannels);
  if (frames == 0) return;
  fluid_synth_write_s16(m_synth.get(), frames, interleaved.data(), 0, kChannels, interleaved.data(), 1,
                        kChannels);
}

bool MidiSynth::StartAudioOutput(std::string& error) {
  // The build's default driver first, then the usual desktop outputs; JACK
  // is left out, since trying it may start a server.
  static constexpr std::array<const char*, 4> kDrivers = {nullptr, "pipewire", "pulseaudio", "alsa"};
  const AlsaErrorsMuted muted;
  for (const char* driver : kDrivers) {
    if (driver != nullptr && fluid_settings_setstr(m_settings.get(), "audio.driver", driver) == FLUID_FAILED)
      continue;
    m_driver.reset(new_fluid_audio_driver(m_settings.get(), m_synth.get()));
    if (m_driver) return true;
  }
  error = LastFluidError();
  return false;
}

}  // namespace zplatform::midi
