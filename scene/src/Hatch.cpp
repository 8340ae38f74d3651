#include "Hatch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "xamlpie/Colors.h"

namespace xamlpie::detail {

namespace {

struct Stripes {
  double degrees;  // the marks' direction
  double apart;    // from one mark's middle to the next
  double width;    // 0: dots
};

struct Kind {
  std::array<Stripes, 2> stripes;
  int sets;
};

constexpr Kind kKinds[kHatchKinds] = {
    {{}, 0},                                 // plain
    {{{{45, 6, 1.5}, {}}}, 1},               // thin diagonal
    {{{{135, 6, 1.5}, {}}}, 1},              // the other diagonal
    {{{{0, 6, 1.5}, {}}}, 1},                // horizontal
    {{{{90, 6, 1.5}, {}}}, 1},               // vertical
    {{{{0, 7, 1.25}, {90, 7, 1.25}}}, 2},    // grid
    {{{{45, 7, 1.25}, {135, 7, 1.25}}}, 2},  // diagonal grid
    {{{{0, 5, 0}, {}}}, 1},                  // dots
    {{{{45, 9, 3.5}, {}}}, 1},               // wide diagonal
};

constexpr double kDot = 1.3;  // a dot's radius
// Past this many marks a slice is left plain: a chart that large (tens of
// thousands of pixels across) is past reading by hatches anyway, and the
// work stays bounded.
constexpr double kMostMarks = 200000;

void AddMarks(QList<QPolygonF>& out, const Stripes& s, const QRectF& area) {
  const double a = s.degrees * std::numbers::pi / 180.0;
  const QPointF along(std::cos(a), std::sin(a));
  const QPointF across(-along.y(), along.x());
  double low = 1e300;
  double high = -1e300;
  double first = 1e300;
  double last = -1e300;
  for (const QPointF corner :
       {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()}) {
    const double t = QPointF::dotProduct(corner, across);
    const double u = QPointF::dotProduct(corner, along);
    low = std::min(low, t);
    high = std::max(high, t);
    first = std::min(first, u);
    last = std::max(last, u);
  }
  const double reach = std::max(s.width, 2 * kDot);
  const double lines = (high - low + 2 * reach) / s.apart + 2;
  const double perLine = s.width <= 0 ? (last - first + 2 * reach) / s.apart + 2 : 1;
  if (!(lines * perLine <= kMostMarks)) return;
  // Counted in whole steps from the canvas's origin, so that neighbours
  // line up; the counts are bounded above.
  const auto lowLine = static_cast<long long>(std::floor((low - reach) / s.apart));
  const auto highLine = static_cast<long long>(std::ceil((high + reach) / s.apart));
  const auto firstDot = static_cast<long long>(std::floor((first - reach) / s.apart));
  const auto lastDot = static_cast<long long>(std::ceil((last + reach) / s.apart));
  for (long long line = lowLine; line <= highLine; ++line) {
    const double t = static_cast<double>(line) * s.apart;
    const QPointF middle = across * t;
    if (s.width <= 0) {  // dots along the line, every other row shifted
      const double shift = (line % 2 != 0 ? 0.5 : 0.0) * s.apart;
      for (long long step = firstDot; step <= lastDot; ++step) {
        const double u = static_cast<double>(step) * s.apart + shift;
        QPolygonF dot;
        for (int k = 0; k < 8; ++k) {
          const double b = k * std::numbers::pi / 4;
          dot.append(middle + along * u + QPointF(std::cos(b), std::sin(b)) * kDot);
        }
        out.append(dot);
      }
      continue;
    }
    const QPointF side = across * (s.width / 2);
    out.append(
        QPolygonF{middle + along * (first - reach) - side, middle + along * (last + reach) - side,
                  middle + along * (last + reach) + side, middle + along * (first - reach) + side});
  }
}

double Cross(QPointF o, QPointF a, QPointF b) {
  return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
}

}  // namespace

QList<QPolygonF> Hatch(int kind, const QRectF& area) {
  QList<QPolygonF> marks;
  if (kind <= 0 || kind >= kHatchKinds || area.isEmpty() || !std::isfinite(area.left()) ||
      !std::isfinite(area.top()) || !std::isfinite(area.right()) || !std::isfinite(area.bottom())) {
    return marks;
  }
  const Kind& k = kKinds[kind];
  for (int i = 0; i < k.sets; ++i)
    AddMarks(marks, k.stripes[static_cast<std::size_t>(i)], area);
  return marks;
}

// Sutherland and Hodgman: the shape cut by each edge of the convex polygon
// in turn. Where the part within falls apart, its pieces stay joined along
// the edge by a seam of no width, which fills nothing.
QPolygonF ClipToConvex(const QPolygonF& shape, const QPolygonF& convex) {
  if (convex.size() < 3) return {};
  // Inside lies to the left of each edge of a counter-clockwise (in y up)
  // polygon; the sign of its area tells which way it turns.
  double area = 0;
  for (qsizetype i = 0; i < convex.size(); ++i)
    area += Cross({}, convex[i], convex[(i + 1) % convex.size()]);
  const double sense = area >= 0 ? 1.0 : -1.0;
  QPolygonF out = shape;
  for (qsizetype e = 0; e < convex.size() && !out.isEmpty(); ++e) {
    const QPointF a = convex[e];
    const QPointF b = convex[(e + 1) % convex.size()];
    const QPolygonF in = std::move(out);
    out = QPolygonF();
    out.reserve(in.size() + 4);
    for (qsizetype i = 0; i < in.size(); ++i) {
      const QPointF p = in[i];
      const QPointF q = in[(i + 1) % in.size()];
      const double dp = sense * Cross(a, b, p);
      const double dq = sense * Cross(a, b, q);
      if (dp >= 0) out.append(p);
      if ((dp >= 0) != (dq >= 0)) out.append(p + (q - p) * (dp / (dp - dq)));
    }
  }
  return out.size() >= 3 ? out : QPolygonF();
}

QList<QPolygonF> HatchWithin(int kind, const QPolygonF& shape) {
  QList<QPolygonF> parts;
  if (kind <= 0 || shape.size() < 3) return parts;
  const QRectF bounds = shape.boundingRect();
  for (const QPolygonF& mark : Hatch(kind, bounds)) {
    if (!mark.boundingRect().intersects(bounds)) continue;
    QPolygonF part = ClipToConvex(shape, mark);
    if (!part.isEmpty()) parts.append(std::move(part));
  }
  return parts;
}

QColor HatchColour(const QColor& fill) {
  // Black or white, whichever stands out, at 60 % over the fill: opaque, so
  // that the marks are drawn as the slices are, and an alpha the fill keeps.
  const int ink = Contrast(fill, Qt::black) >= Contrast(fill, Qt::white) ? 0 : 255;
  const auto mix = [ink](int c) { return (ink * 6 + c * 4 + 5) / 10; };
  return QColor(mix(fill.red()), mix(fill.green()), mix(fill.blue()), fill.alpha());
}

void AddHatches(Drawing& drawing, const std::function<int(int index)>& kindOf) {
  std::vector<Shape> shapes = std::move(drawing.shapes);
  std::vector<Shape> out;
  out.reserve(shapes.size() * 4);
  std::vector<QPolygonF> run;  // the slice's outlines so far, fans joined
  const Shape* first = nullptr;
  const auto finish = [&] {
    if (first == nullptr) return;
    const int kind = kindOf(first->index);
    const QColor ink =
        HatchColour(QColor(first->fill.r, first->fill.g, first->fill.b, first->fill.a));
    for (const QPolygonF& outline : run) {
      for (const QPolygonF& part : HatchWithin(kind, outline)) {
        Shape mark;
        mark.kind = ShapeKind::Polygon;
        mark.role = Role::Slice;
        mark.precision = Precision::Hundredths;
        mark.ring = first->ring;
        mark.index = first->index;
        mark.toolTip = first->toolTip;
        mark.fill = {static_cast<std::uint8_t>(ink.red()), static_cast<std::uint8_t>(ink.green()),
                     static_cast<std::uint8_t>(ink.blue()), static_cast<std::uint8_t>(ink.alpha())};
        mark.points.reserve(static_cast<std::size_t>(part.size()));
        for (const QPointF& p : part)
          mark.points.push_back({p.x(), p.y()});
        out.push_back(std::move(mark));
      }
    }
    run.clear();
    first = nullptr;
  };
  QPointF fanCentre;
  for (const Shape& shape : shapes) {
    const bool slice = shape.role == Role::Slice && shape.fill.a > 0 &&
                       (shape.kind == ShapeKind::Polygon || shape.kind == ShapeKind::Ellipse);
    if (first != nullptr && (!slice || shape.index != first->index || shape.ring != first->ring))
      finish();
    out.push_back(shape);
    if (!slice) continue;
    if (first == nullptr) first = &shape;
    QPolygonF outline;
    if (shape.kind == ShapeKind::Ellipse) {
      const QPointF centre(shape.box.x + shape.box.width / 2, shape.box.y + shape.box.height / 2);
      for (int k = 0; k < 180; ++k) {
        const double b = k * std::numbers::pi / 90;
        outline.append(centre + QPointF(std::cos(b) * shape.box.width / 2,
                                        std::sin(b) * shape.box.height / 2));
      }
      run.push_back(outline);
      continue;
    }
    // Where the slice is drawn: whole-pixel points floored, as written.
    const bool whole = shape.precision == Precision::Whole;
    outline.reserve(static_cast<qsizetype>(shape.points.size()));
    for (const Point& p : shape.points) {
      outline.append(
          whole ? QPointF(std::floor(p.x) + shape.origin.x, std::floor(p.y) + shape.origin.y)
                : QPointF(p.x + shape.origin.x, p.y + shape.origin.y));
    }
    // A slice's fans share their centre: one outline, its rim run on, so
    // that the marks are not laid twice where fans overlap.
    if (whole && !run.empty() && !outline.isEmpty() && outline.front() == fanCentre &&
        run.back().size() > 2 && run.back().front() == fanCentre) {
      QPolygonF& joined = run.back();
      qsizetype from = 1;
      while (from < outline.size() &&
             (outline[from] == joined.back() || outline[from] == joined[joined.size() - 2])) {
        ++from;
      }
      for (qsizetype k = from; k < outline.size(); ++k)
        joined.append(outline[k]);
      continue;
    }
    fanCentre = outline.isEmpty() ? QPointF() : outline.front();
    run.push_back(std::move(outline));
  }
  finish();
  drawing.shapes = std::move(out);
}

}  // namespace xamlpie::detail
