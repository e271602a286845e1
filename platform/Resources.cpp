// Resource lookup in the running program: the registered string table, and
// Qt resources compiled into the program under :/res/<kind>/<id>.<ext>.
#include <zplatform/Resources.h>

#include <QFile>
#include <QString>

#include <array>
#include <mutex>

namespace zplatform {

namespace {

std::mutex g_mutex;
std::span<const StringResource> g_strings;

struct KindInfo {
  const char* folder;
  std::array<const char*, 3> extensions;
};

KindInfo InfoFor(ResourceKind kind) {
  switch (kind) {
    case ResourceKind::Bitmap: return {"bitmap", {"bmp", "png", nullptr}};
    case ResourceKind::Icon: return {"icon", {"ico", "png", nullptr}};
    case ResourceKind::Cursor: return {"cursor", {"cur", "png", nullptr}};
    case ResourceKind::Midi: return {"midi", {"mid", nullptr, nullptr}};
  }
  return {"", {nullptr, nullptr, nullptr}};
}

}  // namespace

void RegisterStringTable(std::span<const StringResource> table) {
  std::lock_guard lock(g_mutex);
  g_strings = table;
}

std::string LoadStringResource(UINT id) {
  std::lock_guard lock(g_mutex);
  for (const auto& entry : g_strings) {
    if (entry.id == id) return entry.text ? entry.text : "";
  }
  return {};
}

std::string ResourcePath(ResourceKind kind, UINT id) {
  const KindInfo info = InfoFor(kind);
  for (const char* ext : info.extensions) {
    if (!ext) break;
    QString path = QStringLiteral(":/res/%1/%2.%3").arg(info.folder).arg(id).arg(ext);
    if (QFile::exists(path)) return path.toStdString();
  }
  return {};
}

}  // namespace zplatform
