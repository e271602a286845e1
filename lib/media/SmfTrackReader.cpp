// Track reading: every read is bounded by the track's end, and a length
// from the file is checked against the bytes left before anything is
// allocated for it.
#include "SmfTrackReader.h"

#include <cstdlib>
#include <cstring>

namespace zerth::detail {

namespace {

DWORD BytesLeft(const CMIDI::TRACK& track) {
  return static_cast<DWORD>(track.data + track.length - track.position);
}

bool HasEnded(const CMIDI::TRACK& track) { return (track.flags & CMIDI::kTrackEnded) != 0; }

// Copies the next length bytes into a new block (none for length 0).
bool ReadLongData(CMIDI::TRACK& track, DWORD length, CMIDI::TEMPEVENT& event, const char* truncated,
                  const char*& error) {
  if (length > BytesLeft(track)) {
    error = truncated;
    return false;
  }
  event.length = length;
  if (length == 0) return true;
  auto* block = static_cast<BYTE*>(std::malloc(length));
  if (!block) {
    error = "Out of memory during malloc call";
    return false;
  }
  std::memcpy(block, track.position, length);
  track.position += length;
  event.longData = block;
  return true;
}

bool ReadChannelData(CMIDI::TRACK& track, BYTE status, CMIDI::TEMPEVENT& event) {
  event.status = status;
  if (!ReadTrackByte(track, event.data1)) return false;
  if (!TakesOneDataByte(status) && !ReadTrackByte(track, event.data2)) return false;
  event.length = TakesOneDataByte(status) ? 2 : 3;
  return true;
}

bool ReadSysEx(CMIDI::TRACK& track, BYTE status, CMIDI::TEMPEVENT& event, const char*& error) {
  event.status = status;
  DWORD length = 0;
  if (!ReadTrackNumber(track, length)) {
    error = "SysEx event truncated (length)";
    return false;
  }
  return ReadLongData(track, length, event, "SysEx event truncated", error);
}

bool ReadMeta(CMIDI::TRACK& track, CMIDI::TEMPEVENT& event, const char*& error) {
  event.status = 0xFF;
  if (!ReadTrackByte(track, event.data1)) return false;
  DWORD length = 0;
  if (!ReadTrackNumber(track, length)) {
    error = "Meta event truncated (length)";
    return false;
  }
  if (!ReadLongData(track, length, event, "Meta event truncated", error)) return false;
  if (event.data1 == 0x2F) track.flags |= CMIDI::kTrackEnded;
  return true;
}

bool ReadWithRunningStatus(CMIDI::TRACK& track, BYTE firstData, CMIDI::TEMPEVENT& event, const char*& error) {
  if (!track.runningStatus) {
    error = "Reference to missing running status.";
    return false;
  }
  event.status = track.runningStatus;
  event.data1 = firstData;
  if (!TakesOneDataByte(event.status) && !ReadTrackByte(track, event.data2)) return false;
  event.length = TakesOneDataByte(event.status) ? 2 : 3;
  return true;
}

bool ReadEventBody(CMIDI::TRACK& track, BYTE first, CMIDI::TEMPEVENT& event, const char*& error) {
  if (first < 0x80) return ReadWithRunningStatus(track, first, event, error);
  if (first <= 0xEF) {
    track.runningStatus = first;
    return ReadChannelData(track, first, event);
  }
  if (first == 0xF0 || first == 0xF7) return ReadSysEx(track, first, event, error);
  if (first == 0xFF) return ReadMeta(track, event, error);
  return false;  // system common and real-time bytes have no place in a file
}

}  // namespace

bool ReadTrackByte(CMIDI::TRACK& track, BYTE& byte) {
  if (BytesLeft(track) == 0) return false;
  byte = *track.position++;
  return true;
}

bool ReadTrackNumber(CMIDI::TRACK& track, DWORD& value) {
  if (HasEnded(track)) return false;
  value = 0;
  BYTE byte = 0;
  do {
    if (!ReadTrackByte(track, byte)) return false;
    value = (value << 7) + (byte & 0x7F);
  } while (byte & 0x80);
  return true;
}

bool ReadTrackEvent(CMIDI::TRACK& track, CMIDI::TEMPEVENT& event, const char*& error) {
  event = {};
  error = nullptr;
  BYTE first = 0;
  if (HasEnded(track) || !ReadTrackByte(track, first)) return false;
  if (!ReadEventBody(track, first, event, error)) {
    std::free(event.longData);
    event.longData = nullptr;
    return false;
  }
  event.tick = track.nextTick;
  DWORD delta = 0;
  if (!HasEnded(track) && ReadTrackNumber(track, delta)) track.nextTick += delta;
  return true;
}

}  // namespace zerth::detail
