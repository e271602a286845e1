// FtpPasvReply: the numbers between the parentheses, each checked before use.
#include "FtpPasvReply.h"

#include <array>
#include <cstdio>
#include <optional>

namespace zerth::detail {

namespace {

// A number of 0 to 255 with blanks around it; nothing for any other text.
std::optional<unsigned> Byte(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (text.empty() || text.size() > 3) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 255) return std::nullopt;
  return value;
}

}  // namespace

PasvAddress ParsePasvReply(std::string_view text) {
  PasvAddress parsed;
  const std::size_t open = text.find('(');
  if (open == std::string_view::npos) return parsed;
  std::string_view inside = text.substr(open + 1);
  inside = inside.substr(0, inside.find_first_of("()"));

  std::array<std::string_view, 6> pieces{};
  std::size_t count = 0;
  for (std::size_t pos = 0; count < pieces.size();) {
    const std::size_t comma = inside.find(',', pos);
    pieces[count++] = inside.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
  // A blank piece is a missing number, as is a missing piece.
  for (std::string_view piece : pieces)
    if (piece.find_first_not_of(' ') == std::string_view::npos) return parsed;

  std::array<unsigned, 6> numbers{};
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const auto number = Byte(pieces[i]);
    if (!number) {
      parsed.result = i < 4 ? 4 : 5;
      return parsed;
    }
    numbers[i] = *number;
  }
  parsed.port = numbers[4] * 256 + numbers[5];
  if (parsed.port == 0) {
    parsed.result = 5;
    return parsed;
  }
  char address[16];  // "255.255.255.255"
  std::snprintf(address, sizeof address, "%u.%u.%u.%u", numbers[0], numbers[1], numbers[2], numbers[3]);
  parsed.address = address;
  parsed.result = 0;
  return parsed;
}

}  // namespace zerth::detail
