// Writes each picture of an .ico file as a PNG named <prefix>-<size>.png, for the desktop's icon
// theme, which takes PNG files.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: export_icon_pngs ICON.ico OUTPUT_PREFIX\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  int written = 0;
  for (int i = 0; i < reader.imageCount(); ++i) {
    reader.jumpToImage(i);
    const QImage image = reader.read();
    if (image.isNull()) {
      continue;
    }
    const QString path =
        QString::fromLocal8Bit(argv[2]) + QStringLiteral("-%1.png").arg(image.width());
    written += image.save(path) ? 1 : 0;
  }
  if (written == 0) {
    std::fprintf(stderr, "export_icon_pngs: no picture read from %s\n", argv[1]);
    return 1;
  }
  return 0;
}
