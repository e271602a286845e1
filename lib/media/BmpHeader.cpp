#include "BmpHeader.h"

#include <cstdlib>

namespace zerth::detail {
namespace {

constexpr std::uint64_t kMaxColours = 256;
constexpr std::uint64_t kBitfieldMasksSize = 12;  // three DWORD masks after a 40-byte header

// Little-endian reads at a position the caller has checked.
WORD Word(std::span<const BYTE> data, std::size_t at) {
  return static_cast<WORD>(data[at] | (data[at + 1] << 8));
}
DWORD Dword(std::span<const BYTE> data, std::size_t at) {
  return static_cast<DWORD>(data[at]) | (static_cast<DWORD>(data[at + 1]) << 8) |
         (static_cast<DWORD>(data[at + 2]) << 16) | (static_cast<DWORD>(data[at + 3]) << 24);
}
LONG Long(std::span<const BYTE> data, std::size_t at) { return static_cast<LONG>(Dword(data, at)); }

// Bit depth and compression that the image loader decodes.
bool KnownFormat(const BITMAPINFOHEADER& info) {
  const WORD bits = info.biBitCount;
  switch (info.biCompression) {
    case BI_RGB: return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case BI_RLE8: return bits == 8 && info.biHeight > 0;
    case BI_RLE4: return bits == 4 && info.biHeight > 0;
    case BI_BITFIELDS: return bits == 16 || bits == 32;
    default: return false;
  }
}

bool DimensionsBounded(const BITMAPINFOHEADER& info) {
  const std::int64_t width = info.biWidth;
  const std::int64_t rows = std::llabs(std::int64_t{info.biHeight});
  if (width <= 0 || rows == 0 || width > kMaxBmpSide || rows > kMaxBmpSide) return false;
  const bool runLength = info.biCompression == BI_RLE8 || info.biCompression == BI_RLE4;
  return width * rows <= (runLength ? kMaxBmpRlePixels : kMaxBmpPixels);
}

// Where the pixel data may start at the earliest: after the headers, the
// bit masks and the colour table that the loader reads first.
std::uint64_t ColourTableEnd(const BITMAPINFOHEADER& info) {
  std::uint64_t end = kBitmapFileHeaderSize + std::uint64_t{info.biSize};
  if (info.biCompression == BI_BITFIELDS && info.biSize == kBitmapInfoHeaderSize) end += kBitfieldMasksSize;
  if (info.biBitCount <= 8) end += 4 * BmpColourCount(info);
  return end;
}

}  // namespace

std::uint64_t BmpColourCount(const BITMAPINFOHEADER& info) {
  if (info.biClrUsed != 0) return info.biClrUsed;
  return info.biBitCount <= 8 ? std::uint64_t{1} << info.biBitCount : 0;
}

std::optional<BmpHeader> ReadBmpHeader(std::span<const BYTE> data) {
  if (data.size() < kBitmapFileHeaderSize + kBitmapInfoHeaderSize) return std::nullopt;
  BmpHeader header;
  header.file = {Word(data, 0), Dword(data, 2), Word(data, 6), Word(data, 8), Dword(data, 10)};
  if (header.file.bfType != 0x4D42) return std::nullopt;  // "BM"
  const auto info = data.subspan(kBitmapFileHeaderSize);
  header.info = {Dword(info, 0),  Long(info, 4),  Long(info, 8),  Word(info, 12), Word(info, 14), Dword(info, 16),
                 Dword(info, 20), Long(info, 24), Long(info, 28), Dword(info, 32), Dword(info, 36)};
  if (header.info.biSize < kBitmapInfoHeaderSize) return std::nullopt;
  return header;
}

bool BmpPixelsWithinData(const BmpHeader& header, std::uint64_t dataSize) {
  const BITMAPINFOHEADER& info = header.info;
  if (info.biPlanes != 1 || !KnownFormat(info) || !DimensionsBounded(info)) return false;
  if (BmpColourCount(info) > kMaxColours) return false;
  const std::uint64_t pixelsAt = header.file.bfOffBits;
  if (pixelsAt < ColourTableEnd(info) || pixelsAt > dataSize) return false;
  const std::uint64_t available = dataSize - pixelsAt;
  if (info.biCompression == BI_RLE8 || info.biCompression == BI_RLE4) return available >= 2;  // an end marker at least
  const std::uint64_t rowBytes = (std::uint64_t(info.biWidth) * info.biBitCount + 31) / 32 * 4;
  const auto rows = static_cast<std::uint64_t>(std::llabs(std::int64_t{info.biHeight}));
  return rowBytes * rows <= available;
}

std::optional<std::vector<PALETTEENTRY>> ReadBmpPalette(const BmpHeader& header, std::span<const BYTE> head,
                                                        BmpHeaderRule rule) {
  const BITMAPINFOHEADER& info = header.info;
  if (rule == BmpHeaderRule::File && info.biSize != kBitmapInfoHeaderSize) return std::nullopt;
  if (info.biBitCount > 8) return std::nullopt;
  const std::uint64_t count = BmpColourCount(info);
  const std::uint64_t tableAt = kBitmapFileHeaderSize + std::uint64_t{info.biSize};
  if (count > kMaxColours || tableAt + 4 * count > head.size()) return std::nullopt;
  std::vector<PALETTEENTRY> entries(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = tableAt + 4 * i;
    entries[i] = {head[at + 2], head[at + 1], head[at], 0};  // stored blue, green, red
  }
  return entries;
}

}  // namespace zerth::detail
