#include "xamlpie/MarkupScene.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <algorithm>
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
