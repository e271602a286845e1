// Fuzz target of CBase64::Decode: any bytes, as a zero-terminated text, must
// decode exactly as the plain decoder below, one bit group at a time with no
// tables, and write nothing past strlen + 1 bytes of the output.
#include <zerth/CBase64.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// out holds strlen(text) + 1 bytes.
int PlainDecode(const char* text, char* out) {
  const std::size_t length = std::strlen(text);
  if (length == 0) return 0;
  std::memset(out, 0, length + 1);
  std::uint32_t store = 0;
  int bits = 0, written = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = static_cast<char>(text[i] & 0x7F);
    const char* found = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
    if (c == '=') continue;
    if (found == nullptr) return 0;
    store = (store << 6) | static_cast<std::uint32_t>(found - kAlphabet);
    for (bits += 6; bits > 7; bits -= 8) out[written++] = static_cast<char>((store >> (bits - 8)) & 0xFF);
  }
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const std::size_t length = std::strlen(text.data());
  // Exactly the bytes Decode may write, so that ASan sees any write past them.
  std::vector<char> ours(length + 1, '\x55'), theirs(length + 1, '\x55');
  CBase64 codec;
  const int count = codec.Decode(text.data(), ours.data());
  if (count != PlainDecode(text.data(), theirs.data()) || ours != theirs) std::abort();
  return 0;
}
