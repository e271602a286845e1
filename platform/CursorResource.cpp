#include <zplatform/CursorResource.h>

#include <zplatform/Resources.h>

#include <QFile>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <string>

namespace zplatform {
namespace {

std::uint16_t Word(std::span<const char> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

}  // namespace

std::optional<QPoint> CursorFileHotSpot(std::span<const char> file) {
  // ICONDIR (reserved 0, type 2 for cursors, count) and the first entry,
  // whose planes and bit-count words hold the hot spot in a cursor file.
  constexpr std::size_t kDirectory = 6, kEntry = 16;
  if (file.size() < kDirectory + kEntry) return std::nullopt;
  if (Word(file, 0) != 0 || Word(file, 2) != 2 || Word(file, 4) == 0) return std::nullopt;
  return QPoint(Word(file, kDirectory + 4), Word(file, kDirectory + 6));
}

std::optional<QCursor> LoadCursorResource(UINT id) {
  const std::string path = ResourcePath(ResourceKind::Cursor, id);
  if (path.empty()) return std::nullopt;
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  const QImage picture = QImage::fromData(bytes, "CUR");
  const std::optional<QPoint> hotSpot = CursorFileHotSpot(std::span<const char>(bytes.constData(), std::size_t(bytes.size())));
  if (picture.isNull() || !hotSpot) return std::nullopt;
  return QCursor(QPixmap::fromImage(picture), hotSpot->x(), hotSpot->y());
}

}  // namespace zplatform
