// Fuzz target of CBase64::Decode: any bytes, as a zero-terminated text, must
// decode without touching memory past strlen + 1 bytes of the output, with a
// count of at most three quarters of the text, a zero byte after the data,
// and exactly the bytes and count of the plain reference codec.
#include "Base64Reference.h"

#include <zerth/CBase64.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> zeroTerminated(data, data + size);
  zeroTerminated.push_back('\0');
  const std::size_t length = std::strlen(zeroTerminated.data());

  // Exactly the bytes Decode may write, so that ASan sees any write past them.
  std::vector<char> ours(length + 1, '\x55');
  std::vector<char> theirs(length + 1, '\x55');
  CBase64 codec;
  const int count = codec.Decode(zeroTerminated.data(), ours.data());
  const int expected = base64ref::Decode(zeroTerminated.data(), theirs.data());
  if (count != expected || ours != theirs) std::abort();
  if (count < 0 || static_cast<std::size_t>(count) > length * 3 / 4) std::abort();
  if (count > 0 && ours[static_cast<std::size_t>(count)] != '\0') std::abort();
  return 0;
}
