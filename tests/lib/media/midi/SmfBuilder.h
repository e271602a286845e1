// A tiny Standard MIDI File builder for the tests: tracks of (delta, bytes)
// events, closed with an end-of-track event, in a file of any format.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace smf {

inline std::string Vlq(std::uint32_t value) {
  std::string out(1, static_cast<char>(value & 0x7F));
  while (value >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return out;
}

inline std::string Be(std::uint32_t value, int bytes) {
  std::string out;
  while (bytes--) out += static_cast<char>(value >> (8 * bytes) & 0xFF);
  return out;
}

struct Track {
  std::string bytes;
  Track& At(std::uint32_t delta, std::initializer_list<int> event) {
    bytes += Vlq(delta);
    for (int b : event) bytes += static_cast<char>(b);
    return *this;
  }
  Track& Tempo(std::uint32_t delta, std::uint32_t micros) { return At(delta, {0xFF, 0x51, 3}), bytes += Be(micros, 3), *this; }
  Track& Text(std::uint32_t delta, const std::string& text) {
    return At(delta, {0xFF, 0x01, static_cast<int>(text.size())}), bytes += text, *this;
  }
  std::string Ended() const { return bytes + Vlq(0) + "\xFF\x2F" + '\0'; }
};

inline std::string File(int format, int division, const std::vector<std::string>& tracks) {
  std::string out = "MThd" + Be(6, 4) + Be(format, 2) + Be(static_cast<std::uint32_t>(tracks.size()), 2) + Be(division, 2);
  for (const std::string& track : tracks) out += "MTrk" + Be(static_cast<std::uint32_t>(track.size()), 4) + track;
  return out;
}

}  // namespace smf
