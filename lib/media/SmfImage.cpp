// The header and track chunks of a Standard MIDI File image. Offsets are
// 64-bit so that no chunk length from the file can wrap around them.
#include "SmfImage.h"

#include "SmfTrackReader.h"

#include <cstdint>
#include <cstring>

namespace zerth::detail {

namespace {

constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kHeaderChunkSize = 14;

DWORD BigEndian16(const BYTE* p) { return static_cast<DWORD>(p[0] << 8 | p[1]); }

DWORD BigEndian32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) << 24 | static_cast<DWORD>(p[1]) << 16 | static_cast<DWORD>(p[2]) << 8 | p[3];
}

bool ParseHeader(std::span<const BYTE> image, SmfHeader& header) {
  if (image.size() < kHeaderChunkSize) return false;
  if (std::memcmp(image.data(), "MThd", 4) != 0 || BigEndian32(image.data() + 4) != 6) return false;
  header.format = BigEndian16(image.data() + 8);
  header.trackCount = BigEndian16(image.data() + 10);
  header.division = BigEndian16(image.data() + 12);
  // Every track needs a chunk header of its own inside the image.
  const std::uint64_t room = (image.size() - kHeaderChunkSize) / kChunkHeaderSize;
  return header.trackCount != 0 && header.trackCount <= room && header.division != 0;
}

}  // namespace

bool StartTrack(CMIDI::TRACK& track) {
  track.position = track.data;
  track.runningStatus = 0;
  track.nextTick = 0;
  track.flags = track.length == 0 ? CMIDI::kTrackEnded : 0;
  if (track.length == 0) return true;
  DWORD delta = 0;
  if (!ReadTrackNumber(track, delta)) return false;
  track.nextTick = delta;
  return true;
}

bool ParseSmfImage(std::span<const BYTE> image, SmfHeader& header, std::vector<CMIDI::TRACK>& tracks) {
  if (!ParseHeader(image, header)) return false;
  tracks.assign(header.trackCount, CMIDI::TRACK{});
  std::uint64_t offset = kHeaderChunkSize;
  for (CMIDI::TRACK& track : tracks) {
    if (offset + kChunkHeaderSize > image.size()) return false;
    const BYTE* chunk = image.data() + offset;
    if (std::memcmp(chunk, "MTrk", 4) != 0) return false;
    const DWORD length = BigEndian32(chunk + 4);
    if (offset + kChunkHeaderSize + length > image.size()) return false;
    track.length = length;
    track.data = chunk + kChunkHeaderSize;
    (void)StartTrack(track);  // an unreadable first delta time counts as 0
    offset += kChunkHeaderSize + length;
  }
  return true;
}

}  // namespace zerth::detail
