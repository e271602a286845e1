// Writing a whole compound file (version 3, 512-byte sectors) from a tree in
// memory, front to back: header, streams of 4096 bytes and more (each in
// adjacent sectors), the mini stream, the mini FAT, the directory (each
// storage's elements as a balanced red-black tree in the format's name
// order), the FAT and the DIFAT sectors beyond the header's 109.
#pragma once

#include "CompoundDocument.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace zplatform::cfb {

// Appends to a file through a buffer; copies between files in the kernel
// where it can.
class OutputFile {
public:
  explicit OutputFile(int fd);
  [[nodiscard]] bool Append(const void* data, std::size_t size);
  [[nodiscard]] bool AppendZeros(std::uint64_t size);
  [[nodiscard]] bool CopyFrom(int fd, std::uint64_t offset, std::uint64_t length);
  [[nodiscard]] bool Flush();
  std::uint64_t position() const { return m_written + m_used; }

private:
  int m_fd;
  std::vector<char> m_buffer;
  std::size_t m_used = 0;
  std::uint64_t m_written = 0;
};

using CopyStreamFn = std::function<HRESULT(Node&, OutputFile&)>;

// Writes the tree below root. copy appends exactly node.size bytes of a
// stream. placed receives each stream of size > 0 with the file offset its
// bytes now start at (each stream's bytes lie in one run).
[[nodiscard]] HRESULT WriteCompoundFile(Node& root, OutputFile& out, const CopyStreamFn& copy,
                                        std::vector<std::pair<Node*, std::uint64_t>>& placed);

}  // namespace zplatform::cfb
