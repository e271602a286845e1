// Fuzz target of the BMP header reader: any bytes as a whole file must be
// read without a crash or sanitizer report; what it lets through must keep
// its promises, and Qt must then decode the image within the checked size.
#include "BmpHeader.h"

#include <QByteArray>
#include <QImage>

#include <cstdlib>

using namespace zerth::detail;

static void Check(bool condition) {
  if (!condition) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const BYTE> bytes(data, size);
  const auto header = ReadBmpHeader(bytes);
  if (!header) return 0;
  for (const auto rule : {BmpHeaderRule::File, BmpHeaderRule::Resource}) {
    if (const auto palette = ReadBmpPalette(*header, bytes, rule)) {
      Check(palette->size() <= 256 && header->info.biBitCount <= 8);
      Check(kBitmapFileHeaderSize + header->info.biSize + 4 * palette->size() <= size);
    }
  }
  if (!BmpPixelsWithinData(*header, size)) return 0;
  const QImage image = QImage::fromData(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), "BMP");
  Check(image.isNull() || (image.width() == header->info.biWidth && image.width() <= kMaxBmpSide));
  return 0;
}
