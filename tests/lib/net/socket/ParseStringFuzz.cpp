// Fuzz target of CUT_WSClient::ParseString and GetParseStringPieces: byte 0
// picks how many of the next bytes (0 to 4) are separators, the rest is the
// text. Every piece counted is found, non-empty, free of separators, fits
// exactly its length + 1 and never overruns one byte less; the next is not.
#include <zerth/CUT_WSClient.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static void Check(bool condition) { if (!condition) std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t separatorCount = std::min<std::size_t>(data[0] % 5, size - 1);
  std::string separators(reinterpret_cast<const char*>(data) + 1, separatorCount);
  separators.resize(std::min(separators.find('\0'), separators.size()));
  std::string text(reinterpret_cast<const char*>(data) + 1 + separatorCount, size - 1 - separatorCount);
  text.resize(std::min(text.find('\0'), text.size()));

  static CUT_WSClient client;
  const int pieces = client.GetParseStringPieces(text.c_str(), separators.c_str());
  Check(pieces >= 0 && static_cast<std::size_t>(pieces) <= text.size());
  if (separators.empty()) Check(pieces == (text.empty() ? 0 : 1));
  std::vector<char> piece(text.size() + 1);
  for (int index = 0; !separators.empty() && index < pieces; ++index) {
    Check(client.ParseString(text.c_str(), separators.c_str(), index, piece.data(), static_cast<int>(piece.size())) == 0);
    const std::size_t length = std::strlen(piece.data());
    Check(length > 0 && std::strpbrk(piece.data(), separators.c_str()) == nullptr);
    Check(text.find(piece.data()) != std::string::npos);
    // Exactly the room it needs: found; one byte less: not found, no overrun.
    std::vector<char> exact(length + 1);
    Check(client.ParseString(text.c_str(), separators.c_str(), index, exact.data(), static_cast<int>(exact.size())) == 0);
    std::vector<char> tight(length);
    Check(client.ParseString(text.c_str(), separators.c_str(), index, tight.data(), static_cast<int>(tight.size())) == 1);
  }
  Check(client.ParseString(text.c_str(), separators.c_str(), pieces, piece.data(), static_cast<int>(piece.size())) == 1);
  long value = 0;
  client.ParseString(text.c_str(), separators.c_str(), 0, &value);
  return 0;
}
