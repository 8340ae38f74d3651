#include "xamlpie/MarkupLabel.h"

#include "MarkupAccessible.h"
#include "Raster.h"
#include "SaveImage.h"
#include "ShapeToolTip.h"
#include "SlicePlace.h"

#include <QEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
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

// A text caption may run to megabytes, yet the label stays a label: its
// hints come from the first characters and at most so many lines, and it
// lays out only what it shows, the last line cut with an ellipsis.
constexpr qsizetype kMeasured = 4096;
constexpr int kHintLines = 12;
constexpr int kHintWidthInCharacters = 60;

// The first `count` characters, a surrogate pair kept whole.
QString Prefix(const QString& text, qsizetype count) {
  if (text.size() <= count) return text;
  if (count > 0 && text.at(count - 1).isHighSurrogate()) --count;
  return text.left(count);
}

// The text laid out in `box`, line by line, as far as the box reaches;
// where more follows, the last line shown ends in an ellipsis.
void DrawTextWithin(QPainter& painter, const QRect& box, const QString& text) {
  const QFontMetricsF metrics(painter.font());
  const double line = metrics.lineSpacing();
  const int lines = std::max(1, static_cast<int>(box.height() / line));
  // No line holds more characters than the box has pixels across it; the
  // text beyond those lines cannot show.
  const qsizetype reach = static_cast<qsizetype>(lines + 1) * (std::max(box.width(), 1) + 2) + 16;
  const QString shown = Prefix(text, reach);
  QTextLayout layout(shown, painter.font());
  QTextOption option(kTextAlignment);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  layout.beginLayout();
  double y = 0;
  int count = 0;
  qsizetype end = 0;
  for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
    l.setLineWidth(box.width());
    if (count > 0 && y + l.height() > box.height()) {
      l.setNumColumns(0);
      break;
    }
    l.setPosition(QPointF(0, y));
    y += l.height();
    ++count;
    end = l.textStart() + l.textLength();
  }
  layout.endLayout();
  const bool more = end < text.size();
  for (int i = 0; i < count; ++i) {
    const QTextLine l = layout.lineAt(i);
    if (more && i == count - 1) {
      const QString last = shown.mid(l.textStart()).section(u'\n', 0, 0);
      painter.drawText(
          QPointF(box.left(), box.top() + l.y() + l.ascent()),
          metrics.elidedText(last + QStringLiteral(" \u2026"), Qt::ElideRight, box.width()));
    } else {
      l.draw(&painter, box.topLeft());
    }
  }
}

}  // namespace

MarkupLabel::MarkupLabel(QWidget* parent) : QWidget(parent) {
  InstallAccessibility();
  // Every pixel is painted from the cache, so Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // for ShapeHovered
}

void MarkupLabel::setCaption(const QString& caption) {
  if (caption == mCurrent.caption) return;
  std::swap(mCurrent, mPrevious);
  if (caption != mCurrent.caption) {
    mCurrent.caption = caption;
    mCurrent.scene = ParseMarkup(caption);
    mCurrent.bounds.reset();
    mCurrent.stale = true;
    mCurrent.shown = false;
  }
  updateGeometry();
  update();
  HoverAgain();
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
  HoverAgain();
}

QSize MarkupLabel::sizeHint() const {
  if (!mCurrent.scene) {
    const QString text = Prefix(mCurrent.caption, kMeasured);
    const QSize line = fontMetrics().size(0, text.isEmpty() ? QStringLiteral(" ") : text);
    const int widest = kHintWidthInCharacters * fontMetrics().averageCharWidth();
    if (line.width() <= widest && text.size() == mCurrent.caption.size()) return line;
    return {widest, heightForWidth(widest)};  // a paragraph, not a line
  }
  const QRectF& bounds = Bounds(mCurrent);
  if (mStretch != Stretch::None) return {HintLength(bounds.width()), HintLength(bounds.height())};
  const QPointF far = bounds.isNull() ? QPointF() : bounds.bottomRight();
  return {HintLength(far.x()), HintLength(far.y())};
}

QSize MarkupLabel::minimumSizeHint() const {
  if (!mCurrent.scene) {
    int widest = 0;
    const QFontMetrics metrics = fontMetrics();
    static const QRegularExpression kSpace(QStringLiteral("\\s+"));
    for (const QString& word :
         Prefix(mCurrent.caption, kMeasured).split(kSpace, Qt::SkipEmptyParts)) {
      widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    // A word longer than a paragraph's width is broken anywhere.
    widest = std::clamp(widest, 1, kHintWidthInCharacters * metrics.averageCharWidth());
    return {widest, heightForWidth(widest)};
  }
  if (mStretch == Stretch::None) return sizeHint();
  const QRectF& bounds = Bounds(mCurrent);
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
  const QString text =
      mCurrent.caption.isEmpty() ? QStringLiteral(" ") : Prefix(mCurrent.caption, kMeasured);
  const QFontMetrics metrics = fontMetrics();
  const int height =
      metrics
          .boundingRect(QRect(0, 0, std::max(width, 1), std::numeric_limits<int>::max() / 2),
                        kTextFlags | Qt::TextWrapAnywhere, text)
          .height();
  return std::min(height, kHintLines * metrics.lineSpacing());
}

// Worked out when first needed, as a label's size hint is: a chart whose
// data changes may never be asked for it.
const QRectF& MarkupLabel::Bounds(const Picture& picture) {
  if (!picture.bounds) picture.bounds = picture.scene ? SceneBounds(*picture.scene) : QRectF();
  return *picture.bounds;
}

QTransform MarkupLabel::canvasTransform() const {
  return CanvasTransform(mCurrent);
}

QTransform MarkupLabel::CanvasTransform(const Picture& picture) const {
  if (mStretch == Stretch::None || !picture.scene) return {};
  return StretchTransform(mStretch, Bounds(picture), QSizeF(size()));
}

void MarkupLabel::Invalidate() {
  mCurrent.stale = true;
  mPrevious.stale = true;
  mCurrent.shown = false;
  mPrevious.shown = false;
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
  if (event->type() == QEvent::ToolTip) {
    return detail::ShowShapeToolTip(this, event, shapes(),
                                    ShapeAt(static_cast<QHelpEvent*>(event)->pos()));
  }
  return QWidget::event(event);
}

const std::vector<MarkupShape>& MarkupLabel::shapes() const {
  static const std::vector<MarkupShape> kNone;
  return mCurrent.scene ? mCurrent.scene->shapes : kNone;
}

int MarkupLabel::ShapeAt(QPointF point) const {
  if (!mCurrent.scene) return -1;
  bool invertible = false;
  const QPointF canvas = canvasTransform().inverted(&invertible).map(point);
  if (!invertible) return -1;
  return detail::TopShapeAt(mCurrent.scene->shapes, canvas);
}

QString MarkupLabel::TagAt(QPointF point) const {
  const int index = ShapeAt(point);
  return index >= 0 ? shapes()[static_cast<std::size_t>(index)].tag : QString();
}

void MarkupLabel::Hover(const QString& tag) {
  if (tag == mHovered) return;
  mHovered = tag;
  if (mHoverHighlight) update();
  emit ShapeHovered(tag);
}

void MarkupLabel::setHoverHighlight(bool on) {
  mHoverHighlight = on;
  update();
}

void MarkupLabel::mouseMoveEvent(QMouseEvent* event) {
  mPointer = event->globalPosition();
  Hover(TagAt(event->position()));
  QWidget::mouseMoveEvent(event);
}

void MarkupLabel::leaveEvent(QEvent* event) {
  mPointer.reset();
  Hover({});
  QWidget::leaveEvent(event);
}

void MarkupLabel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  HoverAgain();
}

// The shapes moved under a pointer that stood still (a resize, a new
// caption or Stretch): what it points at, and its tooltip, follow them.
void MarkupLabel::HoverAgain() {
  if (!mPointer) return;
  const QString before = mHovered;
  Hover(TagAt(mapFromGlobal(*mPointer)));
  if (mHovered != before && QToolTip::isVisible()) QToolTip::hideText();
}

void MarkupLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit ShapeClicked(TagAt(event->position()));
  QWidget::mouseReleaseEvent(event);
}

QString MarkupLabel::description() const {
  if (!mCurrent.scene) return mCurrent.caption;
  std::vector<std::pair<QString, QString>> slices;  // tag, name
  for (const MarkupShape& shape : mCurrent.scene->shapes) {
    if (shape.tag.isEmpty() || shape.accessibleName.isEmpty() ||
        std::any_of(slices.begin(), slices.end(),
                    [&](const auto& slice) { return slice.first == shape.tag; })) {
      continue;
    }
    slices.emplace_back(shape.tag, shape.accessibleName);
  }
  if (slices.empty()) return tr("Chart");
  detail::SortBySlicePlace(slices, [](const auto& slice) { return slice.first; });
  QStringList names;
  for (const auto& slice : slices)
    names.append(slice.second);
  return tr("Chart: %1").arg(names.join(QStringLiteral("; ")));
}

bool MarkupLabel::saveImage(const QString& fileName, qreal devicePixelRatio, QString* error) const {
  const QColor back = OleColorToQColor(mBackColor);
  const QColor fore = OleColorToQColor(mForeColor);
  return detail::SaveImage(
      fileName, size(), devicePixelRatio, windowTitle().isEmpty() ? tr("Chart") : windowTitle(),
      description(), [&](QPainter& painter) { Render(painter, mCurrent, back, fore, {}); }, error);
}

void MarkupLabel::Render(QPainter& painter, const Picture& picture, const QColor& back,
                         const QColor& fore, const QString& highlight) const {
  if (picture.scene) {
    // The background goes with the chart where the rasteriser paints both: it
    // leaves out what the chart's opaque shapes cover anyway.
    const QRectF device = painter.deviceTransform().mapRect(QRectF(rect()));
    const QRect pixels = device.toRect();
    if (QRectF(pixels) == device && detail::CanRaster(painter)) {
      painter.setTransform(CanvasTransform(picture), true);
      detail::PaintMarkupOver(painter, *picture.scene, pixels, back, highlight);
      return;
    }
  }
  painter.fillRect(rect(), back);
  if (picture.scene) {
    painter.setTransform(CanvasTransform(picture), true);
    PaintMarkup(painter, *picture.scene, highlight);
  } else {
    painter.setPen(fore);
    painter.setFont(font());
    DrawTextWithin(painter, rect(), picture.caption);
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
  const QString highlight = mHoverHighlight ? mHovered : QString();
  QImage& image = mCurrent.image;
  const QSize pixels = size() * ratio;
  const bool outdated = mCurrent.stale || image.size() != pixels ||
                        image.devicePixelRatio() != ratio || back != mCurrent.back ||
                        fore != mCurrent.fore || highlight != mCurrent.highlight;
  if (outdated && !mCurrent.shown && mCurrent.scene && detail::CanRaster(painter)) {
    // A chart shown for the first time goes straight to the screen: charts
    // whose data changes are mostly shown once, and need no copy. Shown
    // again, it is kept.
    mCurrent.shown = true;
    Render(painter, mCurrent, back, fore, highlight);
    return;
  }
  if (outdated) {
    mCurrent.stale = false;
    mCurrent.shown = false;
    mCurrent.back = back;
    mCurrent.fore = fore;
    mCurrent.highlight = highlight;
    // Opaque pixels, since the background fills every one: copied to the
    // screen without blending. The buffer is kept from picture to picture.
    if (image.size() != pixels || !image.isDetached()) {
      image = QImage(pixels, QImage::Format_RGB32);
    }
    image.setDevicePixelRatio(ratio);
    QPainter picture(&image);
    Render(picture, mCurrent, back, fore, highlight);
  }
  painter.drawImage(QPointF(0, 0), image);
}

}  // namespace xamlpie
