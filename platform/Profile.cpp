// GetProfileInt over the user's win.ini, then the one beside the program.
#include <zplatform/Profile.h>

#include <zplatform/AsciiText.h>
#include <zplatform/ProgramDir.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

using zplatform::EqualsNoCase;
using zplatform::Trim;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// win.ini is a few lines; a file beyond this is not read at all.
constexpr std::uintmax_t kMaxProfileBytes = 1u << 20;

// The text after "key=" in the first [section] of that name holding the key,
// or nothing when the file is missing, too large or has no such key.
std::optional<std::string> ProfileValue(const std::string& file, std::string_view section, std::string_view key) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxProfileBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  bool inSection = false;
  for (std::string raw; std::getline(in, raw);) {
    std::string_view line = raw;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      inSection = close != std::string_view::npos && EqualsNoCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (inSection && equals != std::string_view::npos && EqualsNoCase(Trim(line.substr(0, equals)), key)) {
      return std::string(Trim(line.substr(equals + 1)));
    }
  }
  return std::nullopt;
}

// As Windows reads it: blanks, an optional sign, then decimal digits up to
// the first other character; no digits is 0. Larger numbers wrap modulo
// 2^32, as they do there.
UINT ParseProfileInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  UINT value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<UINT>(text[i] - '0');
  return negative ? 0u - value : value;
}

}  // namespace

UINT GetProfileInt(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault) {
  const auto fallback = static_cast<UINT>(nDefault);
  if (!lpAppName || !lpKeyName) return fallback;
  for (const std::string& dir : {zplatform::UserConfigDir(), zplatform::ProgramDir()}) {
    if (auto value = ProfileValue(dir + "/win.ini", lpAppName, lpKeyName)) return ParseProfileInt(*value);
  }
  return fallback;
}
