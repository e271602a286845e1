// Device numbers and the MIDI mapper. Device 0 is the synthesizer; the
// ALSA sequencer's writable ports follow as 1, 2, ... in the sequencer's
// order. The mapper opens the device named by SetMidiMapperDevice, else by
// the environment variable ZERTH_MIDI_DEVICE, else the synthesizer.
#include "MidiDevice.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

namespace zplatform::midi {
namespace {

constexpr std::string_view kWavPrefix = "wav:";
constexpr std::string_view kAlsaPrefix = "alsa:";

std::mutex g_mapperMutex;
std::optional<std::string> g_mapperDevice;

std::string MapperDeviceName() {
  {
    std::lock_guard lock(g_mapperMutex);
    if (g_mapperDevice) return *g_mapperDevice;
  }
  const char* fromEnvironment = std::getenv("ZERTH_MIDI_DEVICE");
  return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "synth";
}

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

std::unique_ptr<MidiDevice> OpenAlsaByAddress(std::string_view address, MMRESULT& error) {
  const auto colon = address.find(':');
  const auto client = ParseNumber(address.substr(0, colon));
  const auto port = colon == std::string_view::npos ? std::optional<int>(0) : ParseNumber(address.substr(colon + 1));
  if (!client || !port) {
    error = MIDIERR_NODEVICE;
    return nullptr;
  }
  return OpenAlsaDevice(*client, *port, error);
}

void CopyName(MIDIOUTCAPSA& caps, std::string_view name) {
  const std::size_t length = std::min(name.size(), sizeof caps.szPname - 1);
  std::memcpy(caps.szPname, name.data(), length);
  caps.szPname[length] = '\0';
}

}  // namespace

std::unique_ptr<MidiDevice> OpenNamedMidiDevice(std::string_view name, MMRESULT& error) {
  error = MMSYSERR_NOERROR;
  if (name == "synth") return OpenSynthDevice();
  if (name == "record") return OpenRecordDevice();
  if (name.starts_with(kWavPrefix) && name.size() > kWavPrefix.size())
    return OpenWavDevice(std::string(name.substr(kWavPrefix.size())));
  if (name.starts_with(kAlsaPrefix)) return OpenAlsaByAddress(name.substr(kAlsaPrefix.size()), error);
  error = MIDIERR_NODEVICE;
  return nullptr;
}

std::unique_ptr<MidiDevice> OpenMidiDevice(UINT id, MMRESULT& error) {
  error = MMSYSERR_NOERROR;
  if (id == MIDI_MAPPER) {
    const std::string name = MapperDeviceName();
    auto device = OpenNamedMidiDevice(name, error);
    if (!device)
      std::fprintf(stderr,
                   "zplatform MIDI: the MIDI device \"%s\" cannot be opened (known: synth, wav:FILE, record, "
                   "alsa:CLIENT:PORT)\n",
                   name.c_str());
    return device;
  }
  if (id == 0) return OpenSynthDevice();
  const auto ports = AlsaSequencerPorts();
  if (id - 1 >= ports.size()) {
    error = MMSYSERR_BADDEVICEID;
    return nullptr;
  }
  return OpenAlsaDevice(ports[id - 1].client, ports[id - 1].port, error);
}

UINT MidiDeviceCount() { return 1 + static_cast<UINT>(AlsaSequencerPorts().size()); }

MMRESULT MidiDeviceCaps(UINT id, MIDIOUTCAPSA& caps) {
  caps = {};
  caps.wChannelMask = 0xFFFF;
  caps.vDriverVersion = 0x0100;
  if (id == MIDI_MAPPER || id == 0) {
    CopyName(caps, id == 0 ? "FluidSynth (General MIDI)" : "MIDI Mapper");
    caps.wTechnology = id == 0 ? MOD_SWSYNTH : MOD_MAPPER;
    caps.wVoices = 256;
    caps.wNotes = 256;
    caps.dwSupport = MIDICAPS_VOLUME | MIDICAPS_LRVOLUME | MIDICAPS_STREAM;
    return MMSYSERR_NOERROR;
  }
  const auto ports = AlsaSequencerPorts();
  if (id - 1 >= ports.size()) return MMSYSERR_BADDEVICEID;
  CopyName(caps, ports[id - 1].name);
  caps.wTechnology = MOD_MIDIPORT;
  caps.dwSupport = MIDICAPS_STREAM;
  return MMSYSERR_NOERROR;
}

}  // namespace zplatform::midi

namespace zplatform {

void SetMidiMapperDevice(std::string_view device) {
  std::lock_guard lock(midi::g_mapperMutex);
  if (device.empty())
    midi::g_mapperDevice.reset();
  else
    midi::g_mapperDevice = std::string(device);
}

}  // namespace zplatform
