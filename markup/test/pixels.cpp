#include "pixels.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace xamlpie::test {

QString ReadGolden(const char* name) {
  QFile file(QStringLiteral(XAMLPIE_TEST_DATA "/") + QString::fromLatin1(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readAll());
}

QImage Render(QWidget& widget, qreal ratio) {
  QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  widget.render(&image);
  return image;
}

QColor Pixel(const QImage& image, QPointF logical) {
  const qreal ratio = image.devicePixelRatio();
  return image.pixelColor(static_cast<int>(logical.x() * ratio),
                          static_cast<int>(logical.y() * ratio));
}

QPointF Polar(QPointF centre, double radius, double degrees) {
  const double radians = degrees * std::numbers::pi / 180.0;
  return {centre.x() + radius * std::cos(radians), centre.y() - radius * std::sin(radians)};
}

double DistanceToBlend(const QColor& c, const QColor& a, const QColor& b) {
  const double p[3] = {c.redF(), c.greenF(), c.blueF()};
  const double u[3] = {a.redF(), a.greenF(), a.blueF()};
  const double v[3] = {b.redF(), b.greenF(), b.blueF()};
  double dot = 0;
  double len = 0;
  for (int i = 0; i < 3; ++i) {
    dot += (p[i] - u[i]) * (v[i] - u[i]);
    len += (v[i] - u[i]) * (v[i] - u[i]);
  }
  const double t = len > 0 ? std::clamp(dot / len, 0.0, 1.0) : 0.0;
  double d = 0;
  for (int i = 0; i < 3; ++i) {
    const double e = p[i] - (u[i] + t * (v[i] - u[i]));
    d += e * e;
  }
  return std::sqrt(d) * 255.0;
}

std::string Describe(const QColor& c) {
  return c.name(QColor::HexArgb).toStdString();
}

QImage Rsvg(const QString& svg, const QTemporaryDir& dir) {
  const QString in = dir.filePath(QStringLiteral("drawing.svg"));
  const QString out = dir.filePath(QStringLiteral("drawing.png"));
  QFile file(in);
  if (!file.open(QIODevice::WriteOnly) || file.write(svg.toUtf8()) < 0) return {};
  file.close();
  QProcess rsvg;
  rsvg.start(QStringLiteral("rsvg-convert"), {QStringLiteral("-o"), out, in});
  if (!rsvg.waitForFinished(60000) || rsvg.exitCode() != 0) return {};
  return QImage(out);
}

namespace {
QByteArray ReadAll(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

// Page objects and their media boxes are plain text in any PDF that Qt
// writes; only content streams are compressed.
std::vector<QSizeF> PdfPages(const QString& fileName) {
  const QString text = QString::fromLatin1(ReadAll(fileName));
  static const QRegularExpression kBox(
      QStringLiteral(R"(/MediaBox\s*\[\s*0\s+0\s+([0-9.]+)\s+([0-9.]+)\s*\])"));
  std::vector<QSizeF> pages;
  for (const QRegularExpressionMatch& m : kBox.globalMatch(text)) {
    pages.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble());
  }
  return pages;
}

bool PdfHasImages(const QString& fileName) {
  static const QRegularExpression kImage(QStringLiteral(R"(/Subtype\s*/Image)"));
  return QString::fromLatin1(ReadAll(fileName)).contains(kImage);
}

}  // namespace xamlpie::test
