// Fuzz target of CUT_WSClient::ParseString and GetParseStringPieces: byte 0
// picks how many of the next bytes (0 to 4) are separators, the rest is the
// text. Every piece counted is found, non-empty, free of separators, fits
// exactly its length + 1 and never overruns one byte less; the next is not.
#include <zerth/CUT_WSClient.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

static void Check(bool condition) { if (!condition) std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t separatorCount = std::min<std::size_t>(data[0] % 5, size - 1);
  const std::string all(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Both as C strings see them: up to the first NUL.
  const std::string separators = all.substr(0, separatorCount).c_str(), text = all.substr(separatorCount).c_str();
  static CUT_WSClient client;
  // The piece found (result 0), or nothing (result 1); any other result is wrong.
  const auto parse = [&](int index, std::vector<char>&& room) -> std::optional<std::string> {
    const int result = client.ParseString(text.c_str(), separators.c_str(), index, room.data(), int(room.size()));
    Check(result == 0 || result == 1);
    return result == 0 ? std::optional(std::string(room.data())) : std::nullopt;
  };
  const int pieces = client.GetParseStringPieces(text.c_str(), separators.c_str());
  Check(pieces >= 0 && static_cast<std::size_t>(pieces) <= text.size());
  if (separators.empty()) Check(pieces == (text.empty() ? 0 : 1));
  for (int index = 0; !separators.empty() && index < pieces; ++index) {
    const std::string piece = parse(index, std::vector<char>(text.size() + 1)).value_or("");
    Check(!piece.empty() && piece.find_first_of(separators) == std::string::npos && text.find(piece) != std::string::npos);
    // Exactly the room it needs: found; one byte less: not found, no overrun.
    Check(parse(index, std::vector<char>(piece.size() + 1)) == piece && !parse(index, std::vector<char>(piece.size())));
  }
  Check(!parse(pieces, std::vector<char>(text.size() + 1)));
  long value = 0;
  client.ParseString(text.c_str(), separators.c_str(), 0, &value);
  return 0;
}
