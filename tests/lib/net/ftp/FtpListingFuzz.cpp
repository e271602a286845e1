// Fuzz target of the FTP client's listing and PASV parsers: any bytes give
// a terminated name that is a word of the line, a month of 1 to 12 from a
// UNIX line, and a PASV address only with a port of 1 to 65535.
#include "FtpListingLine.h"
#include "FtpPasvReply.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  CUT_DIRINFOTag entry;
  for (int unix = 0; unix < 2; ++unix) {
    unix ? zerth::detail::ParseUnixListingLine(line, 2026, entry) : zerth::detail::ParseDosListingLine(line, entry);
    const std::size_t length = strnlen(entry.fileName, sizeof entry.fileName);
    if (length == sizeof entry.fileName || (length > 0 && line.find(entry.fileName) == std::string_view::npos))
      std::abort();
    if ((unix && (entry.month < 1 || entry.month > 12)) || (entry.isDir != 0 && entry.isDir != 1)) std::abort();
  }
  const auto pasv = zerth::detail::ParsePasvReply(line);
  if (pasv.result == 0 && (pasv.port < 1 || pasv.port > 65535 || pasv.address.size() > 15)) std::abort();
  return 0;
}
