#include "Layout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <system_error>

#include "Rim.h"
#include "Sink.h"
#include "checked.h"

namespace xamlpie {
namespace detail {

// A slice's first and last degree, as the markup rules compute them.
std::pair<std::int32_t, std::int32_t> SliceAngles(std::int32_t Percent, std::int32_t StartPercent) {
  std::int32_t startAngle = 0;
  if (StartPercent > 0) {
    startAngle = checked::Round(static_cast<double>(checked::Mul(StartPercent, 360)) / 100.0);
  }
  const std::int32_t endAngle = checked::Round(
      static_cast<double>(checked::Mul(Percent, 360)) / 100.0 + static_cast<double>(startAngle));
  return {startAngle, endAngle};
}

// Text is measured without a font, by advance widths in em of DejaVu Sans,
// which is wider than Liberation Sans, Arial, Helvetica, Segoe UI and the
// other sans-serif faces renderers pick: boxes err large, never small.
double CharWidth(char32_t c) {
  static constexpr double kPrintable[95] = {
      // space ! " # $ % & ' ( ) * + , - . /
      0.318, 0.401, 0.460, 0.838, 0.636, 0.950, 0.780, 0.275, 0.390, 0.390, 0.500, 0.838, 0.318,
      0.361, 0.318, 0.337,
      // 0-9
      0.636, 0.636, 0.636, 0.636, 0.636, 0.636, 0.636, 0.636, 0.636, 0.636,
      // : ; < = > ? @
      0.337, 0.337, 0.838, 0.838, 0.838, 0.531, 1.000,
      // A-Z
      0.684, 0.686, 0.698, 0.770, 0.632, 0.575, 0.775, 0.752, 0.295, 0.295, 0.656, 0.557, 0.863,
      0.748, 0.787, 0.603, 0.787, 0.695, 0.635, 0.611, 0.732, 0.684, 0.989, 0.685, 0.611, 0.685,
      // [ \ ] ^ _ `
      0.390, 0.337, 0.390, 0.838, 0.500, 0.500,
      // a-z
      0.613, 0.635, 0.550, 0.635, 0.615, 0.352, 0.635, 0.634, 0.278, 0.278, 0.579, 0.278, 0.974,
      0.634, 0.612, 0.635, 0.635, 0.411, 0.521, 0.392, 0.634, 0.592, 0.818, 0.592, 0.592, 0.525,
      // { | } ~
      0.636, 0.337, 0.636, 0.838};
  if (c >= 0x20 && c < 0x7F) return kPrintable[c - 0x20];
  // Accented Latin, Greek, Cyrillic: as the widest capitals; wide scripts a
  // whole em.
  return c < 0x1100 ? 0.8 : 1.0;
}

std::int32_t TextWidth(std::string_view text, std::int32_t fontSize, bool bold) {
  double ems = 0;
  detail::ForEachCodePoint(text, [&](char32_t c) { ems += CharWidth(c); });
  // Bold faces run about a tenth wider; a pixel spare for rounding.
  return checked::Round(std::ceil(ems * fontSize * (bold ? 1.1 : 1.0)) + (ems > 0 ? 1 : 0));
}

std::string PercentText(const DrawnSlice& slice) {
  return (slice.percentText.empty() ? std::to_string(slice.percent) : slice.percentText) + " %";
}

// A number to `decimals` places, `point` for its decimal point and `group`
// between each three digits of its whole part.
std::string Number(double v, std::int32_t decimals, std::string_view point,
                   std::string_view group) {
  char text[400];
  const auto [end, error] =
      std::to_chars(std::begin(text), std::end(text), v + 0.0, std::chars_format::fixed, decimals);
  const std::string_view plain(text,
                               error == std::errc() ? static_cast<std::size_t>(end - text) : 0);
  const std::size_t dot = std::min(plain.find('.'), plain.size());
  const std::size_t sign = !plain.empty() && plain.front() == '-' ? 1 : 0;
  std::string out(plain.substr(0, sign));
  for (std::size_t i = sign; i < dot; ++i) {
    if (i > sign && (dot - i) % 3 == 0) out += group;
    out += plain[i];
  }
  if (dot < plain.size()) {
    out += point;
    out += plain.substr(dot + 1);
  }
  return out;
}

std::string LabelText(LabelStyle style, const DrawnSlice& slice, std::string_view format) {
  if (style == LabelStyle::None) return {};
  if (!format.empty()) return FormatText(format, slice);
  switch (style) {
    case LabelStyle::Percent:
      return PercentText(slice);
    case LabelStyle::Name:
      return std::string(slice.name);
    case LabelStyle::NameAndPercent:
      if (slice.name.empty()) return PercentText(slice);
      return std::string(slice.name) + ": " + PercentText(slice);
    case LabelStyle::None:
      break;
  }
  return {};
}

std::string FittedLabel(LabelStyle style, const DrawnSlice& slice, std::string_view format,
                        std::int32_t width,
                        const std::function<std::int32_t(std::string_view)>& measure) {
  const auto fits = [&](const std::string& text) { return measure(text) <= width; };
  std::string label = LabelText(style, slice, format);
  if (label.empty() || fits(label)) return label;
  const bool named =
      !slice.name.empty() && (format.empty() ? style != LabelStyle::Percent
                                             : format.find("{name}") != std::string_view::npos);
  if (!named) return {};
  // Labels that name their slice keep its percent where they can.
  const LabelStyle shorter =
      style == LabelStyle::Name && format.empty() ? LabelStyle::Name : LabelStyle::NameAndPercent;
  if (!format.empty()) {
    label = LabelText(shorter, slice);
    if (fits(label)) return label;
  }
  // The name cut short, on whole UTF-8 sequences, by halving: as much of it
  // as fits, three characters at least. A name isolated in its direction
  // (U+2066 to U+2068 ... U+2069) is cut within its isolate, which it keeps.
  std::string_view whole = slice.name;
  std::string_view open;
  std::string_view close;
  const auto isolate = [](std::string_view s, std::size_t at, unsigned char from,
                          unsigned char to) {
    return s.size() >= at + 3 && s[at] == '\xE2' && s[at + 1] == '\x81' &&
           static_cast<unsigned char>(s[at + 2]) >= from &&
           static_cast<unsigned char>(s[at + 2]) <= to;
  };
  if (whole.size() > 6 && isolate(whole, 0, 0xA6, 0xA8) &&
      isolate(whole, whole.size() - 3, 0xA9, 0xA9)) {
    open = whole.substr(0, 3);
    close = whole.substr(whole.size() - 3);
    whole = whole.substr(3, whole.size() - 6);
  }
  std::vector<std::size_t> ends;  // where each character ends
  for (std::size_t i = 1; i <= whole.size(); ++i) {
    if (i == whole.size() || (static_cast<unsigned char>(whole[i]) & 0xC0u) != 0x80u)
      ends.push_back(i);
  }
  const auto cut = [&](std::size_t characters) {
    const std::string name = std::string(open) +
                             std::string(whole.substr(0, ends[characters - 1])) + "\xE2\x80\xA6" +
                             std::string(close);
    DrawnSlice shortened = slice;
    shortened.name = name;
    return LabelText(shorter, shortened);
  };
  std::size_t low = std::min<std::size_t>(3, ends.size());
  std::size_t high = ends.size() - 1;  // the whole name did not fit
  if (low <= high && fits(cut(low))) {
    while (low < high) {
      const std::size_t mid = low + (high - low + 1) / 2;
      if (fits(cut(mid))) {
        low = mid;
      } else {
        high = mid - 1;
      }
    }
    return cut(low);
  }
  if (shorter == LabelStyle::Name) return {};
  label = PercentText(slice);
  return fits(label) ? label : std::string();
}

std::string FormatText(std::string_view format, const DrawnSlice& slice) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if ((c == '{' || c == '}') && i + 1 < format.size() && format[i + 1] == c) {
      out += c;  // a doubled brace is the brace
      ++i;
      continue;
    }
    if (c == '{') {
      const std::size_t close = format.find('}', i);
      if (close != std::string_view::npos) {
        const std::string_view key = format.substr(i + 1, close - i - 1);
        const std::string percent =
            slice.percentText.empty() ? std::to_string(slice.percent) : slice.percentText;
        if (key == "name") {
          out += slice.name;
        } else if (key == "value") {
          out += slice.valueText.empty() ? percent : slice.valueText;
        } else if (key == "percent") {
          out += percent;
        } else {
          out += format.substr(i, close - i + 1);  // unknown: as it stands
        }
        i = close;
        continue;
      }
    }
    out += c;
  }
  return out;
}

void SetNumberTexts(std::span<DrawnSlice> slices, bool values, std::int32_t percentDecimals,
                    std::int32_t valueDecimals, std::string_view point, std::string_view group) {
  const bool plain =
      !values && percentDecimals == 0 && valueDecimals == 0 && point == "." && group.empty();
  if (plain) return;  // the whole percents as they have always been written
  // Percents at that precision, in units of its last place, adding up to 100.
  const double unit = std::pow(10.0, percentDecimals);
  std::vector<double> exact(slices.size());
  for (std::size_t i = 0; i < slices.size(); ++i) {
    exact[i] = values ? std::max(slices[i].share, 0.0) * 100.0 * unit
                      : static_cast<double>(slices[i].percent) * unit;
  }
  std::vector<double> whole(slices.size());
  double sum = 0;
  for (std::size_t i = 0; i < slices.size(); ++i) {
    whole[i] = std::floor(exact[i]);
    sum += whole[i];
  }
  if (values && sum > 0) {
    std::vector<std::size_t> order(slices.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return exact[a] - whole[a] > exact[b] - whole[b];
    });
    for (std::size_t k = 0; k < order.size() && sum < 100.0 * unit; ++k) {
      whole[order[k]] += 1;
      sum += 1;
    }
  }
  for (std::size_t i = 0; i < slices.size(); ++i) {
    slices[i].percentText = Number(whole[i] / unit, percentDecimals, point, group);
    slices[i].valueText =
        Number(values ? slices[i].value : slices[i].percent, valueDecimals, point, group);
  }
}

// What pointing at a slice tells, and what a screen reader calls it. The
// fans of a chart of whole percents say the plain whole percent.
void SetSliceTexts(Shape& shape, const DrawnSlice& slice, bool plainPercent) {
  shape.ring = slice.ring;
  shape.index = slice.tag;
  if (slice.name.empty()) return;
  const std::string percent =
      plainPercent || slice.percentText.empty() ? std::to_string(slice.percent) : slice.percentText;
  std::string& tip = shape.toolTip;
  tip.assign(slice.name);
  tip += ": ";
  if (slice.valued && !plainPercent) {  // "Rent: 1,200 (38 %)"
    tip += slice.valueText;
    tip += " (";
    tip += percent;
    tip += " %)";
  } else {
    tip += percent;
    tip += " %";
  }
  if (!slice.folded.empty()) {
    tip += " (";
    tip += slice.folded;
    tip += ")";
  }
  // "Rent, 38 percent", of a value "Rent, 1,200, 38 percent".
  std::string& name = shape.name;
  name.assign(slice.name);
  name += ", ";
  if (slice.valued && !plainPercent) {
    name += slice.valueText;
    name += ", ";
  }
  name += percent;
  name += " percent";
}

bool PutExactSlice(Sink& out, const Layout& layout, const DrawnSlice& slice,
                   const std::string* colour, std::int32_t strokeThickness) {
  if (!(slice.share > 0) || !(slice.to > slice.from)) return false;
  // The edges, and the whole degrees strictly between them: point i of
  // count.
  const auto firstWhole = static_cast<std::int64_t>(std::floor(slice.from)) + 1;
  auto pastWhole = firstWhole;
  while (static_cast<double>(pastWhole) < slice.to)
    ++pastWhole;
  const auto count = static_cast<std::size_t>(pastWhole - firstWhole) + 2;
  const auto centre = static_cast<double>(layout.centre);
  const auto edge = [&](double a) {
    double degrees = std::fmod(!layout.turned     ? a
                               : layout.clockwise ? layout.start - a
                                                  : layout.start + a,
                               360.0);
    if (degrees < 0) degrees += 360.0;
    const TrigCache::CosSin cs =
        degrees == std::floor(degrees) && degrees < 360.0
            ? Trig().Get(static_cast<std::int32_t>(degrees))
            : TrigCache::CosSin{std::cos(degrees * kPi / 180.0), std::sin(degrees * kPi / 180.0)};
    return Point{layout.radius * cs.cos + centre, centre - layout.radius * cs.sin};
  };
  const Point from = edge(slice.from);
  const Point to = edge(slice.to);
  // The whole degrees between the edges, reduced to a turn as the fans of
  // percents reduce theirs.
  FanRim rim{centre, layout.radius};
  rim.reduce = true;
  rim.start = layout.turned ? layout.start : 0;
  rim.step = !layout.turned ? 1 : layout.clockwise ? -1 : 1;
  const Rgba fill = RgbaOf(colour != nullptr ? *colour : *slice.color);
  // Fans of at most 100 rim points (point i of count: the edges first and
  // last); each next one starts at the last's end, so neighbouring fans
  // share an edge.
  for (std::size_t first = 0; first + 1 < count; first += 99) {
    const std::size_t last = std::min(first + 99, count - 1);
    Shape& shape = Scratch(ShapeKind::Polygon, colour != nullptr ? Role::Cleared : Role::Slice);
    shape.origin = {static_cast<double>(layout.left), static_cast<double>(layout.top)};
    shape.fill = shape.stroke = fill;
    if (strokeThickness > 0) shape.strokeWidth = strokeThickness;
    if (colour == nullptr) {
      SetSliceTexts(shape, slice, false);
    } else {
      shape.ring = slice.ring;
      shape.index = slice.tag;
    }
    const std::size_t runFirst = std::max<std::size_t>(first, 1);
    const std::size_t runLast = std::min(last, count - 2);  // count is at least 2
    rim.before = first == 0 ? &from : nullptr;
    rim.after = last == count - 1 ? &to : nullptr;
    rim.first = firstWhole + static_cast<std::int64_t>(runFirst) - 1;
    rim.count = runLast >= runFirst ? static_cast<std::int64_t>(runLast - runFirst + 1) : 0;
    out.AddFan(shape, rim);
  }
  return true;
}

// Black or white, whichever reads better on a fill.
const char* ContrastTo(const std::string& hex) {
  const auto component = [&](std::size_t at) { return std::stoi(hex.substr(at, 2), nullptr, 16); };
  const int luma = 299 * component(0) + 587 * component(2) + 114 * component(4);
  return luma >= 150000 ? "000000" : "FFFFFF";
}

void PutTextBlock(Sink& out, const TextBlock& t) {
  Shape& shape = Scratch(ShapeKind::Text, t.role);
  // One line: a text's height is its size's line.
  shape.box = {static_cast<double>(t.left), static_cast<double>(t.top),
               static_cast<double>(t.width), std::ceil(t.fontSize * 4.0 / 3.0)};
  shape.align = t.alignment;
  shape.fontSize = t.fontSize;
  shape.bold = t.bold;
  shape.fill = RgbaOf(t.foreground);
  shape.text.assign(t.text);
  if (t.slice != nullptr) {
    SetSliceTexts(shape, *t.slice, false);
    shape.name.clear();  // the slice's own shapes name it
  } else if (t.of != nullptr) {
    shape.ring = t.of->ring;
    shape.index = t.of->tag;
  }
  out.Add(shape);
}

void PutLine(Sink& out, const DrawnSlice& slice, std::int32_t x1, std::int32_t y1, std::int32_t x2,
             std::int32_t y2, std::string_view stroke) {
  Shape& shape = Scratch(ShapeKind::Line, Role::Leader);
  shape.ring = slice.ring;
  shape.index = slice.tag;
  shape.points.push_back({static_cast<double>(x1), static_cast<double>(y1)});
  shape.points.push_back({static_cast<double>(x2), static_cast<double>(y2)});
  shape.stroke = RgbaOf(stroke);
  out.Add(shape);
}

// How much of the chart a slice takes, in percent: what decides which
// labels give way.
double Bulk(const DrawnSlice& slice) {
  return slice.exact ? 100.0 * slice.share : static_cast<double>(slice.percent);
}

// A legend lists the named slices that are drawn.
bool InLegend(const DrawnSlice& slice) {
  return !slice.name.empty() && slice.startAngle <= slice.endAngle;
}

std::int32_t RoundedOffset(double length, double direction) {
  return checked::Round(length * direction);
}

// An arc about (cx, cy) at `radius` through the slice's whole degrees, first
// to last or back.
void PutArc(std::vector<Point>& points, const Layout& layout, double from, double to, double cx,
            double cy, double radius, bool back) {
  TrigCache& trig = Trig();
  const auto put = [&](double a) {
    const double degrees = !layout.turned     ? a
                           : layout.clockwise ? layout.start - a
                                              : layout.start + a;
    // A whole degree's cosine and sine are those of the cache, bit for bit.
    const TrigCache::CosSin cs =
        degrees == std::floor(degrees) && degrees >= 0 &&
                degrees < static_cast<double>(TrigCache::kLimit)
            ? trig.Get(static_cast<std::int32_t>(degrees))
            : TrigCache::CosSin{std::cos(degrees * kPi / 180.0), std::sin(degrees * kPi / 180.0)};
    points.push_back({cx + radius * cs.cos, cy - radius * cs.sin});
  };
  // The edges, and the whole degrees strictly between them.
  const auto first = static_cast<std::int64_t>(std::floor(from)) + 1;
  auto last = first;
  while (static_cast<double>(last) < to)
    ++last;  // one past the last whole degree
  if (!back) {
    put(from);
    for (auto d = first; d < last; ++d)
      put(static_cast<double>(d));
    if (to > from) put(to);
  } else {
    if (to > from) put(to);
    for (auto d = last; d-- > first;)
      put(static_cast<double>(d));
    put(from);
  }
}

namespace {

// Where the circles of a chart of `size` lie: the outline's (drawn inside a
// box a pixel smaller) and the fans' and hole's.
struct Circles {
  bool hole;
  double rimX, rimY, rimOuter;
  double fanX, fanY;
  double holeRadius;
};

Circles CirclesOf(const Layout& layout, std::int32_t size, std::int32_t doughnutWidth) {
  return {doughnutWidth >= 1 && checked::Sub(size, checked::Mul(2, doughnutWidth)) > 0,
          layout.left + (size - 1.0) / 2.0,
          layout.top + (size - 1.0) / 2.0,
          (size - 1.0) / 2.0,
          layout.left + static_cast<double>(layout.centre),
          layout.top + static_cast<double>(layout.centre),
          (size - 2.0 * doughnutWidth) / 2.0};
}

}  // namespace

void PutSmoothSlice(Sink& out, const Layout& layout, const DrawnSlice& slice, std::int32_t size,
                    std::int32_t doughnutWidth, double dx, double dy) {
  const Circles c = CirclesOf(layout, size, doughnutWidth);
  Shape& shape = Scratch(ShapeKind::Polygon, Role::Slice);
  shape.precision = Precision::Hundredths;
  shape.fill = shape.stroke = RgbaOf(*slice.color);
  SetSliceTexts(shape, slice, false);
  if (c.hole) {
    PutArc(shape.points, layout, slice.from, slice.to, c.fanX + dx, c.fanY + dy, layout.radius,
           false);
    PutArc(shape.points, layout, slice.from, slice.to, c.fanX + dx, c.fanY + dy, c.holeRadius - 1.0,
           true);
  } else {
    shape.points.push_back({c.fanX + dx, c.fanY + dy});
    PutArc(shape.points, layout, slice.from, slice.to, c.fanX + dx, c.fanY + dy, layout.radius,
           false);
  }
  out.Add(shape);
}

namespace {

// Half a shaped slice's gap, and a pixel for the outline on each side of it,
// so that the background between two slices' ink is the gap's width. A
// slice round the whole circle has no neighbour to keep apart from.
double HalfGap(const Layout& layout, const DrawnSlice& slice) {
  return slice.to - slice.from >= 360.0 || layout.gap <= 0 ? 0.0 : layout.gap / 2.0 + 1.0;
}

// How far from the centre a slice of half-angle `h` (radians) begins when
// its edges move `g` in: where they meet, or past a half turn, where they
// start, round a circle of radius `g`.
double Apex(double g, double h) {
  return g <= 0 ? 0.0 : h < kPi / 2 ? g / std::sin(h) : g;
}

}  // namespace

bool ShapeFits(const Layout& layout, const DrawnSlice& slice) {
  const double span = slice.to - slice.from;
  if (!(slice.share > 0) || !(span > 0) || !(slice.outer > std::max(slice.inner, 0.0))) {
    return false;
  }
  // A sunburst's child under a pixel along its rim is left out: its
  // parent's ring shows its share.
  if (slice.child && span * kPi / 180.0 * slice.outer < 1.0) return false;
  const double g = HalfGap(layout, slice);
  // Where the slice begins must lie inside the rim.
  return Apex(g, std::min(span, 360.0) / 2.0 * kPi / 180.0) < slice.outer;
}

namespace {

// The corners of a shaped slice along its first edge (x out along it, y into
// the slice), the same for every slice of a ring that is wide enough for
// them: worked out once. The outer corner's circle touches the moved edge
// and the rim, the inner one's the edge and the hole; each as points in
// steps that keep within a tenth of a pixel of the circle, from the edge to
// the rim and from the hole to the edge. The point at the arc's end is the
// arc's to write; without rounding it is the only one.
struct CornerShape {
  double outerRadius = -1, innerRadius = -1, gap = -1, outerCorner = -1, innerCorner = -1;
  double phiOuter = 0;  // where the rim's arc starts, radians from the edge
  double phiInner = 0;  // and the hole's
  std::vector<std::pair<double, double>> outer;
  std::vector<std::pair<double, double>> inner;

  static const CornerShape& Of(double outerRadius, double innerRadius, double g, double co,
                               double ci) {
    thread_local std::array<CornerShape, 2> shapes;
    thread_local std::size_t next = 0;
    for (const CornerShape& s : shapes) {
      if (s.outerRadius == outerRadius && s.innerRadius == innerRadius && s.gap == g &&
          s.outerCorner == co && s.innerCorner == ci) {
        return s;
      }
    }
    CornerShape& s = shapes[next];
    next = (next + 1) % shapes.size();
    s.outerRadius = outerRadius;
    s.innerRadius = innerRadius;
    s.gap = g;
    s.outerCorner = co;
    s.innerCorner = ci;
    const double tOuter =
        std::sqrt(std::max((outerRadius - co) * (outerRadius - co) - (g + co) * (g + co), 0.0));
    s.phiOuter = std::atan2(g + co, tOuter);
    const double tInner =
        std::sqrt(std::max((innerRadius + ci) * (innerRadius + ci) - (g + ci) * (g + ci), 0.0));
    s.phiInner = std::atan2(g + ci, tInner);
    Arc(s.outer, tOuter, g + co, co, -kPi / 2, s.phiOuter);
    Arc(s.inner, tInner, g + ci, ci, s.phiInner + kPi, 1.5 * kPi);
    return s;
  }

  static void Arc(std::vector<std::pair<double, double>>& points, double x, double y, double radius,
                  double a0, double a1) {
    points.clear();
    if (radius <= 0) {
      points.emplace_back(x, y);  // edge and arc meet: the arc writes it
      return;
    }
    // At least a degree a step: past a radius of 2,600 px that is coarser.
    const double step =
        std::clamp(2 * std::acos(1 - std::min(0.1 / radius, 1.0)), kPi / 180, kPi / 4);
    const std::int32_t n =
        std::max(static_cast<std::int32_t>(std::ceil(std::abs(a1 - a0) / step)), 1);
    const double d = (a1 - a0) / n;
    const double cd = std::cos(d);
    const double sd = std::sin(d);
    double c = std::cos(a0);
    double sn = std::sin(a0);
    for (std::int32_t i = 0; i <= n; ++i) {
      points.emplace_back(x + radius * c, y + radius * sn);
      const double following = c * cd - sn * sd;
      sn = sn * cd + c * sd;
      c = following;
    }
  }
};

}  // namespace

bool PutShapedSlice(Sink& out, const Layout& layout, const DrawnSlice& slice, std::int32_t size,
                    std::string_view outlineColor) {
  if (!ShapeFits(layout, slice)) return false;
  const double span = slice.to - slice.from;
  const double outer = slice.outer;
  const double inner = std::max(slice.inner, 0.0);
  const bool whole = span >= 360.0;
  const double g = HalfGap(layout, slice);
  const double h = std::min(span, 360.0) / 2.0 * kPi / 180.0;  // half the slice, radians
  const double sinH = h < kPi / 2 ? std::sin(h) : 1.0;
  const double apex = Apex(g, h);
  const bool ring = !whole && inner > apex;
  // The corners' radii, as far as the slice allows: the two of a side meet
  // at most halfway across the ring, the two of an arc at most at its middle.
  double co = std::min(layout.corner, (outer - (ring ? inner : g)) / 2.0);
  if (h < kPi / 2) co = std::min(co, (outer * sinH - g) / (1.0 + sinH));
  double ci = ring ? std::min(layout.corner, (outer - inner) / 2.0) : 0.0;
  if (ring && h < kPi / 2 && sinH < 1.0) ci = std::min(ci, (inner * sinH - g) / (1.0 - sinH));
  if (whole) co = ci = 0;
  co = std::max(co, 0.0);
  ci = std::max(ci, 0.0);

  const auto [ux, uy] = layout.Middle(slice);
  const double cx = layout.left + (size - 1.0) / 2.0 + slice.explode * ux;
  const double cy = layout.top + (size - 1.0) / 2.0 + slice.explode * uy;
  // A point given along the from-edge (x) and into the slice (y); mirrored,
  // the same from the to-edge. The edges' directions on screen are worked
  // out once, so a point costs a few products.
  const double turn = layout.turned && layout.clockwise ? -1.0 : 1.0;
  const auto direction = [&](double a) {
    const double degrees = !layout.turned ? a : layout.start + turn * a;
    return std::pair{std::cos(degrees * kPi / 180.0), std::sin(degrees * kPi / 180.0)};
  };
  const std::pair<double, double> fromEdge = direction(slice.from);
  const std::pair<double, double> toEdge = direction(slice.to);
  Shape& drawn = Scratch(ShapeKind::Polygon, Role::Slice);
  drawn.precision = Precision::Hundredths;
  drawn.fill = RgbaOf(*slice.color);
  drawn.stroke = RgbaOf(outlineColor);
  drawn.strokeWidth = 2;
  SetSliceTexts(drawn, slice, false);
  std::vector<Point>& points = drawn.points;
  const auto putXY = [&](double x, double y, bool mirrored) {
    const double c = mirrored ? toEdge.first : fromEdge.first;
    const double sn = mirrored ? toEdge.second : fromEdge.second;
    const double across = mirrored ? -turn * y : turn * y;
    points.push_back({cx + x * c - across * sn, cy - (x * sn + across * c)});
  };
  const CornerShape& shape = CornerShape::Of(outer, inner, g, co, ci);
  const double phiOuter = shape.phiOuter;
  const double phiInner = shape.phiInner;
  const auto fromSide = [&](bool mirrored) {  // inner end to the rim, or back
    const auto& o = shape.outer;
    const auto& i = shape.inner;
    if (!mirrored) {
      if (ring) {
        for (std::size_t k = 1; k < i.size(); ++k)
          putXY(i[k].first, i[k].second, false);
      } else if (h < kPi / 2 || g == 0) {
        if (!whole) putXY(apex * std::cos(h), apex * std::sin(h), false);
      } else {
        PutArc(points, layout, slice.from + 90.0, slice.to - 90.0, cx, cy, g, true);
      }
      for (std::size_t k = 0; k + 1 < o.size(); ++k)
        putXY(o[k].first, o[k].second, false);
    } else {
      for (std::size_t k = o.size(); k-- > 0;) {
        if (k + 1 < o.size()) putXY(o[k].first, o[k].second, true);
      }
      if (ring) {
        for (std::size_t k = i.size(); k-- > 1;)
          putXY(i[k].first, i[k].second, true);
      }
    }
  };

  fromSide(false);
  const double outerFrom = slice.from + phiOuter * 180.0 / kPi;
  const double outerTo = slice.to - phiOuter * 180.0 / kPi;
  PutArc(points, layout, outerFrom, std::max(outerTo, outerFrom), cx, cy, outer, false);
  fromSide(true);
  if (ring) {
    const double innerFrom = slice.from + phiInner * 180.0 / kPi;
    const double innerTo = slice.to - phiInner * 180.0 / kPi;
    PutArc(points, layout, innerFrom, std::max(innerTo, innerFrom), cx, cy, inner, true);
  } else if (whole && inner > 0) {
    PutArc(points, layout, slice.from, slice.to, cx, cy, inner, true);
  }
  out.Add(drawn);
  return true;
}

void PutRim(Sink& out, const Layout& layout, double from, double to, std::int32_t size,
            std::int32_t doughnutWidth, double dx, double dy, std::string_view outlineColor,
            const DrawnSlice* slice) {
  const Circles c = CirclesOf(layout, size, doughnutWidth);
  const auto band = [&](double cx, double cy, double outer) {
    Shape& shape = Scratch(ShapeKind::Polygon, Role::Outline);
    shape.precision = Precision::Hundredths;
    shape.fill = RgbaOf(outlineColor);
    if (slice != nullptr) {
      shape.ring = slice->ring;
      shape.index = slice->tag;
    }
    PutArc(shape.points, layout, from, to, cx + dx, cy + dy, outer, false);
    PutArc(shape.points, layout, from, to, cx + dx, cy + dy, outer - 2.0, true);
    out.Add(shape);
  };
  band(c.rimX, c.rimY, c.rimOuter);
  if (c.hole) band(c.fanX, c.fanY, c.holeRadius);
}

void PutArcEnds(Sink& out, const Layout& layout, double from, double to, std::int32_t size,
                std::int32_t doughnutWidth, std::string_view outlineColor) {
  const Circles c = CirclesOf(layout, size, doughnutWidth);
  for (const double a : {from, to}) {
    if (a < 0) continue;  // this end went with a pulled-out slice
    const double degrees = !layout.turned     ? a
                           : layout.clockwise ? layout.start - a
                                              : layout.start + a;
    const double radians = degrees * kPi / 180.0;
    const double inner = c.hole ? c.holeRadius - 1.0 : 0.0;
    Shape& shape = Scratch(ShapeKind::Polygon, Role::Outline);
    shape.precision = Precision::Hundredths;
    shape.fill = shape.stroke = RgbaOf(outlineColor);
    // A line two pixels wide along the edge, from the hole (or centre) to the rim.
    const double ux = std::cos(radians);
    const double uy = -std::sin(radians);
    const double nx = -uy;
    const double ny = ux;
    for (const auto& [r, side] : {std::pair{inner, -1.0}, std::pair{c.rimOuter, -1.0},
                                  std::pair{c.rimOuter, 1.0}, std::pair{inner, 1.0}}) {
      shape.points.push_back(
          {c.fanX + ux * r + nx * side * 0.5, c.fanY + uy * r + ny * side * 0.5});
    }
    out.Add(shape);
  }
}

void PutMovedSlice(Sink& out, const Layout& layout, const DrawnSlice& slice, std::int32_t size,
                   std::int32_t doughnutWidth, std::string_view outlineColor) {
  const auto [ux, uy] = layout.Middle(slice);
  const double dx = slice.explode * ux;
  const double dy = slice.explode * uy;
  PutSmoothSlice(out, layout, slice, size, doughnutWidth, dx, dy);
  PutRim(out, layout, slice.from, slice.to, size, doughnutWidth, dx, dy, outlineColor, &slice);
}

}  // namespace detail

using detail::Bulk;
using detail::ContrastTo;
using detail::DrawnSlice;
using detail::InLegend;
using detail::kPi;
using detail::Layout;
using detail::PutLine;
using detail::PutTextBlock;
using detail::RoundedOffset;

namespace {

// The centre text as drawn: its size, a line's height and its lines (none:
// nothing fits).
struct CentreText {
  std::int32_t size = 0;
  std::int32_t height = 0;
  std::vector<std::string> lines;
};

// The centre text at the largest size, from half as large again as the
// font down to three quarters of it, that fits its room: `width` across
// and, in a round hole, within the circle of `radius` (0: no circle); on one
// line, else on two split at a space. At the smallest size, one line cut
// short with an ellipsis; nothing where not even that fits. Text that fits
// at the largest size on one line is placed as it always was.
template <typename Measure>
CentreText FitCentreText(const std::string& text, std::int32_t fontSize, std::int32_t width,
                         double radius, const Measure& measure) {
  const std::int32_t largest = checked::Round(fontSize * 1.5);
  const std::int32_t smallest = std::max(checked::Round(fontSize * 0.75), 6);
  const auto within = [&](double w, double reach) {
    return w <= width && (radius <= 0 || (w / 2) * (w / 2) + reach * reach <= radius * radius);
  };
  const auto lineHeight = [](std::int32_t size) {
    return checked::Round(std::ceil(size * 4.0 / 3.0));
  };
  std::vector<std::size_t> spaces;
  for (std::size_t at = text.find(' '); at != std::string::npos; at = text.find(' ', at + 1))
    spaces.push_back(at);
  for (std::int32_t size = largest; size >= std::min(smallest, largest); --size) {
    if (within(measure(text, size), size / 2.0)) return {size, lineHeight(size), {text}};
    // Two lines: the split that leaves the wider of them narrowest.
    std::int32_t best = std::numeric_limits<std::int32_t>::max();
    std::size_t split = std::string::npos;
    for (const std::size_t at : spaces) {
      const std::int32_t wider =
          std::max(measure(text.substr(0, at), size), measure(text.substr(at + 1), size));
      if (wider < best) {
        best = wider;
        split = at;
      }
    }
    if (split != std::string::npos && within(best, size)) {
      return {size, lineHeight(size), {text.substr(0, split), text.substr(split + 1)}};
    }
  }
  // Cut short, a character at a time, keeping whole UTF-8 sequences.
  const std::int32_t size = std::min(smallest, largest);
  std::string cut = text;
  while (!cut.empty()) {
    do {
      cut.pop_back();
    } while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0u) == 0x80u);
    if (!cut.empty()) cut.pop_back();  // the lead byte, or the character itself
    const std::string shown = cut + "\xE2\x80\xA6";
    if (within(measure(shown, size), size / 2.0)) return {size, lineHeight(size), {shown}};
  }
  return {};
}

}  // namespace

namespace {

// Where a slice's label may go: halfway across its ring, or well out
// towards the rim of a pie, and within its edges.
struct Band {
  double along, inner, outer;
  bool ring;
};

// A slice's edges as unit vectors (y up), worked out once for the many
// points tried against it.
struct Edges {
  double fx, fy, tx, ty;
  double span;
  Band band;
};

struct Area {
  double left, top, right, bottom;
  bool Meets(const Area& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

// Which way angles turn on screen: -1 where they run clockwise.
double Sense(const Layout& layout) {
  return layout.turned && layout.clockwise ? -1.0 : 1.0;
}

Edges EdgesOf(const Layout& layout, const DrawnSlice& slice, const Band& band) {
  const double sense = Sense(layout);
  const auto unit = [&](double a) {
    const double degrees = !layout.turned ? a : layout.start + sense * a;
    return std::pair{std::cos(degrees * kPi / 180.0), std::sin(degrees * kPi / 180.0)};
  };
  const auto [fx, fy] = unit(slice.from);
  const auto [tx, ty] = unit(slice.to);
  return Edges{fx, fy, tx, ty, slice.to - slice.from, band};
}

// Whether a point of a label lies inside its slice, the slice drawn about
// (cx, cy), and `clear` of the edges a gap moved in (and their outlines).
bool Within(const Edges& e, double sense, double clear, double cx, double cy, double px,
            double py) {
  const double dx = px - cx;
  const double dy = cy - py;
  const double r = std::sqrt(dx * dx + dy * dy);
  if (r < e.band.inner || r > e.band.outer) return false;
  const double fromSide = sense * (e.fx * dy - e.fy * dx);  // > 0: past the first edge
  const double toSide = sense * (dx * e.ty - dy * e.tx);    // > 0: before the last
  const bool inside = e.span >= 360.0   ? true
                      : e.span <= 180.0 ? fromSide >= 0 && toSide >= 0
                                        : !(fromSide < 0 && toSide < 0);
  if (!inside) return false;
  if (clear <= 0) return true;
  // How far from each edge's line, where the point lies beside the edge
  // itself; elsewhere the edge is no nearer than the centre is.
  const double offFrom = e.fx * dx + e.fy * dy >= 0 && fromSide >= 0 ? fromSide : r;
  const double offTo = e.tx * dx + e.ty * dy >= 0 && toSide >= 0 ? toSide : r;
  return offFrom >= clear && offTo >= clear;
}

}  // namespace

namespace detail {

// The middle of the chart: where centre text goes (the centre, or on an arc
// of half a turn or less the middle of the chord between its ends), the
// hole it sits in, and the text as fitted there.
struct CentreRoom {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool hole = false;
  std::int32_t holeWidth = 0;
  CentreText text;
};

}  // namespace detail

detail::CentreRoom cXAMLPieChart::PlanCentre(const detail::Layout& layout) const {
  detail::CentreRoom room;
  room.x = checked::Add(layout.left, layout.centre);
  room.y = checked::Add(layout.top, layout.centre);
  if (layout.sweep <= 180) {
    const auto unit = [&](double a) {
      const double degrees = !layout.turned     ? a
                             : layout.clockwise ? layout.start - a
                                                : layout.start + a;
      return std::pair{std::cos(degrees * kPi / 180.0), -std::sin(degrees * kPi / 180.0)};
    };
    const auto [x0, y0] = unit(0);
    const auto [x1, y1] = unit(layout.sweep);
    // The text's box stands on the chord, towards the arc, not across it.
    const auto [xm, ym] = unit(layout.sweep / 2);
    const double up = std::ceil(checked::Round(mFontSize * 1.5) * 4.0 / 3.0) / 2.0;
    room.x = checked::Add(room.x, RoundedOffset(1.0, layout.radius * (x0 + x1) / 2 + up * xm));
    room.y = checked::Add(room.y, RoundedOffset(1.0, layout.radius * (y0 + y1) / 2 + up * ym));
  }
  room.hole = layout.holeWidth >= 0
                  ? layout.holeWidth > 0
                  : mDoughnutWidth >= 1 && checked::Sub(mSize, checked::Mul(2, mDoughnutWidth)) > 0;
  room.holeWidth = !room.hole              ? 0
                   : layout.holeWidth >= 0 ? layout.holeWidth
                                           : checked::Sub(mSize, checked::Mul(2, mDoughnutWidth));
  if (!mCenterText.empty()) {
    // A round hole's room is its circle, inside its edge's stroke.
    const double circle = room.hole && layout.sweep > 180 ? room.holeWidth / 2.0 - 3.0 : 0.0;
    room.text = FitCentreText(
        mCenterText, mFontSize, room.hole ? room.holeWidth : std::max(mSize / 2, 0), circle,
        [&](const std::string& t, std::int32_t size) { return TextWidth(t, size, true); });
  }
  return room;
}

// Labels inside their slices: where each is meant to go, else nearer the
// middle or the rim of a pie, whichever first holds it; the larger slices
// first, never over another label or the centre text.
void cXAMLPieChart::InsideLabels(detail::Sink& out, const detail::Layout& layout,
                                 const detail::CentreRoom& room) const {
  const std::int32_t h = layout.lineHeight;
  const auto centreX = checked::Add(layout.left, layout.centre);
  const auto centreY = checked::Add(layout.top, layout.centre);
  const auto bandOf = [&](const DrawnSlice& slice) -> Band {
    if (layout.shaped) {
      const bool ring = slice.inner > 0;
      return {ring ? (slice.outer + slice.inner) / 2.0 : 0.62 * slice.outer,
              ring ? slice.inner + 1.0 : 0.0, slice.outer - 1.0, ring};
    }
    return {room.hole ? layout.radius - mDoughnutWidth / 2.0 : 0.62 * layout.radius,
            room.hole ? (mSize - 2.0 * mDoughnutWidth) / 2.0 + 1.0 : 0.0, layout.radius - 1.0,
            room.hole};
  };
  std::vector<Area> taken;
  if (!room.text.lines.empty()) {  // as CentreTexts places it
    double width = 0;
    for (const std::string& line : room.text.lines)
      width = std::max<double>(width, TextWidth(line, room.text.size, true));
    width = std::min<double>(width, room.hole ? room.holeWidth : std::max(mSize / 2, 0));
    const double height = room.text.height * static_cast<double>(room.text.lines.size());
    taken.push_back(
        {room.x - width / 2, room.y - height / 2.0, room.x + width / 2, room.y + height / 2.0});
  }
  const double sense = Sense(layout);
  const double clear = layout.shaped && layout.gap > 0 ? layout.gap / 2.0 + 2.0 : 0.0;
  // Where labels compete for room, the larger slices keep theirs.
  std::vector<std::size_t> order(layout.slices.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return Bulk(layout.slices[a]) > Bulk(layout.slices[b]);
  });
  std::vector<bool> shown(layout.slices.size(), false);
  std::vector<std::array<std::int32_t, 3>> at(layout.slices.size());  // x, y, width
  std::vector<std::string> chosen(layout.slices.size());              // the text that fits
  for (const std::size_t i : order) {
    const DrawnSlice& slice = layout.slices[i];
    const std::string& label = layout.labels[i];
    if (label.empty() || checked::Sub(slice.endAngle, slice.startAngle) < mMinLabelAngle ||
        (mLabelsOutside && slice.ring == 0)) {
      continue;
    }
    const Band band = bandOf(slice);
    const Edges edges = EdgesOf(layout, slice, band);
    const auto [ux, uy] = layout.Middle(slice);
    const double cx = centreX + slice.explode * ux;
    const double cy = centreY + slice.explode * uy;
    // The label, or where a name does not fit, its percent alone.
    std::vector<std::string> texts{label};
    if (mSliceLabels == LabelStyle::NameAndPercent && mLabelFormat.empty() && !slice.name.empty())
      texts.push_back(detail::LabelText(LabelStyle::Percent, slice));
    for (const std::string& text : texts) {
      const std::int32_t width = TextWidth(text, mFontSize);
      for (const double share : {1.0, 0.85, 1.15, 0.7, 1.3, 0.55}) {
        if (band.ring && share != 1.0) break;  // a ring has one middle
        const double reach = band.along * share + slice.explode;
        const std::int32_t x = checked::Add(centreX, RoundedOffset(reach, ux));
        const std::int32_t y = checked::Add(centreY, RoundedOffset(reach, uy));
        const Area box{x - width / 2.0, y - h / 2.0, x + width / 2.0, y + h / 2.0};
        bool fits = std::none_of(taken.begin(), taken.end(),
                                 [&](const Area& other) { return other.Meets(box); });
        for (const double fx : {0.0, 0.5, 1.0}) {
          for (const double fy : {0.0, 0.5, 1.0}) {
            fits =
                fits && Within(edges, sense, clear, cx, cy, box.left + fx * (box.right - box.left),
                               box.top + fy * (box.bottom - box.top));
          }
        }
        if (fits) {
          taken.push_back(box);
          shown[i] = true;
          at[i] = {x, y, width};
          chosen[i] = text;
          break;
        }
      }
      if (shown[i]) break;  // a label never runs out of its slice or over another
    }
  }
  for (std::size_t i = 0; i < layout.slices.size(); ++i) {
    if (!shown[i]) continue;
    const auto [x, y, width] = at[i];
    PutTextBlock(out, {checked::Sub(x, width / 2), checked::Sub(y, h / 2), width, Align::Center,
                       mFontSize, false, ContrastTo(*layout.slices[i].color), chosen[i],
                       Role::Label, &layout.slices[i]});
  }
}

// Columns left and right of the pie; in each, labels keep the order of
// their slices' middles and are pushed apart just enough not to overlap.
void cXAMLPieChart::OutsideLabels(detail::Sink& out, const detail::Layout& layout,
                                  const std::string& textColor) const {
  struct Placed {
    std::size_t slice;
    double ux;
    double uy;
    std::int64_t top;
  };
  const std::int32_t h = layout.lineHeight;
  const auto centreX = checked::Add(layout.left, layout.centre);
  const auto centreY = checked::Add(layout.top, layout.centre);
  std::vector<Placed> columns[2];
  const double knee = layout.radius + 10.0;
  for (std::size_t i = 0; i < layout.slices.size(); ++i) {
    if (layout.labels[i].empty() || layout.slices[i].ring > 0) continue;
    const auto [ux, uy] = layout.Middle(layout.slices[i]);
    const double want = centreY + (knee + layout.slices[i].explode) * uy - h / 2.0;
    columns[ux >= 0 ? 1 : 0].push_back({i, ux, uy, static_cast<std::int64_t>(std::lround(want))});
  }
  const auto lowest = static_cast<std::int64_t>(std::floor(layout.arcTop));
  const auto highest = static_cast<std::int64_t>(std::ceil(layout.arcBottom));
  const std::int64_t fit = h > 0 ? std::max<std::int64_t>(highest - lowest, 0) / h : 0;
  const auto rim = checked::Floor(std::max(layout.radius, 0.0));
  const std::int32_t edge = checked::Add(checked::Add(rim, 14), layout.explode);
  for (int side = 0; side < 2; ++side) {
    std::vector<Placed>& column = columns[side];
    if (static_cast<std::int64_t>(column.size()) > fit) {
      // Where not all fit, the largest slices keep their labels.
      std::stable_sort(column.begin(), column.end(), [&](const Placed& a, const Placed& b) {
        return Bulk(layout.slices[a.slice]) > Bulk(layout.slices[b.slice]);
      });
      column.resize(static_cast<std::size_t>(fit));
    }
    std::stable_sort(column.begin(), column.end(),
                     [](const Placed& a, const Placed& b) { return a.top < b.top; });
    std::int64_t floor = lowest;
    for (Placed& p : column) {
      p.top = std::max(p.top, floor);
      floor = p.top + h;
    }
    std::int64_t ceiling = highest;
    std::for_each(column.rbegin(), column.rend(), [&](Placed& p) {
      p.top = std::min(p.top, ceiling - h);
      ceiling = p.top;
    });
    for (const Placed& p : column) {
      const DrawnSlice& slice = layout.slices[p.slice];
      // From the slice's own rim: a rose's slices end short of the circle.
      const double rimDistance =
          (layout.shaped && slice.outer > 0 ? slice.outer : layout.radius) + slice.explode;
      const std::int32_t ax = checked::Add(centreX, RoundedOffset(rimDistance, p.ux));
      const std::int32_t ay = checked::Add(centreY, RoundedOffset(rimDistance, p.uy));
      const std::int32_t kx = checked::Add(centreX, RoundedOffset(rimDistance + 10.0, p.ux));
      // The knee stays within the chart's height, as the labels do, but
      // never turns back into a slice pulled out beyond it.
      const std::int32_t ky = static_cast<std::int32_t>(std::clamp<std::int64_t>(
          checked::Add(centreY, RoundedOffset(rimDistance + 10.0, p.uy)),
          std::min<std::int64_t>(lowest, ay), std::max<std::int64_t>(highest, ay)));
      const std::int32_t top = checked::Narrow(p.top);
      const std::int32_t ex = side == 1 ? checked::Add(centreX, edge) : checked::Sub(centreX, edge);
      const std::int32_t ey = checked::Add(top, h / 2);
      PutLine(out, slice, ax, ay, kx, ky, textColor);
      PutLine(out, slice, kx, ky, ex, ey, textColor);
      const std::int32_t left =
          side == 1 ? checked::Add(ex, 4) : checked::Sub(checked::Sub(ex, 4), layout.columnWidth);
      PutTextBlock(out, {left, top, layout.columnWidth, side == 1 ? Align::Left : Align::Right,
                         mFontSize, false, textColor, layout.labels[p.slice], Role::Label, &slice});
    }
  }
}

// The centre text, and the empty chart's text in the middle below it.
void cXAMLPieChart::CentreTexts(detail::Sink& out, const detail::Layout& layout,
                                const detail::CentreRoom& room, const std::string& textColor,
                                bool empty) const {
  const CentreText& centre = room.text;
  if (!centre.lines.empty()) {
    const std::int32_t width = room.hole ? room.holeWidth : std::max(mSize / 2, 0);
    const auto lines = static_cast<std::int32_t>(centre.lines.size());
    std::int32_t top = checked::Sub(room.y, checked::Mul(centre.height, lines) / 2);
    for (const std::string& line : centre.lines) {
      PutTextBlock(out, {checked::Sub(room.x, width / 2), top, width, Align::Center, centre.size,
                         true, textColor, line, Role::CenterText});
      top = checked::Add(top, centre.height);
    }
  }
  if (!empty) return;
  const std::int32_t h = layout.lineHeight;
  const std::int32_t width = room.hole ? room.holeWidth : std::max(checked::Sub(mSize, 8), 0);
  const bool whole = centre.lines.size() == 1 && centre.size == checked::Round(mFontSize * 1.5);
  const std::int32_t below =
      centre.lines.empty() ? 0
      : whole              ? checked::Round(std::ceil(mFontSize * 1.5 * 4.0 / 3.0) / 2.0)
              : checked::Round(centre.height * static_cast<double>(centre.lines.size()) / 2.0);
  PutTextBlock(out,
               {checked::Sub(room.x, width / 2), checked::Add(checked::Sub(room.y, h / 2), below),
                width, Align::Center, mFontSize, false, textColor, mEmptyText, Role::EmptyText});
}

// Beside the pie and its labels, centred on the pie's height.
void cXAMLPieChart::LegendEntries(detail::Sink& out, const detail::Layout& layout,
                                  const std::string& textColor) const {
  constexpr std::int32_t kSwatch = 12;
  const std::int32_t h = layout.lineHeight;
  const std::int32_t row = std::max(h, 16);
  std::int32_t rows = 0;
  for (const DrawnSlice& slice : layout.slices) {
    rows = checked::Add(rows, InLegend(slice) ? 1 : 0);
  }
  const std::int32_t x =
      checked::Add(checked::Add(checked::Add(mMarginLeft, mSize),
                                checked::Mul(2, checked::Add(layout.room, layout.pad))),
                   16);
  const std::int32_t arcTop = checked::Floor(layout.arcTop);
  const std::int32_t arcHeight = checked::FromWhole(std::ceil(layout.arcBottom) - arcTop);
  std::int32_t y =
      checked::Add(arcTop, std::max(0, checked::Sub(arcHeight, checked::Mul(rows, row)) / 2));
  for (const DrawnSlice& slice : layout.slices) {
    if (!InLegend(slice)) continue;
    Shape& swatch = detail::Scratch(ShapeKind::Rectangle, Role::LegendSwatch);
    swatch.box = {static_cast<double>(x), static_cast<double>(checked::Add(y, (row - kSwatch) / 2)),
                  kSwatch, kSwatch};
    swatch.cornerRadius = 2;
    swatch.fill = detail::RgbaOf(*slice.color);
    swatch.stroke = detail::RgbaOf(textColor);
    // An entry stands for its slice: pointing at it is pointing at the slice.
    detail::SetSliceTexts(swatch, slice, false);
    swatch.name.clear();
    out.Add(swatch);
    const std::string entry =
        mLegendFormat.empty() ? std::string(slice.name) : detail::FormatText(mLegendFormat, slice);
    PutTextBlock(out, {checked::Add(x, kSwatch + 6), checked::Add(y, (row - h) / 2),
                       TextWidth(entry, mFontSize), Align::Left, mFontSize, false, textColor, entry,
                       Role::LegendText, &slice, &slice});
    y = checked::Add(y, row);
  }
}

// Labels, centre text and legend, each element on a line of its own after the
// shapes they explain, so they are drawn on top.
void cXAMLPieChart::Extras(detail::Sink& out, const detail::Layout& layout) const {
  // Inner rings' labels stay inside when the outer ring's go out.
  const bool insideLabels =
      !layout.labels.empty() &&
      (!mLabelsOutside || std::any_of(layout.slices.begin(), layout.slices.end(),
                                      [](const DrawnSlice& slice) { return slice.ring > 0; }));
  const bool outsideLabels = layout.room > 0;
  const bool legend = mLegend && std::any_of(layout.slices.begin(), layout.slices.end(), InLegend);
  const bool empty =
      !mEmptyText.empty() && std::none_of(layout.slices.begin(), layout.slices.end(),
                                          [](const DrawnSlice& slice) { return Bulk(slice) > 0; });
  if (!insideLabels && !outsideLabels && !legend && mCenterText.empty() && !empty) return;

  const std::string textColor = ColorToHex(mTextColor);
  const detail::CentreRoom room = PlanCentre(layout);
  if (insideLabels) InsideLabels(out, layout, room);
  if (outsideLabels) OutsideLabels(out, layout, textColor);
  CentreTexts(out, layout, room, textColor, empty);
  if (legend) LegendEntries(out, layout, textColor);
}

}  // namespace xamlpie
