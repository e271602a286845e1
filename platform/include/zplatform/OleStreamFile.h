// COleStreamFile: a file-like object over one stream of a compound file
// (create or open it in a storage, read, write, seek, length, close), in the
// role of the framework's stream-file class. Failures are results, never
// exceptions: false, 0 or -1 as each member says.
//
// Header only and self-contained (zplatform/Storage.h and the standard
// library): it calls the stream through its interface alone, so a program
// that uses it needs no symbol of the platform library.
#pragma once

#include <zplatform/Storage.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace zplatform {

// UTF-8 to UTF-16; each invalid byte becomes U+FFFD.
inline std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    if (!valid) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return out;
}

}  // namespace zplatform

class COleStreamFile {
public:
  enum SeekPosition { begin = STREAM_SEEK_SET, current = STREAM_SEEK_CUR, end = STREAM_SEEK_END };

  // Takes over a reference to stream, if one is given.
  explicit COleStreamFile(IStream* stream = nullptr) : m_stream(stream) {}
  ~COleStreamFile() { Close(); }
  COleStreamFile(const COleStreamFile&) = delete;
  COleStreamFile& operator=(const COleStreamFile&) = delete;

  // Creates (mode with STGM_CREATE: or replaces) the stream name (UTF-8) in
  // storage and holds it; closes what was held first. False on any failure,
  // with nothing held; *result (if given) receives the platform's code.
  bool CreateStream(IStorage* storage, std::string_view name, DWORD mode, HRESULT* result = nullptr) {
    return Take(storage, name, mode, result, true);
  }
  // Opens an existing stream the same way.
  bool OpenStream(IStorage* storage, std::string_view name, DWORD mode, HRESULT* result = nullptr) {
    return Take(storage, name, mode, result, false);
  }

  // Holds stream (taking over the caller's reference); closes what was held.
  void Attach(IStream* stream) {
    Close();
    m_stream = stream;
  }
  // Hands the stream and its reference to the caller.
  IStream* Detach() { return std::exchange(m_stream, nullptr); }
  IStream* GetStream() const { return m_stream; }
  bool IsOpen() const { return m_stream != nullptr; }

  // Releases the stream (its changes reach the file with the file's commit
  // or the release of its root).
  void Close() {
    if (IStream* stream = std::exchange(m_stream, nullptr)) stream->Release();
  }

  // Bytes read (fewer at the end of the stream; 0 on failure or nothing open).
  UINT Read(void* buffer, UINT count) {
    ULONG got = 0;
    if (!m_stream || FAILED(m_stream->Read(buffer, count, &got))) return 0;
    return got;
  }
  // True when all count bytes were written.
  bool Write(const void* buffer, UINT count) {
    ULONG put = 0;
    return m_stream && SUCCEEDED(m_stream->Write(buffer, count, &put)) && put == count;
  }
  // The new position, or -1 (position unchanged) on failure.
  std::int64_t Seek(std::int64_t offset, SeekPosition from) {
    ULARGE_INTEGER position{0};
    if (!m_stream || FAILED(m_stream->Seek(LARGE_INTEGER{offset}, static_cast<DWORD>(from), &position)) ||
        position.QuadPart > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
      return -1;
    return static_cast<std::int64_t>(position.QuadPart);
  }
  std::int64_t SeekToBegin() { return Seek(0, begin); }
  std::int64_t SeekToEnd() { return Seek(0, end); }
  // The position, or -1 when nothing is open.
  std::int64_t GetPosition() { return Seek(0, current); }
  // The stream's size in bytes, or 0 when nothing is open.
  std::uint64_t GetLength() const {
    STATSTG stat{};
    if (!m_stream || FAILED(m_stream->Stat(&stat, STATFLAG_NONAME))) return 0;
    return stat.cbSize.QuadPart;
  }
  bool SetLength(std::uint64_t length) { return m_stream && SUCCEEDED(m_stream->SetSize(ULARGE_INTEGER{length})); }
  // Commits the compound file.
  bool Flush() { return m_stream && SUCCEEDED(m_stream->Commit(STGC_DEFAULT)); }

private:
  bool Take(IStorage* storage, std::string_view name, DWORD mode, HRESULT* result, bool create) {
    Close();
    HRESULT hr = STG_E_INVALIDPOINTER;
    if (storage) {
      const std::u16string wide = zplatform::Utf8ToUtf16(name);
      hr = create ? storage->CreateStream(wide.c_str(), mode, 0, 0, &m_stream)
                  : storage->OpenStream(wide.c_str(), nullptr, mode, 0, &m_stream);
    }
    if (FAILED(hr)) m_stream = nullptr;
    if (result) *result = hr;
    return SUCCEEDED(hr);
  }

  IStream* m_stream = nullptr;
};
