#include "xamlpie/cXAMLPieChart.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <numeric>
#include <span>
#include <string_view>

#include "Layout.h"
#include "MarkupWriter.h"
#include "Rim.h"
#include "Sink.h"
#include "checked.h"

namespace xamlpie {

namespace checked {
void ThrowOverflow() {
  throw OverflowError();
}
}  // namespace checked

OverflowError::OverflowError() : std::overflow_error("Overflow") {}
OverflowError::~OverflowError() = default;

using detail::DrawnSlice;
using detail::kPi;
using detail::LabelText;
using detail::Layout;
using detail::PutMovedSlice;
using detail::SliceAngles;

namespace {

// Rough size of the markup, so that the text of a chart is allocated once:
// what each item writes besides its rim, and its rim's points, those capped
// since a share that overflows would have the whole estimate allocated for
// nothing. Named value slices carry longer tooltips.
std::size_t EstimateLength(const std::vector<DataItem>& items, bool values) {
  constexpr double kCap = 1 << 16;
  double rim = values ? 360.0 * 8.0 : 0.0;
  for (const DataItem& item : items) {
    if (item.Percent > 0) rim += static_cast<double>(item.Percent) * 3.6 * 8.0;
    if (rim > kCap) {
      rim = kCap;
      break;
    }
  }
  const double each = values ? 200.0 : 96.0;
  return static_cast<std::size_t>(256.0 + each * static_cast<double>(items.size()) + rim);
}

}  // namespace

void detail::MarkupWriter::Text(std::string_view utf8) {
  // Runs of printable ASCII that needs no entity are copied whole.
  const auto plain = [](char c) {
    return c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '\'' && c != '"';
  };
  std::size_t run = 0;
  while (run < utf8.size() && plain(utf8[run]))
    ++run;
  Put(utf8.substr(0, run));
  if (run == utf8.size()) return;
  utf8.remove_prefix(run);
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

void cXAMLPieChart::BackgroundColor(ColorValue pColor) noexcept {
  ++mRevision;
  mBackgroundColor = pColor;
}

void cXAMLPieChart::DoughnutWidth(std::int32_t pWidth) noexcept {
  ++mRevision;
  if (pWidth >= 0) mDoughnutWidth = pWidth;
}

void cXAMLPieChart::AddDataItem(std::int32_t Percent, ColorValue Color) {
  ++mRevision;
  AddDataItem(Percent, Color, {});
}

void cXAMLPieChart::AddDataItem(std::int32_t Percent, ColorValue Color, std::string_view Label) {
  ++mRevision;
  if (mKind == Kind::Values) {
    throw std::logic_error("AddDataItem: this chart is of values (AddValue); Clear it first");
  }
  if (mItems.size() >= static_cast<std::size_t>(checked::kMax)) checked::ThrowOverflow();
  DataItem item{ColorToHex(Color), Percent, std::string(Label)};
  item.Ring = static_cast<std::int32_t>(mRingWidths.size());
  mItems.push_back(std::move(item));  // strong guarantee: the strings' moves cannot throw
  mKind = Kind::Percents;
}

void cXAMLPieChart::AddValue(double Value, ColorValue Color, std::string_view Label) {
  ++mRevision;
  if (mKind == Kind::Percents) {
    throw std::logic_error("AddValue: this chart is of percents (AddDataItem); Clear it first");
  }
  if (!std::isfinite(Value) || Value < 0) {
    char text[32];
    const auto [end, error] = std::to_chars(std::begin(text), std::end(text), Value);
    throw std::invalid_argument(
        "AddValue: value " + std::to_string(mItems.size()) + " (" +
        std::string(text, error == std::errc() ? static_cast<std::size_t>(end - text) : 0) +
        ") is " +
        (std::isnan(Value) ? "not a number"
         : Value < 0       ? "negative"
                           : "infinite"));
  }
  if (mItems.size() >= static_cast<std::size_t>(checked::kMax)) checked::ThrowOverflow();
  DataItem item{ColorToHex(Color), 0, std::string(Label), 0, Value};
  item.Ring = static_cast<std::int32_t>(mRingWidths.size());
  mItems.push_back(std::move(item));
  mKind = Kind::Values;
}

void cXAMLPieChart::AddRing(std::int32_t Width) {
  ++mRevision;
  if (Width < 1) {
    throw std::invalid_argument("AddRing: width " + std::to_string(Width) + " is below 1");
  }
  if (mRingWidths.size() >= static_cast<std::size_t>(checked::kMax) - 1) checked::ThrowOverflow();
  mRingWidths.push_back(Width);
}

void cXAMLPieChart::Clear() noexcept {
  ++mRevision;
  mItems.clear();
  mRingWidths.clear();
  mKind = Kind::Empty;
}

void cXAMLPieChart::LabelFormat(std::string_view pFormat) {
  ++mRevision;
  mLabelFormat = pFormat;
}

void cXAMLPieChart::LegendFormat(std::string_view pFormat) {
  ++mRevision;
  mLegendFormat = pFormat;
}

void cXAMLPieChart::PercentDecimals(std::int32_t lonValue) noexcept {
  ++mRevision;
  if (lonValue >= 0 && lonValue <= 6) mPercentDecimals = lonValue;
}

void cXAMLPieChart::ValueDecimals(std::int32_t lonValue) noexcept {
  ++mRevision;
  if (lonValue >= 0 && lonValue <= 6) mValueDecimals = lonValue;
}

void cXAMLPieChart::DecimalSeparator(std::string_view pText) {
  ++mRevision;
  mDecimalSeparator = pText;
}

void cXAMLPieChart::GroupSeparator(std::string_view pText) {
  ++mRevision;
  mGroupSeparator = pText;
}

void cXAMLPieChart::StartAngle(std::int32_t lonValue) noexcept {
  ++mRevision;
  const std::int32_t reduced = lonValue % 360;
  mStartAngle = reduced < 0 ? reduced + 360 : reduced;
}

void cXAMLPieChart::MinLabelAngle(std::int32_t lonValue) noexcept {
  ++mRevision;
  if (lonValue >= 0) mMinLabelAngle = lonValue;
}

void cXAMLPieChart::FontSize(std::int32_t lonValue) noexcept {
  ++mRevision;
  if (lonValue >= 1 && lonValue <= kMaxFontSize) mFontSize = lonValue;
}

void cXAMLPieChart::FontFamily(std::string_view pFamily) {
  ++mRevision;
  mFontFamily = pFamily;
}

void cXAMLPieChart::EmptyText(std::string_view pText) {
  ++mRevision;
  mEmptyText = pText;
}

std::int32_t cXAMLPieChart::TextWidth(std::string_view text, std::int32_t fontSize,
                                      bool bold) const {
  if (mMeasure && !text.empty()) {
    const double width = mMeasure(text, fontSize, bold);
    // A pixel spare for rounding, as the estimate keeps.
    if (width >= 0 && width <= kMaxLength) return checked::Round(std::ceil(width) + 1);
  }
  return detail::TextWidth(text, fontSize, bold);
}

void cXAMLPieChart::CenterText(std::string_view pText) {
  ++mRevision;
  mCenterText = pText;
}

std::int32_t cXAMLPieChart::Explode(std::int32_t Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= mItems.size()) {
    throw std::out_of_range("Explode: no item " + std::to_string(Index));
  }
  return mItems[static_cast<std::size_t>(Index)].Explode;
}

void cXAMLPieChart::Explode(std::int32_t Index, std::int32_t lonValue) {
  ++mRevision;
  (void)Explode(Index);  // the same check
  mItems[static_cast<std::size_t>(Index)].Explode = lonValue;
}

std::int32_t cXAMLPieChart::Parent(std::int32_t Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= mItems.size()) {
    throw std::out_of_range("Parent: no item " + std::to_string(Index));
  }
  return mItems[static_cast<std::size_t>(Index)].Parent;
}

void cXAMLPieChart::Parent(std::int32_t Index, std::int32_t ParentIndex) {
  ++mRevision;
  (void)Parent(Index);  // the same check
  DataItem& item = mItems[static_cast<std::size_t>(Index)];
  if (ParentIndex != -1) {
    if (ParentIndex < 0 || static_cast<std::size_t>(ParentIndex) >= mItems.size()) {
      throw std::invalid_argument("Parent: no item " + std::to_string(ParentIndex));
    }
    const std::int32_t ring = mItems[static_cast<std::size_t>(ParentIndex)].Ring;
    if (ring != item.Ring + 1) {
      throw std::invalid_argument("Parent: item " + std::to_string(ParentIndex) + " lies in ring " +
                                  std::to_string(ring) + "; the parent of item " +
                                  std::to_string(Index) + " must lie in ring " +
                                  std::to_string(item.Ring + 1) + ", just inside its own");
    }
  }
  item.Parent = ParentIndex;
}

double cXAMLPieChart::RadiusValue(std::int32_t Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= mItems.size()) {
    throw std::out_of_range("RadiusValue: no item " + std::to_string(Index));
  }
  return mItems[static_cast<std::size_t>(Index)].RadiusValue;
}

void cXAMLPieChart::RadiusValue(std::int32_t Index, double Value) {
  ++mRevision;
  (void)RadiusValue(Index);  // the same check
  if (!std::isfinite(Value) || Value < 0) {
    throw std::invalid_argument("RadiusValue: item " + std::to_string(Index) + "'s value is " +
                                (std::isnan(Value) ? "not a number"
                                 : Value < 0       ? "negative"
                                                   : "infinite"));
  }
  mItems[static_cast<std::size_t>(Index)].RadiusValue = Value;
}

void cXAMLPieChart::GroupBelow(std::int32_t Percent, ColorValue Color, std::string_view Label) {
  ++mRevision;
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

bool cXAMLPieChart::Fans(detail::Sink& out, const DrawnSlice& slice, const std::string& Color,
                         const detail::Layout& layout, bool cleared) const {
  const auto [startAngle, endAngle] = SliceAngles(slice.percent, slice.startPercent);
  // A negative share covers no degree.
  if (startAngle > endAngle) return false;

  const Rgba colour = detail::RgbaOf(Color);
  detail::FanRim rim{static_cast<double>(layout.centre), layout.radius};
  rim.reduce = layout.turned;
  rim.start = layout.start;
  rim.step = layout.clockwise ? -1 : 1;
  // The step past the last angle must stay in 32 bits, as the angles do.
  if (endAngle == std::numeric_limits<std::int32_t>::max()) checked::ThrowOverflow();
  // Fans of at most 101 rim points; the next starts one degree before the
  // last's end, so neighbouring fans share an edge.
  std::int64_t first = startAngle;
  while (true) {
    const std::int64_t last = std::min<std::int64_t>(first + 100, endAngle);
    Shape& fan = detail::Scratch(ShapeKind::Polygon, cleared ? Role::Cleared : Role::Slice);
    fan.origin = {static_cast<double>(layout.left), static_cast<double>(layout.top)};
    fan.fill = fan.stroke = colour;
    if (cleared) {
      // Wide enough a stroke to take the outline's arc with it.
      fan.strokeWidth = 3;
      fan.ring = slice.ring;
      fan.index = slice.tag;
    } else {
      detail::SetSliceTexts(fan, slice, true);
    }
    rim.first = first;
    rim.count = last - first + 1;
    out.AddFan(fan, rim);
    if (last >= endAngle) break;
    first = last - 1;
  }
  return true;
}

// Each item's value (or percent) as a sunburst counts it: its own, or
// where it is 0 the sum of its children's, from the outer ring in. Empty
// where no item has a parent.
std::vector<double> cXAMLPieChart::Measures() const {
  if (std::none_of(mItems.begin(), mItems.end(),
                   [](const DataItem& item) { return item.Parent >= 0; })) {
    return {};
  }
  const bool values = mKind == Kind::Values;
  std::vector<double> measures(mItems.size());
  std::vector<double> children(mItems.size(), 0.0);
  std::vector<std::size_t> order(mItems.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  // Children lie in the ring outside their parent's: outer rings first.
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return mItems[a].Ring < mItems[b].Ring; });
  for (const std::size_t i : order) {
    const DataItem& item = mItems[i];
    const double own = values ? item.Value : static_cast<double>(item.Percent);
    measures[i] = own == 0 && children[i] > 0 ? children[i] : own;
    if (item.Parent >= 0)
      children[static_cast<std::size_t>(item.Parent)] += std::max(measures[i], 0.0);
  }
  return measures;
}

namespace {

// Each slice's edges after the ring's first: a chart of values, a partial
// arc or shapes at their exact angles, else in whole degrees by the markup's
// rules from the percents drawn before.
void SetSliceAngles(Layout& layout, std::size_t first, bool values, double total) {
  if (values || layout.sweep != 360 || layout.shaped) {
    // Each slice's edges at its exact angle; the last of values ends where
    // the arc does. Whole degrees round them outward for what counts degrees.
    // On a partial arc a percent is a hundredth of the arc.
    double before = 0;
    std::int32_t runningTotal = 0;
    for (DrawnSlice& slice : std::span(layout.slices).subspan(first)) {
      if (!values) {
        // Shares the whole circle could not hold are the overflow error here
        // too, before a partial arc would wind round millions of times.
        (void)SliceAngles(slice.percent, runningTotal);
        runningTotal = checked::Add(runningTotal, slice.percent);
        slice.exact = true;
        slice.share = std::max(slice.percent, 0) / 100.0;
      }
      slice.from = layout.sweep * before;
      before += slice.share;
      slice.to = values && &slice == &layout.slices.back() && total > 0 ? layout.sweep
                                                                        : layout.sweep * before;
      // Past the 32-bit range, the overflow error, as for whole degrees.
      slice.startAngle = checked::Floor(slice.from);
      slice.endAngle = slice.share > 0 ? checked::FromWhole(std::ceil(slice.to)) : slice.startAngle;
    }
  } else {
    std::int32_t runningTotal = 0;
    for (DrawnSlice& slice : std::span(layout.slices).subspan(first)) {
      slice.startPercent = runningTotal;
      std::tie(slice.startAngle, slice.endAngle) = SliceAngles(slice.percent, runningTotal);
      slice.from = slice.startAngle;
      slice.to = slice.endAngle;
      runningTotal = checked::Add(runningTotal, slice.percent);
    }
  }
}

}  // namespace

// The slices of one ring as drawn, appended to the layout: small ones may
// fold into "Other", drawn last; each with its edges' angles.
void cXAMLPieChart::AddRingSlices(Layout& layout, std::int32_t ring,
                                  const std::vector<double>& measures) const {
  // A value chart's shares: of the values over the largest, so that a
  // thousand values of 1e308 add up without overflow.
  const bool values = mKind == Kind::Values;
  const auto inRing = [ring](const DataItem& item) { return item.Ring == ring; };
  const auto indexOf = [&](const DataItem& item) {
    return static_cast<std::size_t>(&item - mItems.data());
  };
  const auto valueOf = [&](const DataItem& item) {
    return measures.empty() ? item.Value : measures[indexOf(item)];
  };
  const auto percentOf = [&](const DataItem& item) {
    return measures.empty() ? item.Percent : checked::FromWhole(measures[indexOf(item)]);
  };
  double largest = 0;
  double total = 0;
  if (values) {
    for (const DataItem& item : mItems)
      if (inRing(item)) largest = std::max(largest, valueOf(item));
    for (const DataItem& item : mItems)
      if (inRing(item)) total += largest > 0 ? valueOf(item) / largest : 0.0;
  }
  const auto shareOf = [&](const DataItem& item) {
    return total > 0 ? valueOf(item) / largest / total : 0.0;
  };
  // What GroupBelow compares: the percent, or a value's share of 100.
  const auto measure = [&](const DataItem& item) {
    return values ? 100.0 * shareOf(item) : static_cast<double>(percentOf(item));
  };
  const auto folds = [&](const DataItem& item) {
    return inRing(item) && measure(item) >= 0 && measure(item) < mGroupBelow;
  };
  // A ring of children keeps each in its parent's angle: nothing folds.
  const bool children = std::any_of(mItems.begin(), mItems.end(), [&](const DataItem& item) {
    return inRing(item) && item.Parent >= 0;
  });
  const bool group =
      mGroupBelow > 0 && !children && std::count_if(mItems.begin(), mItems.end(), folds) >= 2;
  const std::size_t first = layout.slices.size();
  DrawnSlice other{0, &mGroupColor, mGroupLabel, -1, 0, {}};
  other.exact = values;
  other.valued = values;
  other.ring = ring;
  std::int32_t index = 0;  // as added, in this ring
  bool folding = false;
  for (const DataItem& item : mItems) {
    if (!inRing(item)) continue;
    const std::int32_t tag = index++;
    if (group && folds(item)) {
      other.percent = checked::Add(other.percent, percentOf(item));
      other.value += valueOf(item);
      other.share += shareOf(item);
      // "Other" reaches as far as the farthest it holds.
      other.reach = !folding ? item.RadiusValue
                    : other.reach < 0 || item.RadiusValue < 0
                        ? -1.0
                        : std::max(other.reach, item.RadiusValue);
      folding = true;
      if (!item.Label.empty()) {
        if (!other.folded.empty()) other.folded += ", ";
        other.folded += item.Label;
      }
      continue;
    }
    layout.slices.push_back({percentOf(item), &item.Color, item.Label, tag, item.Explode, {}});
    DrawnSlice& slice = layout.slices.back();
    slice.exact = values;
    slice.valued = values;
    slice.value = valueOf(item);
    slice.share = shareOf(item);
    slice.ring = ring;
    slice.reach = item.RadiusValue;
    slice.item = static_cast<std::int32_t>(indexOf(item));
  }
  const auto slices = std::span(layout.slices).subspan(first);
  if (mSortSlices == SortOrder::Descending || mSortSlices == SortOrder::Ascending) {
    const bool descending = mSortSlices == SortOrder::Descending;
    std::stable_sort(slices.begin(), slices.end(),
                     [descending](const DrawnSlice& a, const DrawnSlice& b) {
                       const double x = a.exact ? a.share : a.percent;
                       const double y = b.exact ? b.share : b.percent;
                       return descending ? x > y : x < y;
                     });
  }
  if (group) {
    other.tag = index;
    layout.slices.push_back(std::move(other));
  }
  SetSliceAngles(layout, first, values, total);
}

// A sunburst's children within their parents' angles, from the inner rings
// out, so that grandchildren follow where their parents went: in the ring's
// order, each parent's span shared by its children's measures over the
// larger of the parent's and their sum. A child whose parent is not drawn
// takes no angle.
void cXAMLPieChart::PlaceChildren(Layout& layout) const {
  const bool values = mKind == Kind::Values;
  std::vector<const DrawnSlice*> drawnOf(mItems.size(), nullptr);
  for (std::int32_t ring = Rings() - 1; ring >= 0; --ring) {
    const auto inRing = [ring](const DrawnSlice& s) { return s.ring == ring; };
    const bool children =
        std::any_of(layout.slices.begin(), layout.slices.end(), [&](const DrawnSlice& s) {
          return inRing(s) && s.item >= 0 && mItems[static_cast<std::size_t>(s.item)].Parent >= 0;
        });
    if (children) {
      const auto measure = [&](const DrawnSlice& s) {
        return std::max(values ? s.value : static_cast<double>(s.percent), 0.0);
      };
      // What each parent's children add up to, then each child's place.
      std::vector<double> sum(mItems.size(), 0.0);
      const auto parentOf = [&](const DrawnSlice& s) -> const DrawnSlice* {
        if (s.item < 0) return nullptr;
        const std::int32_t p = mItems[static_cast<std::size_t>(s.item)].Parent;
        return p < 0 ? nullptr : drawnOf[static_cast<std::size_t>(p)];
      };
      for (const DrawnSlice& s : layout.slices)
        if (inRing(s) && parentOf(s) != nullptr)
          sum[static_cast<std::size_t>(parentOf(s)->item)] += measure(s);
      std::vector<double> next(mItems.size(), -1.0);  // where a parent's next child starts
      for (DrawnSlice& s : layout.slices) {
        if (!inRing(s)) continue;
        const DrawnSlice* parent = parentOf(s);
        s.exact = true;
        s.child = true;
        if (parent == nullptr || !(parent->share > 0) || !(parent->to > parent->from)) {
          s.share = 0;
          s.to = s.from = parent != nullptr ? parent->from : 0.0;
        } else {
          const auto p = static_cast<std::size_t>(parent->item);
          const double whole = std::max(measure(*parent), sum[p]);
          const double span = parent->to - parent->from;
          double& at = next[p];
          if (at < 0) at = parent->from;
          s.from = at;
          s.to = whole > 0 ? std::min(at + span * measure(s) / whole, parent->to) : at;
          at = s.to;
          s.share = layout.sweep > 0 ? (s.to - s.from) / layout.sweep : 0.0;
        }
        s.startAngle = checked::Floor(s.from);
        s.endAngle = s.share > 0 ? checked::FromWhole(std::ceil(s.to)) : s.startAngle;
        // A child's percent is of the whole, not of its ring.
        if (values) {
          const double unit = std::pow(10.0, mPercentDecimals);
          s.percentText = detail::Number(std::round(s.share * 100.0 * unit) / unit,
                                         mPercentDecimals, mDecimalSeparator, mGroupSeparator);
        }
      }
    }
    for (const DrawnSlice& s : layout.slices)
      if (inRing(s) && s.item >= 0) drawnOf[static_cast<std::size_t>(s.item)] = &s;
  }
}

// Where each ring lies when slices are shapes: the outer ring DoughnutWidth
// wide and the next ones inside it, or without a hole the inner rings from
// the centre out and the outer one down to them; a gap between each two.
// With nothing to draw, the plain outline instead.
void cXAMLPieChart::PlaceRings(Layout& layout) const {
  if (std::none_of(layout.slices.begin(), layout.slices.end(),
                   [](const DrawnSlice& slice) { return slice.share > 0; })) {
    layout.shaped = false;
    return;
  }
  layout.gap = mSliceGap;
  layout.corner = mCornerRadius;
  // Radii of the outlines' middles: the outer one a pixel inside the rim.
  const double rim = (mSize - 1.0) / 2.0 - 1.0;
  const double between = mSliceGap > 0 ? mSliceGap + 2.0 : 0.0;
  const std::size_t rings = mRingWidths.size() + 1;
  std::vector<std::pair<double, double>> edges(rings);  // outer, inner
  if (mDoughnutWidth >= 1) {
    double outer = rim;
    for (std::size_t r = 0; r < rings; ++r) {
      const double width = r == 0 ? mDoughnutWidth : mRingWidths[r - 1];
      edges[r] = {std::max(outer, 0.0), std::max(outer - width, 0.0)};
      outer = outer - width - between;
    }
  } else {
    double inner = 0;
    for (std::size_t r = rings - 1; r >= 1; --r) {
      edges[r] = {inner + mRingWidths[r - 1], inner};
      inner = edges[r].first + between;
    }
    edges[0] = {rim, rings > 1 ? std::min(inner, rim) : 0.0};
  }
  // A rose's slices reach out by their radius values against the largest
  // of their ring's, from the ring's inner edge.
  std::vector<double> largest(rings, -1.0);
  for (const DrawnSlice& slice : layout.slices) {
    double& most = largest[static_cast<std::size_t>(slice.ring)];
    if (slice.reach >= 0) most = std::max(most, slice.reach);
  }
  for (DrawnSlice& slice : layout.slices) {
    const auto ring = static_cast<std::size_t>(slice.ring);
    std::tie(slice.outer, slice.inner) = edges[ring];
    if (slice.reach < 0) continue;
    const double part = largest[ring] > 0 ? slice.reach / largest[ring] : 0.0;
    const double inner = std::max(slice.inner, 0.0);
    slice.outer =
        mRadiusScale == RadiusScale::Linear
            ? inner + (slice.outer - inner) * part
            : std::sqrt(inner * inner + (slice.outer * slice.outer - inner * inner) * part);
  }
  layout.innermost = edges.back().second;
  layout.holeWidth = checked::Round(std::max(2.0 * layout.innermost - 2.0, 0.0));
}

Layout cXAMLPieChart::Plan() const {
  Layout layout{mMarginLeft,
                mMarginTop,
                mSize / 2,
                static_cast<double>(mSize) / 2.0 - 1.5,
                mStartAngle,
                mClockwise,
                mStartAngle != 0 || mClockwise};

  const bool values = mKind == Kind::Values;
  const bool arc = mSweepAngle != 360;
  const auto rings = static_cast<std::int32_t>(mRingWidths.size()) + 1;
  layout.sweep = mSweepAngle;
  const bool rose = std::any_of(mItems.begin(), mItems.end(),
                                [](const DataItem& item) { return item.RadiusValue >= 0; });
  layout.shaped = mSliceGap > 0 || mCornerRadius > 0 || rings > 1 || rose;
  layout.slices.reserve(mItems.size() + static_cast<std::size_t>(rings));
  const std::vector<double> measures = Measures();
  for (std::int32_t ring = 0; ring < rings; ++ring) {
    const std::size_t first = layout.slices.size();
    AddRingSlices(layout, ring, measures);
    detail::SetNumberTexts(std::span(layout.slices).subspan(first), values, mPercentDecimals,
                           mValueDecimals, mDecimalSeparator, mGroupSeparator);
  }

  if (!measures.empty()) PlaceChildren(layout);
  if (layout.shaped) PlaceRings(layout);

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
      const bool labelled = slice.startAngle <= slice.endAngle &&
                            (!slice.exact || slice.share > 0) &&
                            (!layout.shaped || detail::ShapeFits(layout, slice));
      if (!labelled) {
        layout.labels.emplace_back();
      } else if (mLabelsOutside && mLabelWidth > 0 && slice.ring == 0) {
        layout.labels.push_back(
            detail::FittedLabel(mSliceLabels, slice, mLabelFormat, mLabelWidth,
                                [&](std::string_view text) { return TextWidth(text, mFontSize); }));
      } else {
        layout.labels.push_back(LabelText(mSliceLabels, slice, mLabelFormat));
      }
      if (slice.ring > 0) continue;  // inner rings' labels stay inside
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

  // The height the chart takes: its square, or what a partial arc covers
  // (its rim, and the centre or the hole's edge).
  layout.arcTop = layout.top;
  layout.arcBottom = static_cast<double>(layout.top) + mSize;
  if (arc) {
    const double centreY = layout.top + static_cast<double>(layout.centre);
    const double outer = mSize / 2.0;
    const double inner = layout.shaped         ? layout.innermost
                         : mDoughnutWidth >= 1 ? std::max(mSize / 2.0 - mDoughnutWidth, 0.0)
                                               : 0.0;
    layout.arcTop = layout.arcBottom = centreY;
    for (std::int32_t a = 0; a <= mSweepAngle; ++a) {
      const double degrees = !layout.turned     ? a
                             : layout.clockwise ? layout.start - a
                                                : layout.start + a;
      const double sine = std::sin(degrees * kPi / 180.0);
      for (const double r : {outer, inner}) {
        layout.arcTop = std::min(layout.arcTop, centreY - r * sine);
        layout.arcBottom = std::max(layout.arcBottom, centreY - r * sine);
      }
    }
  }

  return layout;
}

void cXAMLPieChart::Paint(detail::Sink& out, const Layout& layout) const {
  const bool arc = mSweepAngle != 360;
  // An exploded slice is drawn over the outline, with the place it left
  // cleared to the background first; the rest in order, under the outline.
  const auto exploded = [](const DrawnSlice& slice) {
    return slice.explode != 0 && slice.startAngle <= slice.endAngle &&
           (!slice.exact || slice.share > 0);
  };
  const std::string outlineColor = ColorToHex(mOutlineColor);
  if (layout.shaped) {
    // Each slice its own outlined shape, pulled out or not, in order.
    for (const DrawnSlice& slice : layout.slices)
      detail::PutShapedSlice(out, layout, slice, mSize, outlineColor);
  } else if (arc) {
    // A partial arc: each slice one smooth polygon, the outline along the
    // arc (and the hole's edge) and across its two ends, then the slices
    // pulled out. Nothing is drawn beyond the arc, so the markup's extent is
    // the arc's.
    bool drawn = false;
    for (const DrawnSlice& slice : layout.slices) {
      if (exploded(slice) || !(slice.share > 0)) continue;
      detail::PutSmoothSlice(out, layout, slice, mSize, mDoughnutWidth, 0, 0);
      drawn = true;
    }
    // The rim where slices stay (an empty chart's whole arc), and the ends
    // that no pulled-out slice took with it.
    if (!drawn) {
      detail::PutRim(out, layout, 0, layout.sweep, mSize, mDoughnutWidth, 0, 0, outlineColor);
    }
    bool firstEnd = true;
    bool lastEnd = true;
    for (const DrawnSlice& slice : layout.slices) {
      if (!(slice.share > 0)) continue;
      if (exploded(slice)) {
        firstEnd = firstEnd && slice.from > 0;
        lastEnd = lastEnd && slice.to < layout.sweep;
        continue;
      }
      detail::PutRim(out, layout, slice.from, slice.to, mSize, mDoughnutWidth, 0, 0, outlineColor);
    }
    detail::PutArcEnds(out, layout, firstEnd ? 0.0 : -1.0, lastEnd ? layout.sweep : -1.0, mSize,
                       mDoughnutWidth, outlineColor);
  } else {
    bool anyExploded = false;
    for (const DrawnSlice& slice : layout.slices) {
      if (exploded(slice)) {
        anyExploded = true;
        continue;
      }
      if (slice.exact) {
        detail::PutExactSlice(out, layout, slice);
      } else {
        Fans(out, slice, *slice.color, layout, false);
      }
    }

    const auto outline = static_cast<double>(checked::Sub(mSize, 1));
    Shape& rim = detail::Scratch(ShapeKind::Ellipse, Role::Outline);
    rim.box = {static_cast<double>(layout.left), static_cast<double>(layout.top), outline, outline};
    rim.stroke = detail::RgbaOf(outlineColor);
    rim.strokeWidth = 2;
    out.Add(rim);

    const std::string background = ColorToHex(mBackgroundColor);
    if (anyExploded) {
      for (const DrawnSlice& slice : layout.slices) {
        if (!exploded(slice)) continue;
        if (slice.exact) {
          detail::PutExactSlice(out, layout, slice, &background, 3);
        } else {
          Fans(out, slice, background, layout, true);
        }
      }
    }

    if (mDoughnutWidth >= 1) {
      const std::int32_t left = checked::Add(layout.left, mDoughnutWidth);
      const std::int32_t top = checked::Add(layout.top, mDoughnutWidth);
      const auto hole = static_cast<double>(checked::Sub(mSize, checked::Mul(2, mDoughnutWidth)));
      Shape& shape = detail::Scratch(ShapeKind::Ellipse, Role::Hole);
      shape.box = {static_cast<double>(left), static_cast<double>(top), hole, hole};
      shape.stroke = detail::RgbaOf(outlineColor);
      shape.strokeWidth = 2;
      shape.fill = detail::RgbaOf(background);
      out.Add(shape);
    }
  }

  // Pulled-out slices last, whole where they went.
  for (const DrawnSlice& slice : layout.slices) {
    if (exploded(slice) && !layout.shaped)
      PutMovedSlice(out, layout, slice, mSize, mDoughnutWidth, outlineColor);
  }

  Extras(out, layout);
}

namespace {

// Each slice's fans or shape shaded from a lighter colour where the slice
// starts to its own at the rim, about the centre it is drawn round.
void ShadeSlices(Drawing& drawing, const Layout& layout) {
  double hole = 0;
  for (const Shape& shape : drawing.shapes) {
    if (shape.role == Role::Hole && shape.kind == ShapeKind::Ellipse)
      hole = std::max(hole, shape.box.width / 2);
  }
  for (Shape& shape : drawing.shapes) {
    if (shape.role != Role::Slice || shape.kind != ShapeKind::Polygon || shape.fill.a == 0)
      continue;
    const auto found =
        std::find_if(layout.slices.begin(), layout.slices.end(), [&](const DrawnSlice& slice) {
          return slice.ring == std::max(shape.ring, 0) && slice.tag == shape.index;
        });
    if (found == layout.slices.end()) continue;
    const DrawnSlice& slice = *found;
    // Only what is in the slice's colour: a pulled slice's rim is its too.
    if (slice.color == nullptr || !(detail::RgbaOf(*slice.color) == shape.fill)) continue;
    const auto [ux, uy] = layout.Middle(slice);
    const auto centre = static_cast<double>(layout.centre);
    RadialShade shade;
    shade.centre = {layout.left + centre + slice.explode * ux,
                    layout.top + centre + slice.explode * uy};
    shade.radius = slice.outer > 0 ? slice.outer : layout.radius;
    if (!(shade.radius > 0)) continue;
    const double inner = slice.outer > 0 ? slice.inner : hole;
    const double from = std::clamp(inner / shade.radius, 0.0, 0.95);
    const auto lighter = [](std::uint8_t c) {
      return static_cast<std::uint8_t>(std::lround(c + (255.0 - c) * 0.45));
    };
    const Rgba light{lighter(shape.fill.r), lighter(shape.fill.g), lighter(shape.fill.b),
                     shape.fill.a};
    shade.stops = {{from, light}, {1.0, shape.fill}};
    shape.shade = std::move(shade);
  }
}

}  // namespace

std::string cXAMLPieChart::XAML() const {
  // Shades are written from the drawing; the plain chart takes the quick way.
  if (mShading != SliceShading::Flat) return WriteXAML(Draw());
  const Layout layout = Plan();
  std::string text;
  text.reserve(EstimateLength(mItems, mKind == Kind::Values));
  detail::MarkupSink out(text, mFontFamily, layout.shaped && mSweepAngle == 360);
  Paint(out, layout);
  out.Finish();
  return text;
}

std::vector<std::string> cXAMLPieChart::LegendTexts() const {
  const Layout layout = Plan();
  // Slices know their item by ring and place in it.
  std::vector<std::vector<std::size_t>> itemOf(mRingWidths.size() + 1);
  for (std::size_t i = 0; i < mItems.size(); ++i)
    itemOf[static_cast<std::size_t>(mItems[i].Ring)].push_back(i);
  std::vector<std::string> texts(mItems.size());
  for (const DrawnSlice& slice : layout.slices) {
    const std::vector<std::size_t>& items = itemOf[static_cast<std::size_t>(slice.ring)];
    if (!detail::InLegend(slice) || slice.tag < 0) continue;
    std::string text =
        mLegendFormat.empty() ? std::string(slice.name) : detail::FormatText(mLegendFormat, slice);
    if (static_cast<std::size_t>(slice.tag) < items.size()) {
      texts[items[static_cast<std::size_t>(slice.tag)]] = std::move(text);
    } else if (slice.ring == 0) {
      texts.resize(mItems.size() + 1);  // "Other"
      texts.back() = std::move(text);
    }
  }
  return texts;
}

Drawing cXAMLPieChart::Draw() const {
  const Layout layout = Plan();
  Drawing drawing;
  drawing.fontFamily = mFontFamily;
  drawing.markupBlankLine = layout.shaped && mSweepAngle == 360;
  detail::DrawingSink out(drawing);
  Paint(out, layout);
  if (mShading == SliceShading::Radial) ShadeSlices(drawing, layout);
  return drawing;
}

}  // namespace xamlpie
