// Writes the program icon for the desktop's icon theme, which takes PNG and SVG files: from the
// pictures of an .ico file, <prefix>-<size>.png for each theme size a picture fits a whole number
// of times (enlarged pixel by pixel, so the pixel art stays sharp), and <prefix>.svg, the largest
// picture as squares for the scalable size.
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kThemeSizes[] = {16, 32, 48, 256};

std::vector<QImage> ReadPictures(const QString& path) {
  std::vector<QImage> pictures;
  QImageReader reader(path);
  for (int i = 0; i < reader.imageCount(); ++i) {
    reader.jumpToImage(i);
    const QImage image = reader.read();
    if (!image.isNull() && image.width() == image.height()) {
      pictures.push_back(image.convertToFormat(QImage::Format_ARGB32));
    }
  }
  return pictures;
}

// The largest picture that fits `size` a whole number of times, or none.
const QImage* PictureFor(const std::vector<QImage>& pictures, int size) {
  const QImage* best = nullptr;
  for (const QImage& picture : pictures) {
    if (size % picture.width() == 0 && (best == nullptr || picture.width() > best->width())) {
      best = &picture;
    }
  }
  return best;
}

// Each row's runs of one colour as rectangles; transparent pixels are left out.
bool WriteSvg(const QImage& picture, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    return false;
  }
  QTextStream out(&file);
  const int n = picture.width();
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << n << "\" height=\"" << n
      << "\" viewBox=\"0 0 " << n << ' ' << n << "\" shape-rendering=\"crispEdges\">\n";
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n;) {
      const QRgb colour = picture.pixel(x, y);
      int end = x + 1;
      while (end < n && picture.pixel(end, y) == colour) {
        ++end;
      }
      if (qAlpha(colour) != 0) {
        out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << end - x
            << "\" height=\"1\" fill=\"" << QColor(colour).name() << '"';
        if (qAlpha(colour) != 255) {
          out << " fill-opacity=\"" << qAlpha(colour) / 255.0 << '"';
        }
        out << "/>\n";
      }
      x = end;
    }
  }
  out << "</svg>\n";
  out.flush();
  return file.error() == QFile::NoError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: export_icon_pngs ICON.ico OUTPUT_PREFIX\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  const std::vector<QImage> pictures = ReadPictures(QString::fromLocal8Bit(argv[1]));
  const QString prefix = QString::fromLocal8Bit(argv[2]);
  for (int size : kThemeSizes) {
    const QImage* picture = PictureFor(pictures, size);
    const QString path = prefix + QStringLiteral("-%1.png").arg(size);
    if (picture == nullptr || !picture->scaled(size, size).save(path)) {
      std::fprintf(stderr, "export_icon_pngs: no %dx%d picture for %s\n", size, size,
                   qPrintable(path));
      return 1;
    }
  }
  const auto largest =
      std::max_element(pictures.begin(), pictures.end(),
                       [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
  if (!WriteSvg(*largest, prefix + QStringLiteral(".svg"))) {
    std::fprintf(stderr, "export_icon_pngs: cannot write %s.svg\n", qPrintable(prefix));
    return 1;
  }
  return 0;
}
