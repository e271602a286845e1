#include "CursorResource.h"

#include <zplatform/Resources.h>

#include <QFile>
#include <QImage>
#include <QPixmap>

#include <string>

namespace zerth::detail {
namespace {

// ICONDIR (reserved 0, type 2 for cursors, a count) and its first entry,
// whose planes and bit-count words hold the hot spot in a cursor file.
constexpr qsizetype kDirectorySize = 6;
constexpr qsizetype kEntrySize = 16;

int Word(const QByteArray& bytes, qsizetype at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

std::optional<QCursor> LoadCursorResource(UINT id) {
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Cursor, id);
  if (path.empty()) return std::nullopt;
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (bytes.size() < kDirectorySize + kEntrySize || Word(bytes, 0) != 0 || Word(bytes, 2) != 2) return std::nullopt;
  const QImage picture = QImage::fromData(bytes, "CUR");
  if (picture.isNull()) return std::nullopt;
  return QCursor(QPixmap::fromImage(picture), Word(bytes, kDirectorySize + 4), Word(bytes, kDirectorySize + 6));
}

}  // namespace zerth::detail
