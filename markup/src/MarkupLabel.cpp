#include "xamlpie/MarkupLabel.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace xamlpie {

QColor OleColorToQColor(ColorValue color) noexcept {
  RgbValue rgb = 0;
  try {
    rgb = TranslateOleColor(color);
  } catch (...) {  // painting must not throw
  }
  return QColor(static_cast<int>(rgb & 0xFFu), static_cast<int>((rgb >> 8) & 0xFFu),
                static_cast<int>((rgb >> 16) & 0xFFu));
}

MarkupLabel::MarkupLabel(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted from the cache, so Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MarkupLabel::setCaption(const QString& caption) {
  if (caption == mCurrent.caption) return;
  std::swap(mCurrent, mPrevious);
  if (caption != mCurrent.caption) {
    mCurrent.caption = caption;
    mCurrent.scene = ParseMarkup(caption);
    mCurrent.image = QImage();
  }
  updateGeometry();
  update();
  emit CaptionChanged(caption);
}

void MarkupLabel::setBackColor(ColorValue color) {
  mBackColor = color;
  Invalidate();
}

void MarkupLabel::setForeColor(ColorValue color) {
  mForeColor = color;
  Invalidate();
}

QSize MarkupLabel::sizeHint() const {
  if (!mCurrent.scene) {
    const QString& text = mCurrent.caption;
    return fontMetrics().size(0, text.isEmpty() ? QStringLiteral(" ") : text);
  }
  QRectF bounds;
  for (const MarkupShape& shape : mCurrent.scene->shapes) {
    const QRectF box =
        shape.kind == MarkupShape::Kind::Polygon ? shape.points.boundingRect() : shape.box;
    bounds |= box.adjusted(0, 0, shape.strokeThickness / 2, shape.strokeThickness / 2);
  }
  const QPointF far = bounds.isNull() ? QPointF() : bounds.bottomRight();
  return QSize(static_cast<int>(std::ceil(std::clamp(far.x(), 0.0, 4096.0))),
               static_cast<int>(std::ceil(std::clamp(far.y(), 0.0, 4096.0))));
}

void MarkupLabel::Invalidate() {
  mCurrent.image = QImage();
  mPrevious.image = QImage();
  updateGeometry();
  update();
}

void MarkupLabel::changeEvent(QEvent* event) {
  // System colours and the font may have changed with the palette or the font.
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
    Invalidate();
  }
  QWidget::changeEvent(event);
}

void MarkupLabel::Render(QPainter& painter, const Picture& picture) const {
  painter.fillRect(rect(), OleColorToQColor(mBackColor));
  if (picture.scene) {
    PaintMarkup(painter, *picture.scene);
  } else {
    painter.setPen(OleColorToQColor(mForeColor));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, picture.caption);
  }
}

void MarkupLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // The device, not the widget, tells the pixel ratio: rendering into a 2x
  // image must be as sharp as a 2x screen.
  const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
  QImage& image = mCurrent.image;
  if (image.isNull() || image.devicePixelRatio() != ratio ||
      image.deviceIndependentSize() != QSizeF(size())) {
    image = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter picture(&image);
    Render(picture, mCurrent);
  }
  painter.drawImage(QPointF(0, 0), image);
}

}  // namespace xamlpie
