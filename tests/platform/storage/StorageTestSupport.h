// Helpers of the compound-file tests: deterministic stream contents, and
// streams written and read through IStorage in one call.
#pragma once

#include <zplatform/OleStreamFile.h>
#include <zplatform/Storage.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace storagetest {

inline constexpr DWORD kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
inline constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;

inline std::u16string W(std::string_view text) { return zplatform::Utf8ToUtf16(text); }

// Bytes that differ from stream to stream and from offset to offset.
inline std::string Content(std::string_view name, std::size_t size) {
  std::uint32_t x = 2166136261u;
  for (const char c : name) x = (x ^ static_cast<unsigned char>(c)) * 16777619u;
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return bytes;
}

inline std::uint32_t Adler32(std::string_view data) {
  std::uint32_t a = 1, b = 0;
  for (const char c : data) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

inline HRESULT PutStream(IStorage* storage, std::string_view name, std::string_view bytes) {
  COleStreamFile file;
  HRESULT hr = S_OK;
  if (!file.CreateStream(storage, name, kRW | STGM_CREATE, &hr)) return hr;
  return file.Write(bytes.data(), static_cast<UINT>(bytes.size())) ? S_OK : E_FAIL;
}

// The whole stream, or nothing when opening or reading it fails.
inline std::optional<std::string> GetStream(IStorage* storage, std::string_view name) {
  COleStreamFile file;
  if (!file.OpenStream(storage, name, kRead)) return std::nullopt;
  std::string bytes(file.GetLength(), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const UINT n = file.Read(bytes.data() + got, static_cast<UINT>(bytes.size() - got));
    if (n == 0) return std::nullopt;
    got += n;
  }
  char extra = 0;
  if (file.Read(&extra, 1) != 0) return std::nullopt;
  return bytes;
}

}  // namespace storagetest
