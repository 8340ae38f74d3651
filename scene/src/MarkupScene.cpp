#include "xamlpie/MarkupScene.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "Raster.h"
#include "TextMeasure.h"

namespace xamlpie {

namespace {

// Antialiased filling costs several times more than plain filling. When an
// opaque stroke covers the shape's edge, it hides every pixel where the two
// differ: a plainly filled pixel reaches at most 0.71 px past the outline, and
// the stroke covers half its width on either side; a 1 px stroke in the fill's
// own colour leaves only specks of that same colour.
bool StrokeHidesFillEdge(const MarkupShape& shape, double thickness) {
  if (!shape.stroke.isValid() || shape.stroke.alpha() != 255) return false;
  return thickness >= 1.5 || (thickness >= 1.0 && shape.stroke == shape.fill);
}

// An ellipse's or rectangle's stroke lies inside its box; one at least as
// thick as the box is narrow fills it, in the stroke's colour.
bool StrokeFillsBox(const MarkupShape& shape) {
  if (shape.kind != MarkupShape::Kind::Ellipse && shape.kind != MarkupShape::Kind::Rectangle)
    return false;
  if (!shape.stroke.isValid() || !(shape.strokeThickness > 0)) return false;
  return shape.box.width() <= shape.strokeThickness || shape.box.height() <= shape.strokeThickness;
}

}  // namespace

QRectF SceneBounds(const MarkupScene& scene) {
  QRectF bounds;
  for (const MarkupShape& shape : scene.shapes) {
    const double half = shape.stroke.isValid() ? shape.strokeThickness / 2 : 0.0;
    QRectF box;
    switch (shape.kind) {
      case MarkupShape::Kind::Polygon:
        if (shape.points.isEmpty()) continue;
        box = shape.points.boundingRect().adjusted(-half, -half, half, half);
        break;
      case MarkupShape::Kind::Line:
        box = QRectF(shape.line.p1(), shape.line.p2())
                  .normalized()
                  .adjusted(-half, -half, half, half);
        break;
      case MarkupShape::Kind::Text:
        // Its layout box, and wherever its glyphs reach past it in the font
        // it is drawn in: a Width too small for the text must not cut it.
        box = shape.box;
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
          box |= detail::TextBoundingRect(
              shape.font, shape.box,
              static_cast<int>(shape.alignment | Qt::AlignTop) | Qt::TextDontClip, shape.text);
        }
        break;
      default:  // strokes lie inside the box
        box = shape.box;
        break;
    }
    // A single point still has a place; united, it counts.
    if (box.width() <= 0 && box.height() <= 0) continue;
    bounds = bounds.isNull() ? box : bounds.united(box);
  }
  return bounds;
}

namespace {

// An outline grown outward by `by` on every side, corners mitred and, past
// a miter limit of 10 half stroke widths, bevelled: the region a fill and
// a centred stroke of width 2 * `by` cover together. Only for outlines that
// are simple for certain: every point seen from the first one in turn, one way
// round, within half a turn, as every convex polygon and every pie fan is
// (their rims floored to whole pixels may dent inward). Repeated and collinear
// points are dropped. False where that does not hold or the grown outline
// would fold over itself. The points are taken through `map`; `corners` and
// `grown` are the caller's, to reuse.
template <class Map>
bool GrowOutline(const QPolygonF& points, Map map, double by, double apart, bool* clockwise,
                 std::vector<QPointF>& corners, std::vector<QPointF>& grown) {
  // Points closer than `apart` are one corner: the edge between them has no
  // direction worth mitring, and other renderers join across it.
  const auto same = [apart](const QPointF& a, const QPointF& b) {
    return std::fabs(a.x() - b.x()) + std::fabs(a.y() - b.y()) < apart;
  };
  const auto cross = [](QPointF a, QPointF b, QPointF c) {
    return (b.x() - a.x()) * (c.y() - b.y()) - (b.y() - a.y()) * (c.x() - b.x());
  };
  corners.clear();
  // Whether b lies on the way from a to c; false where the outline turns back
  // on itself there, a spike whose stroke would be lost.
  bool spike = false;
  const auto between = [&](QPointF a, QPointF b, QPointF c) {
    if (cross(a, b, c) != 0) return false;
    spike = spike || QPointF::dotProduct(b - a, c - b) < 0;
    return true;
  };
  for (const QPointF& point : points) {
    const QPointF p = map(point);
    if (!corners.empty() && same(corners.back(), p)) continue;
    while (corners.size() >= 2 && between(corners[corners.size() - 2], corners.back(), p)) {
      corners.pop_back();
    }
    corners.push_back(p);
  }
  while (corners.size() >= 3) {  // the seam where the outline closes
    const std::size_t n = corners.size();
    if (same(corners.front(), corners.back()) ||
        between(corners[n - 2], corners[n - 1], corners[0])) {
      corners.pop_back();
    } else if (between(corners[n - 1], corners[0], corners[1])) {
      corners.erase(corners.begin());
    } else {
      break;
    }
  }
  if (spike) return false;
  const std::size_t n = corners.size();
  if (n < 3) return false;
  const QPointF& eye = corners[0];
  const auto seen = [&](const QPointF& a, const QPointF& b) {
    const QPointF u = a - eye;
    const QPointF v = b - eye;
    return u.x() * v.y() - u.y() * v.x();
  };
  const double turn = seen(corners[1], corners[n - 1]);  // the whole span, under half a turn
  if (turn == 0) return false;
  *clockwise = turn > 0;  // on screen, y pointing down
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (seen(corners[i], corners[i + 1]) * turn <= 0) return false;
    if (seen(corners[1], corners[i + 1]) * turn < 0) return false;
  }
  // Outward normals, y growing downward; each corner takes the normals of the
  // edges before and after it, so one is worked out per edge as the corners
  // are walked.
  const auto normal = [&](std::size_t i) {
    const QPointF d = corners[i + 1 < n ? i + 1 : 0] - corners[i];
    const double inverse = 1.0 / std::sqrt(d.x() * d.x() + d.y() * d.y());  // bounded: no overflow
    return turn > 0 ? QPointF(d.y(), -d.x()) * inverse : QPointF(-d.y(), d.x()) * inverse;
  };
  constexpr double kMiterLimit = 10.0;  // in half stroke widths
  constexpr double kMiterBound = 2.0 / (kMiterLimit * kMiterLimit);
  grown.clear();
  QPointF before = normal(n - 1);
  // Each edge must keep its direction, or the outline has folded: the last
  // point grown from a corner to the first from the next.
  const auto folds = [&](std::size_t i, const QPointF& from, const QPointF& to) {
    return QPointF::dotProduct(to - from, corners[i + 1 < n ? i + 1 : 0] - corners[i]) <= 0;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const QPointF after = normal(i);
    const double cosine = QPointF::dotProduct(before, after);
    const QPointF& previous = corners[i > 0 ? i - 1 : n - 1];
    const bool outward = cross(previous, corners[i], corners[i + 1 < n ? i + 1 : 0]) * turn > 0;
    // The mitre's length over the stroke's half width is sqrt(2 / (1 + cosine)).
    const bool mitred = cosine > -1.0 && (!outward || 1.0 + cosine >= kMiterBound);
    const QPointF first =
        mitred ? corners[i] + (before + after) * (by / (1.0 + cosine)) : corners[i] + before * by;
    if (!grown.empty() && folds(i - 1, grown.back(), first)) return false;
    grown.push_back(first);
    if (!mitred) grown.push_back(corners[i] + after * by);  // bevelled
    before = after;
  }
  if (folds(n - 1, grown.back(), grown.front())) return false;
  return true;
}

// The circle inscribed in the ellipse that fills `box`, in device pixels.
detail::Raster::Disc InscribedDisc(const QRectF& box, const QTransform& device) {
  const QRectF r = device.mapRect(box);
  if (!(r.width() > 0) || !(r.height() > 0)) return {};
  return {r.center(), std::min(r.width(), r.height()) / 2};
}

// The disc, in device pixels, that a shape paints wholly opaque whatever
// lies under it: the circle inscribed in an opaque ellipse's fill. A
// doughnut's hole hides much of the pie under it.
detail::Raster::Disc CoveredDisc(const MarkupShape& shape, const QTransform& device) {
  if (shape.kind != MarkupShape::Kind::Ellipse || !shape.fill.isValid() ||
      shape.fill.alpha() != 255 || shape.fillGradient) {
    return {};
  }
  const double inset = shape.stroke.isValid() ? std::max(shape.strokeThickness, 0.0) / 2 : 0.0;
  const QRectF fill = shape.box.adjusted(inset, inset, -inset, -inset);
  // A stroke as thick as the box leaves no fill; mapped, the turned-out box
  // would come back the right way round.
  if (!(fill.width() > 0) || !(fill.height() > 0)) return {};
  return InscribedDisc(fill, device);
}

// A rectangle with corners of radius `r` (device pixels) as an outline:
// clockwise on screen, or the other way for a hole; the corners flattened
// finer than a pixel can tell.
void RoundedOutline(const QRectF& box, double r, bool hole, std::vector<QPointF>& out) {
  out.clear();
  const std::array<QPointF, 4> centres = {
      QPointF(box.right() - r, box.top() + r), QPointF(box.right() - r, box.bottom() - r),
      QPointF(box.left() + r, box.bottom() - r), QPointF(box.left() + r, box.top() + r)};
  constexpr double kQuarter = std::numbers::pi / 2;
  constexpr double kTolerance = 0.01;  // device pixels between chord and arc
  const int steps =
      r <= kTolerance ? 0
                      : static_cast<int>(std::ceil(kQuarter / (2 * std::acos(1 - kTolerance / r))));
  // One quarter's turns, from the top edge's end; each next corner's are
  // these turned by a quarter.
  // Swatch after swatch has the same corners: their turns are worked out
  // once for the last radius.
  thread_local std::vector<QPointF> turns;
  thread_local double turnsRadius = -1;
  if (r != turnsRadius) {
    turns.clear();
    for (int k = 0; k <= steps; ++k) {
      const double angle = -kQuarter + (steps > 0 ? kQuarter * k / steps : 0.0);
      turns.emplace_back(std::cos(angle) * r, std::sin(angle) * r);
    }
    turnsRadius = r;
  }
  for (std::size_t corner = 0; corner < centres.size(); ++corner) {
    for (const QPointF& turn : turns) {
      // A quarter turn is exact: the same points as turning them in place.
      const QPointF turned = corner == 0   ? turn
                             : corner == 1 ? QPointF(-turn.y(), turn.x())
                             : corner == 2 ? QPointF(-turn.x(), -turn.y())
                                           : QPointF(turn.y(), -turn.x());
      out.push_back(centres[corner] + turned);
    }
  }
  if (steps == 0) {  // sharp corners: the box's own
    out = {box.topRight(), box.bottomRight(), box.bottomLeft(), box.topLeft()};
  }
  if (hole) std::reverse(out.begin(), out.end());
}

// An opaque rectangle with equal corner radii (legend swatches, frames):
// the outer edge of its stroke, the inner edge, and the fill between them,
// as outlines for the rasteriser. False where the corners would be
// elliptical or the stroke would be drawn by Qt's thin-pen rules.
bool RasterRectangle(detail::Raster& raster, const MarkupShape& shape, const QTransform& device,
                     double devicePixels, bool filled, bool stroked) {
  const double scale = std::fabs(device.m11());
  if (scale != std::fabs(device.m22()) || shape.radiusX != shape.radiusY || StrokeFillsBox(shape)) {
    return false;
  }
  const double t = stroked ? shape.strokeThickness : 0.0;
  if (stroked && t * devicePixels < 1.0) return false;
  // Qt rounds the middle of the stroke: a rectangle half a stroke in, its
  // radius half a stroke less; the stroke's edges lie half a stroke either
  // side of it.
  const QRectF middle = shape.box.adjusted(t / 2, t / 2, -t / 2, -t / 2);
  const double radius = std::max(shape.radiusX - t / 2, 0.0);
  if (!(middle.width() > t) || !(middle.height() > t) ||
      radius > std::min(middle.width(), middle.height()) / 2) {
    return false;
  }
  const double outerRadius = radius > 0 ? radius + t / 2 : 0.0;
  const double innerRadius = std::max(radius - t / 2, 0.0);
  thread_local std::vector<QPointF> outline;
  raster.Flush();
  RoundedOutline(device.mapRect(shape.box), outerRadius * scale, false, outline);
  const QRectF inside = device.mapRect(shape.box.adjusted(t, t, -t, -t));
  if (!stroked || (filled && shape.stroke == shape.fill)) {
    raster.FillOutline(outline, filled ? shape.fill.rgb() : shape.stroke.rgb());
  } else if (filled) {
    raster.FillOutline(outline, shape.stroke.rgb());
    RoundedOutline(inside, innerRadius * scale, false, outline);
    raster.FillOutline(outline, shape.fill.rgb());
  } else {
    raster.AddOutline(outline);
    RoundedOutline(inside, innerRadius * scale, true, outline);
    raster.AddOutline(outline);
    raster.Fill(shape.stroke.rgb());
  }
  return true;
}

// Draws a shape with the scanline rasteriser where that gives Qt's picture
// for less: opaque fills and opaque strokes of convex polygons (the stroke in
// the fill's colour) and of ellipses. False where it does not apply.
bool RasterShape(detail::Raster& raster, const MarkupShape& shape, const QTransform& device,
                 double devicePixels) {
  const bool filled = shape.fill.isValid() && shape.fill.alpha() > 0;
  const bool stroked = shape.stroke.isValid() && shape.strokeThickness > 0;
  if ((filled && shape.fill.alpha() != 255) || (stroked && shape.stroke.alpha() != 255) ||
      shape.fillGradient || shape.strokeGradient) {
    return false;
  }
  if (shape.kind == MarkupShape::Kind::Polygon) {
    if (!filled || (stroked && shape.stroke != shape.fill) || shape.points.size() < 3) {
      return !filled && !stroked;  // nothing to draw is drawn
    }
    // Kept from shape to shape on this thread, up to a size: charts are many,
    // and their outlines many.
    thread_local struct { std::vector<QPointF> corners, grown; } buffers;
    constexpr std::size_t kKept = std::size_t{1} << 14;
    // The rasteriser only paints under a scale and a shift.
    const auto toDevice = [sx = device.m11(), sy = device.m22(), dx = device.dx(),
                           dy = device.dy()](const QPointF& p) {
      return QPointF(p.x() * sx + dx, p.y() * sy + dy);
    };
    constexpr double kApart = 0.01;  // device pixels
    // A stroke thinner than a device pixel is drawn one device pixel wide,
    // so that it still covers the seams between neighbouring fans.
    const double sx = std::fabs(device.m11());
    const double sy = std::fabs(device.m22());
    bool clockwise = false;
    bool grown = false;
    if (sx == sy) {
      const double grow = stroked ? std::max(shape.strokeThickness * devicePixels, 1.0) / 2 : 0.0;
      grown = GrowOutline(shape.points, toDevice, grow, kApart, &clockwise, buffers.corners,
                          buffers.grown);
    } else {
      // Scaled unevenly (Stretch::Fill), the stroke is too: grown on the
      // canvas, where it has one width, then taken to the device.
      // Thinner than a device pixel, it is a device pixel of the mean scale.
      const double grow = stroked ? std::max(shape.strokeThickness, 1.0 / devicePixels) / 2 : 0.0;
      grown = GrowOutline(
          shape.points, [](const QPointF& p) { return p; }, grow, kApart / std::max(sx, sy),
          &clockwise, buffers.corners, buffers.grown);
      if (grown) {
        for (QPointF& p : buffers.grown)
          p = toDevice(p);
        if (device.m11() * device.m22() < 0) clockwise = !clockwise;
      }
    }
    if (grown) raster.AddPending(buffers.grown, shape.fill.rgb(), clockwise);
    for (std::vector<QPointF>* buffer : {&buffers.corners, &buffers.grown}) {
      if (buffer->capacity() > kKept) std::vector<QPointF>().swap(*buffer);
    }
    return grown;
  }
  if (shape.kind == MarkupShape::Kind::Ellipse) {
    if (!filled && !stroked) return true;
    const double t = stroked ? shape.strokeThickness : 0.0;
    // A stroke as thick as the box fills it, and one in the fill's colour
    // makes one shape with it: the ellipse painted once, with no edge pixel
    // blended twice.
    if (StrokeFillsBox(shape) || (filled && stroked && shape.stroke == shape.fill)) {
      raster.Flush();
      raster.FillEllipse(device.mapRect(shape.box), std::nullopt,
                         stroked ? shape.stroke.rgb() : shape.fill.rgb());
      return true;
    }
    if (shape.box.width() <= 2 * t || shape.box.height() <= 2 * t)
      return false;  // QPainter: a stroke that meets itself in the middle
    raster.Flush();
    // A stroke over a fill is the whole disc in the stroke's colour, then the
    // inside in the fill's: the same pixels as a ring over the fill, for two
    // edges instead of three.
    const QRectF inside = shape.box.adjusted(t, t, -t, -t);
    const detail::Raster::Disc hidden = raster.Hidden();
    if (stroked && filled) {  // the inside hides the middle of the disc under it
      const detail::Raster::Disc middle = InscribedDisc(inside, device);
      if (middle.radius > hidden.radius) raster.Hide(middle);
    }
    const std::optional<QRectF> hole =
        stroked && !filled ? std::optional<QRectF>(device.mapRect(inside)) : std::nullopt;
    raster.FillEllipse(device.mapRect(shape.box), hole,
                       stroked ? shape.stroke.rgb() : shape.fill.rgb());
    raster.Hide(hidden);
    if (stroked && filled)
      raster.FillEllipse(device.mapRect(inside), std::nullopt, shape.fill.rgb());
    return true;
  }
  if (shape.kind == MarkupShape::Kind::Rectangle) {
    if (!filled && !stroked) return true;
    return RasterRectangle(raster, shape, device, devicePixels, filled, stroked);
  }
  return false;
}

// A polygon of more points than a chart ever has (a caption's), opaque:
// filled by the even-odd rule and stroked with the scanline rasteriser,
// whose time grows with the outline's length and the pixels. Qt's
// antialiased fill of a self-crossing outline grows far faster: a million
// points took minutes. False where it does not apply.
bool RasterLargePolygon(detail::Raster& raster, const MarkupShape& shape,
                        const QTransform& device) {
  constexpr qsizetype kLarge = 2048;
  const bool filled = shape.fill.isValid() && shape.fill.alpha() > 0;
  const bool stroked = shape.stroke.isValid() && shape.strokeThickness > 0;
  if (shape.kind != MarkupShape::Kind::Polygon || shape.points.size() <= kLarge ||
      shape.fillGradient || shape.strokeGradient || (filled && shape.fill.alpha() != 255) ||
      (stroked && shape.stroke.alpha() != 255) || device.type() > QTransform::TxScale) {
    return false;
  }
  raster.Flush();
  std::vector<QPointF> outline;
  const auto add = [&](const QPolygonF& polygon) {
    outline.clear();
    outline.reserve(static_cast<std::size_t>(polygon.size()));
    for (const QPointF& p : polygon)
      outline.push_back(device.map(p));
    raster.AddOutline(outline);
  };
  if (filled) {
    add(shape.points);
    raster.FillEvenOdd(shape.fill.rgb());
  }
  if (stroked) {
    QPainterPath path;
    path.addPolygon(shape.points);
    path.closeSubpath();
    QPainterPathStroker stroker;
    stroker.setWidth(shape.strokeThickness);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::SvgMiterJoin);
    stroker.setMiterLimit(10.0);
    for (const QPolygonF& part : stroker.createStroke(path).toSubpathPolygons())
      add(part);
    raster.Fill(shape.stroke.rgb());
  }
  return true;
}

// A highlighted shape: a third of the way to white, alpha kept.
QColor Lighter(const QColor& c) {
  if (!c.isValid()) return c;
  const auto toWhite = [](int v) { return v + (255 - v) / 3; };
  return QColor(toWhite(c.red()), toWhite(c.green()), toWhite(c.blue()), c.alpha());
}

// A gradient's stops drawn lighter, as a plain colour is.
MarkupGradient Lighter(const MarkupGradient& gradient) {
  MarkupGradient lit = gradient;
  for (QGradientStop& stop : lit.stops)
    stop.second = Lighter(stop.second);
  return lit;
}

// The box a shape's gradients are relative to: its geometry's, the stroke
// left out, so that a stroke and the fill it surrounds shade alike.
QRectF GradientBox(const MarkupShape& shape, double inset) {
  switch (shape.kind) {
    case MarkupShape::Kind::Polygon:
      return shape.points.boundingRect();
    case MarkupShape::Kind::Line:
      return QRectF(shape.line.p1(), shape.line.p2()).normalized();
    default:
      return shape.box.adjusted(inset, inset, -inset, -inset);
  }
}

// A paint as a brush: a gradient's relative points taken to `box`, a radial
// one's circle to its ellipse. A box without area has no gradient to show,
// as SVG draws none; a radial one of no radius is its last stop's colour.
QBrush PaintBrush(const QColor& colour, const std::optional<MarkupGradient>& gradient,
                  const QRectF& box) {
  if (!gradient) return colour.isValid() ? QBrush(colour) : QBrush(Qt::NoBrush);
  if (!(box.width() > 0) || !(box.height() > 0) || gradient->stops.isEmpty()) {
    return Qt::NoBrush;
  }
  QTransform toBox;
  toBox.translate(box.x(), box.y());
  toBox.scale(box.width(), box.height());
  if (gradient->kind == MarkupGradient::Kind::Linear) {
    QLinearGradient linear(gradient->start, gradient->end);
    linear.setStops(gradient->stops);
    QBrush brush(linear);
    brush.setTransform(toBox);
    return brush;
  }
  const double rx = gradient->radiusX;
  const double ry = gradient->radiusY;
  if (!(rx > 0) || !(ry > 0)) return gradient->stops.last().second;
  const QPointF focal((gradient->origin.x() - gradient->center.x()) / rx,
                      (gradient->origin.y() - gradient->center.y()) / ry);
  QRadialGradient radial(QPointF(0, 0), 1.0, focal);
  radial.setStops(gradient->stops);
  QBrush brush(radial);
  QTransform toEllipse = toBox;
  toEllipse.translate(gradient->center.x(), gradient->center.y());
  toEllipse.scale(rx, ry);
  brush.setTransform(toEllipse);
  return brush;
}

}  // namespace

namespace {

struct Background {
  QRect area;  // device pixels
  QRgb colour;
};

void Paint(QPainter& painter, const MarkupScene& scene, const QString& highlight,
           const Background* background) {
  painter.save();
  // Below one device pixel per logical pixel a stroke no longer covers the edge.
  // A widget's painter paints into another device (its window's, or the image
  // it is rendered into), whose pixel ratio counts.
  const QPaintDevice* target =
      painter.paintEngine() != nullptr ? painter.paintEngine()->paintDevice() : painter.device();
  const qreal ratio = (target != nullptr ? target : painter.device())->devicePixelRatioF();
  const double devicePixels =
      ratio * std::sqrt(std::fabs(painter.worldTransform().determinant()));  // per logical pixel
  const bool scaledDown = ratio < 1.0 || painter.worldTransform().type() > QTransform::TxTranslate;
  const bool pixelsOut =
      painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Raster;
  std::optional<detail::Raster> raster = detail::RasterFor(painter);
  const QTransform device = painter.deviceTransform();
  // For each shape, the largest disc that a shape painted after it hides.
  std::vector<detail::Raster::Disc> hiddenAfter(raster ? scene.shapes.size() : 0);
  detail::Raster::Disc largest;
  for (std::size_t i = hiddenAfter.size(); i-- > 0;) {
    hiddenAfter[i] = largest;
    const detail::Raster::Disc covered = CoveredDisc(scene.shapes[i], device);
    if (covered.radius > largest.radius) largest = covered;
  }
  if (background != nullptr && raster) {
    raster->Hide(largest);
    raster->FillRect(background->area, background->colour);
  }
  MarkupShape lit;
  std::size_t index = 0;
  for (const MarkupShape& original : scene.shapes) {
    const std::size_t at = index++;
    // Text keeps its colour: lighter, it would only read worse.
    const bool highlighted = !highlight.isEmpty() && original.tag == highlight &&
                             original.kind != MarkupShape::Kind::Text;
    if (highlighted) {
      lit = original;
      lit.fill = Lighter(original.fill);
      lit.stroke = Lighter(original.stroke);
      if (original.fillGradient) lit.fillGradient = Lighter(*original.fillGradient);
      if (original.strokeGradient) lit.strokeGradient = Lighter(*original.strokeGradient);
    }
    const MarkupShape& shape = highlighted ? lit : original;
    if (raster) {
      // What is still pending was added before this shape, so a disc
      // painted after this shape lies over it too.
      raster->Hide(hiddenAfter[at]);
      if (RasterShape(*raster, shape, device, devicePixels)) continue;
      if (RasterLargePolygon(*raster, shape, device)) continue;
      raster->Flush();  // what is pending lies under this shape
    }
    const bool stroked = shape.stroke.isValid() && shape.strokeThickness > 0;
    const double thickness = stroked ? shape.strokeThickness : 0.0;
    // Gradients are drawn by outlines filled with them, below.
    const bool shaded = shape.fillGradient || shape.strokeGradient;
    const QRectF shadedBox = shaded ? GradientBox(shape, thickness / 2) : QRectF();
    const QBrush fillBrush = PaintBrush(shape.fill, shape.fillGradient, shadedBox);
    const QBrush strokeBrush = PaintBrush(shape.stroke, shape.strokeGradient, shadedBox);
    QPen pen(Qt::NoPen);
    if (stroked) {
      // Past the miter limit a corner is bevelled, as SVG and the rasteriser
      // do it. The markup's limit of 10 is the tip's distance from the corner
      // over half the stroke's width; SVG's (Qt's SvgMiterJoin) is the
      // mitre's length over the whole width: the same ratio.
      pen = QPen(strokeBrush, thickness, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin);
      pen.setMiterLimit(10.0);
      // A fan's stroke in its own colour covers the seams between neighbouring
      // fans; shrunk below a device pixel it no longer would.
      // Translucent, it would only darken the edge by a band of its own.
      if (!shaded && shape.stroke == shape.fill && shape.fill.alpha() == 255 &&
          thickness * devicePixels < 1.0) {
        pen.setWidthF(1.0);
        pen.setCosmetic(true);
      }
    }
    const bool filled = shape.fill.isValid() && shape.fill.alpha() > 0;
    const bool plainFill = !scaledDown && StrokeHidesFillEdge(shape, thickness);

    if (shape.kind == MarkupShape::Kind::Text) {
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(shape.fill);
      // Alignment is the markup's: left is left whatever the text's
      // direction. Names and numbers come back frame after frame: shaped
      // once, they are only drawn.
      const Qt::Alignment across = shape.alignment & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
      const QTextLayout* line =
          across == Qt::Alignment() || across == Qt::AlignLeft || across == Qt::AlignRight ||
                  across == Qt::AlignHCenter
              ? detail::ShapedLine(shape.font, shape.text, painter.layoutDirection())
              : nullptr;
      if (line != nullptr) {
        const double room = shape.box.width() - line->lineAt(0).naturalTextWidth();
        const double x = across == Qt::AlignRight     ? room
                         : across == Qt::AlignHCenter ? room / 2
                                                      : 0.0;
        line->draw(&painter, shape.box.topLeft() + QPointF(x, 0));
        continue;
      }
      painter.setFont(shape.font);
      painter.drawText(
          shape.box,
          static_cast<int>(shape.alignment | Qt::AlignTop | Qt::AlignAbsolute) | Qt::TextDontClip,
          shape.text);
      continue;
    }
    if (shape.kind == MarkupShape::Kind::Line) {
      if (!stroked) continue;
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(pen);
      painter.drawLine(shape.line);
      continue;
    }

    // The outline lies inside an ellipse's or rectangle's box: the shape is
    // inset by half the stroke. A stroke that fills the box, or an opaque one
    // in the fill's colour, makes the box one shape.
    const bool whole = StrokeFillsBox(shape) ||
                       (!shaded && stroked && filled && shape.stroke == shape.fill &&
                        shape.fill.alpha() == 255 && shape.kind == MarkupShape::Kind::Ellipse);
    if (whole) {
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(Qt::NoPen);
      painter.setBrush(PaintBrush(shape.stroke, shape.strokeGradient, shape.box));
      if (shape.kind == MarkupShape::Kind::Ellipse) {
        painter.drawEllipse(shape.box);
      } else {
        painter.drawRoundedRect(shape.box, shape.radiusX, shape.radiusY);
      }
      continue;
    }
    const double inset = thickness / 2.0;
    const QRectF inner = shape.box.adjusted(inset, inset, -inset, -inset);
    const auto draw = [&] {
      switch (shape.kind) {
        case MarkupShape::Kind::Polygon:
          if (!shape.points.isEmpty()) painter.drawPolygon(shape.points, Qt::OddEvenFill);
          break;
        case MarkupShape::Kind::Ellipse:
          if (inner.width() > 0 && inner.height() > 0) painter.drawEllipse(inner);
          break;
        case MarkupShape::Kind::Rectangle:
          if (inner.width() > 0 && inner.height() > 0) {
            painter.drawRoundedRect(inner, std::max(shape.radiusX - inset, 0.0),
                                    std::max(shape.radiusY - inset, 0.0));
          }
          break;
        default:
          break;
      }
    };

    // Qt draws a pen by its own rules under an uneven scale (a pen thin on
    // one axis is drawn a device pixel wide on both), a cosmetic pen as a
    // line of its own, and joins its own way, and a pen of millions of
    // pixels costs seconds. Into pixels, strokes are outlined here on the
    // canvas and filled; vector devices (SVG) keep their pens. A stroke
    // wider than twenty times everything in sight (the shape and the device)
    // covers all of it at any width, but where a corner is bevelled: it is
    // drawn that wide.
    const QTransform& world = painter.worldTransform();
    const bool uneven =
        world.type() > QTransform::TxScale || std::fabs(world.m11()) != std::fabs(world.m22());
    double width = thickness;
    if (stroked) {
      const QRectF reach = device.mapRect(
          shape.kind == MarkupShape::Kind::Polygon ? shape.points.boundingRect() : shape.box);
      const QPaintDevice* pixels = target != nullptr ? target : painter.device();
      const double sight = std::hypot(reach.width(), reach.height()) +
                           std::hypot(pixels->width(), pixels->height()) * std::max(ratio, 1.0) +
                           std::hypot(reach.center().x(), reach.center().y());
      if (thickness * devicePixels > 20 * sight && devicePixels > 0)
        width = 20 * sight / devicePixels;
    }
    if (pixelsOut || uneven || width != thickness || pen.isCosmetic() || shaded) {
      QPainterPath outline;
      switch (shape.kind) {
        case MarkupShape::Kind::Polygon:
          outline.addPolygon(shape.points);
          outline.closeSubpath();
          outline.setFillRule(Qt::OddEvenFill);
          break;
        case MarkupShape::Kind::Ellipse:
          if (inner.width() > 0 && inner.height() > 0) outline.addEllipse(inner);
          break;
        default:
          if (inner.width() > 0 && inner.height() > 0) {
            outline.addRoundedRect(inner, std::max(shape.radiusX - inset, 0.0),
                                   std::max(shape.radiusY - inset, 0.0));
          }
          break;
      }
      painter.setRenderHint(QPainter::Antialiasing, true);
      if (filled) painter.fillPath(outline, fillBrush);
      if (stroked) {
        if (pen.isCosmetic()) width = std::max(width, 1.0 / devicePixels);
        QPainterPathStroker stroker;
        stroker.setWidth(width);
        stroker.setCapStyle(Qt::FlatCap);
        stroker.setJoinStyle(Qt::SvgMiterJoin);
        stroker.setMiterLimit(10.0);
        QPainterPath stroke = stroker.createStroke(outline);
        stroke.setFillRule(Qt::WindingFill);
        painter.fillPath(stroke, strokeBrush);
      }
      continue;
    }
    if (filled && plainFill) {
      painter.setRenderHint(QPainter::Antialiasing, false);
      painter.setPen(Qt::NoPen);
      painter.setBrush(shape.fill);
      draw();
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      draw();
    } else {
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(pen);
      painter.setBrush(filled ? QBrush(shape.fill) : QBrush(Qt::NoBrush));
      draw();
    }
  }
  if (raster) {
    raster->Hide({});
    raster->Flush();
  }
  painter.restore();
}

}  // namespace

void PaintMarkup(QPainter& painter, const MarkupScene& scene, const QString& highlight) {
  Paint(painter, scene, highlight, nullptr);
}

void detail::PaintMarkupOver(QPainter& painter, const MarkupScene& scene, const QRect& area,
                             const QColor& background, const QString& highlight) {
  const Background under{area, background.rgb()};
  Paint(painter, scene, highlight, &under);
}

bool ShapeContains(const MarkupShape& shape, QPointF point) {
  const bool stroked = shape.stroke.isValid() && shape.strokeThickness > 0;
  const double thickness = stroked ? shape.strokeThickness : 0.0;
  const bool filled = shape.fill.isValid() && shape.fill.alpha() > 0;
  QPainterPath outline;
  switch (shape.kind) {
    case MarkupShape::Kind::Text:
      return shape.box.contains(point);
    case MarkupShape::Kind::Line:
      outline.moveTo(shape.line.p1());
      outline.lineTo(shape.line.p2());
      break;
    case MarkupShape::Kind::Polygon:
      if (shape.points.isEmpty()) return false;
      outline.addPolygon(shape.points);
      outline.closeSubpath();
      outline.setFillRule(Qt::OddEvenFill);
      break;
    default: {
      if (StrokeFillsBox(shape)) {
        if (shape.kind == MarkupShape::Kind::Ellipse) {
          outline.addEllipse(shape.box);
        } else {
          outline.addRoundedRect(shape.box, shape.radiusX, shape.radiusY);
        }
        return outline.contains(point);
      }
      const double inset = thickness / 2.0;
      const QRectF inner = shape.box.adjusted(inset, inset, -inset, -inset);
      if (inner.width() <= 0 || inner.height() <= 0) return false;
      if (shape.kind == MarkupShape::Kind::Ellipse) {
        outline.addEllipse(inner);
      } else {
        outline.addRoundedRect(inner, std::max(shape.radiusX - inset, 0.0),
                               std::max(shape.radiusY - inset, 0.0));
      }
      break;
    }
  }
  if (filled && shape.kind != MarkupShape::Kind::Line && outline.contains(point)) return true;
  if (!stroked) return false;
  QPainterPathStroker stroker;
  stroker.setWidth(thickness);
  stroker.setCapStyle(Qt::FlatCap);
  stroker.setJoinStyle(Qt::SvgMiterJoin);
  stroker.setMiterLimit(10.0);
  return stroker.createStroke(outline).contains(point);
}

QTransform StretchTransform(Stretch stretch, const QRectF& content, QSizeF size) {
  if (stretch == Stretch::None || content.width() <= 0 || content.height() <= 0) return {};
  double sx = size.width() / content.width();
  double sy = size.height() / content.height();
  if (stretch == Stretch::Uniform) sx = sy = std::min(sx, sy);
  if (stretch == Stretch::UniformToFill) sx = sy = std::max(sx, sy);
  // The content's centre goes to the area's centre.
  QTransform transform;
  transform.translate(size.width() / 2.0, size.height() / 2.0);
  transform.scale(sx, sy);
  transform.translate(-content.center().x(), -content.center().y());
  return transform;
}

}  // namespace xamlpie
