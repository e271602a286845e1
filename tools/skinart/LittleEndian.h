// Little-endian integers appended to a byte array, as BMP, ICO and CUR files
// store them.
#pragma once

#include <QByteArray>

namespace skinart {

inline void Put16(QByteArray& out, int value) {
  out += char(value & 0xFF);
  out += char((value >> 8) & 0xFF);
}

inline void Put32(QByteArray& out, qint64 value) {
  Put16(out, int(value & 0xFFFF));
  Put16(out, int((value >> 16) & 0xFFFF));
}

}  // namespace skinart
