// BmpHeader: the headers of a BMP image read and checked before any pixel is
// decoded (internal to the library). Every size and offset in them comes
// from outside, so nothing here trusts one: the dimensions are bounded, and
// the colour table and the pixel rows must lie inside the data that is
// really there (bfSize is never believed).
#pragma once

#include <zplatform/Gdi.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zerth::detail {

// How strict the palette check is about the info header's size: a file's
// must be the 40-byte header exactly, a program resource may carry a larger
// version (108 or 124 bytes).
enum class BmpHeaderRule { File, Resource };

struct BmpHeader {
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;  // its first 40 bytes; biSize tells the full size
};

// The largest image handed to the image loader: a side and the pixel count,
// and for run-length-encoded images, whose few bytes can describe any size,
// a smaller count.
inline constexpr std::int64_t kMaxBmpSide = 32768;
inline constexpr std::int64_t kMaxBmpPixels = std::int64_t{1} << 27;
inline constexpr std::int64_t kMaxBmpRlePixels = std::int64_t{1} << 24;

// The colour-table entries the image declares: biClrUsed, or 2 to the
// power biBitCount when that is 0 and the image has at most 8 bits a pixel.
std::uint64_t BmpColourCount(const BITMAPINFOHEADER& info);

// The file and info headers at the start of data; nothing when data is
// shorter than both, is not marked "BM", or has an info header below 40 bytes.
[[nodiscard]] std::optional<BmpHeader> ReadBmpHeader(std::span<const BYTE> data);

// Whether an image of dataSize bytes with this header may be decoded: a
// format the image loader reads, bounded dimensions, at most 256 colours,
// and the colour table and every pixel row within the data.
[[nodiscard]] bool BmpPixelsWithinData(const BmpHeader& header, std::uint64_t dataSize);

// The palette of a palette-based image (at most 8 bits a pixel, at most 256
// colours) from its colour table, which follows the info header in head;
// nothing when the rule refuses the header or head ends inside the table.
[[nodiscard]] std::optional<std::vector<PALETTEENTRY>> ReadBmpPalette(const BmpHeader& header,
                                                                      std::span<const BYTE> head,
                                                                      BmpHeaderRule rule);

}  // namespace zerth::detail
