// Random scenes of every kind of shape the label draws, at fractional and
// whole pixel ratios and under each Stretch, against two renderers that share
// none of its code: QPainter at four times the pixels, box-filtered down, and
// librsvg drawing the same shapes as SVG. Text is left out: fonts differ
// between renderers by design.
//
// XAMLPIE_DIFF_SCENES=N runs N scenes instead of the default (more by hand);
// XAMLPIE_DIFF_OUT=DIR writes the three pictures of each failing scene there.

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <numbers>
#include <random>
#include <string>

#include "DrawingScene.h"
#include "pixels.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/MarkupScene.h"
#include "xamlpie/PieView.h"
#include "xamlpie/cXAMLPieChart.h"

using namespace Qt::Literals::StringLiterals;

namespace xamlpie::test {
namespace {

const QColor kBackground(0xF0, 0xE8, 0xD0);

// One shape as both references read it, from the markup with Qt's own XML
// reader rather than the label's parser.
struct RefShape {
  QString kind;
  QPainterPath path;  // filled: polygon (even-odd), ellipse or rectangle; empty for a line
  QPainterPath stroke;
  QColor fill, strokeColour;
  QBrush fillBrush, strokeBrush;  // gradients, where given
  double thickness = 0;
  QRectF box;   // its geometry's box, which gradients are relative to
  QString svg;  // the same shape as an SVG element, and the gradients it uses
};

// A gradient read from a brush element: its relative points and stops.
struct RefGradient {
  bool radial = false;
  QPointF start{0, 0}, end{1, 1}, center{0.5, 0.5}, origin{0.5, 0.5};
  double rx = 0.5, ry = 0.5, opacity = 1;
  QGradientStops stops;
};

QPointF RefPoint(const QString& text) {
  const QStringList xy = text.split(u',');
  return {xy.value(0).toDouble(), xy.value(1).toDouble()};
}

// The gradient over `box` for QPainter, its unit square (and a radial one's
// unit circle) mapped there by hand.
QBrush RefBrush(const RefGradient& g, const QRectF& box) {
  QTransform t(box.width(), 0, 0, box.height(), box.x(), box.y());
  if (!g.radial) {
    QLinearGradient linear(g.start, g.end);
    linear.setStops(g.stops);
    QBrush brush(linear);
    brush.setTransform(t);
    return brush;
  }
  // Circle about the origin of radius 1 → ellipse about the centre.
  t = QTransform(g.rx, 0, 0, g.ry, g.center.x(), g.center.y()) * t;
  QRadialGradient radial(
      QPointF(0, 0), 1,
      QPointF((g.origin.x() - g.center.x()) / g.rx, (g.origin.y() - g.center.y()) / g.ry));
  radial.setStops(g.stops);
  QBrush brush(radial);
  brush.setTransform(t);
  return brush;
}

// The same as an SVG paint server in the box's units, an ellipse by a
// transform of the circle.
QString RefSvgGradient(const RefGradient& g, const QString& id) {
  QString stops;
  for (const QGradientStop& stop : g.stops) {
    stops += QStringLiteral("<stop offset='%1' stop-color='%2' stop-opacity='%3'/>")
                 .arg(stop.first, 0, 'g', 17)
                 .arg(stop.second.name(QColor::HexRgb))
                 .arg(stop.second.alphaF(), 0, 'g', 6);
  }
  if (!g.radial) {
    return QStringLiteral(
               "<linearGradient id='%1' x1='%2' y1='%3' x2='%4' y2='%5'>%6"
               "</linearGradient>")
        .arg(id)
        .arg(g.start.x(), 0, 'g', 17)
        .arg(g.start.y(), 0, 'g', 17)
        .arg(g.end.x(), 0, 'g', 17)
        .arg(g.end.y(), 0, 'g', 17)
        .arg(stops);
  }
  // Drawn as a circle of radius rx, squeezed to ry about the centre; the
  // focus given before the squeeze.
  const double squeeze = g.ry / g.rx;
  return QStringLiteral(
             "<radialGradient id='%1' cx='%2' cy='%3' r='%4' fx='%5' fy='%6' "
             "gradientTransform='translate(0 %7) scale(1 %8)'>%9</radialGradient>")
      .arg(id)
      .arg(g.center.x(), 0, 'g', 17)
      .arg(g.center.y(), 0, 'g', 17)
      .arg(g.rx, 0, 'g', 17)
      .arg(g.origin.x(), 0, 'g', 17)
      .arg(g.center.y() + (g.origin.y() - g.center.y()) / squeeze, 0, 'g', 17)
      .arg(g.center.y() * (1 - squeeze), 0, 'g', 17)
      .arg(squeeze, 0, 'g', 17)
      .arg(stops);
}

QString SvgPaint(const QString& attribute, const QColor& c) {
  if (!c.isValid()) return QStringLiteral(" %1='none'").arg(attribute);
  return QStringLiteral(" %1='%2' %1-opacity='%3'")
      .arg(attribute, c.name(QColor::HexRgb))
      .arg(c.alphaF(), 0, 'g', 6);
}

// `devicePixels`: device pixels per canvas unit (the mean of the axes'
// scales). A stroke in its fill's colour thinner than one is drawn one wide,
// as the label documents: it covers the seams between a slice's fans.
std::vector<RefShape> ReadShapes(const QString& markup, double devicePixels) {
  std::vector<RefShape> shapes;
  // Which elements have a stroke given as a brush element: their stroke's
  // outline is made as for a stroke colour.
  std::vector<bool> strokeBrush;
  for (QXmlStreamReader scan(markup); !scan.atEnd();) {
    const QXmlStreamReader::TokenType token = scan.readNext();
    if (token != QXmlStreamReader::StartElement) continue;
    const QString name = scan.name().toString();
    if (!name.contains(u'.') && !name.contains(u"Gradient"_s) && name != u"Canvas") {
      strokeBrush.push_back(false);
    } else if (name.endsWith(u".Stroke"_s) && !strokeBrush.empty()) {
      strokeBrush.back() = true;
    }
  }
  std::size_t element = 0;
  QXmlStreamReader xml(markup);
  bool forStroke = false;  // the property element a brush is read for
  RefGradient gradient;
  int gradients = 0;
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    const QString name = xml.name().toString();
    if (token == QXmlStreamReader::EndElement && name.endsWith(u"GradientBrush"_s) &&
        !shapes.empty()) {
      RefShape& s = shapes.back();
      for (QGradientStop& stop : gradient.stops)
        stop.second.setAlphaF(stop.second.alphaF() * static_cast<float>(gradient.opacity));
      const QString id = QStringLiteral("g%1").arg(++gradients);
      const QString attribute = forStroke ? u"stroke"_s : u"fill"_s;
      const QString plain = SvgPaint(attribute, forStroke ? s.strokeColour : s.fill);
      (forStroke ? s.strokeBrush : s.fillBrush) = RefBrush(gradient, s.box);
      if (forStroke) {
        s.strokeColour = gradient.stops.value(0).second;
      } else {
        s.fill = gradient.stops.value(0).second;
      }
      s.svg.replace(plain, QStringLiteral(" %1='url(#%2)'").arg(attribute, id));
      s.svg.prepend(u"<defs>"_s + RefSvgGradient(gradient, id) + u"</defs>"_s);
      continue;
    }
    if (token != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = xml.attributes();
    if (name.contains(u'.')) {
      forStroke = name.endsWith(u".Stroke"_s);
      continue;
    }
    if (name.endsWith(u"GradientBrush"_s)) {
      gradient = RefGradient();
      gradient.radial = name == u"RadialGradientBrush";
      const auto point = [&](const char* key, QPointF& target) {
        if (a.hasAttribute(QLatin1String(key)))
          target = RefPoint(a.value(QLatin1String(key)).toString());
      };
      point("StartPoint", gradient.start);
      point("EndPoint", gradient.end);
      point("Center", gradient.center);
      point("GradientOrigin", gradient.origin);
      if (a.hasAttribute(u"RadiusX"_s)) gradient.rx = a.value(u"RadiusX"_s).toDouble();
      if (a.hasAttribute(u"RadiusY"_s)) gradient.ry = a.value(u"RadiusY"_s).toDouble();
      if (a.hasAttribute(u"Opacity"_s)) gradient.opacity = a.value(u"Opacity"_s).toDouble();
      continue;
    }
    if (name == u"GradientStop") {
      gradient.stops.append(
          {a.value(u"Offset"_s).toDouble(), QColor(a.value(u"Color"_s).toString())});
      continue;
    }
    if (name == u"Canvas") continue;
    const bool stroking = element < strokeBrush.size() && strokeBrush[element];
    ++element;
    const auto value = [&](const char* name) { return a.value(QLatin1String(name)).toString(); };
    const auto number = [&](const char* name, double fallback) {
      return a.hasAttribute(QLatin1String(name)) ? value(name).toDouble() : fallback;
    };
    RefShape s;
    s.kind = xml.name().toString();
    const double left = number("Canvas.Left", 0);
    const double top = number("Canvas.Top", 0);
    s.fill = a.hasAttribute(u"Fill"_s) ? QColor(value("Fill")) : QColor();
    s.strokeColour = a.hasAttribute(u"Stroke"_s) ? QColor(value("Stroke"))
                     : stroking                  ? QColor(Qt::black)  // the brush's, later
                                                 : QColor();
    s.thickness = s.strokeColour.isValid() ? number("StrokeThickness", 1) : 0.0;
    if (s.kind == u"Polygon" && s.thickness > 0 && s.strokeColour == s.fill &&
        s.fill.alpha() == 255) {
      s.thickness = std::max(s.thickness, 1.0 / devicePixels);
    }
    QPainterPathStroker stroker;
    stroker.setWidth(s.thickness);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::SvgMiterJoin);
    stroker.setMiterLimit(10);  // bevelled past it, as SVG's miter limit of 10
    const QString strokeSvg =
        SvgPaint(u"stroke"_s, s.strokeColour) +
        QStringLiteral(" stroke-width='%1' stroke-miterlimit='10'").arg(s.thickness, 0, 'g', 17);
    const double t = s.thickness;
    if (s.kind == u"Polygon") {
      QPolygonF points;
      const QStringList numbers =
          value("Points").split(QRegularExpression(u"[ ,]+"_s), Qt::SkipEmptyParts);
      for (qsizetype i = 0; i + 1 < numbers.size(); i += 2)
        points << QPointF(numbers[i].toDouble() + left, numbers[i + 1].toDouble() + top);
      s.path.addPolygon(points);
      s.path.closeSubpath();
      s.path.setFillRule(Qt::OddEvenFill);
      s.box = points.boundingRect();
      if (t > 0) s.stroke = stroker.createStroke(s.path);
      s.svg =
          QStringLiteral("<polygon transform='translate(%1 %2)' points='%3' fill-rule='evenodd'")
              .arg(left, 0, 'g', 17)
              .arg(top, 0, 'g', 17)
              .arg(value("Points")) +
          SvgPaint(u"fill"_s, s.fill) + strokeSvg + u"/>"_s;
    } else if (s.kind == u"Ellipse" || s.kind == u"Rectangle") {
      const QRectF box(left, top, number("Width", 0), number("Height", 0));
      const bool ellipse = s.kind == u"Ellipse";
      const double rx = ellipse ? 0 : number("RadiusX", 0);
      const double ry = ellipse ? 0 : number("RadiusY", 0);
      // The stroke lies inside the box; one at least as thick as the box
      // fills it.
      const bool fills = t > 0 && (box.width() <= t || box.height() <= t);
      const double inset = fills ? 0.0 : t / 2;
      const QRectF shape = box.adjusted(inset, inset, -inset, -inset);
      const double srx = fills ? rx : std::max(rx - t / 2, 0.0);
      const double sry = fills ? ry : std::max(ry - t / 2, 0.0);
      s.box = fills ? box : shape;
      QPainterPath path;
      if (ellipse) {
        path.addEllipse(shape);
      } else {
        path.addRoundedRect(shape, srx, sry);
      }
      s.svg = ellipse ? QStringLiteral("<ellipse cx='%1' cy='%2' rx='%3' ry='%4'")
                            .arg(shape.center().x(), 0, 'g', 17)
                            .arg(shape.center().y(), 0, 'g', 17)
                            .arg(shape.width() / 2, 0, 'g', 17)
                            .arg(shape.height() / 2, 0, 'g', 17)
                      : QStringLiteral("<rect x='%1' y='%2' width='%3' height='%4' rx='%5' ry='%6'")
                            .arg(shape.x(), 0, 'g', 17)
                            .arg(shape.y(), 0, 'g', 17)
                            .arg(shape.width(), 0, 'g', 17)
                            .arg(shape.height(), 0, 'g', 17)
                            .arg(srx, 0, 'g', 17)
                            .arg(sry, 0, 'g', 17);
      if (fills) {
        s.stroke = path;
        s.fill = QColor();
        s.svg += SvgPaint(u"fill"_s, s.strokeColour) + u"/>"_s;
      } else {
        s.path = path;
        if (t > 0) s.stroke = stroker.createStroke(path);
        s.svg += SvgPaint(u"fill"_s, s.fill) + strokeSvg + u"/>"_s;
      }
    } else if (s.kind == u"Line") {
      const QLineF line(number("X1", 0) + left, number("Y1", 0) + top, number("X2", 0) + left,
                        number("Y2", 0) + top);
      s.box = QRectF(line.p1(), line.p2()).normalized();
      QPainterPath path(line.p1());
      path.lineTo(line.p2());
      if (t > 0) s.stroke = stroker.createStroke(path);
      s.fill = QColor();
      s.svg = QStringLiteral("<line x1='%1' y1='%2' x2='%3' y2='%4' fill='none'")
                  .arg(line.x1(), 0, 'g', 17)
                  .arg(line.y1(), 0, 'g', 17)
                  .arg(line.x2(), 0, 'g', 17)
                  .arg(line.y2(), 0, 'g', 17) +
              strokeSvg + u"/>"_s;
    } else {
      continue;
    }
    shapes.push_back(std::move(s));
  }
  return shapes;
}

// QPainter at four device pixels for each, averaged down four by four.
QImage Supersampled(const std::vector<RefShape>& shapes, QSize pixels, const QTransform& world,
                    qreal ratio) {
  constexpr int kFactor = 4;
  QImage big(pixels * kFactor, QImage::Format_ARGB32_Premultiplied);
  big.fill(kBackground);
  {
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setTransform(world * QTransform::fromScale(ratio * kFactor, ratio * kFactor));
    for (const RefShape& s : shapes) {
      if (s.fill.isValid() && !s.path.isEmpty()) {
        p.fillPath(s.path, s.fillBrush.style() != Qt::NoBrush ? s.fillBrush : QBrush(s.fill));
      }
      if (s.strokeColour.isValid() && !s.stroke.isEmpty()) {
        QPainterPath stroke = s.stroke;
        stroke.setFillRule(Qt::WindingFill);
        p.fillPath(stroke,
                   s.strokeBrush.style() != Qt::NoBrush ? s.strokeBrush : QBrush(s.strokeColour));
      }
    }
  }
  QImage small(pixels, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < pixels.height(); ++y) {
    for (int x = 0; x < pixels.width(); ++x) {
      int sum[3] = {0, 0, 0};
      for (int j = 0; j < kFactor; ++j) {
        const auto* row = reinterpret_cast<const QRgb*>(big.constScanLine(y * kFactor + j));
        for (int i = 0; i < kFactor; ++i) {
          const QRgb c = row[x * kFactor + i];
          sum[0] += qRed(c);
          sum[1] += qGreen(c);
          sum[2] += qBlue(c);
        }
      }
      constexpr int kCount = kFactor * kFactor;
      small.setPixel(x, y,
                     qRgb((sum[0] + kCount / 2) / kCount, (sum[1] + kCount / 2) / kCount,
                          (sum[2] + kCount / 2) / kCount));
    }
  }
  return small;
}

QImage Librsvg(const std::vector<RefShape>& shapes, QSize logical, QSize pixels,
               const QTransform& world, const QTemporaryDir& dir) {
  QString svg = QStringLiteral(
                    "<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2' "
                    "viewBox='0 0 %3 %4'><rect width='%3' height='%4' fill='%5'/>\n"
                    "<g transform='matrix(%6 %7 %8 %9 %10 %11)'>\n")
                    .arg(pixels.width())
                    .arg(pixels.height())
                    .arg(logical.width())
                    .arg(logical.height())
                    .arg(kBackground.name())
                    .arg(world.m11(), 0, 'g', 17)
                    .arg(world.m12(), 0, 'g', 17)
                    .arg(world.m21(), 0, 'g', 17)
                    .arg(world.m22(), 0, 'g', 17)
                    .arg(world.dx(), 0, 'g', 17)
                    .arg(world.dy(), 0, 'g', 17);
  for (const RefShape& s : shapes)
    svg += s.svg + u'\n';
  svg += u"</g></svg>\n"_s;
  return Rsvg(svg, dir).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

int Difference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// Where the two references agree within a tenth, how many pixels of ours
// are more than a tenth from both (marked red in `marked`, if given), and
// the farthest.
struct Agreement {
  int agreed = 0;
  int off = 0;
  int worst = 0;
};

Agreement Compare(const QImage& ours, const QImage& qt, const QImage& rsvg, QImage* marked) {
  Agreement a;
  for (int y = 0; y < ours.height(); ++y) {
    for (int x = 0; x < ours.width(); ++x) {
      const QRgb q = qt.pixel(x, y);
      const QRgb r = rsvg.pixel(x, y);
      if (Difference(q, r) > 24) continue;
      ++a.agreed;
      const int d = std::min(Difference(ours.pixel(x, y), q), Difference(ours.pixel(x, y), r));
      a.worst = std::max(a.worst, d);
      if (d > 24) {
        ++a.off;
        if (marked != nullptr) marked->setPixel(x, y, qRgb(255, 0, 0));
      }
    }
  }
  return a;
}

// Seeded scenes: polygons convex, concave, self-intersecting, slivers, of
// thousands of points and of points nearly on each other, shapes partly
// outside, ellipses from a fifth of a pixel to thousands, strokes from 0.1 to
// 40 with and without fill, translucent colours, overlaps; and charts.
class Scenes {
 public:
  explicit Scenes(unsigned seed) : mRandom(seed) {}

  // Whether the last scene has a stroke that covers pixels twice over: of a
  // jagged, self-intersecting or sliver polygon.
  bool Overlapping() const { return mOverlapping; }

  QString Next(QSize size) {
    mOverlapping = false;
    if (Chance(0.2)) return Chart(size);
    QString markup = u"<Canvas>"_s;
    const int count = Uniform(1, 8);
    for (int i = 0; i < count; ++i)
      markup += Shape(size);
    return markup + u"</Canvas>"_s;
  }

 private:
  double Real(double from, double to) { return std::uniform_real_distribution(from, to)(mRandom); }
  int Uniform(int from, int to) { return std::uniform_int_distribution(from, to)(mRandom); }
  bool Chance(double p) { return Real(0, 1) < p; }
  double LogUniform(double from, double to) { return std::exp(Real(std::log(from), std::log(to))); }
  QString Colour(bool translucent) {
    const int alpha = translucent ? Uniform(40, 220) : 255;
    return QColor(Uniform(0, 255), Uniform(0, 255), Uniform(0, 255), alpha)
        .name(alpha == 255 ? QColor::HexRgb : QColor::HexArgb)
        .toUpper();
  }
  QString Number(double v) { return QString::number(v, 'g', 6); }

  QString Paint() {
    const bool translucent = Chance(0.25);
    const bool filled = Chance(0.8);
    const bool stroked = !filled || Chance(0.6);
    QString paint;
    const QString fill = Colour(translucent);
    if (filled) paint += QStringLiteral(" Fill='%1'").arg(fill);
    if (stroked) {
      paint +=
          QStringLiteral(" Stroke='%1'").arg(filled && Chance(0.4) ? fill : Colour(translucent));
      paint += QStringLiteral(" StrokeThickness='%1'").arg(Number(LogUniform(0.1, 40)));
    }
    return paint;
  }

  QString Shape(QSize size) {
    const double w = size.width();
    const double h = size.height();
    const QPointF centre(Real(-0.2 * w, 1.2 * w), Real(-0.2 * h, 1.2 * h));
    const double reach = LogUniform(2, 1.5 * std::max(w, h));
    switch (Uniform(0, 9)) {
      case 0:
      case 1: {  // an ellipse, from a fifth of a pixel to thousands
        const double ew = LogUniform(0.2, 3000);
        const double eh = Chance(0.5) ? ew : LogUniform(0.2, 3000);
        return QStringLiteral(
                   "<Ellipse Canvas.Left='%1' Canvas.Top='%2' Width='%3' Height='%4'%5/>")
            .arg(Number(centre.x() - ew / 2), Number(centre.y() - eh / 2), Number(ew), Number(eh),
                 Paint());
      }
      case 2: {  // a rectangle, maybe rounded
        const double rw = LogUniform(0.5, 2 * w);
        const double rh = LogUniform(0.5, 2 * h);
        const bool rounded = Chance(0.5);
        const double ry = rounded ? Real(0, rh / 2) : 0.0;
        const double rx = rounded ? Real(0, rw / 2) : 0.0;
        // Round corners (legend swatches) a quarter of the time.
        const QString radii = rounded ? QStringLiteral(" RadiusX='%1' RadiusY='%2'")
                                            .arg(Number(rx), Number(ry < rh / 8 ? rx : ry))
                                      : QString();
        return QStringLiteral(
                   "<Rectangle Canvas.Left='%1' Canvas.Top='%2' Width='%3' Height='%4'%5%6/>")
            .arg(Number(centre.x() - rw / 2), Number(centre.y() - rh / 2), Number(rw), Number(rh),
                 radii, Paint());
      }
      case 3: {
        const QString stroke = Colour(Chance(0.25));
        return QStringLiteral(
                   "<Line X1='%1' Y1='%2' X2='%3' Y2='%4' Stroke='%5' StrokeThickness='%6'/>")
            .arg(Number(centre.x()), Number(centre.y()), Number(Real(-0.2 * w, 1.2 * w)),
                 Number(Real(-0.2 * h, 1.2 * h)), stroke, Number(LogUniform(0.1, 40)));
      }
      default:
        break;
    }
    QList<QPointF> points;
    const int polygon = Uniform(0, 5);
    switch (polygon) {
      case 0: {  // convex
        const int n = Uniform(3, 12);
        for (int i = 0; i < n; ++i) {
          const double a = 2 * std::numbers::pi * i / n;
          points << centre + QPointF(std::cos(a), std::sin(a)) * reach * Real(0.9, 1.0);
        }
        break;
      }
      case 1: {  // a star: concave
        const int n = 2 * Uniform(3, 8);
        for (int i = 0; i < n; ++i) {
          const double a = 2 * std::numbers::pi * i / n;
          points << centre + QPointF(std::cos(a), std::sin(a)) * reach * (i % 2 ? 0.4 : 1.0);
        }
        break;
      }
      case 2: {  // anywhere: self-intersecting
        const int n = Uniform(3, 9);
        for (int i = 0; i < n; ++i)
          points << centre + QPointF(Real(-reach, reach), Real(-reach, reach));
        break;
      }
      case 3: {  // a sliver
        const QPointF a = centre;
        const QPointF b = centre + QPointF(Real(-reach, reach), Real(-reach, reach));
        const QPointF normal(-(b - a).y(), (b - a).x());
        points << a << b << (a + b) / 2 + normal * Real(-0.02, 0.02);
        break;
      }
      case 4: {  // thousands of points
        const int n = Uniform(1000, 4000);
        for (int i = 0; i < n; ++i) {
          const double a = 2 * std::numbers::pi * i / n;
          points << centre + QPointF(std::cos(a), std::sin(a)) * reach * Real(0.97, 1.0);
        }
        break;
      }
      default: {  // corners nearly on each other
        const int n = Uniform(3, 6);
        for (int i = 0; i < n; ++i) {
          const QPointF p = centre + QPointF(Real(-reach, reach), Real(-reach, reach));
          points << p << p + QPointF(Real(-1e-3, 1e-3), Real(-1e-3, 1e-3));
        }
        break;
      }
    }
    QString text;
    for (const QPointF& p : points)
      text += Number(p.x()) + u',' + Number(p.y()) + u' ';
    const QString paint = Paint();
    if (polygon >= 2 && paint.contains(u"Stroke="_s)) mOverlapping = true;
    return QStringLiteral("<Polygon Points='%1'%2/>").arg(text.trimmed(), paint);
  }

  QString Chart(QSize size) {
    cXAMLPieChart chart;
    const int diameter =
        std::max(10, static_cast<int>(std::min(size.width(), size.height()) * Real(0.5, 1.0)));
    chart.Size(diameter);
    chart.MarginLeft(Uniform(0, 10));
    chart.MarginTop(Uniform(0, 10));
    const int slices = Uniform(1, 9);
    const bool values = Chance(0.3);
    const int rings = Chance(0.2) ? Uniform(2, 3) : 1;
    int slice = 0;
    for (int ring = 0; ring < rings; ++ring) {
      if (ring > 0) chart.AddRing(Uniform(4, diameter / 6 + 4));
      for (int i = 0; i < slices; ++i, ++slice) {
        const ColorValue colour =
            ToColorValue(QColor(Uniform(0, 255), Uniform(0, 255), Uniform(0, 255)));
        const std::string name = "Slice " + std::to_string(slice);
        if (values) {
          chart.AddValue(Real(0, 1000), colour, name);
        } else {
          chart.AddDataItem(Uniform(1, 40), colour, name);
        }
      }
    }
    if (Chance(0.2)) chart.SweepAngle(Uniform(1, 359));
    if (Chance(0.25)) chart.SliceGap(Real(0, 8));
    if (Chance(0.25)) chart.CornerRadius(Real(0, 20));
    chart.StartAngle(Uniform(0, 359));
    chart.Clockwise(Chance(0.5));
    if (Chance(0.5)) chart.DoughnutWidth(Uniform(1, diameter / 2));
    chart.BackgroundColor(ToColorValue(kBackground));
    if (Chance(0.4)) chart.Explode(Uniform(0, slice - 1), Uniform(1, 15));
    if (Chance(0.3)) chart.GroupBelow(Uniform(5, 20), 0x00808080u, "Other");
    if (Chance(0.3)) chart.OutlineColor(ToColorValue(QColor(Uniform(0, 255), 0, 0)));
    // Legends bring their swatches; the text itself is left out below.
    if (Chance(0.3)) chart.Legend(true);
    if (Chance(0.3)) {
      chart.SliceLabels(LabelStyle::Percent);
      chart.LabelsOutside(true);
    }
    // A rose: slices of every reach. Drawn from a generator of its own, so
    // that the scenes after it stay the ones the references were tuned on.
    const auto rose = [&](double from, double to) {
      return std::uniform_real_distribution(from, to)(mRose);
    };
    if (rose(0, 1) < 0.2) {
      for (int i = 0; i < slice; ++i)
        chart.RadiusValue(i, rose(0, 10));
      if (rose(0, 1) < 0.5) chart.RadiusScaling(RadiusScale::Linear);
    }
    QString markup = QString::fromStdString(chart.XAML());
    markup.remove(QRegularExpression(u"<TextBlock[^>]*/>|<TextBlock[^>]*>[^<]*</TextBlock>"_s));
    return markup;
  }

  std::mt19937 mRandom;
  std::mt19937 mRose{20261209};
  bool mOverlapping = false;
};

TEST(Differential, AgreesWithTwoIndependentRenderers) {
  ASSERT_FALSE(QStandardPaths::findExecutable(u"rsvg-convert"_s).isEmpty())
      << "rsvg-convert is missing; scripts/install-deps.sh installs librsvg2-bin";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString out = qEnvironmentVariable("XAMLPIE_DIFF_OUT");
  const int count = qEnvironmentVariableIsSet("XAMLPIE_DIFF_SCENES")
                        ? qEnvironmentVariableIntValue("XAMLPIE_DIFF_SCENES")
                        : 240;
  const qreal ratios[] = {1.0, 1.25, 1.5, 2.0, 3.0};
  const Stretch stretches[] = {Stretch::None, Stretch::None, Stretch::Fill, Stretch::Uniform,
                               Stretch::UniformToFill};
  Scenes scenes(20261207);
  std::mt19937 pick(7);
  int failed = 0;
  int overlapping = 0;  // scenes past a hundredth, all of them strokes over themselves
  for (int n = 0; n < count; ++n) {
    // Sides a multiple of 4, so that every ratio gives whole pixels.
    const QSize size(4 * std::uniform_int_distribution(8, 40)(pick),
                     4 * std::uniform_int_distribution(8, 40)(pick));
    const QString markup = scenes.Next(size);
    if (qEnvironmentVariableIsSet("XAMLPIE_DIFF_ONLY") &&
        qEnvironmentVariableIntValue("XAMLPIE_DIFF_ONLY") != n) {
      continue;
    }
    const qreal ratio = ratios[n % 5];
    const Stretch stretch = stretches[(n / 5) % 5];

    MarkupLabel label;
    label.resize(size);
    label.setBackColor(ToColorValue(kBackground));
    label.setStretch(stretch);
    label.setCaption(markup);
    if (!label.showsMarkup()) continue;  // nothing the parser takes: not a picture
    const QSize pixels = size * ratio;
    // Straight into two targets of different colours: a pixel left unwritten
    // tells them apart. Then from the picture the label kept.
    const auto render = [&](const QColor& under) {
      QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
      image.setDevicePixelRatio(ratio);
      image.fill(under);
      label.render(&image);
      return image;
    };
    const QImage first = render(Qt::black);
    label.setBackColor(ToColorValue(kBackground.lighter(101)));
    label.setBackColor(ToColorValue(kBackground));  // painted anew
    const QImage second = render(Qt::white);
    const QImage kept = render(Qt::green);
    const std::string what = "scene " + std::to_string(n) + " at " + std::to_string(ratio) +
                             ", stretch " + std::to_string(static_cast<int>(stretch)) + ", " +
                             std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                             ": " + markup.left(600).toStdString();
    EXPECT_EQ(first, second) << "pixels left unwritten, " << what;
    EXPECT_EQ(kept, first) << "the kept picture is not the first paint, " << what;

    const QTransform world = label.canvasTransform();
    const std::vector<RefShape> shapes =
        ReadShapes(markup, ratio * std::sqrt(std::fabs(world.determinant())));
    const QImage qt = Supersampled(shapes, pixels, world, ratio);
    const QImage rsvg = Librsvg(shapes, size, pixels, world, dir);
    ASSERT_EQ(rsvg.size(), pixels) << what;
    // Where the references agree within a tenth, a pixel of ours more than a
    // tenth from both is wrong; a few such pixels may come from the
    // references' own sampling (QPainter's curves are Bézier approximations,
    // librsvg's stroke joins its own), never one in a hundred.
    const QImage ours = first.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage marked = ours;
    const Agreement agreement = Compare(ours, qt, rsvg, &marked);
    const int agreed = agreement.agreed;
    const int off = agreement.off;
    const int worst = agreement.worst;
    // A stroke that covers a pixel twice (the label leaves translucent and
    // self-intersecting shapes to Qt, whose exact-area coverage adds up what
    // one stroke covers twice within a pixel, where sampling does not) is
    // held to a tenth of the pixels; everything else to a hundredth.
    const int total = pixels.width() * pixels.height();
    const int allowed = scenes.Overlapping() ? total / 10 : total / 100;
    EXPECT_LE(off, allowed) << off << " of " << total << " pixels off (worst " << worst << "), "
                            << what;
    if (off > total / 100) ++overlapping;
    if (off > allowed || first != second) {
      ++failed;
      if (!out.isEmpty()) {
        QDir().mkpath(out);
        const QString base = out + QStringLiteral("/scene%1").arg(n);
        ours.save(base + u"-ours.png"_s);
        qt.save(base + u"-qt.png"_s);
        rsvg.save(base + u"-rsvg.png"_s);
        marked.save(base + u"-off.png"_s);
        QFile file(base + u".xaml"_s);
        if (file.open(QIODevice::WriteOnly)) file.write(markup.toUtf8());
      }
    }
    // Scenes where the references disagree on most pixels prove nothing.
    EXPECT_GE(agreed, total / 2) << what;
  }
  EXPECT_EQ(failed, 0);
  // A few such scenes in a run: more would mean the looser bound hides a fault.
  EXPECT_LE(overlapping, count / 20);
  std::cout << overlapping << " of " << count
            << " scenes drew overlapping strokes past a hundredth of their pixels\n";
}

// Views draw a chart's drawing directly, without its markup: over random
// charts of every option, text included, at ratios 1 to 3, the two paths
// agree as the renderers above must.
TEST(Differential, DrawingAndMarkupPathsAgree) {
  std::mt19937 random(20261209);
  const auto uniform = [&](int from, int to) {
    return std::uniform_int_distribution(from, to)(random);
  };
  const qreal ratios[] = {1.0, 1.5, 2.0, 3.0};
  int compared = 0;
  for (int n = 0; n < 60; ++n) {
    cXAMLPieChart chart;
    chart.Size(uniform(60, 220));
    chart.MarginLeft(uniform(0, 20));
    chart.MarginTop(uniform(0, 20));
    if (uniform(0, 1) == 1) chart.DoughnutWidth(uniform(10, 60));
    if (uniform(0, 3) == 0) chart.SweepAngle(uniform(90, 300));
    if (uniform(0, 3) == 0) chart.SliceGap(uniform(0, 6));
    if (uniform(0, 3) == 0) chart.CornerRadius(uniform(0, 12));
    if (uniform(0, 4) == 0) chart.AddRing(uniform(8, 20));
    chart.StartAngle(uniform(0, 359));
    chart.SliceLabels(static_cast<LabelStyle>(uniform(0, 3)));
    chart.LabelsOutside(uniform(0, 1) == 1);
    chart.Legend(uniform(0, 1) == 1);
    if (uniform(0, 1) == 1) chart.CenterText("Total");
    chart.BackgroundColor(ToColorValue(kBackground));
    const int slices = uniform(1, 12);
    for (int i = 0; i < slices; ++i) {
      const ColorValue colour =
          ToColorValue(QColor(uniform(0, 255), uniform(0, 255), uniform(0, 255)));
      chart.AddValue(uniform(1, 1000), colour, i % 4 == 3 ? "" : "Slice " + std::to_string(i));
    }
    if (uniform(0, 2) == 0) chart.Explode(uniform(0, slices - 1), uniform(2, 12));
    if (n % 3 == 1) chart.Shading(SliceShading::Radial);
    if (n % 4 == 2) {
      for (int i = 0; i < slices; ++i)
        chart.RadiusValue(i, uniform(0, 8));
    }

    const std::optional<MarkupScene> read = ParseMarkup(QString::fromStdString(chart.XAML()));
    ASSERT_TRUE(read.has_value());
    MarkupScene direct;
    detail::AddToScene(direct, chart.Draw());
    ASSERT_EQ(direct.shapes.size(), read->shapes.size()) << "chart " << n;
    // Shades as the markup writes them and a reader reads them back.
    for (std::size_t i = 0; i < direct.shapes.size(); ++i) {
      EXPECT_EQ(direct.shapes[i].fillGradient, read->shapes[i].fillGradient)
          << "chart " << n << ", shape " << i;
      EXPECT_EQ(direct.shapes[i].strokeGradient, read->shapes[i].strokeGradient)
          << "chart " << n << ", shape " << i;
    }
    const qreal ratio = ratios[n % 4];
    const QSize size(560, 300);
    const auto paint = [&](const MarkupScene& scene) {
      QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
      image.setDevicePixelRatio(ratio);
      image.fill(kBackground);
      QPainter painter(&image);
      PaintMarkup(painter, scene);
      return image;
    };
    const QImage a = paint(direct);
    const QImage b = paint(*read);
    // Held to a hundredth of the pixels either paints, not of the picture:
    // a label in the wrong place is a small part of a chart's pixels.
    int off = 0;
    int ink = 0;
    const QRgb background = kBackground.rgb();
    for (int y = 0; y < a.height(); ++y) {
      for (int x = 0; x < a.width(); ++x) {
        off += Difference(a.pixel(x, y), b.pixel(x, y)) > 24 ? 1 : 0;
        ink += a.pixel(x, y) != background || b.pixel(x, y) != background ? 1 : 0;
      }
    }
    EXPECT_LE(off, ink / 100) << "chart " << n << " at " << ratio;
    ++compared;
  }
  EXPECT_EQ(compared, 60);
}

// Hatches are many small polygons cut to their slices: a view's picture with
// them agrees with both references drawing its markup, at ratios 1 to 3.
TEST(Differential, PatternsAgreeWithTheReferences) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const qreal ratios[] = {1.0, 1.5, 2.0, 3.0};
  for (int n = 0; n < 8; ++n) {
    const int count = n % 3 == 0 ? 3 : n % 3 == 1 ? 8 : 40;
    QList<PieSlice> slices;
    for (int i = 0; i < count; ++i)
      slices.append({QStringLiteral("S%1").arg(i), 5.0 + (i * 7) % 11, QColor()});
    PieView view;
    view.setAnimationDuration(0);
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, kBackground);
    view.setPalette(palette);
    view.setTextColor(kBackground);  // text is no reference's business
    view.setPatterns(true);
    if (n % 2 == 1) view.setHoleSize(0.45);
    if (n % 4 == 3) view.setSliceGap(3);
    const QSize size(320, 240);
    view.resize(size);
    view.setSlices(slices);
    const qreal ratio = ratios[n % 4];
    const QSize pixels = size * ratio;
    QImage ours(pixels, QImage::Format_ARGB32_Premultiplied);
    ours.setDevicePixelRatio(ratio);
    ours.fill(Qt::black);
    view.render(&ours);
    ours = ours.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QString markup = view.markup();
    markup.remove(QRegularExpression(u"<TextBlock[^>]*/>"_s));
    const std::vector<RefShape> shapes = ReadShapes(markup, ratio);
    const QImage qt = Supersampled(shapes, pixels, QTransform(), ratio);
    const QImage rsvg = Librsvg(shapes, size, pixels, QTransform(), dir);
    const Agreement agreement = Compare(ours, qt, rsvg, nullptr);
    const int total = pixels.width() * pixels.height();
    EXPECT_LE(agreement.off, total / 100) << count << " slices at " << ratio;
    EXPECT_GE(agreement.agreed, total / 2) << count << " slices at " << ratio;
  }
}

// Gradient fills and strokes, linear and radial (off-centre, an ellipse,
// through a brush's opacity), on polygons, ellipses, rounded rectangles and
// lines, under each stretch, agree with both references at ratios 1 to 3.
TEST(Differential, GradientsAgreeWithTheReferences) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString stops2 =
      u"<GradientStop Color='#E69F00' Offset='0'/><GradientStop Color='#0072B2' Offset='1'/>"_s;
  const QString stops3 =
      u"<GradientStop Color='#D55E00' Offset='0.2'/><GradientStop Color='#80F0E442' "
      u"Offset='0.5'/><GradientStop Color='#009E73' Offset='0.9'/>"_s;
  const QString markup =
      u"<Canvas>"
      u"<Polygon Points='10,10 150,20 130,90 20,70' Stroke='#202020' StrokeThickness='2'>"
      u"<Polygon.Fill><LinearGradientBrush StartPoint='0,0' EndPoint='1,0.4'>"_s +
      stops2 +
      u"</LinearGradientBrush></Polygon.Fill></Polygon>"
      u"<Ellipse Canvas.Left='170' Canvas.Top='8' Width='140' Height='90' StrokeThickness='7'>"
      u"<Ellipse.Fill><RadialGradientBrush GradientOrigin='0.3,0.35' Center='0.45,0.5' "
      u"RadiusX='0.6' RadiusY='0.4'>"_s +
      stops3 +
      u"</RadialGradientBrush></Ellipse.Fill><Ellipse.Stroke><LinearGradientBrush "
      u"StartPoint='0,0' EndPoint='0,1'>"_s +
      stops2 +
      u"</LinearGradientBrush></Ellipse.Stroke></Ellipse>"
      u"<Rectangle Canvas.Left='12' Canvas.Top='110' Width='290' Height='60' RadiusX='9' "
      u"RadiusY='9'><Rectangle.Fill><LinearGradientBrush Opacity='0.7'>"_s +
      stops3 +
      u"</LinearGradientBrush></Rectangle.Fill></Rectangle>"
      u"<Polygon Points='40,185 280,180 200,228' StrokeThickness='9'><Polygon.Stroke>"
      u"<RadialGradientBrush>"_s +
      stops2 +
      u"</RadialGradientBrush></Polygon.Stroke></Polygon>"
      u"<Line X1='20' Y1='235' X2='300' Y2='200' StrokeThickness='5'><Line.Stroke>"
      u"<LinearGradientBrush>"_s +
      stops3 + u"</LinearGradientBrush></Line.Stroke></Line></Canvas>"_s;
  const QSize size(320, 240);
  const qreal ratios[] = {1.0, 1.5, 2.0, 3.0};
  const Stretch stretches[] = {Stretch::None, Stretch::Fill, Stretch::Uniform, Stretch::None};
  for (int n = 0; n < 4; ++n) {
    const qreal ratio = ratios[n];
    MarkupLabel label;
    label.resize(size);
    label.setBackColor(ToColorValue(kBackground));
    label.setStretch(stretches[n]);
    label.setCaption(markup);
    ASSERT_TRUE(label.showsMarkup());
    const QSize pixels = size * ratio;
    QImage ours(pixels, QImage::Format_ARGB32_Premultiplied);
    ours.setDevicePixelRatio(ratio);
    ours.fill(Qt::black);
    label.render(&ours);
    const QTransform world = label.canvasTransform();
    const std::vector<RefShape> shapes =
        ReadShapes(markup, ratio * std::sqrt(std::fabs(world.determinant())));
    const QImage qt = Supersampled(shapes, pixels, world, ratio);
    const QImage rsvg = Librsvg(shapes, size, pixels, world, dir);
    const Agreement agreement = Compare(ours, qt, rsvg, nullptr);
    const int total = pixels.width() * pixels.height();
    EXPECT_LE(agreement.off, total / 100) << "at " << ratio;
    EXPECT_GE(agreement.agreed, total * 3 / 4) << "the references agree at " << ratio;
    if (qEnvironmentVariableIsSet("XAMLPIE_DIFF_OUT")) {
      const QString out = qEnvironmentVariable("XAMLPIE_DIFF_OUT");
      ours.save(QStringLiteral("%1/gradient-%2-ours.png").arg(out).arg(n));
      qt.save(QStringLiteral("%1/gradient-%2-qt.png").arg(out).arg(n));
      rsvg.save(QStringLiteral("%1/gradient-%2-rsvg.png").arg(out).arg(n));
    }
    // Not a plain colour: the polygon's fill runs from one end to the other.
    const QPointF left = world.map(QPointF(25, 40)) * ratio;
    const QPointF right = world.map(QPointF(135, 40)) * ratio;
    EXPECT_GT(ours.pixelColor(left.toPoint()).red(), ours.pixelColor(right.toPoint()).red() + 100)
        << "at " << ratio;
  }
}

// Rules the label keeps whichever way a shape is drawn: a spike's tip is
// bevelled past the miter limit of 10 whatever its stroke's colour, a stroke
// in an ellipse's fill colour makes it the ellipse of its box, a stroke
// thicker than its box fills the box, and a stroke of a million pixels
// covers what is in sight as one of a thousand does.
TEST(Differential, StrokeRulesHoldOnEveryPath) {
  const auto render = [](const QString& markup, qreal ratio, Stretch stretch = Stretch::None) {
    MarkupLabel label;
    label.resize(200, 100);
    label.setBackColor(ToColorValue(Qt::white));
    label.setStretch(stretch);
    label.setCaption(u"<Canvas>"_s + markup + u"</Canvas>"_s);
    QImage image(label.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    label.render(&image);
    return image;
  };
  const auto leftmostInk = [](const QImage& image, int row) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, row)) < 128) return x;
    }
    return image.width();
  };
  for (const qreal ratio : {1.0, 2.0}) {
    const QString spike = u"Points='10,50 190,48 190,52' StrokeThickness='4' "_s;
    const QImage same =
        render(u"<Polygon Fill='#000000' Stroke='#000000' "_s + spike + u"/>"_s, ratio);
    const QImage other =
        render(u"<Polygon Fill='#000000' Stroke='#000001' "_s + spike + u"/>"_s, ratio);
    const int row = static_cast<int>(50 * ratio);
    EXPECT_GE(leftmostInk(same, row), static_cast<int>(9 * ratio)) << ratio;  // not a mitre
    EXPECT_EQ(leftmostInk(other, row), leftmostInk(same, row)) << ratio;

    const QString box = u"Canvas.Left='20' Canvas.Top='20' Width='160' Height='60' "_s;
    const QImage plain = render(u"<Ellipse "_s + box + u"Fill='#008000'/>"_s, ratio);
    for (const Stretch stretch : {Stretch::None, Stretch::Uniform}) {
      const QImage a = render(u"<Ellipse "_s + box + u"Fill='#008000'/>"_s, ratio, stretch);
      const QImage b = render(
          u"<Ellipse "_s + box + u"Fill='#008000' Stroke='#008000' StrokeThickness='0.1'/>"_s,
          ratio, stretch);
      EXPECT_EQ(a, b) << ratio;
    }
    const QImage thick = render(
        u"<Ellipse "_s + box + u"Fill='#FF0000' Stroke='#008000' StrokeThickness='70'/>"_s, ratio);
    EXPECT_EQ(thick, plain) << ratio;

    const QString triangle = u"Points='90,40 110,40 100,60' Fill='#FFFFFF' Stroke='#0000FF' "_s;
    const QImage huge = render(u"<Polygon "_s + triangle + u"StrokeThickness='1000000'/>"_s, ratio);
    const QImage large = render(u"<Polygon "_s + triangle + u"StrokeThickness='3000'/>"_s, ratio);
    EXPECT_EQ(huge, large) << ratio;
    EXPECT_EQ(huge.pixel(1, 1), qRgb(0, 0, 255)) << ratio;
  }
}

}  // namespace
}  // namespace xamlpie::test
