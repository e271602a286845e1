// MIDI resources of the running program.
#include "MidiResource.h"

#include <zplatform/Resources.h>

#include <QFile>
#include <QString>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace zerth::detail {

std::string MidiResourcePath(const char* name) {
  if (!name || !*name) return {};
  if (name[0] == '#') {
    unsigned id = 0;
    const char* end = name + std::strlen(name);
    const auto [last, error] = std::from_chars(name + 1, end, id);
    return error == std::errc() && last == end ? MidiResourcePath(id) : std::string();
  }
  const QString path = QStringLiteral(":/res/midi/%1.mid").arg(QString::fromUtf8(name));
  return QFile::exists(path) ? path.toStdString() : std::string();
}

std::string MidiResourcePath(unsigned id) { return zplatform::ResourcePath(zplatform::ResourceKind::Midi, id); }

bool LoadMidiResource(const std::string& path, std::vector<BYTE>& image) {
  QFile file(QString::fromStdString(path));
  if (path.empty() || !file.open(QIODevice::ReadOnly)) return false;
  if (static_cast<std::uint64_t>(file.size()) > std::numeric_limits<DWORD>::max()) return false;
  const QByteArray bytes = file.readAll();
  image.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace zerth::detail
