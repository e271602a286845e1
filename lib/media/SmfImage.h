// SmfImage: the layout of a Standard MIDI File image (internal to the
// library): the "MThd" header chunk and the "MTrk" chunks behind it, each
// checked to lie inside the image before a track is made of it.
#pragma once

#include <zerth/CMIDI.h>

#include <span>
#include <vector>

namespace zerth::detail {

struct SmfHeader {
  DWORD format = 0;
  DWORD trackCount = 0;
  DWORD division = 0;  // ticks per quarter note
};

// Reads the header and makes one track per announced track chunk, each at
// its start (first delta time read). False, with header and tracks
// unspecified, unless the image begins with "MThd" of length 6, announces at
// least one track and a non-zero division, and every announced chunk is an
// "MTrk" chunk lying wholly inside the image. Memory is bounded by the
// image: a track count that the image cannot hold is refused before any
// track is made.
[[nodiscard]] bool ParseSmfImage(std::span<const BYTE> image, SmfHeader& header, std::vector<CMIDI::TRACK>& tracks);

// Sets the track back to its start: first byte, no running status, tick 0,
// not ended (unless empty), first delta time read into nextTick. False when
// that delta time is unreadable (nextTick then 0).
bool StartTrack(CMIDI::TRACK& track);

}  // namespace zerth::detail
