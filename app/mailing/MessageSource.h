// The message source: the text file whose bytes are the body template of
// every message of a run.
#pragma once

#include <cstddef>
#include <string>

enum class SourceStatus {
  Ok,
  CannotOpen,  // missing, or not to be opened
  CannotRead,  // no bytes, not a regular file, too large, or a read error
};

// Far beyond any message a mail server takes; a bigger "message" (a disk
// image picked by mistake) would exhaust memory, with a copy per recipient,
// instead of failing with a message.
inline constexpr std::size_t kMaxSourceBytes = 64u << 20;

// The body template: the file's bytes up to its first zero byte. Only a
// regular file is read (a FIFO would block the window for good and a device
// may never end); a read error part-way is an error, never a shorter body.
[[nodiscard]] SourceStatus ReadMessageSource(const std::string& path, std::string& body);
