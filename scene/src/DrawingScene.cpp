#include "DrawingScene.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "TextMeasure.h"

namespace xamlpie::detail {

namespace {

QColor ToQColor(Rgba c) {
  return c.a == 0 ? QColor() : QColor(c.r, c.g, c.b, c.a);
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A coordinate as the markup writes it, so that both paths paint the same
// pixels: whole pixels floored, or hundredths.
double Whole(double v) {
  return std::floor(v);
}
double Hundredths(double v) {
  return std::round(v * 100.0) / 100.0 + 0.0;
}

bool InRange(double v) {
  return std::fabs(v) <= kMarkupCoordinateLimit;
}

// A number relative to a box as the markup writes it: to a ten-thousandth,
// at most a million boxes away.
double Relative(double v) {
  return std::isfinite(v) ? std::round(std::clamp(v, -1e6, 1e6) * 1e4) / 1e4 + 0.0 : 0.0;
}

// A polygon's shade as the markup writes it and a reader reads it back:
// relative to its points' box, in its fill, and in its stroke where that is
// the fill's colour.
void Shade(MarkupShape& m, const Shape& s) {
  const RadialShade& shade = *s.shade;
  const QRectF box = m.points.boundingRect();
  const double width = box.width() > 0 ? box.width() : 1.0;
  const double height = box.height() > 0 ? box.height() : 1.0;
  MarkupGradient g;
  g.kind = MarkupGradient::Kind::Radial;
  g.center = QPointF(Relative((shade.centre.x - box.left()) / width),
                     Relative((shade.centre.y - box.top()) / height));
  g.origin = g.center;
  g.radiusX = Relative(shade.radius / width);
  g.radiusY = Relative(shade.radius / height);
  for (const auto& [offset, colour] : shade.stops)
    g.stops.append({Relative(offset), ToQColor(colour)});
  if (g.stops.isEmpty()) return;
  const bool stroked = s.stroke.a != 0 && s.stroke == s.fill;
  if (s.fill.a != 0) {
    m.fill = g.stops.front().second;
    m.fillGradient = g;
  }
  if (stroked) {
    m.stroke = g.stops.front().second;
    m.strokeGradient = std::move(g);
  }
}

}  // namespace

QString TagOf(const Shape& shape) {
  if (shape.toolTip.empty()) return {};
  return shape.ring > 0 ? QStringLiteral("%1.%2").arg(shape.ring).arg(shape.index)
                        : QString::number(shape.index);
}

void AddToScene(MarkupScene& scene, const Drawing& drawing) {
  const QString family = QString::fromStdString(drawing.fontFamily).trimmed();
  scene.shapes.reserve(scene.shapes.size() + drawing.shapes.size());
  // A chart's texts come in a few sizes: each font is made once.
  struct Made {
    int pixels;
    bool bold;
    QFont font;
  };
  std::vector<Made> fonts;
  const auto fontOf = [&](double size, bool bold) -> const QFont& {
    const int pixels = std::max(1, static_cast<int>(std::lround(size)));
    for (const Made& made : fonts) {
      if (made.pixels == pixels && made.bold == bold) return made.font;
    }
    QFont font;
    if (bold) font.setWeight(QFont::Bold);
    if (!family.isEmpty()) font.setFamilies({family});
    font.setPixelSize(pixels);
    fonts.push_back({pixels, bold, font});
    return fonts.back().font;
  };
  for (const Shape& s : drawing.shapes) {
    MarkupShape m;
    m.fill = ToQColor(s.fill);
    m.stroke = ToQColor(s.stroke);
    m.strokeThickness = s.strokeWidth;
    m.tag = TagOf(s);
    m.toolTip = FromUtf8(s.toolTip);
    m.accessibleName = FromUtf8(s.name);
    bool valid = true;
    switch (s.kind) {
      case ShapeKind::Polygon: {
        m.kind = MarkupShape::Kind::Polygon;
        m.points.reserve(static_cast<qsizetype>(s.points.size()));
        const bool whole = s.precision == Precision::Whole;
        for (const Point& p : s.points) {
          const QPointF at =
              whole ? QPointF(Whole(p.x) + s.origin.x, Whole(p.y) + s.origin.y)
                    : QPointF(Hundredths(p.x + s.origin.x), Hundredths(p.y + s.origin.y));
          valid = valid && InRange(at.x()) && InRange(at.y());
          m.points.append(at);
        }
        if (s.shade && valid) Shade(m, s);
        break;
      }
      case ShapeKind::Ellipse:
      case ShapeKind::Rectangle:
        m.kind = s.kind == ShapeKind::Ellipse ? MarkupShape::Kind::Ellipse
                                              : MarkupShape::Kind::Rectangle;
        m.box = QRectF(s.box.x, s.box.y, s.box.width, s.box.height);
        m.radiusX = m.radiusY = s.cornerRadius;
        valid = s.box.width >= 0 && s.box.height >= 0;
        break;
      case ShapeKind::Line:
        m.kind = MarkupShape::Kind::Line;
        if (s.points.size() >= 2) {
          m.line = QLineF(s.points[0].x, s.points[0].y, s.points[1].x, s.points[1].y);
        }
        valid = InRange(m.line.x1()) && InRange(m.line.y1()) && InRange(m.line.x2()) &&
                InRange(m.line.y2());
        break;
      case ShapeKind::Text:
        m.kind = MarkupShape::Kind::Text;
        m.text = FromUtf8(s.text);
        m.alignment = s.align == Align::Center  ? Qt::AlignHCenter
                      : s.align == Align::Right ? Qt::AlignRight
                                                : Qt::AlignLeft;
        valid = s.fontSize > 0 && s.fontSize <= kMarkupFontSizeLimit;
        if (!valid) break;
        m.font = fontOf(s.fontSize, s.bold);
        PlaceTextBox(m, QPointF(s.box.x, s.box.y), s.fontSize, s.box.width);
        break;
    }
    if (valid) scene.shapes.push_back(std::move(m));
  }
}

}  // namespace xamlpie::detail
