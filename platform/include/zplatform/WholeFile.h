// Reading a whole file into memory, safely: only regular files are read (a
// FIFO or device would block or never end), never more than a limit the
// caller names, and a read error is reported as one rather than taken for the
// end of the file.
#pragma once

#include <cstddef>
#include <string>

namespace zplatform {

enum class WholeFileStatus {
  Ok,
  NotFound,        // no such file (or a folder on the way is missing)
  CannotOpen,      // exists but cannot be opened (permissions, ...)
  NotRegularFile,  // a folder, FIFO, device or socket
  TooLarge,        // more than the limit
  ReadError,       // a read failed part-way
};

// Reads the whole regular file at path into data (replaced). On failure data
// is left empty and errno says what the system reported, where it reported
// anything. Opening never blocks, even on a FIFO.
[[nodiscard]] WholeFileStatus ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& data);

// The same for a descriptor that is already open, read from its current
// offset to its end.
[[nodiscard]] WholeFileStatus ReadWholeFd(int fd, std::size_t maxBytes, std::string& data);

}  // namespace zplatform
