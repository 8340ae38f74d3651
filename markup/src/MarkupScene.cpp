#include "xamlpie/MarkupScene.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <algorithm>
#include <optional>
#include <vector>
#include <cmath>
#include <utility>

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
      default:  // strokes lie inside the box; text fills its layout box
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

// A convex polygon grown outward by `by` on every side, corners mitred and,
// past XAML's miter limit of 10 half stroke widths, bevelled. Repeated and
// collinear points are dropped. Nothing for a polygon that is not convex or
// has fewer than three corners.
std::optional<QPolygonF> GrowConvex(const QPolygonF& points, double by) {
  std::vector<QPointF> corners;
  corners.reserve(static_cast<std::size_t>(points.size()));
  const auto cross = [](QPointF a, QPointF b, QPointF c) {
    return (b.x() - a.x()) * (c.y() - b.y()) - (b.y() - a.y()) * (c.x() - b.x());
  };
  for (const QPointF& p : points) {
    if (!corners.empty() && corners.back() == p) continue;
    while (corners.size() >= 2 && cross(corners[corners.size() - 2], corners.back(), p) == 0) {
      corners.pop_back();  // the middle of three in a line
    }
    corners.push_back(p);
  }
  while (corners.size() >= 3) {  // the seam where the outline closes
    const std::size_t n = corners.size();
    if (corners.front() == corners.back()) {
      corners.pop_back();
    } else if (cross(corners[n - 2], corners[n - 1], corners[0]) == 0) {
      corners.pop_back();
    } else if (cross(corners[n - 1], corners[0], corners[1]) == 0) {
      corners.erase(corners.begin());
    } else {
      break;
    }
  }
  const std::size_t n = corners.size();
  if (n < 3) return std::nullopt;
  double turn = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double c = cross(corners[i], corners[(i + 1) % n], corners[(i + 2) % n]);
    if (turn == 0) turn = c;
    if (c * turn < 0) return std::nullopt;  // not convex
  }
  // Outward normals of each edge; y grows downward, so the sign follows the turn.
  std::vector<QPointF> normals(n);
  for (std::size_t i = 0; i < n; ++i) {
    const QPointF d = corners[(i + 1) % n] - corners[i];
    const double length = std::hypot(d.x(), d.y());
    normals[i] = turn > 0 ? QPointF(d.y(), -d.x()) / length : QPointF(-d.y(), d.x()) / length;
  }
  constexpr double kMiterLimit = 10.0;  // XAML's, in half stroke widths
  QPolygonF grown;
  grown.reserve(static_cast<qsizetype>(2 * n));
  for (std::size_t i = 0; i < n; ++i) {
    const QPointF& before = normals[(i + n - 1) % n];
    const QPointF& after = normals[i];
    const double cosine = QPointF::dotProduct(before, after);
    const double miter = std::sqrt(2.0 / (1.0 + cosine));  // tip distance over `by`
    if (cosine > -1.0 && miter <= kMiterLimit) {
      grown.append(corners[i] + (before + after) * (by / (1.0 + cosine)));
    } else {
      grown.append(corners[i] + before * by);
      grown.append(corners[i] + after * by);
    }
  }
  return grown;
}

// A highlighted shape: a third of the way to white, alpha kept.
QColor Lighter(const QColor& c) {
  if (!c.isValid()) return c;
  const auto toWhite = [](int v) { return v + (255 - v) / 3; };
  return QColor(toWhite(c.red()), toWhite(c.green()), toWhite(c.blue()), c.alpha());
}

}  // namespace

void PaintMarkup(QPainter& painter, const MarkupScene& scene, const QString& highlight) {
  painter.save();
  // Below one device pixel per logical pixel a stroke no longer covers the edge.
  const double devicePixels =
      painter.device()->devicePixelRatioF() *
      std::sqrt(std::fabs(painter.worldTransform().determinant()));  // per logical pixel
  const bool scaledDown = painter.device()->devicePixelRatioF() < 1.0 ||
                          painter.worldTransform().type() > QTransform::TxTranslate;
  MarkupShape lit;
  for (const MarkupShape& original : scene.shapes) {
    const bool highlighted = !highlight.isEmpty() && original.tag == highlight;
    if (highlighted) {
      lit = original;
      lit.fill = Lighter(original.fill);
      lit.stroke = Lighter(original.stroke);
    }
    const MarkupShape& shape = highlighted ? lit : original;
    const bool stroked = shape.stroke.isValid() && shape.strokeThickness > 0;
    const double thickness = stroked ? shape.strokeThickness : 0.0;
    QPen pen(Qt::NoPen);
    if (stroked) {
      pen = QPen(shape.stroke, thickness, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
      // XAML measures its miter limit of 10 in half stroke widths, Qt in whole ones.
      pen.setMiterLimit(5.0);
      // A fan's stroke in its own colour covers the seams between neighbouring
      // fans; shrunk below a device pixel it no longer would.
      if (shape.stroke == shape.fill && thickness * devicePixels < 1.0) {
        pen.setWidthF(1.0);
        pen.setCosmetic(true);
      }
    }
    const bool filled = shape.fill.isValid() && shape.fill.alpha() > 0;
    const bool plainFill = !scaledDown && StrokeHidesFillEdge(shape, thickness);

    if (shape.kind == MarkupShape::Kind::Text) {
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setFont(shape.font);
      painter.setPen(shape.fill);
      painter.drawText(shape.box,
                       static_cast<int>(shape.alignment | Qt::AlignTop) | Qt::TextDontClip,
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
    // inset by half the stroke.
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

    // Stroking is the costly part of painting; where a fill of the right
    // outline gives the same pixels, that is drawn instead.
    if (stroked && !pen.isCosmetic() && shape.stroke.alpha() == 255) {
      if (shape.kind == MarkupShape::Kind::Polygon && filled && shape.stroke == shape.fill) {
        // A convex polygon with a stroke of its own colour is its outline grown
        // by half the stroke, mitred.
        const std::optional<QPolygonF> grown = GrowConvex(shape.points, thickness / 2.0);
        if (grown) {
          painter.setRenderHint(QPainter::Antialiasing, true);
          painter.setPen(Qt::NoPen);
          painter.setBrush(shape.fill);
          painter.drawPolygon(*grown);
          continue;
        }
      }
      if (shape.kind == MarkupShape::Kind::Ellipse && shape.box.width() > 2 * thickness &&
          shape.box.height() > 2 * thickness) {
        // An ellipse's stroke is the ring between its box and the box inset
        // by the stroke's width.
        const QRectF hole = shape.box.adjusted(thickness, thickness, -thickness, -thickness);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        if (filled) {
          painter.setBrush(shape.fill);
          painter.drawEllipse(hole.adjusted(-0.5, -0.5, 0.5, 0.5));  // under the ring's edge
        }
        QPainterPath ring;
        ring.setFillRule(Qt::OddEvenFill);
        ring.addEllipse(shape.box);
        ring.addEllipse(hole);
        painter.setBrush(shape.stroke);
        painter.drawPath(ring);
        continue;
      }
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
  painter.restore();
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
  stroker.setJoinStyle(Qt::MiterJoin);
  stroker.setMiterLimit(5.0);
  return stroker.createStroke(outline).contains(point);
}

}  // namespace xamlpie
