// Reading and writing the REGEDIT4 text of a hive.
#include "RegistryHiveFormat.h"

#include <zplatform/AsciiText.h>

#include <cstdint>
#include <cstdio>

namespace zplatform::registry {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";
constexpr std::size_t kMaxKeyNameBytes = 255;
// Byte lists are wrapped as regedit wraps them, to keep lines readable.
constexpr std::size_t kHexWrapColumn = 76;
constexpr const char* kCutShort = "the file ends in the middle of a line (cut short?)";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Well-formed UTF-8 without C0 or C1 control characters: text that can stand
// between quotes in the file and be read back unchanged by people and tools.
bool IsPrintableUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
      if (IsControl(lead)) return false;
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1Fu;
      smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0Fu;
      smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07u;
      smallest = 0x10000;
    } else {
      return false;
    }
    if (length > s.size() - i) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code <= 0x9F) return false;
    i += length;
  }
  return true;
}

class HiveParser {
public:
  HiveParser(std::string_view text, RegistryHive& hive, HiveParseError& error)
      : m_text(text), m_hive(hive), m_error(error) {}

  bool Run();

private:
  bool Fail(std::string what);
  bool NextLine(std::string_view& line);
  bool ParseLine(std::string_view line);
  bool ParseSection(std::string_view line);
  bool ParseValueLine(std::string_view line);
  bool ParseData(std::string_view rest, DWORD& type, std::string& data);
  bool ParseQuoted(std::string_view& rest, std::string& out);
  bool ParseDword(std::string_view rest, std::string& data);
  bool ParseHexList(std::string_view rest, std::string& data);
  bool ExpectLineEnd(std::string_view rest);

  std::string_view m_text;
  std::size_t m_pos = 0;
  std::size_t m_lineNumber = 0;
  bool m_unterminated = false;
  RegistryHive& m_hive;
  HiveParseError& m_error;
  RegistryKey* m_key = nullptr;
};

bool HiveParser::Fail(std::string what) {
  m_error.line = m_lineNumber == 0 ? 1 : m_lineNumber;
  m_error.what = std::move(what);
  return false;
}

// Every line the writer produces ends in a newline, so a last line without
// one means the file was cut short.
bool HiveParser::NextLine(std::string_view& line) {
  if (m_pos >= m_text.size()) return false;
  std::size_t end = m_text.find('\n', m_pos);
  m_unterminated = (end == std::string_view::npos);
  if (m_unterminated) end = m_text.size();
  line = m_text.substr(m_pos, end - m_pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  m_pos = end + 1;
  ++m_lineNumber;
  return true;
}

bool HiveParser::Run() {
  std::string_view line;
  if (!NextLine(line) || line != kHeader) return Fail("the first line is not REGEDIT4");
  while (!m_unterminated) {
    if (!NextLine(line)) return true;
    if (m_unterminated) break;
    if (!ParseLine(line)) return false;
  }
  return Fail(kCutShort);
}

bool HiveParser::ParseLine(std::string_view line) {
  line = TrimLeft(line);
  if (line.empty() || line.front() == ';') return true;
  if (line.front() == '[') return ParseSection(line);
  if (line.front() == '"' || line.front() == '@') return ParseValueLine(line);
  return Fail("a line that is neither a [key] nor a value");
}

bool HiveParser::ParseSection(std::string_view line) {
  line = TrimRight(line);
  if (line.size() < 2 || line.back() != ']') return Fail("a [key] line without its closing ]");
  std::string_view path = line.substr(1, line.size() - 2);
  const std::size_t slash = path.find('\\');
  std::string_view root = path.substr(0, slash);
  std::string full;
  if (EqualsNoCase(root, kCurrentUserRoot)) {
    full = kCurrentUserRoot;
  } else if (EqualsNoCase(root, kLocalMachineRoot)) {
    full = kLocalMachineRoot;
  } else if (EqualsNoCase(root, kClassesRoot)) {
    full = kClassesRootPath;
  } else {
    return Fail("a key outside HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT");
  }
  if (slash != std::string_view::npos) {
    const std::string_view rest = path.substr(slash + 1);
    if (!IsValidKeyPath(rest)) return Fail("an empty or invalid key name in a [key] line");
    full += '\\';
    full += rest;
  }
  m_key = &m_hive.CreateKey(full);
  return true;
}

bool HiveParser::ParseValueLine(std::string_view line) {
  if (!m_key) return Fail("a value before the first [key] line");
  std::string name;
  std::string_view rest = line.substr(1);
  if (line.front() == '"' && !ParseQuoted(rest, name)) return false;
  rest = TrimLeft(rest);
  if (rest.empty() || rest.front() != '=') return Fail("no = after the value name");
  DWORD type = REG_NONE;
  std::string data;
  if (!ParseData(TrimLeft(rest.substr(1)), type, data)) return false;
  // A name given twice: the later line wins, as when regedit imports the file.
  m_key->SetValue(name, type, data);
  return true;
}

bool HiveParser::ParseData(std::string_view rest, DWORD& type, std::string& data) {
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    type = REG_SZ;
    if (!ParseQuoted(rest, data)) return false;
    data.push_back('\0');
    return ExpectLineEnd(rest);
  }
  if (StartsWithNoCase(rest, "dword:")) {
    type = REG_DWORD;
    return ParseDword(rest.substr(6), data);
  }
  if (StartsWithNoCase(rest, "hex:")) {
    type = REG_BINARY;
    return ParseHexList(rest.substr(4), data);
  }
  if (StartsWithNoCase(rest, "hex(")) {
    const std::size_t close = rest.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) return Fail("a bad hex(type): prefix");
    type = 0;
    for (char c : rest.substr(4, close - 4)) {
      if (HexDigit(c) < 0) return Fail("a bad hex(type): prefix");
      type = (type << 4) | static_cast<DWORD>(HexDigit(c));
    }
    return ParseHexList(rest.substr(close + 2), data);
  }
  return Fail("value data that is neither \"text\", dword: nor hex:");
}

// rest starts after the opening quote and is left after the closing one.
bool HiveParser::ParseQuoted(std::string_view& rest, std::string& out) {
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') {
      rest.remove_prefix(i + 1);
      return true;
    }
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (++i == rest.size()) break;
    if (rest[i] == '\\' || rest[i] == '"') {
      out.push_back(rest[i]);
    } else if (rest[i] == 'x' && rest.size() - i > 2 && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2])));
      i += 2;
    } else {
      return Fail("an unknown \\ escape in quoted text");
    }
  }
  return Fail("quoted text without its closing quote");
}

bool HiveParser::ParseDword(std::string_view rest, std::string& data) {
  rest = TrimRight(rest);
  if (rest.size() != 8) return Fail("a dword value without exactly 8 hex digits");
  DWORD value = 0;
  for (char c : rest) {
    if (HexDigit(c) < 0) return Fail("a dword value without exactly 8 hex digits");
    value = (value << 4) | static_cast<DWORD>(HexDigit(c));
  }
  for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<char>((value >> shift) & 0xFF));
  return true;
}

// Two-digit bytes separated by commas; after a comma, a backslash at the end
// of the line continues the list on the next one.
bool HiveParser::ParseHexList(std::string_view rest, std::string& data) {
  rest = TrimRight(TrimLeft(rest));
  if (rest.empty()) return true;
  for (;;) {
    if (rest.size() < 2 || HexDigit(rest[0]) < 0 || HexDigit(rest[1]) < 0) return Fail("a bad byte in a hex list");
    data.push_back(static_cast<char>(HexDigit(rest[0]) * 16 + HexDigit(rest[1])));
    rest = TrimLeft(rest.substr(2));
    if (rest.empty()) return true;
    if (rest.front() != ',') return Fail("a hex list with bytes not separated by commas");
    rest = TrimLeft(rest.substr(1));
    if (rest.empty()) return Fail("a hex list that ends with a comma");
    if (rest.front() != '\\') continue;
    if (!TrimLeft(rest.substr(1)).empty()) return Fail("text after the \\ that continues a hex list");
    if (!NextLine(rest)) return Fail("a hex list continued past the end of the file");
    if (m_unterminated) return Fail(kCutShort);
    rest = TrimRight(TrimLeft(rest));
  }
}

bool HiveParser::ExpectLineEnd(std::string_view rest) {
  return TrimRight(rest).empty() || Fail("text after the value");
}

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 0x0F]);
}

void AppendQuoted(std::string& out, std::string_view text) {
  const bool printable = IsPrintableUtf8(text);
  out.push_back('"');
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (!printable && (IsControl(byte) || byte >= 0x80)) {
      out += "\\x";
      AppendHexByte(out, byte);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

void AppendHexList(std::string& out, std::string_view data, std::size_t column) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    AppendHexByte(out, static_cast<unsigned char>(data[i]));
    column += 2;
    if (i + 1 == data.size()) break;
    out.push_back(',');
    if (++column >= kHexWrapColumn) {
      out += "\\\n  ";
      column = 2;
    }
  }
}

// Text that the quoted form gives back exactly: printable, one final zero.
bool FitsQuotedForm(std::string_view data) {
  if (data.empty() || data.back() != '\0') return false;
  std::string_view body = data.substr(0, data.size() - 1);
  return body.find('\0') == std::string_view::npos && IsPrintableUtf8(body);
}

void AppendValue(std::string& out, const RegValue& value) {
  const std::size_t lineStart = out.size();
  if (value.name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, value.name);
  }
  out.push_back('=');
  if (value.type == REG_SZ && FitsQuotedForm(value.data)) {
    AppendQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    out += "dword:";
    out += digits;
  } else {
    char prefix[24];
    if (value.type == REG_BINARY) {
      std::snprintf(prefix, sizeof prefix, "hex:");
    } else {
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    }
    out += prefix;
    AppendHexList(out, value.data, out.size() - lineStart);
  }
  out.push_back('\n');
}

}  // namespace

bool IsValidKeyName(std::string_view name) {
  if (name.empty() || name.size() > kMaxKeyNameBytes) return false;
  for (char c : name) {
    if (c == '\\' || IsControl(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool IsValidKeyPath(std::string_view path) {
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) return IsValidKeyName(path.substr(start));
    if (!IsValidKeyName(path.substr(start, end - start))) return false;
    start = end + 1;
  }
}

bool ParseHive(std::string_view text, RegistryHive& hive, HiveParseError& error) {
  return HiveParser(text, hive, error).Run();
}

std::string FormatHive(const RegistryHive& hive) {
  std::string out(kHeader);
  out += "\n\n";
  for (const auto& [path, key] : hive.Keys()) {
    out += '[';
    out += path;
    out += "]\n";
    for (const RegValue& value : key.Values()) AppendValue(out, value);
    out += '\n';
  }
  return out;
}

}  // namespace zplatform::registry
