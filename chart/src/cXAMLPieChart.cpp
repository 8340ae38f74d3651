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

// Text is measured without a font: this much of the size per character is
// wide enough for the sans-serif faces renderers use, so boxes err large.
constexpr double kCharWidth = 0.6;

std::int32_t TextWidth(std::string_view text, std::int32_t fontSize) {
  const auto chars = static_cast<double>(detail::CodePointCount(text));
  return checked::Round(std::ceil(chars * fontSize * kCharWidth));
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
  const auto drawSlice = [&](const DrawnSlice& slice, bool moved) {
    detail::SliceGeometry geometry{layout.left, layout.top, -1, slice.name, slice.folded};
    if (!slice.name.empty()) geometry.tag = slice.tag;
    if (moved) {
      const auto [ux, uy] = layout.Middle(slice);
      geometry.left = checked::Add(geometry.left, RoundedOffset(slice.explode, ux));
      geometry.top = checked::Add(geometry.top, RoundedOffset(slice.explode, uy));
    }
    return SliceXAML(out, slice.percent, slice.startPercent, *slice.color, layout, geometry);
  };
  bool anyExploded = false;
  for (const DrawnSlice& slice : layout.slices) {
    if (exploded(slice)) {
      anyExploded = true;
    } else if (drawSlice(slice, false)) {
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
      out.Put("\r\n");
      drawSlice(slice, true);
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
    for (std::size_t i = 0; i < layout.slices.size(); ++i) {
      const DrawnSlice& slice = layout.slices[i];
      const std::string& label = layout.labels[i];
      if (label.empty() || checked::Sub(slice.endAngle, slice.startAngle) < mMinLabelAngle) {
        continue;
      }
      const auto [ux, uy] = layout.Middle(slice);
      const double reach = along + slice.explode;
      const std::int32_t width = TextWidth(label, mFontSize);
      const std::int32_t x = checked::Add(centreX, RoundedOffset(reach, ux));
      const std::int32_t y = checked::Add(centreY, RoundedOffset(reach, uy));
      PutTextBlock(out,
                   {checked::Sub(x, width / 2), checked::Sub(y, h / 2), width, "Center", mFontSize,
                    false, ContrastTo(*slice.color), label},
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
    const std::int64_t lowest = mMarginTop;
    const std::int64_t highest = std::int64_t{mMarginTop} + mSize;
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
        // The knee stays within the chart's height, as the labels do.
        const std::int32_t ky = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            checked::Add(centreY, RoundedOffset(rimDistance + 10.0, p.uy)), lowest, highest));
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
    const std::int32_t x = checked::Add(
        checked::Add(checked::Add(mMarginLeft, mSize), checked::Mul(2, layout.room)), 16);
    std::int32_t y =
        checked::Add(mMarginTop, std::max(0, checked::Sub(mSize, checked::Mul(rows, row)) / 2));
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
