#include "xamlpie/cXAMLPieChart.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string_view>

#include "MarkupWriter.h"
#include "checked.h"

namespace xamlpie {

namespace checked {
void ThrowOverflow() {
  throw OverflowError();
}
}  // namespace checked

OverflowError::OverflowError() : std::overflow_error("Overflow") {}
OverflowError::~OverflowError() = default;

namespace {

// The markup's pi. Changing it moves rim points by a pixel here and there.
constexpr double kPi = 3.141592653238;

// Cosine and sine of each whole degree, computed exactly as the uncached path
// would, so the cache changes speed only, never a bit of the output. Per thread
// so that charts on different threads need no lock; bounded so that a huge
// angle cannot make it grow without limit.
class TrigCache {
 public:
  static constexpr std::int32_t kLimit = 1 << 16;

  struct CosSin {
    double cos;
    double sin;
  };

  static CosSin Compute(std::int32_t degree) {
    const double radians = static_cast<double>(degree) * kPi / 180.0;
    return {std::cos(radians), std::sin(radians)};
  }

  CosSin Get(std::int32_t degree) {
    if (degree < 0 || degree >= kLimit) return Compute(degree);
    const auto index = static_cast<std::size_t>(degree);
    if (index >= mTable.size()) Grow(index);
    return mTable[index];
  }

 private:
  void Grow(std::size_t index) {
    std::size_t size = mTable.empty() ? 512 : mTable.size();
    while (size <= index)
      size *= 2;
    if (size > static_cast<std::size_t>(kLimit)) size = static_cast<std::size_t>(kLimit);
    mTable.reserve(size);
    for (std::size_t d = mTable.size(); d < size; ++d) {
      mTable.push_back(Compute(static_cast<std::int32_t>(d)));
    }
  }

  std::vector<CosSin> mTable;
};

TrigCache& Trig() {
  thread_local TrigCache cache;
  return cache;
}

// The text of the rim point at each whole degree of a turn, for one circle,
// written when first needed: charts of one size write the same points chart
// after chart. Worked out as the uncached path does, so the same text.
class RimText {
 public:
  struct Point {
    char text[detail::MarkupWriter::kPointChars];
    std::size_t length;  // 0: not written yet
  };

  // The rim `radius` from `centre`; forgets another rim's points.
  void Use(double radius, double centre) {
    if (radius == mRadius && centre == mCentre) return;
    mRadius = radius;
    mCentre = centre;
    for (Point& point : mPoints)
      point.length = 0;
  }

  // `degree` from 0 to 360.
  const Point& Get(std::int32_t degree, TrigCache& trig) {
    Point& point = mPoints[static_cast<std::size_t>(degree)];
    if (point.length == 0) {
      const TrigCache::CosSin cs = trig.Get(degree);
      point.length =
          detail::MarkupWriter::FormatPoint(point.text, checked::Floor(mRadius * cs.cos + mCentre),
                                            checked::Floor(mCentre - mRadius * cs.sin));
    }
    return point;
  }

 private:
  double mRadius = std::numeric_limits<double>::quiet_NaN();
  double mCentre = 0;
  std::array<Point, 361> mPoints{};
};

RimText& Rim() {
  thread_local RimText rim;
  return rim;
}

}  // namespace

namespace {

// Rough size of the markup, so that the text of a usual chart is allocated
// once; past the cap the string grows as it needs to, since a share that
// overflows would have the whole estimate allocated for nothing.
std::size_t EstimateLength(const std::vector<DataItem>& items) {
  constexpr double kCap = 1 << 16;
  double chars = 256.0;
  for (const DataItem& item : items) {
    chars += 96.0;
    if (item.Percent > 0) chars += static_cast<double>(item.Percent) * 3.6 * 8.0;
    if (chars > kCap) return static_cast<std::size_t>(kCap);
  }
  return static_cast<std::size_t>(chars);
}

}  // namespace

void detail::MarkupWriter::Text(std::string_view utf8) {
  ForEachCodePoint(utf8, [this](char32_t c) {
    switch (c) {
      case U'&':
        Put("&amp;");
        return;
      case U'<':
        Put("&lt;");
        return;
      case U'>':
        Put("&gt;");
        return;
      case U'\'':
        Put("&apos;");
        return;
      case U'"':
        Put("&quot;");
        return;
      default:
        break;
    }
    if (c >= 0x20 && c < 0x7F) {
      Room(1);
      mBuffer[mLength++] = static_cast<char>(c);
      return;
    }
    // XML 1.0 has no place for other control characters, even as references.
    const bool allowed =
        c == 0x9 || c == 0xA || c == 0xD || (c >= 0x7F && c != 0xFFFE && c != 0xFFFF);
    Put("&#");
    Int(static_cast<std::int32_t>(allowed ? c : 0xFFFD));
    Put(";");
  });
}

struct detail::SliceGeometry {
  std::int32_t left;  // canvas offset of the slice's polygons, explode applied
  std::int32_t top;
  std::int32_t tag;  // index as added; -1 when the slice has no name
  std::string_view name;
  std::string_view folded;           // "Other": the names in it
  std::int32_t strokeThickness = 0;  // 0: XAML's default, not written
};

namespace detail {

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
  std::vector<DrawnSlice> slices{};
  std::vector<std::string> labels{};  // per slice; empty: none

  // The unit vector to the middle of a slice, y pointing down the screen.
  std::pair<double, double> Middle(const DrawnSlice& slice) const {
    const double mid = (static_cast<double>(slice.startAngle) + slice.endAngle) / 2.0;
    const double degrees = !turned ? mid : clockwise ? start - mid : start + mid;
    const double radians = degrees * kPi / 180.0;
    return {std::cos(radians), -std::sin(radians)};
  }
};

}  // namespace detail

namespace {

using detail::DrawnSlice;
using detail::Layout;

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

std::int32_t TextWidth(std::string_view text, std::int32_t fontSize, bool bold = false) {
  double ems = 0;
  detail::ForEachCodePoint(text, [&](char32_t c) { ems += CharWidth(c); });
  // Bold faces run about a tenth wider; a pixel spare for rounding.
  return checked::Round(std::ceil(ems * fontSize * (bold ? 1.1 : 1.0)) + (ems > 0 ? 1 : 0));
}

std::string PercentText(std::int32_t percent) {
  return std::to_string(percent) + " %";
}

std::string LabelText(LabelStyle style, const DrawnSlice& slice) {
  switch (style) {
    case LabelStyle::Percent:
      return PercentText(slice.percent);
    case LabelStyle::Name:
      return std::string(slice.name);
    case LabelStyle::NameAndPercent:
      if (slice.name.empty()) return PercentText(slice.percent);
      return std::string(slice.name) + ": " + PercentText(slice.percent);
    case LabelStyle::None:
      break;
  }
  return {};
}

// Black or white, whichever reads better on a fill.
const char* ContrastTo(const std::string& hex) {
  const auto component = [&](std::size_t at) { return std::stoi(hex.substr(at, 2), nullptr, 16); };
  const int luma = 299 * component(0) + 587 * component(2) + 114 * component(4);
  return luma >= 150000 ? "000000" : "FFFFFF";
}

void PutAttribute(detail::MarkupWriter& out, std::string_view name, std::int32_t value) {
  out.Put(" ");
  out.Put(name);
  out.Put("='");
  out.Int(value);
  out.Put("'");
}

struct TextBlock {
  std::int32_t left;
  std::int32_t top;
  std::int32_t width;
  const char* alignment;  // nullptr: XAML's default, Left
  std::int32_t fontSize;
  bool bold;
  std::string_view foreground;
  std::string_view text;
  const DrawnSlice* slice = nullptr;  // the slice it stands for, if any
};

// Tag and ToolTip as the slice's own polygons carry them.
void PutSlicePointer(detail::MarkupWriter& out, const DrawnSlice& slice) {
  out.Put(" Tag='");
  out.Int(slice.tag);
  out.Put("' ToolTip='");
  out.Text(slice.name);
  out.Put(": ");
  out.Int(slice.percent);
  out.Put(" %");
  if (!slice.folded.empty()) {
    out.Put(" (");
    out.Text(slice.folded);
    out.Put(")");
  }
  out.Put("'");
}

void PutTextBlock(detail::MarkupWriter& out, const TextBlock& t, std::string_view family) {
  out.Put("\r\n<TextBlock");
  PutAttribute(out, "Canvas.Left", t.left);
  PutAttribute(out, "Canvas.Top", t.top);
  PutAttribute(out, "Width", t.width);
  if (t.alignment != nullptr) {
    out.Put(" TextAlignment='");
    out.Put(std::string_view(t.alignment));
    out.Put("'");
  }
  PutAttribute(out, "FontSize", t.fontSize);
  if (!family.empty()) {
    out.Put(" FontFamily='");
    out.Text(family);
    out.Put("'");
  }
  if (t.bold) out.Put(" FontWeight='Bold'");
  out.Put(" Foreground='#");
  out.Put(t.foreground);
  out.Put("' Text='");
  out.Text(t.text);
  out.Put("'");
  if (t.slice != nullptr) PutSlicePointer(out, *t.slice);
  out.Put(" />");
}

void PutLine(detail::MarkupWriter& out, std::int32_t x1, std::int32_t y1, std::int32_t x2,
             std::int32_t y2, std::string_view stroke) {
  out.Put("\r\n<Line");
  PutAttribute(out, "X1", x1);
  PutAttribute(out, "Y1", y1);
  PutAttribute(out, "X2", x2);
  PutAttribute(out, "Y2", y2);
  out.Put(" Stroke='#");
  out.Put(stroke);
  out.Put("' StrokeThickness='1' />");
}

// A legend lists the named slices that are drawn.
bool InLegend(const DrawnSlice& slice) {
  return !slice.name.empty() && slice.startAngle <= slice.endAngle;
}

std::int32_t RoundedOffset(double length, double direction) {
  return checked::Round(length * direction);
}

// A coordinate to a hundredth of a pixel, whatever the C locale says.
void PutDecimal(detail::MarkupWriter& out, double value) {
  char text[32];
  const auto [end, error] =
      std::to_chars(std::begin(text), std::end(text), std::round(value * 100.0) / 100.0 + 0.0,
                    std::chars_format::fixed, 2);
  out.Put(error == std::errc() ? std::string_view(text, static_cast<std::size_t>(end - text))
                               : std::string_view("0"));
}

// An arc about (cx, cy) at `radius` through the slice's whole degrees, first
// to last or back.
void PutArc(detail::MarkupWriter& out, const Layout& layout, const DrawnSlice& slice, double cx,
            double cy, double radius, bool back) {
  const std::int32_t count = checked::Sub(slice.endAngle, slice.startAngle);
  for (std::int32_t i = 0; i <= count; ++i) {
    const double a = back ? slice.endAngle - i : slice.startAngle + i;
    const double degrees = !layout.turned     ? a
                           : layout.clockwise ? layout.start - a
                                              : layout.start + a;
    const double radians = degrees * kPi / 180.0;
    out.Put(" ");
    PutDecimal(out, cx + radius * std::cos(radians));
    out.Put(",");
    PutDecimal(out, cy - radius * std::sin(radians));
  }
}

}  // namespace

void cXAMLPieChart::BackgroundColor(ColorValue pColor) noexcept {
  mBackgroundColor = pColor;
}

void cXAMLPieChart::DoughnutWidth(std::int32_t pWidth) noexcept {
  if (pWidth >= 0) mDoughnutWidth = pWidth;
}

void cXAMLPieChart::AddDataItem(std::int32_t Percent, ColorValue Color) {
  AddDataItem(Percent, Color, {});
}

void cXAMLPieChart::AddDataItem(std::int32_t Percent, ColorValue Color, std::string_view Label) {
  if (mItems.size() >= static_cast<std::size_t>(checked::kMax)) checked::ThrowOverflow();
  DataItem item{ColorToHex(Color), Percent, std::string(Label)};
  mItems.push_back(std::move(item));  // strong guarantee: the strings' moves cannot throw
}

void cXAMLPieChart::Clear() noexcept {
  mItems.clear();
}

void cXAMLPieChart::StartAngle(std::int32_t lonValue) noexcept {
  const std::int32_t reduced = lonValue % 360;
  mStartAngle = reduced < 0 ? reduced + 360 : reduced;
}

void cXAMLPieChart::MinLabelAngle(std::int32_t lonValue) noexcept {
  if (lonValue >= 0) mMinLabelAngle = lonValue;
}

void cXAMLPieChart::FontSize(std::int32_t lonValue) noexcept {
  if (lonValue >= 1 && lonValue <= kMaxFontSize) mFontSize = lonValue;
}

void cXAMLPieChart::FontFamily(std::string_view pFamily) {
  mFontFamily = pFamily;
}

void cXAMLPieChart::CenterText(std::string_view pText) {
  mCenterText = pText;
}

std::int32_t cXAMLPieChart::Explode(std::int32_t Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= mItems.size()) {
    throw std::out_of_range("Explode: no item " + std::to_string(Index));
  }
  return mItems[static_cast<std::size_t>(Index)].Explode;
}

void cXAMLPieChart::Explode(std::int32_t Index, std::int32_t lonValue) {
  (void)Explode(Index);  // the same check
  mItems[static_cast<std::size_t>(Index)].Explode = lonValue;
}

void cXAMLPieChart::GroupBelow(std::int32_t Percent, ColorValue Color, std::string_view Label) {
  std::string color = ColorToHex(Color);
  std::string label(Label);
  mGroupBelow = Percent;
  mGroupColor = std::move(color);
  mGroupLabel = std::move(label);
}

RgbValue cXAMLPieChart::TranslateColor(ColorValue color) {
  return TranslateOleColor(color);
}

std::string cXAMLPieChart::ColorToHex(ColorValue color) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const RgbValue rgb = TranslateColor(color);
  std::string text(6, '0');
  for (std::size_t i = 0; i < 3; ++i) {
    const std::uint32_t component = (rgb >> (8 * i)) & 0xFFu;
    text[2 * i] = kDigits[component >> 4];
    text[2 * i + 1] = kDigits[component & 0xFu];
  }
  return text;
}

bool cXAMLPieChart::SliceXAML(detail::MarkupWriter& out, std::int32_t Percent,
                              std::int32_t StartPercent, const std::string& Color,
                              const detail::Layout& layout,
                              const detail::SliceGeometry& slice) const {
  const auto [startAngle, endAngle] = SliceAngles(Percent, StartPercent);
  // A negative share covers no degree; a lone "' />" would break the document.
  if (startAngle > endAngle) return false;

  const std::int32_t centre = layout.centre;
  const double radius = layout.radius;
  const auto centreF = static_cast<double>(centre);
  TrigCache& trig = Trig();
  RimText& rim = Rim();
  rim.Use(radius, centreF);
  // Copies: the writer's characters could alias the layout, which would have
  // it read again for every point.
  const bool turned = layout.turned;
  const std::int64_t start = layout.start;
  const std::int64_t step = layout.clockwise ? -1 : 1;

  std::int32_t pointCount = 0;
  std::int32_t angle = startAngle;
  while (angle <= endAngle) {
    if (pointCount > 100) {
      pointCount = 0;
      out.Put("' />\r\n");
      // The next fan starts one degree back, so neighbouring fans share an edge.
      angle = checked::Sub(angle, 2);
    }
    if (pointCount == 0) {
      out.Put("<Polygon Canvas.Left='");
      out.Int(slice.left);
      out.Put("' Canvas.Top='");
      out.Int(slice.top);
      out.Put("' Fill='#");
      out.Put(Color);
      out.Put("' Stroke='#");
      out.Put(Color);
      if (slice.strokeThickness > 0) {
        out.Put("' StrokeThickness='");
        out.Int(slice.strokeThickness);
      }
      if (slice.tag >= 0) {
        out.Put("' Tag='");
        out.Int(slice.tag);
        out.Put("' ToolTip='");
        out.Text(slice.name);
        out.Put(": ");
        out.Int(Percent);
        out.Put(" %");
        if (!slice.folded.empty()) {
          out.Put(" (");
          out.Text(slice.folded);
          out.Put(")");
        }
        out.Put("' AutomationProperties.Name='");
        out.Text(slice.name);
        out.Put(", ");
        out.Int(Percent);
        out.Put(" percent");
      }
      out.Put("' Points='");
      out.Point(centre, centre);
    }
    std::int64_t degree = angle;
    if (turned) {
      degree = (start + step * angle) % 360;
      if (degree < 0) degree += 360;
    }
    if (degree >= 0 && degree <= 360) {
      const RimText::Point& point = rim.Get(static_cast<std::int32_t>(degree), trig);
      out.PutPoint(point.text, point.length);
    } else {
      const TrigCache::CosSin cs = trig.Get(static_cast<std::int32_t>(degree));
      out.Point(checked::Floor(radius * cs.cos + centreF),
                checked::Floor(centreF - radius * cs.sin));
    }
    pointCount = checked::Add(pointCount, 1);
    angle = checked::Add(angle, 1);
  }
  out.Put("' />");
  return true;
}

std::string cXAMLPieChart::XAML() const {
  Layout layout{mMarginLeft,
                mMarginTop,
                mSize / 2,
                static_cast<double>(mSize) / 2.0 - 1.5,
                mStartAngle,
                mClockwise,
                mStartAngle != 0 || mClockwise};

  // The slices as drawn: small ones may fold into "Other", drawn last.
  const std::size_t grouped = mGroupBelow <= 0
                                  ? 0
                                  : static_cast<std::size_t>(std::count_if(
                                        mItems.begin(), mItems.end(), [&](const DataItem& item) {
                                          return item.Percent >= 0 && item.Percent < mGroupBelow;
                                        }));
  const bool group = grouped >= 2;
  layout.slices.reserve(mItems.size() + 1);
  DrawnSlice other{0, &mGroupColor, mGroupLabel, -1, 0, {}};
  for (std::size_t i = 0; i < mItems.size(); ++i) {
    const DataItem& item = mItems[i];
    const auto tag = static_cast<std::int32_t>(i);
    if (group && item.Percent >= 0 && item.Percent < mGroupBelow) {
      other.percent = checked::Add(other.percent, item.Percent);
      if (!item.Label.empty()) {
        if (!other.folded.empty()) other.folded += ", ";
        other.folded += item.Label;
      }
      continue;
    }
    layout.slices.push_back({item.Percent, &item.Color, item.Label, tag, item.Explode, {}});
  }
  if (group) {
    other.tag = static_cast<std::int32_t>(mItems.size());
    layout.slices.push_back(std::move(other));
  }
  std::int32_t runningTotal = 0;
  for (DrawnSlice& slice : layout.slices) {
    slice.startPercent = runningTotal;
    std::tie(slice.startAngle, slice.endAngle) = SliceAngles(slice.percent, runningTotal);
    runningTotal = checked::Add(runningTotal, slice.percent);
  }

  // A pulled-out slice must not leave the markup's top-left corner: the pie
  // moves right and down by the farthest pull, and its extent grows by twice
  // that.
  for (const DrawnSlice& slice : layout.slices) {
    if (slice.explode > 0 && slice.startAngle <= slice.endAngle)
      layout.pad = std::max(layout.pad, slice.explode);
  }
  layout.left = checked::Add(layout.left, layout.pad);
  layout.top = checked::Add(layout.top, layout.pad);

  // Labels, and room beside the pie for them when they go outside.
  layout.lineHeight = checked::Round(std::ceil(mFontSize * 4.0 / 3.0));
  if (mSliceLabels != LabelStyle::None) {
    layout.labels.reserve(layout.slices.size());
    std::int32_t widest = 0;
    std::int32_t explode = 0;
    for (const DrawnSlice& slice : layout.slices) {
      layout.labels.push_back(slice.startAngle <= slice.endAngle ? LabelText(mSliceLabels, slice)
                                                                 : std::string());
      widest = std::max(widest, TextWidth(layout.labels.back(), mFontSize));
      explode = std::max(explode, slice.explode);
    }
    if (mLabelsOutside && widest > 0) {
      layout.columnWidth = widest;
      layout.explode = explode;
      layout.room = checked::Add(checked::Add(widest, 18), explode);
      layout.left = checked::Add(layout.left, layout.room);
    }
  }

  std::string text;
  text.reserve(EstimateLength(mItems));
  detail::MarkupWriter out(text);
  out.Put("<Canvas>\r\n");

  // An exploded slice is drawn over the outline, with the place it left
  // cleared to the background first; the rest in order, under the outline.
  const auto exploded = [](const DrawnSlice& slice) {
    return slice.explode != 0 && slice.startAngle <= slice.endAngle;
  };
  bool anyExploded = false;
  for (const DrawnSlice& slice : layout.slices) {
    if (exploded(slice)) {
      anyExploded = true;
      continue;
    }
    detail::SliceGeometry geometry{layout.left, layout.top, -1, slice.name, slice.folded};
    if (!slice.name.empty()) geometry.tag = slice.tag;
    if (SliceXAML(out, slice.percent, slice.startPercent, *slice.color, layout, geometry)) {
      out.Put("\r\n");
    }
  }

  const std::string outlineColor = ColorToHex(mOutlineColor);
  const std::int32_t outline = checked::Sub(mSize, 1);
  out.Put("<Ellipse Canvas.Left='");
  out.Int(layout.left);
  out.Put("' Canvas.Top='");
  out.Int(layout.top);
  out.Put("' Stroke='#");
  out.Put(outlineColor);
  out.Put("' StrokeThickness='2' Width='");
  out.Int(outline);
  out.Put("' Height='");
  out.Int(outline);
  out.Put("' />");

  const std::string background = ColorToHex(mBackgroundColor);
  if (anyExploded) {
    for (const DrawnSlice& slice : layout.slices) {
      if (!exploded(slice)) continue;
      // Wide enough a stroke to take the outline's arc with it.
      const detail::SliceGeometry gap{layout.left, layout.top, -1, {}, {}, 3};
      out.Put("\r\n");
      SliceXAML(out, slice.percent, slice.startPercent, background, layout, gap);
    }
    if (mDoughnutWidth >= 1) out.Put("\r\n");
  }

  if (mDoughnutWidth >= 1) {
    const std::int32_t left = checked::Add(layout.left, mDoughnutWidth);
    const std::int32_t top = checked::Add(layout.top, mDoughnutWidth);
    const std::int32_t hole = checked::Sub(mSize, checked::Mul(2, mDoughnutWidth));
    out.Put("<Ellipse Canvas.Left='");
    out.Int(left);
    out.Put("' Canvas.Top='");
    out.Int(top);
    out.Put("' Stroke='#");
    out.Put(outlineColor);
    out.Put("' StrokeThickness='2' Fill='#");
    out.Put(background);
    out.Put("' Width='");
    out.Int(hole);
    out.Put("' Height='");
    out.Int(hole);
    out.Put("' />");
  }

  // A pulled-out slice is drawn whole where it went, over the hole: its
  // ring, or fan, smooth to a hundredth of a pixel, outlined along its rim
  // (and the hole's edge) as the others are by the circles.
  if (anyExploded) {
    const bool hole =
        mDoughnutWidth >= 1 && checked::Sub(mSize, checked::Mul(2, mDoughnutWidth)) > 0;
    const double rimCentre = layout.left + (mSize - 1) / 2.0;  // the outline circle's
    const double rimOuter = (mSize - 1) / 2.0;
    const double holeRadius = (mSize - 2.0 * mDoughnutWidth) / 2.0;
    const double fanCentre = layout.left + static_cast<double>(layout.centre);
    const double fanCentreY = layout.top + static_cast<double>(layout.centre);
    const double rimCentreY = layout.top + (mSize - 1) / 2.0;
    for (const DrawnSlice& slice : layout.slices) {
      if (!exploded(slice)) continue;
      const auto [ux, uy] = layout.Middle(slice);
      const double dx = slice.explode * ux;
      const double dy = slice.explode * uy;
      out.Put("\r\n<Polygon Fill='#");
      out.Put(*slice.color);
      out.Put("' Stroke='#");
      out.Put(*slice.color);
      out.Put("'");
      if (!slice.name.empty()) {
        PutSlicePointer(out, slice);
        out.Put(" AutomationProperties.Name='");
        out.Text(slice.name);
        out.Put(", ");
        out.Int(slice.percent);
        out.Put(" percent'");
      }
      out.Put(" Points='");
      if (hole) {
        PutArc(out, layout, slice, fanCentre + dx, fanCentreY + dy, layout.radius, false);
        PutArc(out, layout, slice, fanCentre + dx, fanCentreY + dy, holeRadius - 1.0, true);
      } else {
        out.Put(" ");
        PutDecimal(out, fanCentre + dx);
        out.Put(",");
        PutDecimal(out, fanCentreY + dy);
        PutArc(out, layout, slice, fanCentre + dx, fanCentreY + dy, layout.radius, false);
      }
      out.Put("' />");
      const auto band = [&](double cx, double cy, double outer) {
        out.Put("\r\n<Polygon Fill='#");
        out.Put(outlineColor);
        out.Put("' Points='");
        PutArc(out, layout, slice, cx + dx, cy + dy, outer, false);
        PutArc(out, layout, slice, cx + dx, cy + dy, outer - 2.0, true);
        out.Put("' />");
      };
      band(rimCentre, rimCentreY, rimOuter);
      if (hole) band(fanCentre, fanCentreY, holeRadius);
    }
  }

  ExtrasXAML(out, layout);
  out.Put("\r\n</Canvas>");
  out.Flush();
  return text;
}

// Labels, centre text and legend, each element on a line of its own after the
// shapes they explain, so they are drawn on top.
void cXAMLPieChart::ExtrasXAML(detail::MarkupWriter& out, const detail::Layout& layout) const {
  const bool insideLabels = !layout.labels.empty() && !mLabelsOutside;
  const bool outsideLabels = layout.room > 0;
  const bool legend = mLegend && std::any_of(layout.slices.begin(), layout.slices.end(), InLegend);
  if (!insideLabels && !outsideLabels && !legend && mCenterText.empty()) return;

  const std::string textColor = ColorToHex(mTextColor);
  const std::int32_t h = layout.lineHeight;
  const auto centreX = checked::Add(layout.left, layout.centre);
  const auto centreY = checked::Add(layout.top, layout.centre);
  const bool hole = mDoughnutWidth >= 1 && checked::Sub(mSize, checked::Mul(2, mDoughnutWidth)) > 0;

  if (insideLabels) {
    // Halfway across the ring, or well out towards the rim of a pie.
    const double along = hole ? layout.radius - mDoughnutWidth / 2.0 : 0.62 * layout.radius;
    const double inner = hole ? (mSize - 2.0 * mDoughnutWidth) / 2.0 + 1.0 : 0.0;
    const double outer = layout.radius - 1.0;
    struct Box {
      double left, top, right, bottom;
      bool Meets(const Box& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
      }
    };
    std::vector<Box> taken;
    if (!mCenterText.empty()) {  // as placed below
      const std::int32_t size = checked::Round(mFontSize * 1.5);
      const std::int32_t height = checked::Round(std::ceil(size * 4.0 / 3.0));
      const double width =
          std::min<double>(TextWidth(mCenterText, size, true),
                           hole ? mSize - 2.0 * mDoughnutWidth : std::max(mSize / 2, 0));
      taken.push_back({centreX - width / 2, centreY - height / 2.0, centreX + width / 2,
                       centreY + height / 2.0});
    }
    // Whether a point of the label lies inside its slice, the slice where it
    // is drawn.
    const auto within = [&](const DrawnSlice& slice, double cx, double cy, double px, double py) {
      const double dx = px - cx;
      const double dy = cy - py;
      const double r = std::hypot(dx, dy);
      if (r < inner || r > outer) return false;
      const double first = !layout.turned     ? slice.startAngle
                           : layout.clockwise ? layout.start - slice.startAngle
                                              : layout.start + slice.startAngle;
      double turn = std::atan2(dy, dx) * 180.0 / kPi - first;
      if (layout.turned && layout.clockwise) turn = -turn;
      turn = std::fmod(std::fmod(turn, 360.0) + 360.0, 360.0);
      return turn <= slice.endAngle - slice.startAngle;
    };
    // Where labels compete for room, the larger slices keep theirs.
    std::vector<std::size_t> order(layout.slices.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return layout.slices[a].percent > layout.slices[b].percent;
    });
    std::vector<bool> shown(layout.slices.size(), false);
    std::vector<std::array<std::int32_t, 3>> at(layout.slices.size());  // x, y, width
    for (const std::size_t i : order) {
      const DrawnSlice& slice = layout.slices[i];
      const std::string& label = layout.labels[i];
      if (label.empty() || checked::Sub(slice.endAngle, slice.startAngle) < mMinLabelAngle) {
        continue;
      }
      const auto [ux, uy] = layout.Middle(slice);
      const std::int32_t width = TextWidth(label, mFontSize);
      const double cx = centreX + slice.explode * ux;
      const double cy = centreY + slice.explode * uy;
      // Where it is meant to go, else nearer the middle or the rim of a pie,
      // whichever first holds it.
      bool fits = false;
      std::int32_t x = 0;
      std::int32_t y = 0;
      for (const double share : {1.0, 0.85, 1.15, 0.7, 1.3, 0.55}) {
        if (hole && share != 1.0) break;  // a ring has one middle
        const double reach = along * share + slice.explode;
        x = checked::Add(centreX, RoundedOffset(reach, ux));
        y = checked::Add(centreY, RoundedOffset(reach, uy));
        const Box box{x - width / 2.0, y - h / 2.0, x + width / 2.0, y + h / 2.0};
        fits = std::none_of(taken.begin(), taken.end(),
                            [&](const Box& other) { return other.Meets(box); });
        for (const double fx : {0.0, 0.5, 1.0}) {
          for (const double fy : {0.0, 0.5, 1.0}) {
            fits = fits && within(slice, cx, cy, box.left + fx * (box.right - box.left),
                                  box.top + fy * (box.bottom - box.top));
          }
        }
        if (fits) {
          taken.push_back(box);
          break;
        }
      }
      if (!fits) continue;  // a label never runs out of its slice or over another
      shown[i] = true;
      at[i] = {x, y, width};
    }
    for (std::size_t i = 0; i < layout.slices.size(); ++i) {
      if (!shown[i]) continue;
      const auto [x, y, width] = at[i];
      PutTextBlock(out,
                   {checked::Sub(x, width / 2), checked::Sub(y, h / 2), width, "Center", mFontSize,
                    false, ContrastTo(*layout.slices[i].color), layout.labels[i]},
                   mFontFamily);
    }
  }

  if (outsideLabels) {
    // Columns left and right of the pie; in each, labels keep the order of
    // their slices' middles and are pushed apart just enough not to overlap.
    struct Placed {
      std::size_t slice;
      double ux;
      double uy;
      std::int64_t top;
    };
    std::vector<Placed> columns[2];
    const double knee = layout.radius + 10.0;
    for (std::size_t i = 0; i < layout.slices.size(); ++i) {
      if (layout.labels[i].empty()) continue;
      const auto [ux, uy] = layout.Middle(layout.slices[i]);
      const double want = centreY + (knee + layout.slices[i].explode) * uy - h / 2.0;
      columns[ux >= 0 ? 1 : 0].push_back({i, ux, uy, static_cast<std::int64_t>(std::lround(want))});
    }
    const std::int64_t lowest = layout.top;
    const std::int64_t highest = std::int64_t{layout.top} + mSize;
    const std::int64_t fit = h > 0 && mSize > 0 ? mSize / h : 0;
    const auto rim = checked::Floor(std::max(layout.radius, 0.0));
    const std::int32_t edge = checked::Add(checked::Add(rim, 14), layout.explode);
    for (int side = 0; side < 2; ++side) {
      std::vector<Placed>& column = columns[side];
      if (static_cast<std::int64_t>(column.size()) > fit) {
        // Where not all fit, the largest slices keep their labels.
        std::stable_sort(column.begin(), column.end(), [&](const Placed& a, const Placed& b) {
          return layout.slices[a.slice].percent > layout.slices[b.slice].percent;
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
        const double rimDistance = layout.radius + slice.explode;
        const std::int32_t ax = checked::Add(centreX, RoundedOffset(rimDistance, p.ux));
        const std::int32_t ay = checked::Add(centreY, RoundedOffset(rimDistance, p.uy));
        const std::int32_t kx = checked::Add(centreX, RoundedOffset(rimDistance + 10.0, p.ux));
        // The knee stays within the chart's height, as the labels do, but
        // never turns back into a slice pulled out beyond it.
        const std::int32_t ky = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            checked::Add(centreY, RoundedOffset(rimDistance + 10.0, p.uy)),
            std::min<std::int64_t>(lowest, ay), std::max<std::int64_t>(highest, ay)));
        const std::int32_t top = checked::Narrow(p.top);
        const std::int32_t ex =
            side == 1 ? checked::Add(centreX, edge) : checked::Sub(centreX, edge);
        const std::int32_t ey = checked::Add(top, h / 2);
        PutLine(out, ax, ay, kx, ky, textColor);
        PutLine(out, kx, ky, ex, ey, textColor);
        const std::int32_t left =
            side == 1 ? checked::Add(ex, 4) : checked::Sub(checked::Sub(ex, 4), layout.columnWidth);
        PutTextBlock(out,
                     {left, top, layout.columnWidth, side == 1 ? "Left" : "Right", mFontSize, false,
                      textColor, layout.labels[p.slice]},
                     mFontFamily);
      }
    }
  }

  if (!mCenterText.empty()) {
    const std::int32_t size = checked::Round(mFontSize * 1.5);
    const std::int32_t height = checked::Round(std::ceil(size * 4.0 / 3.0));
    const std::int32_t width =
        hole ? checked::Sub(mSize, checked::Mul(2, mDoughnutWidth)) : std::max(mSize / 2, 0);
    PutTextBlock(out,
                 {checked::Sub(centreX, width / 2), checked::Sub(centreY, height / 2), width,
                  "Center", size, true, textColor, mCenterText},
                 mFontFamily);
  }

  if (legend) {
    // Beside the pie and its labels, centred on the pie's height.
    constexpr std::int32_t kSwatch = 12;
    const std::int32_t row = std::max(h, 16);
    std::int32_t rows = 0;
    for (const DrawnSlice& slice : layout.slices) {
      rows = checked::Add(rows, InLegend(slice) ? 1 : 0);
    }
    const std::int32_t x =
        checked::Add(checked::Add(checked::Add(mMarginLeft, mSize),
                                  checked::Mul(2, checked::Add(layout.room, layout.pad))),
                     16);
    std::int32_t y =
        checked::Add(layout.top, std::max(0, checked::Sub(mSize, checked::Mul(rows, row)) / 2));
    for (const DrawnSlice& slice : layout.slices) {
      if (!InLegend(slice)) continue;
      out.Put("\r\n<Rectangle");
      PutAttribute(out, "Canvas.Left", x);
      PutAttribute(out, "Canvas.Top", checked::Add(y, (row - kSwatch) / 2));
      out.Put(" Width='12' Height='12' RadiusX='2' RadiusY='2' Fill='#");
      out.Put(*slice.color);
      out.Put("' Stroke='#");
      out.Put(textColor);
      out.Put("' StrokeThickness='1'");
      // An entry stands for its slice: pointing at it is pointing at the slice.
      PutSlicePointer(out, slice);
      out.Put(" />");
      PutTextBlock(out,
                   {checked::Add(x, kSwatch + 6), checked::Add(y, (row - h) / 2),
                    TextWidth(slice.name, mFontSize), nullptr, mFontSize, false, textColor,
                    slice.name, &slice},
                   mFontFamily);
      y = checked::Add(y, row);
    }
  }
}

}  // namespace xamlpie
