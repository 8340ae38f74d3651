// Where a chart's parts go, below the markup writer of cXAMLPieChart: the
// slices as drawn, text measured without a font, labels, leaders, legend and
// pulled-out slices, and the shapes they are drawn as.

#ifndef XAMLPIE_LAYOUT_H_
#define XAMLPIE_LAYOUT_H_

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xamlpie/Drawing.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::detail {

class Sink;

// The markup's pi. Changing it moves rim points by a pixel here and there.
inline constexpr double kPi = 3.141592653238;

struct SliceGeometry {
  std::int32_t left;  // canvas offset of the slice's polygons, explode applied
  std::int32_t top;
  std::int32_t tag;  // index as added; -1 when the slice has no name
  std::string_view name;
  std::string_view folded;           // "Other": the names in it
  std::int32_t strokeThickness = 0;  // 0: the default of 1, not written
};

// One slice as drawn: an item, or the "Other" slice made of several.
struct DrawnSlice {
  std::int32_t percent;
  const std::string* color;
  std::string_view name;
  std::int32_t tag;  // index as added
  std::int32_t explode;
  std::string folded;
  std::int32_t startPercent = 0;  // the shares drawn before it
  std::int32_t startAngle = 0;    // whole degrees before start angle and direction
  std::int32_t endAngle = -1;
  // A value chart's slice: its value, its share of the whole, its edges'
  // exact degrees (a percent chart's whole ones), and the numbers as shown.
  bool exact = false;
  bool valued = false;  // of a chart of values: its tooltip says the value
  double value = 0;
  double share = 0;
  double from = 0;
  double to = -1;
  std::string percentText{};  // empty: the whole percent
  std::string valueText{};
  std::int32_t ring = 0;  // 0 the outer ring; its tag is then "ring.tag"
  // Where a shaped slice lies, in pixels from the rim's centre along its
  // outline's middle: its ring's outer and inner edges (0: a pie's centre).
  double outer = 0;
  double inner = 0;
  double reach = -1;       // a rose chart's radius value; negative: to the rim
  std::int32_t item = -1;  // its item, as added; -1: "Other"
  bool child = false;      // a sunburst's, placed within its parent
};

// Where everything goes, worked out once per read.
struct Layout {
  std::int32_t left;  // the pie's square
  std::int32_t top;
  std::int32_t centre;
  double radius;
  std::int32_t start;
  bool clockwise;
  bool turned;                   // start or direction differ from the default
  std::int32_t room = 0;         // width of an outside-label column and its leaders
  std::int32_t columnWidth = 0;  // of the widest outside label
  std::int32_t explode = 0;      // the farthest a slice is pulled out
  std::int32_t pad = 0;          // round the pie, for slices pulled out
  std::int32_t lineHeight = 0;   // of one line of text
  double sweep = 360;            // the arc the slices share
  double arcTop = 0;             // a partial arc's drawn height, canvas y
  double arcBottom = 0;
  bool shaped = false;          // each slice one polygon outlined along its shape
  double gap = 0;               // of SliceGap
  double corner = 0;            // of CornerRadius
  std::int32_t holeWidth = -1;  // of shapes: across the last ring's hole
  double innermost = 0;         // of shapes: the last ring's inner edge
  std::vector<DrawnSlice> slices{};
  std::vector<std::string> labels{};  // per slice; empty: none

  // The unit vector to the middle of a slice, y pointing down the screen.
  std::pair<double, double> Middle(const DrawnSlice& slice) const {
    const double mid = slice.exact ? (slice.from + slice.to) / 2.0
                                   : (static_cast<double>(slice.startAngle) + slice.endAngle) / 2.0;
    const double degrees = !turned ? mid : clockwise ? start - mid : start + mid;
    const double radians = degrees * kPi / 180.0;
    return {std::cos(radians), -std::sin(radians)};
  }
};

struct TextBlock {
  std::int32_t left;
  std::int32_t top;
  std::int32_t width;
  Align alignment;
  std::int32_t fontSize;
  bool bold;
  std::string_view foreground;
  std::string_view text;
  Role role;
  const DrawnSlice* of = nullptr;     // the slice it belongs to, if any
  const DrawnSlice* slice = nullptr;  // the slice pointing at it points at
};

// A slice's first and last degree, as the markup rules compute them.
std::pair<std::int32_t, std::int32_t> SliceAngles(std::int32_t Percent, std::int32_t StartPercent);
// Pixels a text takes at a font size, erring large for the common sans faces.
std::int32_t TextWidth(std::string_view text, std::int32_t fontSize, bool bold = false);
// A label's text: the format's, else the style's.
std::string LabelText(LabelStyle style, const DrawnSlice& slice, std::string_view format = {});
// The longest of a label's shorter forms no wider than `width` by `measure`:
// the label, its name and percent, its name cut short, its percent; empty
// when none fits.
std::string FittedLabel(LabelStyle style, const DrawnSlice& slice, std::string_view format,
                        std::int32_t width,
                        const std::function<std::int32_t(std::string_view)>& measure);
// A format's text for a slice: {name}, {value}, {percent}; {{ and }} braces.
std::string FormatText(std::string_view format, const DrawnSlice& slice);
// A number to `decimals` places, `point` for its decimal point and `group`
// between each three digits of its whole part.
std::string Number(double v, std::int32_t decimals, std::string_view point, std::string_view group);
// The percent and value texts of the slices: percents at `percentDecimals`
// adding up to 100 by the largest remainder. Leaves a percent chart's texts
// empty where the plain whole percents say it.
void SetNumberTexts(std::span<DrawnSlice> slices, bool values, std::int32_t percentDecimals,
                    std::int32_t valueDecimals, std::string_view point, std::string_view group);
// A value chart's slice as fans to its exact edges; with `colour`, in that
// colour (the place a pulled-out slice left) and its stroke that thick.
bool PutExactSlice(Sink& out, const Layout& layout, const DrawnSlice& slice,
                   const std::string* colour = nullptr, std::int32_t strokeThickness = 0);
// A slice's identity, tooltip and name on a shape of it; of a named slice
// only. The fans of whole percents say their plain percent.
void SetSliceTexts(Shape& shape, const DrawnSlice& slice, bool plainPercent);
// "000000" or "FFFFFF", whichever reads better on a colour.
const char* ContrastTo(const std::string& hex);
void PutTextBlock(Sink& out, const TextBlock& t);
void PutLine(Sink& out, const DrawnSlice& slice, std::int32_t x1, std::int32_t y1, std::int32_t x2,
             std::int32_t y2, std::string_view stroke);
bool InLegend(const DrawnSlice& slice);
double Bulk(const DrawnSlice& slice);
std::int32_t RoundedOffset(double length, double direction);
// An arc about (cx, cy) at `radius` from one exact angle to another, whole
// degrees between, first to last or back.
void PutArc(std::vector<Point>& points, const Layout& layout, double from, double to, double cx,
            double cy, double radius, bool back);
// A slice as one smooth polygon, a fan or ring segment, moved by (dx, dy).
void PutSmoothSlice(Sink& out, const Layout& layout, const DrawnSlice& slice, std::int32_t size,
                    std::int32_t doughnutWidth, double dx, double dy);
// A shaped slice: its ring segment or wedge with the straight edges moved
// in by half the gap and the corners rounded, outlined; false when the gap
// leaves nothing of it.
bool ShapeFits(const Layout& layout, const DrawnSlice& slice);
bool PutShapedSlice(Sink& out, const Layout& layout, const DrawnSlice& slice, std::int32_t size,
                    std::string_view outlineColor);
// The outline along the rim from one angle to another (and the hole's
// edge), of `slice` where it moves with one.
void PutRim(Sink& out, const Layout& layout, double from, double to, std::int32_t size,
            std::int32_t doughnutWidth, double dx, double dy, std::string_view outlineColor,
            const DrawnSlice* slice = nullptr);
// The outline across both ends of a partial arc; a negative angle: no end there.
void PutArcEnds(Sink& out, const Layout& layout, double from, double to, std::int32_t size,
                std::int32_t doughnutWidth, std::string_view outlineColor);
// A slice pulled out of a chart of `size` with a ring `doughnutWidth` wide.
void PutMovedSlice(Sink& out, const Layout& layout, const DrawnSlice& slice, std::int32_t size,
                   std::int32_t doughnutWidth, std::string_view outlineColor);

}  // namespace xamlpie::detail

#endif  // XAMLPIE_LAYOUT_H_
