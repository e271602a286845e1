// SmfTrackReader: reading one track of a Standard MIDI File (internal to the
// library): bytes, variable-length numbers and whole events with running
// status, SysEx and meta data. Nothing is read outside [data, data + length)
// and no block is larger than the bytes left in the track.
#pragma once

#include <zerth/CMIDI.h>

namespace zerth::detail {

// The next byte; false at the track's end.
[[nodiscard]] bool ReadTrackByte(CMIDI::TRACK& track, BYTE& byte);

// The next variable-length number (7 bits a byte, high bit = more follow);
// false when the track has ended or ends inside the number.
[[nodiscard]] bool ReadTrackNumber(CMIDI::TRACK& track, DWORD& value);

// The next event and the delta time behind it (added to nextTick). False
// when the track has ended, is at its end or the event is malformed; error
// is then the reason where there is one ("Reference to missing running
// status.", "SysEx event truncated", ...), else null. A SysEx or non-empty
// meta event gets a malloc'ed copy of its data in longData, which the caller
// frees; on failure nothing is left allocated.
[[nodiscard]] bool ReadTrackEvent(CMIDI::TRACK& track, CMIDI::TEMPEVENT& event, const char*& error);

// Program change and channel pressure carry one data byte, the other
// channel messages two.
constexpr bool TakesOneDataByte(BYTE status) { return status >= 0xC0 && status <= 0xDF; }

}  // namespace zerth::detail
