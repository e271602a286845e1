// Fuzz target of the BMP header reader: any bytes as a whole file are read
// without a crash or sanitizer report, what it lets through keeps its
// promises, and Qt then decodes the image within the checked bounds.
#include "BmpHeader.h"

#include <QImage>

#include <cstdlib>

using namespace zerth::detail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto header = ReadBmpHeader({data, size});
  if (!header) return 0;
  for (const auto rule : {BmpHeaderRule::File, BmpHeaderRule::Resource}) {
    const auto palette = ReadBmpPalette(*header, {data, size}, rule);
    if (palette && (palette->size() > 256 || 14 + header->info.biSize + 4 * palette->size() > size)) std::abort();
  }
  if (!BmpPixelsWithinData(*header, size)) return 0;
  const QImage image = QImage::fromData(data, int(size), "BMP");
  if (!image.isNull() && image.width() != header->info.biWidth) std::abort();
  return 0;
}
