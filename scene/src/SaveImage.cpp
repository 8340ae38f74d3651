#include "SaveImage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace xamlpie::detail {
namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("xamlpie::MarkupLabel", text);
}

}  // namespace

bool SaveImage(const QString& fileName, QSize size, qreal ratio, const QString& title,
               const QString& description, const std::function<void(QPainter&)>& paint,
               QString* error) {
  const auto fail = [&](const QString& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (!(ratio > 0 && ratio <= 16)) {
    return fail(Tr("a pixel ratio of %1 is outside 0 to 16").arg(ratio));
  }
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  const QByteArray format = suffix.toLatin1();
  const bool svg = suffix == u"svg";
  const bool pdf = suffix == u"pdf";
  if (!svg && !pdf &&
      (suffix.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))) {
    return fail(
        Tr("%1: unknown image format \"%2\"; use .png, .svg or .pdf").arg(fileName, suffix));
  }
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    return fail(Tr("cannot write %1: %2").arg(fileName, file.errorString()));
  }
  if (svg) {
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(size);
    // Its width and height are written in millimetres: at 96 dots an inch,
    // what viewers take a CSS pixel to be, they show it at the PNG's size.
    generator.setResolution(96);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    generator.setDescription(description);
    QPainter painter(&generator);
    paint(painter);
  } else if (pdf) {
    // One page the picture's size, a pixel taken as 1/96 inch (0.75 point)
    // as for SVG, with shapes and text kept as vectors.
    QPdfWriter writer(&file);
    writer.setResolution(96);
    writer.setPageSize(
        QPageSize(QSizeF(size) * 0.75, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF());
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("xamlpie"));
    QPainter painter;
    if (!painter.begin(&writer)) {
      file.cancelWriting();
      return fail(Tr("cannot write %1 as PDF").arg(fileName));
    }
    paint(painter);
  } else {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return fail(Tr("%1: no memory for the image").arg(fileName));
    image.setDevicePixelRatio(ratio);
    {
      QPainter painter(&image);
      paint(painter);
    }
    if (!image.save(&file, format.constData())) {
      file.cancelWriting();
      return fail(Tr("cannot write %1 as %2").arg(fileName, suffix));
    }
  }
  if (!file.commit()) return fail(Tr("cannot write %1: %2").arg(fileName, file.errorString()));
  return true;
}

QMimeData* ChartMimeData(const QImage& picture, const QString& table) {
  auto* data = new QMimeData;
  data->setImageData(picture);
  // Named as PNG too: not every platform's clipboard converts the image.
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  data->setData(QStringLiteral("image/png"), png);
  data->setText(table);
  return data;
}

}  // namespace xamlpie::detail
