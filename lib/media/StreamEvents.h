// StreamEvents: the 12-byte events of a MIDI stream buffer (internal to the
// library): delta ticks, stream id 0 and the event word, written only where
// the buffer has room for all twelve bytes.
#pragma once

#include <zerth/CMIDI.h>

namespace zerth::detail {

// A short message as an event word: status, then the data bytes.
constexpr DWORD ShortEventWord(BYTE status, BYTE data1, BYTE data2) {
  return static_cast<DWORD>(status) | static_cast<DWORD>(data1) << 8 | static_cast<DWORD>(data2) << 16;
}

// Controller 7 (channel volume) of any channel.
constexpr bool IsVolumeController(BYTE status, BYTE data1) { return (status & 0xF0) == 0xB0 && data1 == 7; }

// The stream tempo for a song tempo (microseconds per quarter note) played
// at percent (at least 1): tempo * 100 / percent, capped at the 24 bits an
// event word holds, so a slow percentage can never spill into its type byte.
DWORD ScaledTempo(DWORD tempo, DWORD percent);

// The tempo event word for that stream tempo.
DWORD TempoEventWord(DWORD tempo, DWORD percent);

// Free bytes of the buffer: up to maxLength, and never past its block.
DWORD FreeBytes(const CMIDI::CONVERTINFO& buffer);

// Appends one event; false (nothing written) when fewer than 12 bytes are free.
[[nodiscard]] bool AppendStreamEvent(CMIDI::CONVERTINFO& buffer, DWORD delta, DWORD word);

}  // namespace zerth::detail
