// The drawable content of a markup caption: a Canvas of Polygon, Ellipse,
// Rectangle, Line and TextBlock elements, read once and painted as often as
// needed.

#ifndef XAMLPIE_MARKUPSCENE_H_
#define XAMLPIE_MARKUPSCENE_H_

#include <QColor>
#include <QFont>
#include <QGradient>
#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QStringView>
#include <QTransform>
#include <optional>
#include <vector>

class QPainter;

namespace xamlpie {

/// A Fill or Stroke written as a LinearGradientBrush or RadialGradientBrush
/// property element. Its points are relative to the shape's box, (0,0) its top
/// left and (1,1) its bottom right: a polygon's points' box, an ellipse's or
/// rectangle's box within its stroke, a line's ends' box.
struct MarkupGradient {
  /// LinearGradientBrush or RadialGradientBrush.
  enum class Kind { Linear, Radial };
  Kind kind = Kind::Linear;  ///< the brush it was read from
  QGradientStops stops;      ///< GradientStops by Offset (0 to 1), Opacity applied
  QPointF start{0, 0};       ///< Linear: StartPoint
  QPointF end{1, 1};         ///< Linear: EndPoint
  QPointF center{0.5, 0.5};  ///< Radial: Center
  QPointF origin{0.5, 0.5};  ///< Radial: GradientOrigin, where offset 0 lies
  double radiusX = 0.5;      ///< Radial: RadiusX
  double radiusY = 0.5;      ///< Radial: RadiusY
  /// The same brush, stop for stop.
  bool operator==(const MarkupGradient&) const = default;
};

/// One element of a caption as read: its geometry in canvas coordinates, its
/// paint, and what it says to an application and a screen reader.
struct MarkupShape {
  /// The element it was read from: Polygon, Ellipse, Rectangle, Line, TextBlock.
  enum class Kind { Polygon, Ellipse, Rectangle, Line, Text };
  Kind kind = Kind::Polygon;  ///< the element it was read from
  QPolygonF points;           ///< Polygon: in canvas coordinates, Canvas.Left/Top applied
  QRectF box;                 ///< Ellipse, Rectangle: the Width x Height box; Text: its layout box
  QLineF line;                ///< Line: from (X1, Y1) to (X2, Y2), Canvas.Left/Top applied
  QColor fill;                ///< invalid: not filled; Text: its Foreground
  QColor stroke;              ///< invalid: no outline
  ///@{
  /// Fill and Stroke as gradients; fill and stroke then hold their first
  /// stop's colour, for what asks only whether the shape is filled or stroked.
  std::optional<MarkupGradient> fillGradient;
  std::optional<MarkupGradient> strokeGradient;
  ///@}
  double strokeThickness = 1.0;  ///< StrokeThickness, in canvas pixels
  double radiusX = 0;            ///< Rectangle: rounded corners
  double radiusY = 0;            ///< Rectangle: rounded corners
  QString text;                  ///< Text, its character references decoded
  QFont font;  ///< Text: FontFamily (or the application's), FontSize in pixels, FontWeight
  Qt::Alignment alignment = Qt::AlignLeft;  ///< Text: TextAlignment within the box
  QString tag;                              ///< Tag: what an application knows the shape by
  QString toolTip;                          ///< ToolTip
  QString accessibleName;                   ///< AutomationProperties.Name
};

/// A caption read into shapes, ready to paint (PaintMarkup) or measure
/// (SceneBounds).
struct MarkupScene {
  std::vector<MarkupShape> shapes;  ///< in paint order
};

/// Coordinates beyond this many pixels from the origin make a shape invalid:
/// nothing that far out can be seen, and the rasteriser need not meet them.
inline constexpr double kMarkupCoordinateLimit = 1.0e7;
/// Text larger than this many pixels makes a TextBlock invalid: no chart needs
/// it, and glyphs that size cost the rasteriser dearly.
inline constexpr double kMarkupFontSizeLimit = 1000.0;

/// Reads a Canvas document. Returns nothing when the text is not well-formed
/// XML, has a document type declaration, or its root is not Canvas; the caller
/// then shows the text as it is. Unknown elements and attributes are skipped,
/// and so is a shape with a value that does not parse, a negative size or a
/// FontSize outside 0 to kMarkupFontSizeLimit. Fill and Stroke may also be
/// property elements (`<Polygon.Fill>`) holding a SolidColorBrush (Color), a
/// LinearGradientBrush (StartPoint, EndPoint) or a RadialGradientBrush
/// (Center, GradientOrigin, RadiusX, RadiusY) with GradientStop children
/// (Color, Offset) and an Opacity; relative to the shape's box only (a
/// MappingMode of Absolute, or a brush that does not parse, leaves the shape
/// out, as a bad attribute does). A TextBlock's text is its Text
/// attribute or else its content. TextBlocks are measured with the
/// application's fonts; without a QGuiApplication they get an estimated box.
std::optional<MarkupScene> ParseMarkup(const QString& text);

/// Parses a colour: "#RRGGBB", "#AARRGGBB", "#RGB", "#ARGB" or a colour name.
/// Returns an invalid colour for anything else.
QColor ParseMarkupColor(QStringView text);

/// The extent of the shapes, strokes included: a polygon's stroke is centred
/// on its outline, an ellipse's lies inside its box. Empty for no shapes.
QRectF SceneBounds(const MarkupScene& scene);

/// Paints the shapes in logical pixels, antialiased: polygons by the even-odd
/// rule with strokes centred on their outlines, an ellipse's or rectangle's
/// stroke inside its box, corners mitred up to 10 half stroke widths.
/// Shapes whose Tag is `highlight` (when not empty) are drawn lighter.
void PaintMarkup(QPainter& painter, const MarkupScene& scene, const QString& highlight = {});

/// Whether a canvas point lies on a shape as painted: in its fill (even-odd for
/// polygons) or on its stroke; a TextBlock anywhere in its layout box.
bool ShapeContains(const MarkupShape& shape, QPointF point);

/// How markup fills an area. The content is the bounding box of the shapes,
/// strokes included.
enum class Stretch {
  None,          ///< at its own pixels from the area's top-left corner
  Fill,          ///< scaled to fill the area, aspect ratio not kept
  Uniform,       ///< scaled to fit inside, aspect ratio kept, centred
  UniformToFill  ///< scaled to cover the area, aspect ratio kept, centred, cut
};

/// What takes `content` (canvas coordinates) into an area of `size` as
/// `stretch` says; none for empty content.
QTransform StretchTransform(Stretch stretch, const QRectF& content, QSizeF size);

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPSCENE_H_
