// ALSA sequencer ports as MIDI devices: every port that accepts
// subscriptions for writing (a hardware MIDI port, a running software
// synthesizer), other than the system's own client. Each open handle is a
// sequencer client of its own with one port connected to the chosen one.
// Where the sequencer cannot be opened (no /dev/snd) there are no ports.
#include "AlsaErrorsMuted.h"
#include "MidiDevice.h"

#include <alsa/asoundlib.h>

namespace zplatform::midi {
namespace {

struct SeqCloser {
  void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
using SeqHandle = std::unique_ptr<snd_seq_t, SeqCloser>;

SeqHandle OpenSequencer() {
  snd_seq_t* seq = nullptr;
  const AlsaErrorsMuted muted;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return nullptr;
  return SeqHandle(seq);
}

bool IsWritablePort(snd_seq_port_info_t* port) {
  constexpr unsigned int kWanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
  return (snd_seq_port_info_get_capability(port) & kWanted) == kWanted &&
         (snd_seq_port_info_get_capability(port) & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
}

// The sequencer event for a channel message; false for anything else.
bool ToSequencerEvent(DWORD message, snd_seq_event_t& event) {
  const auto channel = static_cast<unsigned char>(message & 0x0F);
  const auto data1 = static_cast<unsigned char>((message >> 8) & 0x7F);
  const auto data2 = static_cast<unsigned char>((message >> 16) & 0x7F);
  switch (message & 0xF0) {
    case 0x80: snd_seq_ev_set_noteoff(&event, channel, data1, data2); return true;
    case 0x90: snd_seq_ev_set_noteon(&event, channel, data1, data2); return true;
    case 0xA0: snd_seq_ev_set_keypress(&event, channel, data1, data2); return true;
    case 0xB0: snd_seq_ev_set_controller(&event, channel, data1, data2); return true;
    case 0xC0: snd_seq_ev_set_pgmchange(&event, channel, data1); return true;
    case 0xD0: snd_seq_ev_set_chanpress(&event, channel, data1); return true;
    case 0xE0: snd_seq_ev_set_pitchbend(&event, channel, (data1 | (data2 << 7)) - 8192); return true;
    default: return false;
  }
}

class AlsaDevice final : public MidiDevice {
 public:
  AlsaDevice(SeqHandle seq, int port) : m_seq(std::move(seq)), m_port(port) {}

  void Send(DWORD message, double /*streamMs*/) override {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (!ToSequencerEvent(message, event)) return;
    snd_seq_ev_set_source(&event, static_cast<unsigned char>(m_port));
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_event_output_direct(m_seq.get(), &event);
  }

 private:
  SeqHandle m_seq;
  int m_port;
};

}  // namespace

std::vector<AlsaPort> AlsaSequencerPorts() {
  std::vector<AlsaPort> ports;
  SeqHandle seq = OpenSequencer();
  if (!seq) return ports;
  const int self = snd_seq_client_id(seq.get());
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq.get(), client) >= 0) {
    const int id = snd_seq_client_info_get_client(client);
    if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq.get(), port) >= 0) {
      if (!IsWritablePort(port)) continue;
      ports.push_back({id, snd_seq_port_info_get_port(port),
                       std::string(snd_seq_client_info_get_name(client)) + ": " + snd_seq_port_info_get_name(port)});
    }
  }
  return ports;
}

std::unique_ptr<MidiDevice> OpenAlsaDevice(int client, int port, MMRESULT& error) {
  SeqHandle seq = OpenSequencer();
  if (!seq) {
    error = MMSYSERR_NODRIVER;
    return nullptr;
  }
  snd_seq_set_client_name(seq.get(), "zerth MIDI");
  const int own = snd_seq_create_simple_port(seq.get(), "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                             SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (own < 0 || snd_seq_connect_to(seq.get(), own, client, port) < 0) {
    error = MIDIERR_NODEVICE;
    return nullptr;
  }
  error = MMSYSERR_NOERROR;
  return std::make_unique<AlsaDevice>(std::move(seq), own);
}

}  // namespace zplatform::midi
