// The drawable content of a markup caption: a Canvas of Polygon and Ellipse
// elements, read once and painted as often as needed.

#ifndef XAMLPIE_MARKUPSCENE_H_
#define XAMLPIE_MARKUPSCENE_H_

#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

class QPainter;

namespace xamlpie {

struct MarkupShape {
  enum class Kind { Polygon, Ellipse };
  Kind kind = Kind::Polygon;
  QPolygonF points;  // Polygon: in canvas coordinates, Canvas.Left/Top applied
  QRectF box;        // Ellipse: the Width x Height box in canvas coordinates
  QColor fill;       // invalid: not filled
  QColor stroke;     // invalid: no outline
  double strokeThickness = 1.0;
};

struct MarkupScene {
  std::vector<MarkupShape> shapes;  // in paint order
};

// Coordinates beyond this many pixels from the origin make a shape invalid:
// nothing that far out can be seen, and the rasteriser need not meet them.
inline constexpr double kMarkupCoordinateLimit = 1.0e7;

// Reads a Canvas document. Returns nothing when the text is not well-formed
// XML, has a document type declaration, or its root is not Canvas; the caller
// then shows the text as it is. Unknown elements and attributes are skipped,
// and so is a shape with a value that does not parse or a negative size.
std::optional<MarkupScene> ParseMarkup(const QString& text);

// Parses a colour: "#RRGGBB", "#AARRGGBB", "#RGB", "#ARGB" or a colour name.
// Returns an invalid colour for anything else.
QColor ParseMarkupColor(QStringView text);

// The extent of the shapes, strokes included: a polygon's stroke is centred
// on its outline, an ellipse's lies inside its box. Empty for no shapes.
QRectF SceneBounds(const MarkupScene& scene);

// Paints the shapes in logical pixels, antialiased, as XAML draws them.
void PaintMarkup(QPainter& painter, const MarkupScene& scene);

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPSCENE_H_
