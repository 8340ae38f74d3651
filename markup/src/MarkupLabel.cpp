#include "xamlpie/MarkupLabel.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace xamlpie {
namespace {

// Size hints stay within what a screen can show, whatever the markup says.
constexpr double kHintLimit = 4096.0;
// The larger side of a stretched chart's minimum size.
constexpr double kMinimumSide = 32.0;

int HintLength(double length) {
  return static_cast<int>(std::ceil(std::clamp(length, 0.0, kHintLimit)));
}

constexpr Qt::Alignment kTextAlignment = Qt::AlignLeft | Qt::AlignTop;
constexpr int kTextFlags = static_cast<int>(kTextAlignment) | Qt::TextWordWrap;

}  // namespace

QColor OleColorToQColor(ColorValue color) noexcept {
  RgbValue rgb = 0;
  try {
    rgb = TranslateOleColor(color);
  } catch (...) {  // painting must not throw
  }
  return QColor(static_cast<int>(rgb & 0xFFu), static_cast<int>((rgb >> 8) & 0xFFu),
                static_cast<int>((rgb >> 16) & 0xFFu));
}

ColorValue ToColorValue(const QColor& color) noexcept {
  if (!color.isValid()) return 0;
  const QColor rgb = color.toRgb();
  return static_cast<ColorValue>(rgb.red()) | static_cast<ColorValue>(rgb.green()) << 8 |
         static_cast<ColorValue>(rgb.blue()) << 16;
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
    mCurrent.bounds = mCurrent.scene ? SceneBounds(*mCurrent.scene) : QRectF();
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

void MarkupLabel::setStretch(Stretch stretch) {
  if (stretch == mStretch) return;
  mStretch = stretch;
  Invalidate();
}

QSize MarkupLabel::sizeHint() const {
  if (!mCurrent.scene) {
    const QString& text = mCurrent.caption;
    return fontMetrics().size(0, text.isEmpty() ? QStringLiteral(" ") : text);
  }
  const QRectF& bounds = mCurrent.bounds;
  if (mStretch != Stretch::None) return {HintLength(bounds.width()), HintLength(bounds.height())};
  const QPointF far = bounds.isNull() ? QPointF() : bounds.bottomRight();
  return {HintLength(far.x()), HintLength(far.y())};
}

QSize MarkupLabel::minimumSizeHint() const {
  if (!mCurrent.scene) {
    int widest = 0;
    const QFontMetrics metrics = fontMetrics();
    static const QRegularExpression kSpace(QStringLiteral("\\s+"));
    for (const QString& word : mCurrent.caption.split(kSpace, Qt::SkipEmptyParts)) {
      widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    widest = std::max(widest, 1);
    return {widest, heightForWidth(widest)};
  }
  if (mStretch == Stretch::None) return sizeHint();
  const QRectF& bounds = mCurrent.bounds;
  const double side = std::max(bounds.width(), bounds.height());
  if (side <= 0) return {0, 0};
  const double scale = std::min(1.0, kMinimumSide / side);
  return {HintLength(bounds.width() * scale), HintLength(bounds.height() * scale)};
}

bool MarkupLabel::hasHeightForWidth() const {
  return !mCurrent.scene;
}

int MarkupLabel::heightForWidth(int width) const {
  if (mCurrent.scene) return -1;
  const QString text = mCurrent.caption.isEmpty() ? QStringLiteral(" ") : mCurrent.caption;
  return fontMetrics()
      .boundingRect(QRect(0, 0, std::max(width, 1), std::numeric_limits<int>::max() / 2),
                    kTextFlags, text)
      .height();
}

QTransform MarkupLabel::canvasTransform() const {
  return CanvasTransform(mCurrent);
}

QTransform MarkupLabel::CanvasTransform(const Picture& picture) const {
  const QRectF& content = picture.bounds;
  if (mStretch == Stretch::None || !picture.scene || content.width() <= 0 ||
      content.height() <= 0) {
    return {};
  }
  double sx = width() / content.width();
  double sy = height() / content.height();
  if (mStretch == Stretch::Uniform) sx = sy = std::min(sx, sy);
  if (mStretch == Stretch::UniformToFill) sx = sy = std::max(sx, sy);
  // The content's centre goes to the label's centre.
  QTransform transform;
  transform.translate(width() / 2.0, height() / 2.0);
  transform.scale(sx, sy);
  transform.translate(-content.center().x(), -content.center().y());
  return transform;
}

void MarkupLabel::Invalidate() {
  mCurrent.image = QImage();
  mPrevious.image = QImage();
  updateGeometry();
  update();
}

void MarkupLabel::changeEvent(QEvent* event) {
  // System colours and the font may have changed with the palette, the style
  // or the font.
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
      Invalidate();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

bool MarkupLabel::event(QEvent* event) {
  // System colours follow the application's palette even where this label
  // has a palette of its own, which then sees no PaletteChange.
  if (event->type() == QEvent::ApplicationPaletteChange) Invalidate();
  return QWidget::event(event);
}

void MarkupLabel::Render(QPainter& painter, const Picture& picture) const {
  painter.fillRect(rect(), picture.back);
  if (picture.scene) {
    painter.setTransform(CanvasTransform(picture), true);
    PaintMarkup(painter, *picture.scene);
  } else {
    painter.setPen(picture.fore);
    painter.setFont(font());
    painter.drawText(rect(), kTextFlags, picture.caption);
  }
}

void MarkupLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // The device, not the widget, tells the pixel ratio: rendering into a 2x
  // image must be as sharp as a 2x screen.
  const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
  // System colours are looked up on every paint, so they follow a new scheme
  // even when no palette event announced it.
  const QColor back = OleColorToQColor(mBackColor);
  const QColor fore = OleColorToQColor(mForeColor);
  QImage& image = mCurrent.image;
  if (image.isNull() || image.devicePixelRatio() != ratio ||
      image.deviceIndependentSize() != QSizeF(size()) || back != mCurrent.back ||
      fore != mCurrent.fore) {
    mCurrent.back = back;
    mCurrent.fore = fore;
    image = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter picture(&image);
    Render(picture, mCurrent);
  }
  painter.drawImage(QPointF(0, 0), image);
}

}  // namespace xamlpie
