// What a chart draws, as plain data: shapes in canvas pixels, in paint order,
// each with its paint, what it is (a slice, a label, the legend...) and the
// slice it stands for. The markup is one way of writing it (WriteXAML); a
// renderer may draw it directly.
//
//   xamlpie::cXAMLPieChart chart;
//   chart.AddDataItem(60, 0x000000FF);
//   chart.AddDataItem(40, 0x00FF0000);
//   for (const xamlpie::Shape& shape : chart.Draw().shapes) { ... }

#ifndef XAMLPIE_DRAWING_H_
#define XAMLPIE_DRAWING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "xamlpie/xamlpie_export.h"

namespace xamlpie {

/// A colour with its opacity; alpha 0 paints nothing.
struct Rgba {
  std::uint8_t r = 0;    ///< red
  std::uint8_t g = 0;    ///< green
  std::uint8_t b = 0;    ///< blue
  std::uint8_t a = 255;  ///< opacity: 0 none, 255 opaque
  /// Member by member.
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

/// No fill or no outline.
inline constexpr Rgba kNoColor{0, 0, 0, 0};

/// A point in canvas pixels, y pointing down.
struct Point {
  double x = 0;  ///< pixels from the left
  double y = 0;  ///< pixels from the top
  /// Member by member.
  friend bool operator==(const Point&, const Point&) = default;
};

/// A box in canvas pixels.
struct Box {
  double x = 0;       ///< left
  double y = 0;       ///< top
  double width = 0;   ///< across
  double height = 0;  ///< down
  /// Member by member.
  friend bool operator==(const Box&, const Box&) = default;
};

/// The geometry a shape has.
enum class ShapeKind : std::uint8_t {
  Polygon,    ///< `points`, closed, filled even-odd
  Ellipse,    ///< inside `box`; its stroke lies inside the box
  Rectangle,  ///< `box`, corners rounded by `cornerRadius`
  Line,       ///< from `points[0]` to `points[1]`
  Text        ///< `text` in `box` (one line), aligned by `align`
};

/// What a shape is in the chart: what a renderer may treat apart (hit tests,
/// highlighting, a palette's text colour).
enum class Role : std::uint8_t {
  Slice,         ///< a slice or part of one (large slices come in several fans)
  Cleared,       ///< the place a pulled-out slice left, in the background colour
  Outline,       ///< the rim, the hole's edge and the ends of a partial arc
  Hole,          ///< the doughnut's hole
  Label,         ///< a slice's label, inside or outside
  Leader,        ///< a line from a slice to its outside label
  LegendSwatch,  ///< a legend entry's colour square
  LegendText,    ///< a legend entry's text
  CenterText,    ///< the text in the middle
  EmptyText      ///< what a chart with nothing to draw says
};

/// How a text sits in its box.
enum class Align : std::uint8_t { Left, Center, Right };

/// How the markup writes a polygon's points: whole pixels (floored), after
/// the canvas offset `origin`, or hundredths of a pixel in canvas pixels.
enum class Precision : std::uint8_t { Whole, Hundredths };

/// A colour shading outward from a point: offset 0 at `centre`, 1 at
/// `radius` pixels from it (canvas pixels), blended between its stops and
/// the last stop's past them.
struct RadialShade {
  Point centre;       ///< where offset 0 lies
  double radius = 0;  ///< how far offset 1 lies
  /// Offsets from 0 to 1 in order, each with its colour.
  std::vector<std::pair<double, Rgba>> stops;
};

/// One shape. Only the members of its kind mean anything.
struct Shape {
  ShapeKind kind = ShapeKind::Polygon;  ///< its geometry
  Role role = Role::Slice;              ///< what it is
  /// The slice it stands for: its ring (0 the outer) and its index in that
  /// ring as added; -1 for a shape of no slice (outline, hole, centre text).
  /// The "Other" slice's index is one past its ring's items.
  std::int32_t ring = -1;
  std::int32_t index = -1;  ///< see ring
  Rgba fill = kNoColor;     ///< Text: its colour
  Rgba stroke = kNoColor;   ///< the outline's colour
  double strokeWidth = 1;   ///< pixels
  /// Polygon, Line: the points, `origin` added to each (a polygon's points
  /// are about its offset, as the markup writes them).
  std::vector<Point> points;
  Point origin;                            ///< Polygon: the offset of its points
  Precision precision = Precision::Whole;  ///< Polygon: how the markup writes them
  Box box;                                 ///< Ellipse, Rectangle, Text
  double cornerRadius = 0;                 ///< Rectangle
  std::string text;                        ///< Text: UTF-8
  double fontSize = 12;                    ///< Text: pixels
  bool bold = false;                       ///< Text
  Align align = Align::Left;               ///< Text
  std::string toolTip;                     ///< what pointing at it tells (UTF-8); empty: nothing
  std::string name;  ///< what a screen reader calls it (UTF-8); empty: nothing
  /// Polygon: its fill shaded, and its stroke where that is in the fill's
  /// colour; the markup writes it as a RadialGradientBrush.
  std::optional<RadialShade> shade;
};

/// A whole chart: its shapes in paint order (later over earlier).
struct Drawing {
  std::vector<Shape> shapes;  ///< in paint order
  std::string fontFamily;     ///< of every text; empty: the renderer's
  /// Whether the markup has an empty line after its opening tag, as charts
  /// of outlined slice shapes round a whole circle have; nothing drawn.
  bool markupBlankLine = false;
};

/// The drawing as XAML markup: a Canvas of Polygon, Ellipse, Rectangle, Line
/// and TextBlock elements, ASCII, lines separated by CR LF; what
/// cXAMLPieChart::XAML() returns for the chart it was drawn from. Throws
/// OverflowError when a whole-pixel coordinate leaves 32 bits.
XAMLPIE_EXPORT std::string WriteXAML(const Drawing& drawing);

}  // namespace xamlpie

#endif  // XAMLPIE_DRAWING_H_
