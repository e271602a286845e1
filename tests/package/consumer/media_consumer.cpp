// A program that knows Zerth only through its installed package: a dialog
// with an animated button made from a frame strip that it writes itself
// (two 6 x 6 frames, red and blue, in the three rows of the button's
// states). It ends with 0 once it has seen the button show the next frame.
#include <zerth/zerth.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QImage strip(12, 18, QImage::Format_Indexed8);
  strip.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
  for (int y = 0; y < strip.height(); ++y)
    for (int x = 0; x < strip.width(); ++x) strip.setPixel(x, y, x < 6 ? 0 : 1);
  QTemporaryDir dir;
  const QByteArray path = dir.filePath("strip.bmp").toUtf8();
  QDialog dialog;
  auto* button = new QPushButton(&dialog);  // owned by the dialog
  button->setObjectName("1001");
  button->setGeometry(10, 10, 6, 6);
  CAniButton animated;
  if (!strip.save(path, "BMP") || !animated.AutoLoad(1001, &dialog, path.constData(), nullptr, 20, 2, 0, 0, 0)) return 1;
  dialog.show();
  auto shown = [button] { return button->grab().toImage().pixel(3, 3); };
  const QRgb first = shown();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (shown() != first) std::printf("installed package: the animated button moved to its next frame\n"), app.exit(0);
  });
  poll.start(10);
  QTimer::singleShot(10000, [&app] { std::fprintf(stderr, "the animated button never moved\n"), app.exit(1); });
  return app.exec();
}
