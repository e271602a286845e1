#include "BlockAllocator.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace wab32 {

namespace {

// Sits in front of every block. The blocks allocated onto one parent form a
// list from the parent's `linked` through their `next`.
struct alignas(std::max_align_t) BlockHeader {
  BlockHeader* linked = nullptr;
  BlockHeader* next = nullptr;
};

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

BlockHeader* NewHeader(ULONG cb) {
  // ULONG is 32 bits, so the sum cannot overflow size_t.
  void* raw = std::malloc(sizeof(BlockHeader) + cb);
  return raw ? new (raw) BlockHeader{} : nullptr;
}

}  // namespace

HRESULT AllocateBlock(ULONG cb, void** out) {
  if (!out) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* header = NewHeader(cb);
  *out = header ? header + 1 : nullptr;
  return header ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

HRESULT AllocateLinkedBlock(ULONG cb, void* parent, void** out) {
  if (!out) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (!parent) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* header = NewHeader(cb);
  if (!header) return MAPI_E_NOT_ENOUGH_MEMORY;
  BlockHeader* owner = HeaderOf(parent);
  header->next = owner->linked;
  owner->linked = header;
  *out = header + 1;
  return S_OK;
}

void FreeBlock(void* block) {
  if (!block) return;
  // A work list rather than recursion: blocks linked onto linked blocks
  // cannot exhaust the stack. The block's own `next` belongs to its parent's
  // list (freeing a linked block by itself is the caller's error) and is not
  // followed.
  BlockHeader* pending = HeaderOf(block);
  pending->next = nullptr;
  while (pending) {
    BlockHeader* header = pending;
    pending = header->next;
    for (BlockHeader* child = header->linked; child;) {
      BlockHeader* following = child->next;
      child->next = pending;
      pending = child;
      child = following;
    }
    header->~BlockHeader();
    std::free(header);
  }
}

}  // namespace wab32
