#include "EntryId.h"

#include <algorithm>
#include <array>

namespace wab32 {

namespace {

// Random bytes fixed once: they tell our identifiers from anybody else's.
constexpr std::array<BYTE, 16> kProviderUid = {0x5a, 0x45, 0x52, 0x54, 0x48, 0x57, 0x41, 0x42,
                                               0x9c, 0x31, 0x0e, 0x7b, 0xd2, 0x64, 0xa8, 0x15};

void PutLittleEndian(BYTE* out, ULONG value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<BYTE>(value >> (8 * i));
}

}  // namespace

void WriteEntryId(std::span<BYTE, kEntryIdSize> out, ULONG objectType, ULONG row) {
  std::fill_n(out.begin(), 4, BYTE{0});
  std::copy(kProviderUid.begin(), kProviderUid.end(), out.begin() + 4);
  PutLittleEndian(out.data() + 20, objectType);
  PutLittleEndian(out.data() + 24, row);
}

bool IsContainerEntryId(ULONG cb, const ENTRYID* id) {
  if (cb != kEntryIdSize || !id) return false;
  std::array<BYTE, kEntryIdSize> expected{};
  WriteEntryId(expected, MAPI_ABCONT, 0);
  // Byte access to the caller's identifier, as MAPI lays it out.
  const auto* bytes = reinterpret_cast<const BYTE*>(id);
  return std::equal(expected.begin(), expected.end(), bytes);
}

}  // namespace wab32
