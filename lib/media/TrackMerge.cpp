// The merge order of the tracks.
#include "TrackMerge.h"

namespace zerth::detail {

int NextTrackToRead(std::span<const CMIDI::TRACK> tracks) {
  int earliest = -1;
  for (int i = 0; i < static_cast<int>(tracks.size()); ++i) {
    const CMIDI::TRACK& track = tracks[static_cast<std::size_t>(i)];
    if (track.flags & CMIDI::kTrackEnded) continue;
    // Strictly earlier only: of equal ticks the first (lower) track stays.
    if (earliest < 0 || track.nextTick < tracks[static_cast<std::size_t>(earliest)].nextTick) earliest = i;
  }
  return earliest;
}

}  // namespace zerth::detail
