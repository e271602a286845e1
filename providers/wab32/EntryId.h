// The provider's entry identifiers: four zero flag bytes, the provider's
// 16-byte identifier, then the object type and the row number (both 32-bit
// little-endian). The container's row number is 0.
#pragma once

#include <zproviders/WabApi.h>

#include <cstddef>
#include <span>

namespace wab32 {

inline constexpr std::size_t kEntryIdSize = 4 + 16 + 4 + 4;

void WriteEntryId(std::span<BYTE, kEntryIdSize> out, ULONG objectType, ULONG row);

// Whether the cb bytes at id name the personal address book's container.
bool IsContainerEntryId(ULONG cb, const ENTRYID* id);

}  // namespace wab32
