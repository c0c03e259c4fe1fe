// Paints the program's pictures at build time: the program icon (one .ico
// with four sizes, plus the same sizes as PNG files for desktop themes), the
// main window's photograph, the gear of its settings button and the picture
// of the settings window's contact button. Everything is drawn here; nothing
// is copied from elsewhere. A fixed seed keeps every build's output the same.
//
// Usage: zoq_imagegen OUTPUT_DIR

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>
#include <random>
#include <vector>

namespace {

// --- The icon: a disc with a play mark on a rounded tile ---

QImage PaintIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);

  QLinearGradient tile(0, 0, 0, 256);
  tile.setColorAt(0, QColor(0, 214, 214));
  tile.setColorAt(1, QColor(0, 120, 170));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

  QRadialGradient disc(QPointF(112, 112), 120);
  disc.setColorAt(0, QColor(70, 70, 80));
  disc.setColorAt(1, QColor(20, 20, 28));
  p.setBrush(disc);
  p.drawEllipse(QPointF(128, 128), 92, 92);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 40), 4));
  for (int r = 40; r <= 84; r += 14) p.drawEllipse(QPointF(128, 128), r, r);

  QPainterPath play;
  play.moveTo(108, 88);
  play.lineTo(176, 128);
  play.lineTo(108, 168);
  play.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 0, 255));
  p.drawPath(play);
  return image;
}

// One .ico file holding every size as a 32-bit DIB with its (empty) mask.
QByteArray IcoFile(const std::vector<QImage>& images) {
  QByteArray out;
  auto put16 = [&out](quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
  auto put32 = [&out](quint32 v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
  };
  std::vector<QByteArray> dibs;
  for (const QImage& source : images) {
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray dib;
    QBuffer buffer(&dib);
    buffer.open(QIODevice::WriteOnly);
    auto w32 = [&buffer](quint32 v) {
      char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                   char((v >> 24) & 0xFF)};
      buffer.write(b, 4);
    };
    auto w16 = [&buffer](quint16 v) {
      char b[2] = {char(v & 0xFF), char(v >> 8)};
      buffer.write(b, 2);
    };
    w32(40);
    w32(quint32(w));
    w32(quint32(2 * h));  // colour rows and mask rows
    w16(1);
    w16(32);
    w32(0);
    w32(quint32(w * h * 4 + maskStride * h));
    w32(0);
    w32(0);
    w32(0);
    w32(0);
    for (int y = h - 1; y >= 0; --y) {
      const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
      for (int x = 0; x < w; ++x) w32(line[x]);  // BGRA in the file: ARGB32 little-endian
    }
    buffer.write(QByteArray(maskStride * h, '\0'));
    dibs.push_back(dib);
  }
  put16(0);
  put16(1);
  put16(quint16(images.size()));
  quint32 offset = 6 + 16 * quint32(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int w = images[i].width(), h = images[i].height();
    out.append(char(w >= 256 ? 0 : w)).append(char(h >= 256 ? 0 : h));
    out.append(char(0)).append(char(0));
    put16(1);
    put16(32);
    put32(quint32(dibs[i].size()));
    put32(offset);
    offset += quint32(dibs[i].size());
  }
  for (const QByteArray& dib : dibs) out.append(dib);
  return out;
}

// --- The photograph: a lake under mountains at dusk ---

// A ridge line by midpoint displacement: heights for x = 0..width.
std::vector<double> Ridge(int width, double base, double roughness, std::mt19937& rng) {
  int n = 1;
  while (n < width) n *= 2;
  std::vector<double> h(static_cast<std::size_t>(n) + 1, base);
  std::uniform_real_distribution<double> jitter(-1.0, 1.0);
  h[0] = base + jitter(rng) * roughness;
  h[static_cast<std::size_t>(n)] = base + jitter(rng) * roughness;
  double amplitude = roughness;
  for (int step = n; step > 1; step /= 2) {
    for (int i = 0; i < n; i += step) {
      const auto mid = static_cast<std::size_t>(i + step / 2);
      h[mid] = (h[static_cast<std::size_t>(i)] + h[static_cast<std::size_t>(i + step)]) / 2 +
               jitter(rng) * amplitude;
    }
    amplitude *= 0.55;
  }
  h.resize(static_cast<std::size_t>(width) + 1);
  return h;
}

QImage PaintPhoto(int width, int height) {
  std::mt19937 rng(20240611);
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double horizon = height * 0.62;

  QLinearGradient sky(0, 0, 0, horizon);
  sky.setColorAt(0.0, QColor(38, 64, 130));
  sky.setColorAt(0.55, QColor(198, 130, 150));
  sky.setColorAt(1.0, QColor(252, 190, 120));
  p.fillRect(QRectF(0, 0, width, horizon), sky);

  QRadialGradient glow(QPointF(width * 0.68, horizon - 34), 90);
  glow.setColorAt(0, QColor(255, 240, 200, 230));
  glow.setColorAt(0.25, QColor(255, 210, 140, 120));
  glow.setColorAt(1, QColor(255, 180, 120, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(width * 0.68, horizon - 34), 90, 90);
  p.setBrush(QColor(255, 246, 220));
  p.drawEllipse(QPointF(width * 0.68, horizon - 34), 15, 15);

  // Three ridges, the far ones paler.
  const QColor ridgeColours[] = {QColor(120, 100, 140), QColor(78, 70, 104), QColor(40, 46, 62)};
  const double bases[] = {horizon - 70, horizon - 38, horizon - 12};
  const double rough[] = {38, 30, 16};
  for (int r = 0; r < 3; ++r) {
    const std::vector<double> line = Ridge(width, bases[r], rough[r], rng);
    QPainterPath path;
    path.moveTo(0, horizon);
    for (int x = 0; x <= width; ++x) path.lineTo(x, line[static_cast<std::size_t>(x)]);
    path.lineTo(width, horizon);
    path.closeSubpath();
    p.setBrush(ridgeColours[r]);
    p.drawPath(path);
  }

  // The lake mirrors the land above it, darker and bluer.
  const QImage upper = image.copy(0, 0, width, static_cast<int>(horizon));
  const QImage mirrored = upper.mirrored(false, true);
  p.drawImage(QPointF(0, horizon), mirrored);
  p.fillRect(QRectF(0, horizon, width, height - horizon), QColor(20, 40, 80, 110));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  p.setPen(QPen(QColor(255, 230, 190, 90), 1));
  for (int i = 0; i < 60; ++i) {  // ripples in the sun's path
    const double y = horizon + 4 + unit(rng) * (height - horizon - 8);
    const double x = width * 0.68 + (unit(rng) - 0.5) * 60;
    const double len = 6 + unit(rng) * 20;
    p.drawLine(QPointF(x - len / 2, y), QPointF(x + len / 2, y));
  }
  // Reeds in the foreground.
  p.setPen(QPen(QColor(18, 22, 20), 1.4));
  for (int i = 0; i < 40; ++i) {
    const double x = unit(rng) * width * 0.35;
    const double top = height - 30 - unit(rng) * 50;
    p.drawLine(QPointF(x, height), QPointF(x + (unit(rng) - 0.5) * 10, top));
  }
  p.end();

  // Film grain, so the picture reads as a photograph.
  std::normal_distribution<double> grain(0.0, 5.0);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const int n = static_cast<int>(grain(rng));
      line[x] = qRgb(qBound(0, qRed(line[x]) + n, 255), qBound(0, qGreen(line[x]) + n, 255),
                     qBound(0, qBlue(line[x]) + n, 255));
    }
  }
  return image;
}

// --- The gear: eight teeth, a hole through the middle ---

QImage PaintGear(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(size / 2.0, size / 2.0);
  const double outer = size * 0.47, inner = size * 0.36, hole = size * 0.14;
  const int teeth = 8;
  QPainterPath gear;
  for (int i = 0; i < teeth * 4; ++i) {
    const double angle = (i / double(teeth * 4)) * 2 * M_PI;
    const double r = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
    const QPointF pt = centre + QPointF(std::cos(angle) * r, std::sin(angle) * r);
    if (i == 0) {
      gear.moveTo(pt);
    } else {
      gear.lineTo(pt);
    }
  }
  gear.closeSubpath();
  QPainterPath hollow;
  hollow.addEllipse(centre, hole, hole);
  gear = gear.subtracted(hollow);
  QLinearGradient metal(0, 0, size, size);
  metal.setColorAt(0, QColor(200, 204, 214));
  metal.setColorAt(1, QColor(86, 92, 108));
  p.setPen(QPen(QColor(50, 54, 66), 1));
  p.setBrush(metal);
  p.drawPath(gear);
  return image;
}

// --- The contact button: a chat bubble beside a portrait ---

QImage PaintContact(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, width, height);
  back.setColorAt(0, QColor(255, 236, 250));
  back.setColorAt(1, QColor(200, 240, 255));
  p.fillRect(image.rect(), back);

  // Portrait: head and shoulders.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 90, 150));
  p.drawEllipse(QPointF(58, 58), 22, 22);
  QPainterPath shoulders;
  shoulders.moveTo(18, 122);
  shoulders.cubicTo(20, 86, 96, 86, 98, 122);
  shoulders.closeSubpath();
  p.drawPath(shoulders);

  // Speech bubble with three dots.
  QPainterPath bubble;
  bubble.addRoundedRect(QRectF(112, 22, 116, 70), 18, 18);
  QPainterPath tail;
  tail.moveTo(124, 80);
  tail.lineTo(104, 104);
  tail.lineTo(144, 88);
  tail.closeSubpath();
  bubble = bubble.united(tail);
  p.setBrush(QColor(255, 0, 255));
  p.drawPath(bubble);
  p.setBrush(Qt::white);
  for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(144 + i * 26, 57), 7, 7);
  return image;
}

bool Save(const QImage& image, const QString& path, const char* format, int quality = -1) {
  QImageWriter writer(path, format);
  if (quality >= 0) writer.setQuality(quality);
  if (writer.write(image)) return true;
  std::fprintf(stderr, "zoq_imagegen: %s: %s\n", qPrintable(path),
               qPrintable(writer.errorString()));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: zoq_imagegen OUTPUT_DIR\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.exists() && !QDir().mkpath(out.path())) return 1;

  std::vector<QImage> icons;
  bool ok = true;
  for (int size : {256, 48, 32, 16}) {
    icons.push_back(PaintIcon(size));
    ok &= Save(icons.back(), out.filePath(QStringLiteral("icon-%1.png").arg(size)), "png");
  }
  QFile ico(out.filePath(QStringLiteral("zoq.ico")));
  ok &= ico.open(QIODevice::WriteOnly) && ico.write(IcoFile(icons)) > 0;
  ico.close();
  ok &= Save(PaintPhoto(312, 313), out.filePath(QStringLiteral("photo.jpg")), "jpeg", 88);
  ok &= Save(PaintGear(32), out.filePath(QStringLiteral("gear.png")), "png");
  ok &= Save(PaintContact(244, 136), out.filePath(QStringLiteral("contact.jpg")), "jpeg", 85);
  return ok ? 0 : 1;
}
