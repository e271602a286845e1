// TrackMerge: the order in which the tracks of a song are merged (internal
// to the library): the earliest next event first, and of events at the same
// tick the one of the lower-numbered track.
#pragma once

#include <zerth/CMIDI.h>

#include <span>

namespace zerth::detail {

// Index of the track that gives the next event: not ended, smallest
// nextTick, lowest index among equals; -1 when every track has ended.
int NextTrackToRead(std::span<const CMIDI::TRACK> tracks);

}  // namespace zerth::detail
