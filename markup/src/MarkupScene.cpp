#include "xamlpie/MarkupScene.h"

#include <QPainter>
#include <QPen>
#include <QXmlStreamReader>
#include <cmath>

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

// One attribute of a shape; false when its value does not parse.
bool ApplyAttribute(MarkupShape& shape, QStringView name, QStringView value, QPointF& offset,
                    QSizeF& size) {
  const auto number = [&](double& target) {
    const std::optional<double> parsed = ParseNumber(value);
    if (parsed) target = *parsed;
    return parsed.has_value();
  };
  const auto colour = [&](QColor& target) {
    target = ParseMarkupColor(value.trimmed());
    return target.isValid();
  };
  const bool polygon = shape.kind == MarkupShape::Kind::Polygon;

  if (name == u"Canvas.Left") return number(offset.rx());
  if (name == u"Canvas.Top") return number(offset.ry());
  if (name == u"Fill") return colour(shape.fill);
  if (name == u"Stroke") return colour(shape.stroke);
  if (name == u"StrokeThickness")
    return number(shape.strokeThickness) && shape.strokeThickness >= 0;
  if (polygon && name == u"Points") {
    std::optional<QPolygonF> points = ParsePoints(value);
    if (points) shape.points = std::move(*points);
    return points.has_value();
  }
  if (!polygon && name == u"Width") return number(size.rwidth()) && size.width() >= 0;
  if (!polygon && name == u"Height") return number(size.rheight()) && size.height() >= 0;
  return true;  // unknown attributes are not ours to judge
}

std::optional<MarkupShape> ReadShape(const QXmlStreamReader& xml, MarkupShape::Kind kind) {
  MarkupShape shape;
  shape.kind = kind;
  QPointF offset;
  QSizeF size(0, 0);
  for (const QXmlStreamAttribute& attribute : xml.attributes()) {
    if (!ApplyAttribute(shape, attribute.name(), attribute.value(), offset, size)) {
      return std::nullopt;
    }
  }
  if (kind == MarkupShape::Kind::Polygon) {
    shape.points.translate(offset);
  } else {
    shape.box = QRectF(offset, size);
  }
  return shape;
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
  while (xml.readNextStartElement()) {
    const QStringView name = xml.name();
    std::optional<MarkupShape> shape;
    if (name == u"Polygon") shape = ReadShape(xml, MarkupShape::Kind::Polygon);
    if (name == u"Ellipse") shape = ReadShape(xml, MarkupShape::Kind::Ellipse);
    if (shape) scene.shapes.push_back(std::move(*shape));
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
    QRectF box;
    if (shape.kind == MarkupShape::Kind::Polygon) {
      if (shape.points.isEmpty()) continue;
      const double half = shape.stroke.isValid() ? shape.strokeThickness / 2 : 0.0;
      box = shape.points.boundingRect().adjusted(-half, -half, half, half);
    } else {
      box = shape.box;
    }
    // A single point or a flat line still has a place; united, it counts.
    if (box.width() <= 0 && box.height() <= 0) continue;
    bounds = bounds.isNull() ? box : bounds.united(box);
  }
  return bounds;
}

void PaintMarkup(QPainter& painter, const MarkupScene& scene) {
  painter.save();
  // Below one device pixel per logical pixel a stroke no longer covers the edge.
  const double devicePixels =
      painter.device()->devicePixelRatioF() *
      std::sqrt(std::fabs(painter.worldTransform().determinant()));  // per logical pixel
  const bool scaledDown = painter.device()->devicePixelRatioF() < 1.0 ||
                          painter.worldTransform().type() > QTransform::TxTranslate;
  for (const MarkupShape& shape : scene.shapes) {
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

    // The outline lies inside an ellipse's box: the ellipse is inset by half the stroke.
    const double inset = thickness / 2.0;
    const QRectF ellipse = shape.box.adjusted(inset, inset, -inset, -inset);
    const auto draw = [&] {
      if (shape.kind == MarkupShape::Kind::Polygon) {
        if (!shape.points.isEmpty()) painter.drawPolygon(shape.points, Qt::OddEvenFill);
      } else if (ellipse.width() > 0 && ellipse.height() > 0) {
        painter.drawEllipse(ellipse);
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

}  // namespace xamlpie
