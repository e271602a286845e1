// MAPI's memory blocks: a block from AllocateBlock can have more blocks
// allocated onto it (AllocateLinkedBlock), and freeing it frees them all. The
// blocks are plain heap memory with no state of the library behind them, so
// a caller may free what it was given whenever it likes.
#pragma once

#include <zproviders/WabApi.h>

#include <memory>

namespace wab32 {

// A block of cb bytes, aligned for any type, to *out; MAPI_E_NOT_ENOUGH_MEMORY
// (with *out null) when the heap is exhausted.
[[nodiscard]] HRESULT AllocateBlock(ULONG cb, void** out);

// A block of cb bytes freed together with parent (a block of ours).
[[nodiscard]] HRESULT AllocateLinkedBlock(ULONG cb, void* parent, void** out);

// Frees a block and every block allocated onto it; null is ignored.
void FreeBlock(void* block);

struct BlockDeleter {
  void operator()(void* block) const { FreeBlock(block); }
};
using BlockPtr = std::unique_ptr<void, BlockDeleter>;

}  // namespace wab32
