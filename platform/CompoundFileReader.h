// Reading a compound file's header, allocation tables and directory into
// memory, trusting nothing: every sector number, count, chain and link of
// the directory is checked against the file, so that a damaged or hostile
// file fails cleanly instead of looping, reading past its end or asking for
// memory out of proportion to its size.
#pragma once

#include "CompoundDocument.h"

namespace zplatform::cfb {

// Fills layout and the tree below root from the file open at fd: S_OK,
// STG_E_FILEALREADYEXISTS (not a compound file), STG_E_INVALIDHEADER,
// STG_E_DOCFILECORRUPT or STG_E_READFAULT. Streams are left Unread.
[[nodiscard]] HRESULT ReadCompoundFile(int fd, BaseLayout& layout, NodePtr& root);

// Follows an Unread stream's chain and turns it into extents of the file:
// STG_E_DOCFILECORRUPT when the chain leaves the file, loops or ends before
// the stream's size.
[[nodiscard]] HRESULT ResolveStream(const BaseLayout& layout, Node& node);

}  // namespace zplatform::cfb
