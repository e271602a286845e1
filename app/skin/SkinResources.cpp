#include "SkinResources.h"

#include <zplatform/CursorResource.h>
#include <zplatform/Resources.h>

namespace tarvo {

QImage LoadSkinBitmap(UINT id) {
  if (id == 0) return {};
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Bitmap, id);
  if (path.empty()) return {};
  QImage picture(QString::fromStdString(path));
  return picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
}

QCursor LoadSkinCursor(UINT id, Qt::CursorShape fallback) {
  return zplatform::LoadCursorResource(id).value_or(QCursor(fallback));
}

}  // namespace tarvo
