// skinart: draws the program's bitmaps, icons and cursor and traces the
// window outline, writing them into the source tree.
// Usage: QT_QPA_PLATFORM=offscreen skinart SOURCE_DIR (the repository root)
#include "Art.h"
#include "BmpFile.h"
#include "IconFile.h"
#include "Outline.h"
#include "Palette.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <vector>

using namespace skinart;

namespace {

QString g_root;

bool WriteFile(const QString& relative, const QByteArray& bytes) {
  const QString path = g_root + QLatin1Char('/') + relative;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) return true;
  std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(path));
  return false;
}

bool WriteBitmap(unsigned id, const QImage& image) {
  return WriteFile(QStringLiteral("app/res/bitmap/%1.bmp").arg(id), WriteBmpFile(image));
}

std::vector<QImage> Sizes(std::initializer_list<int> sizes, auto paint) {
  std::vector<QImage> out;
  for (int size : sizes) out.push_back(paint(size));
  return out;
}

bool WriteOutline() {
  const std::vector<QPoint> outline = TraceOutline();
  const QString problem = CheckTrace(outline);
  if (!problem.isEmpty()) {
    std::fprintf(stderr, "skinart: the traced outline does not match the shape: %s\n", qPrintable(problem));
    return false;
  }
  std::printf("outline: %zu vertices from (%d, %d)\n", outline.size(), outline[0].x(), outline[0].y());
  return WriteFile(QStringLiteral("app/skin/WindowOutline.h"), OutlineHeader(outline.size())) &&
         WriteFile(QStringLiteral("app/skin/WindowOutline.cpp"), OutlineSource(outline));
}

bool WriteTitleButtons() {
  struct Set {
    TitleSymbol symbol;
    unsigned normal, pressed, hover, mask;
  };
  for (const Set& set : {Set{TitleSymbol::Help, 137, 135, 138, 136}, Set{TitleSymbol::Close, 133, 131, 134, 132}}) {
    if (!WriteBitmap(set.normal, PaintTitleButton(set.symbol, TitleState::Normal)) ||
        !WriteBitmap(set.pressed, PaintTitleButton(set.symbol, TitleState::Pressed)) ||
        !WriteBitmap(set.hover, PaintTitleButton(set.symbol, TitleState::Hover)) ||
        !WriteBitmap(set.mask, PaintTitleButtonMask()))
      return false;
  }
  return true;
}

bool WriteIcons() {
  const auto picker = [](PickerIcon icon) {
    return WriteIconFile(Sizes({16, 32, 48}, [icon](int size) { return PaintPickerIcon(icon, size); }));
  };
  return WriteFile(QStringLiteral("app/res/icon/128.ico"),
                   WriteIconFile(Sizes({16, 24, 32, 48, 256}, [](int size) { return PaintProgramIcon(size); }))) &&
         WriteFile(QStringLiteral("app/res/icon/140.ico"), picker(PickerIcon::OutlookContacts)) &&
         WriteFile(QStringLiteral("app/res/icon/145.ico"), picker(PickerIcon::AddressBook)) &&
         WriteFile(QStringLiteral("app/res/icon/152.ico"), picker(PickerIcon::TextFile)) &&
         WriteFile(QStringLiteral("app/res/cursor/153.cur"), WriteMonoCursorFile(PaintHandCursor(), QPoint(12, 4))) &&
         WriteBitmap(148, PaintFolderContactStrip());
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SOURCE_DIR\n", argv[0]);
    return 2;
  }
  g_root = QString::fromLocal8Bit(argv[1]);
  const bool ok = WriteOutline() && WriteBitmap(129, ToIndexed8(PaintBackground())) && WriteTitleButtons() && WriteIcons();
  return ok ? 0 : 1;
}
