// The QML label: a caption read once into shapes and painted into the
// item's picture, stretched as asked; text that is no markup is shown as
// text.
#include "xamlpie/quick/MarkupView.h"

#include <QGuiApplication>
#include <QPainter>
#include <QtDebug>
#include <algorithm>
#include <cmath>

#include "Raster.h"
#include "SaveImage.h"

namespace xamlpie::quick {

MarkupView::MarkupView(QQuickItem* parent) : PictureItem(parent) {}

void MarkupView::setCaption(const QString& caption) {
  if (caption == mCaption) return;
  mCaption = caption;
  mScene = ParseMarkup(caption);
  mBounds = mScene ? SceneBounds(*mScene) : QRectF();
  // Its own size is the markup's, from the canvas's corner.
  setImplicitSize(std::max(mBounds.right(), 0.0), std::max(mBounds.bottom(), 0.0));
  Repaint();
  emit captionChanged();
}

void MarkupView::setStretch(StretchMode stretch) {
  if (stretch == mStretch) return;
  mStretch = stretch;
  Repaint();
  emit stretchChanged();
}

void MarkupView::setBackgroundColor(const QColor& colour) {
  if (colour == mBackground) return;
  mBackground = colour;
  Repaint();
  emit backgroundColorChanged();
}

QString MarkupView::description() const {
  QStringList names;
  if (mScene) {
    for (const MarkupShape& shape : mScene->shapes) {
      if (!shape.accessibleName.isEmpty() && !names.contains(shape.accessibleName)) {
        names.append(shape.accessibleName);
      }
    }
  }
  return names.join(QStringLiteral("; "));
}

void MarkupView::Paint(QPainter& painter, QSizeF size) const {
  const QRectF area(QPointF(0, 0), size);
  if (!mScene) {
    if (mBackground.alpha() > 0) painter.fillRect(area, mBackground);
    painter.setFont(QGuiApplication::font());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, mCaption);
    return;
  }
  // Over an opaque background the rasteriser paints both.
  const QRectF device = painter.deviceTransform().mapRect(area);
  const QRect pixels = device.toRect();
  const bool raster =
      mBackground.alpha() == 255 && QRectF(pixels) == device && detail::CanRaster(painter);
  if (!raster && mBackground.alpha() > 0) painter.fillRect(area, mBackground);
  painter.setTransform(StretchTransform(static_cast<Stretch>(mStretch), mBounds, size), true);
  if (raster) {
    detail::PaintMarkupOver(painter, *mScene, pixels, mBackground, {});
    return;
  }
  PaintMarkup(painter, *mScene);
}

void MarkupView::PaintPicture(QPainter& painter, QSizeF size) {
  Paint(painter, size);
}

bool MarkupView::saveImage(const QUrl& file, qreal ratio) const {
  QString error;
  const QSize size(static_cast<int>(std::ceil(width())), static_cast<int>(std::ceil(height())));
  const bool saved = detail::SaveImage(
      file.isLocalFile() ? file.toLocalFile() : file.toString(), size, ratio, tr("Chart"),
      description(), [&](QPainter& painter) { Paint(painter, QSizeF(size)); }, &error);
  if (!saved) qWarning().noquote() << "Xamlpie.MarkupView:" << error;
  return saved;
}

}  // namespace xamlpie::quick
