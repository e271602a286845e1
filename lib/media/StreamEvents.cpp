// Stream events written into a buffer's block.
#include "StreamEvents.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zerth::detail {

DWORD ScaledTempo(DWORD tempo, DWORD percent) {
  const std::uint64_t scaled = std::uint64_t{tempo} * 100 / std::max<DWORD>(percent, 1);
  return static_cast<DWORD>(std::min<std::uint64_t>(scaled, 0xFFFFFF));
}

DWORD TempoEventWord(DWORD tempo, DWORD percent) {
  return ScaledTempo(tempo, percent) | static_cast<DWORD>(MEVT_TEMPO) << 24;
}

DWORD FreeBytes(const CMIDI::CONVERTINFO& buffer) {
  const std::uint64_t end = std::min<std::uint64_t>(buffer.maxLength, buffer.header.dwBufferLength);
  const std::uint64_t used = std::uint64_t{buffer.startOffset} + buffer.bytesUsed;
  return used >= end ? 0 : static_cast<DWORD>(end - used);
}

bool AppendStreamEvent(CMIDI::CONVERTINFO& buffer, DWORD delta, DWORD word) {
  if (!buffer.header.lpData || FreeBytes(buffer) < CMIDI::kStreamEventSize) return false;
  const DWORD event[3] = {delta, 0, word};
  static_assert(sizeof event == CMIDI::kStreamEventSize);
  std::memcpy(buffer.header.lpData + buffer.startOffset + buffer.bytesUsed, event, sizeof event);
  buffer.bytesUsed += CMIDI::kStreamEventSize;
  return true;
}

}  // namespace zerth::detail
