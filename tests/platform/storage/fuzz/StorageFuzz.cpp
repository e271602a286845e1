// Fuzz target: any bytes as a compound file. Opening may fail; whatever
// opens is walked and every stream opened and read to its end, which must
// neither crash, hang nor read past the file.
#include "CompoundDocument.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zplatform::cfb;
  const int fd = ::memfd_create("compound", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    if (fd >= 0) ::close(fd);
    return 0;
  }
  std::shared_ptr<Document> doc;
  if (SUCCEEDED(Document::Open("/proc/self/fd/" + std::to_string(fd), STGM_READ | STGM_SHARE_DENY_NONE, doc))) {
    std::vector<Node*> pending{doc->root().get()};
    std::vector<char> buffer(1 << 16);
    while (!pending.empty()) {
      Node* node = pending.back();
      pending.pop_back();
      for (auto& [name, child] : node->children) pending.push_back(child.get());
      if (node->type != EntryType::Stream || FAILED(doc->Resolve(*node))) continue;
      std::size_t got = 0;
      for (std::uint64_t at = 0; SUCCEEDED(doc->ReadStream(*node, at, buffer.data(), buffer.size(), got)) && got > 0;)
        at += got;
    }
    doc->Close();
  }
  ::close(fd);
  return 0;
}
