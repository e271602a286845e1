// DotStuffing: line ends made CR LF, leading dots doubled.
#include "DotStuffing.h"

namespace zerth::detail {

std::string DotStuff(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  bool lineStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lineStart = true;
      continue;
    }
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = false;
  }
  return out;
}

}  // namespace zerth::detail
