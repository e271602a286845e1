// The distribution's name from os-release(5), read the way a shell reads it.
#include <zplatform/SystemInfo.h>

#include <zplatform/WholeFile.h>

#include <optional>

namespace zplatform {
namespace {

constexpr std::size_t kMaxOsReleaseBytes = 64 * 1024;
constexpr std::string_view kPrettyName = "PRETTY_NAME=";
// os-release(5)'s default for PRETTY_NAME.
constexpr std::string_view kDefaultName = "Linux";

// One double-quoted part from just after its opening quote: a backslash
// keeps its meaning only before $ ` " \ (as in a shell). Advances i past the
// closing quote; false when there is none.
bool AppendDoubleQuoted(std::string_view raw, std::size_t& i, std::string& out) {
  for (; i < raw.size(); ++i) {
    if (raw[i] == '"') {
      ++i;
      return true;
    }
    if (raw[i] == '\\' && i + 1 < raw.size() && std::string_view("$`\"\\").find(raw[i + 1]) != std::string_view::npos)
      ++i;
    out += raw[i];
  }
  return false;
}

// The value of an assignment as a shell would assign it: quoted and
// unquoted parts joined, a backslash outside quotes taking the next
// character as it is, an unquoted blank ending the value. Nothing when a
// quote is not closed.
std::optional<std::string> ShellValue(std::string_view raw) {
  std::string out;
  std::size_t i = 0;
  while (i < raw.size() && raw[i] != ' ' && raw[i] != '\t') {
    const char c = raw[i++];
    if (c == '\'') {
      const std::size_t end = raw.find('\'', i);
      if (end == std::string_view::npos) return std::nullopt;
      out.append(raw.substr(i, end - i));
      i = end + 1;
    } else if (c == '"') {
      if (!AppendDoubleQuoted(raw, i, out)) return std::nullopt;
    } else if (c == '\\') {
      if (i < raw.size()) out += raw[i++];
    } else {
      out += c;
    }
  }
  return out;
}

// PRETTY_NAME in an os-release text; empty when none is given.
std::string OsReleasePrettyName(std::string_view text) {
  std::string name;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (!line.starts_with(kPrettyName)) continue;
    // A later assignment wins, as when the file is sourced; a broken one
    // assigns nothing.
    if (auto value = ShellValue(line.substr(kPrettyName.size()))) name = std::move(*value);
  }
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return name;
}

}  // namespace

std::string DistributionName(const std::string& root) {
  const std::string base = root.ends_with('/') ? root : root + '/';
  std::string text;
  WholeFileStatus status = ReadWholeFile(base + "etc/os-release", kMaxOsReleaseBytes, text);
  // The file in /etc is used alone whenever it exists.
  if (status == WholeFileStatus::NotFound)
    status = ReadWholeFile(base + "usr/lib/os-release", kMaxOsReleaseBytes, text);
  std::string name = status == WholeFileStatus::Ok ? OsReleasePrettyName(text) : std::string();
  return name.empty() ? std::string(kDefaultName) : name;
}

}  // namespace zplatform
