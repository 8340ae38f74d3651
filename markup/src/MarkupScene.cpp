#include "xamlpie/MarkupScene.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <utility>

namespace xamlpie {
namespace {

// Whole numbers are nearly all that a chart holds, so they are read here;
// anything else takes Qt's exact conversion, which ignores white space around
// the number.
std::optional<double> ParseNumber(QStringView text) {
  qsizetype at = 0;
  const bool negative = !text.isEmpty() && text.front() == u'-';
  if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) ++at;
  const qsizetype digits = text.size() - at;
  if (digits >= 1 && digits <= 9) {
    int whole = 0;
    for (; at < text.size(); ++at) {
      const char16_t c = text[at].unicode();
      if (c < u'0' || c > u'9') break;
      whole = whole * 10 + (c - u'0');
    }
    if (at == text.size()) {
      const double value = negative ? -whole : whole;
      if (std::fabs(value) > kMarkupCoordinateLimit) return std::nullopt;
      return value;
    }
  }
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || !std::isfinite(value) || std::fabs(value) > kMarkupCoordinateLimit) {
    return std::nullopt;
  }
  return value;
}

bool IsSeparator(QChar c) {
  return c == u',' || c.isSpace();
}

// "x,y x,y ...": numbers separated by commas and white space, in pairs.
std::optional<QPolygonF> ParsePoints(QStringView text) {
  QPolygonF points;
  double x = 0;
  bool haveX = false;
  qsizetype at = 0;
  while (at < text.size()) {
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    qsizetype end = at;
    while (end < text.size() && !IsSeparator(text[end])) {
      ++end;
    }
    const std::optional<double> value = ParseNumber(text.sliced(at, end - at));
    if (!value) return std::nullopt;
    if (haveX) points.append(QPointF(x, *value));
    x = *value;
    haveX = !haveX;
    at = end;
  }
  if (haveX) return std::nullopt;  // a lone x without its y
  return points;
}

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// Reads one field of `width` hex digits from `at`; a one-digit field is doubled.
int HexField(QStringView digits, qsizetype at, qsizetype width) {
  int value = 0;
  for (qsizetype i = 0; i < width; ++i) {
    value = value * 16 + HexDigit(digits[at + i]);
  }
  return width == 1 ? value * 17 : value;
}

// What one element says before it becomes a shape: its offset and size are
// applied last, since attributes come in any order.
struct Reading {
  MarkupShape shape;
  QPointF offset;
  QSizeF size{-1, -1};     // negative: not given
  double fontSize = 12.0;  // XAML's default
  QString family;
  bool hasText = false;
};

std::optional<QFont::Weight> ParseWeight(QStringView value) {
  static constexpr std::pair<const char16_t*, QFont::Weight> kWeights[] = {
      {u"Thin", QFont::Thin},
      {u"ExtraLight", QFont::ExtraLight},
      {u"UltraLight", QFont::ExtraLight},
      {u"Light", QFont::Light},
      {u"Normal", QFont::Normal},
      {u"Regular", QFont::Normal},
      {u"Medium", QFont::Medium},
      {u"SemiBold", QFont::DemiBold},
      {u"DemiBold", QFont::DemiBold},
      {u"Bold", QFont::Bold},
      {u"ExtraBold", QFont::ExtraBold},
      {u"UltraBold", QFont::ExtraBold},
      {u"Black", QFont::Black},
      {u"Heavy", QFont::Black},
  };
  for (const auto& [name, weight] : kWeights) {
    if (value.trimmed().compare(QStringView(name), Qt::CaseInsensitive) == 0) return weight;
  }
  return std::nullopt;
}

std::optional<Qt::Alignment> ParseAlignment(QStringView value) {
  const QStringView v = value.trimmed();
  if (v.compare(u"Left", Qt::CaseInsensitive) == 0) return Qt::AlignLeft;
  if (v.compare(u"Right", Qt::CaseInsensitive) == 0) return Qt::AlignRight;
  if (v.compare(u"Center", Qt::CaseInsensitive) == 0) return Qt::AlignHCenter;
  if (v.compare(u"Justify", Qt::CaseInsensitive) == 0) return Qt::AlignJustify;
  return std::nullopt;
}

// One attribute of a shape; false when its value does not parse.
bool ApplyAttribute(Reading& r, QStringView name, QStringView value) {
  MarkupShape& shape = r.shape;
  const auto number = [&](double& target) {
    const std::optional<double> parsed = ParseNumber(value.trimmed());
    if (parsed) target = *parsed;
    return parsed.has_value();
  };
  const auto length = [&](double& target) { return number(target) && target >= 0; };
  const auto colour = [&](QColor& target) {
    target = ParseMarkupColor(value.trimmed());
    return target.isValid();
  };
  using Kind = MarkupShape::Kind;
  const Kind kind = shape.kind;
  const bool text = kind == Kind::Text;
  const bool boxed = kind == Kind::Ellipse || kind == Kind::Rectangle;

  if (name == u"Tag") {
    shape.tag = value.toString();
    return true;
  }
  if (name == u"ToolTip") {
    shape.toolTip = value.toString();
    return true;
  }
  if (name == u"AutomationProperties.Name") {
    shape.accessibleName = value.toString();
    return true;
  }
  if (name == u"Canvas.Left") return number(r.offset.rx());
  if (name == u"Canvas.Top") return number(r.offset.ry());
  if (text) {
    if (name == u"Text") {
      shape.text = value.toString();
      r.hasText = true;
      return true;
    }
    if (name == u"Foreground") return colour(shape.fill);
    if (name == u"FontSize") {
      return number(r.fontSize) && r.fontSize > 0 && r.fontSize <= kMarkupFontSizeLimit;
    }
    if (name == u"FontFamily") {
      r.family = value.trimmed().toString();
      return true;
    }
    if (name == u"FontWeight") {
      const std::optional<QFont::Weight> weight = ParseWeight(value);
      if (weight) shape.font.setWeight(*weight);
      return weight.has_value();
    }
    if (name == u"TextAlignment") {
      const std::optional<Qt::Alignment> alignment = ParseAlignment(value);
      if (alignment) shape.alignment = *alignment;
      return alignment.has_value();
    }
    if (name == u"Width") return length(r.size.rwidth());
    return true;
  }
  if (name == u"Fill") return kind == Kind::Line || colour(shape.fill);
  if (name == u"Stroke") return colour(shape.stroke);
  if (name == u"StrokeThickness") return length(shape.strokeThickness);
  if (kind == Kind::Polygon && name == u"Points") {
    std::optional<QPolygonF> points = ParsePoints(value);
    if (points) shape.points = std::move(*points);
    return points.has_value();
  }
  if (boxed && name == u"Width") return length(r.size.rwidth());
  if (boxed && name == u"Height") return length(r.size.rheight());
  if (kind == Kind::Rectangle && name == u"RadiusX") return length(shape.radiusX);
  if (kind == Kind::Rectangle && name == u"RadiusY") return length(shape.radiusY);
  if (kind == Kind::Line) {
    QLineF& line = shape.line;
    double v = 0;
    if (name == u"X1") return number(v) && (line.setP1({v, line.y1()}), true);
    if (name == u"Y1") return number(v) && (line.setP1({line.x1(), v}), true);
    if (name == u"X2") return number(v) && (line.setP2({v, line.y2()}), true);
    if (name == u"Y2") return number(v) && (line.setP2({line.x2(), v}), true);
  }
  return true;  // unknown attributes are not ours to judge
}

std::optional<Reading> ReadShape(const QXmlStreamReader& xml, MarkupShape::Kind kind) {
  Reading r;
  r.shape.kind = kind;
  if (kind == MarkupShape::Kind::Text) r.shape.fill = QColor(Qt::black);
  for (const QXmlStreamAttribute& attribute : xml.attributes()) {
    if (!ApplyAttribute(r, attribute.name(), attribute.value())) return std::nullopt;
  }
  MarkupShape& shape = r.shape;
  switch (kind) {
    case MarkupShape::Kind::Polygon:
      shape.points.translate(r.offset);
      break;
    case MarkupShape::Kind::Line:
      shape.line.translate(r.offset);
      if (std::fabs(shape.line.x2()) > kMarkupCoordinateLimit ||
          std::fabs(shape.line.y2()) > kMarkupCoordinateLimit ||
          std::fabs(shape.line.x1()) > kMarkupCoordinateLimit ||
          std::fabs(shape.line.y1()) > kMarkupCoordinateLimit) {
        return std::nullopt;
      }
      break;
    case MarkupShape::Kind::Text:
      break;  // measured once its text is known
    default:
      shape.box =
          QRectF(r.offset, QSizeF(std::max(r.size.width(), 0.0), std::max(r.size.height(), 0.0)));
      break;
  }
  return r;
}

// A TextBlock's font and layout box: Canvas.Left/Top is its top-left corner,
// Width (or the text's own width) its width, one line per line of text.
void MeasureText(Reading& r) {
  MarkupShape& shape = r.shape;
  if (!r.family.isEmpty()) shape.font.setFamilies({r.family});
  shape.font.setPixelSize(std::max(1, static_cast<int>(std::lround(r.fontSize))));
  if (QGuiApplication::instance() == nullptr) {
    // Fonts need the application; without one, a box of about the right size.
    const double width = r.size.width() >= 0
                             ? r.size.width()
                             : 0.6 * r.fontSize * static_cast<double>(shape.text.size());
    shape.box = QRectF(r.offset, QSizeF(width, r.fontSize * 4.0 / 3.0));
    return;
  }
  const QFontMetricsF metrics(shape.font);
  const QRectF natural =
      metrics.boundingRect(QRectF(0, 0, 1.0e6, 1.0e6), Qt::AlignLeft | Qt::AlignTop, shape.text);
  const double width = r.size.width() >= 0 ? r.size.width() : natural.width();
  shape.box = QRectF(r.offset, QSizeF(width, std::max(natural.height(), metrics.height())));
}

}  // namespace

QColor ParseMarkupColor(QStringView text) {
  if (!text.startsWith(u'#')) {
    // Names only: QColor would also take forms such as "#RRRGGGBBB".
    if (text.isEmpty() || !text.front().isLetter()) return {};
    return QColor::fromString(text);
  }
  const QStringView digits = text.sliced(1);
  for (QChar c : digits) {
    if (HexDigit(c) < 0) return {};
  }
  qsizetype width = 0;
  bool alpha = false;
  switch (digits.size()) {
    case 3:
      width = 1;
      break;
    case 4:
      width = 1;
      alpha = true;
      break;
    case 6:
      width = 2;
      break;
    case 8:
      width = 2;
      alpha = true;
      break;
    default:
      return {};
  }
  qsizetype at = 0;
  const int a = alpha ? HexField(digits, at, width) : 255;
  if (alpha) at += width;
  const int r = HexField(digits, at, width);
  const int g = HexField(digits, at + width, width);
  const int b = HexField(digits, at + 2 * width, width);
  return QColor(r, g, b, a);
}

std::optional<MarkupScene> ParseMarkup(const QString& text) {
  QXmlStreamReader xml(text);
  // Entity declarations are the one way a short text can ask for a huge one.
  const auto hostile = [&] { return xml.tokenType() == QXmlStreamReader::DTD; };

  while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
    if (hostile()) return std::nullopt;
  }
  if (xml.hasError() || xml.name() != u"Canvas") return std::nullopt;

  MarkupScene scene;
  using Kind = MarkupShape::Kind;
  static constexpr std::pair<const char16_t*, Kind> kElements[] = {
      {u"Polygon", Kind::Polygon}, {u"Ellipse", Kind::Ellipse}, {u"Rectangle", Kind::Rectangle},
      {u"Line", Kind::Line},       {u"TextBlock", Kind::Text},
  };
  while (xml.readNextStartElement()) {
    const QStringView name = xml.name();
    std::optional<Reading> reading;
    for (const auto& [element, kind] : kElements) {
      if (name == QStringView(element)) reading = ReadShape(xml, kind);
    }
    if (reading && reading->shape.kind == Kind::Text) {
      if (!reading->hasText) {
        // Inline content such as <Run> is not ours to lay out; its text is kept.
        reading->shape.text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (xml.hasError()) return std::nullopt;
        MeasureText(*reading);
        scene.shapes.push_back(std::move(reading->shape));
        continue;
      }
      MeasureText(*reading);
    }
    if (reading) scene.shapes.push_back(std::move(reading->shape));
    xml.skipCurrentElement();  // whatever a shape holds, or an element we do not know
  }
  // The rest must be well-formed too: a document cut short is not a chart.
  while (!xml.atEnd()) {
    xml.readNext();
    if (hostile()) return std::nullopt;
  }
  if (xml.hasError()) return std::nullopt;
  return scene;
}

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
