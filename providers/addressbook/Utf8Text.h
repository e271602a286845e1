// Text that leaves the readers is valid UTF-8, whatever came in: names end up
// in dialogs and mail headers, where a stray byte would do harm.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace addressbook {

// Appends text to out with every invalid UTF-8 sequence (each maximal
// invalid part, as Unicode recommends) and every NUL byte replaced by U+FFFD;
// a NUL would cut the name short in any C string it reaches.
void AppendRepairedUtf8(std::string& out, std::string_view text);
std::string RepairedUtf8(std::string_view text);

// Converts text in a named character set (vCard 2.1 CHARSET=) to valid
// UTF-8 with iconv. UTF-8, US-ASCII and unknown or implausible names are
// taken as UTF-8; bytes the charset does not define become U+FFFD. Keeps the
// last converter open, since a file names the same charset on every line.
class CharsetConverter {
 public:
  CharsetConverter() = default;
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;
  ~CharsetConverter();

  std::string ToUtf8(std::string_view text, std::string_view charset);

 private:
  bool Open(std::string_view charset);
  void Close();

  std::string charset_;
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace addressbook
