// A pie or doughnut chart as XAML markup: a Canvas of filled Polygon fans,
// one or more per slice, a black outline circle and an optional hole; on
// request slice names, labels, a legend, centre text, exploded slices and an
// "Other" slice.
//
//   xamlpie::cXAMLPieChart chart;
//   chart.Size(250);
//   chart.AddDataItem(60, 0x000000FF);  // 60 %, red
//   chart.AddDataItem(40, 0x00FF0000);  // 40 %, blue
//   std::string markup = chart.XAML();

#ifndef XAMLPIE_CXAMLPIECHART_H_
#define XAMLPIE_CXAMLPIECHART_H_

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "xamlpie/Drawing.h"
#include "xamlpie/SystemColors.h"
#include "xamlpie/xamlpie_export.h"

namespace xamlpie {

namespace detail {
class Sink;
struct Layout;
struct DrawnSlice;
struct CentreRoom;
}  // namespace detail

/// Thrown when a computation leaves the signed 32-bit range. The chart object is
/// left as it was before the call.
class XAMLPIE_EXPORT OverflowError : public std::overflow_error {
 public:
  OverflowError();
  ~OverflowError() override;
  ///@{
  /// Copied as any exception is.
  OverflowError(const OverflowError&) = default;
  OverflowError& operator=(const OverflowError&) = default;
  ///@}
};

/// One slice: its colour text (six uppercase hex digits, red first), its share
/// in percent, its name (empty: unnamed) and how far it is pulled out.
struct DataItem {
  std::string Color;         ///< six uppercase hex digits, red first
  std::int32_t Percent;      ///< its share in percent
  std::string Label{};       ///< its name; empty: unnamed
  std::int32_t Explode = 0;  ///< pixels it is pulled out by
  double Value = 0;          ///< a value chart's raw value (AddValue); Percent is then 0
  std::int32_t Ring = 0;     ///< 0 the outer ring, then one per AddRing
  double RadiusValue = -1;   ///< a rose chart's second value; negative: none
  std::int32_t Parent = -1;  ///< a sunburst's: the item (as added) it belongs to; -1 none
};

/// What a slice's label says.
enum class LabelStyle {
  None,           ///< no labels
  Percent,        ///< "20 %"
  Name,           ///< "Apples"; unnamed slices get none
  NameAndPercent  ///< "Apples: 20 %"; "20 %" for an unnamed slice
};

/// How a slice is filled.
enum class SliceShading {
  Flat,   ///< in its colour
  Radial  ///< lighter at its centre, its colour at its rim: a RadialGradientBrush
};

/// How a rose chart's radius values set how far its slices reach.
enum class RadiusScale {
  Area,   ///< a slice's area grows with its value: one of 4 reaches twice as far as one of 1
  Linear  ///< its length from the centre (or the hole's edge) grows with its value
};

/// The order slices are drawn in; their Tags keep the order they were added.
enum class SortOrder {
  None,        ///< as added
  Descending,  ///< the largest share first
  Ascending    ///< the smallest first
};

/// Turns raw values (sales, counts, seconds...) into whole percents for
/// AddDataItem that add up to exactly 100, by the largest-remainder method: each
/// value gets the whole part of its share, and the points left over go to the
/// largest fractions, the earlier value first on a tie. A zero stays 0. Throws
/// std::invalid_argument, naming the value, for a negative, NaN or infinite
/// value or when nothing is above zero.
XAMLPIE_EXPORT std::vector<std::int32_t> SharesFromValues(std::span<const double> values);

/// Builds the markup of one chart. Properties are overloads under one name: the
/// getter and the setter of Size are both Size. Out of memory is std::bad_alloc.
/// An object is not meant to be shared between threads.
///
/// Everything beyond slices, outline and hole is opt-in: a chart that uses none
/// of it gives the same markup, byte for byte, as one built before it existed.
class XAMLPIE_EXPORT cXAMLPieChart {
 public:
  ///@{
  /// A sunburst: the item at `Index` (as added) belongs to the item at
  /// `ParentIndex`, which lies in the ring just inside its own (the next
  /// AddRing's), so that the top level is innermost. In a ring where any item
  /// has a parent, each item is drawn within its parent's angle: children
  /// share it by their values (or percents) over the larger of the parent's
  /// and their sum, so children that fall short of their parent leave the
  /// rest of its angle empty. A parent of 0 counts as the sum of its
  /// children, in its ring's total and in its label. Such a ring folds
  /// nothing into "Other"; an item without a parent there, or whose parent
  /// is not drawn (folded, or of no share), takes no angle and keeps its
  /// legend entry. -1 removes the parent. A bad index, or a parent outside
  /// the ring just inside, throws std::invalid_argument (std::out_of_range
  /// for `Index`), the chart unchanged. The getter returns -1 for none.
  std::int32_t Parent(std::int32_t Index) const;
  void Parent(std::int32_t Index, std::int32_t ParentIndex);
  ///@}

  ///@{
  /// A rose (Nightingale) chart: the slice of the item at `Index` (as added)
  /// reaches out by its radius value against the largest of its ring, which
  /// reaches the rim; its angle is still its share. In a doughnut or an inner
  /// ring the reach is measured from the ring's inner edge. An item without a
  /// radius value reaches the rim; one of 0 draws nothing and keeps its place
  /// in the legend. A chart with any radius value is drawn as SliceGap's
  /// shapes. The getter returns -1 for an item without one. A negative, NaN
  /// or infinite value throws std::invalid_argument, a bad index
  /// std::out_of_range; either way the chart is unchanged.
  double RadiusValue(std::int32_t Index) const;
  void RadiusValue(std::int32_t Index, double Value);
  /// How radius values become reach; default RadiusScale::Area.
  RadiusScale RadiusScaling() const noexcept { return mRadiusScale; }
  void RadiusScaling(RadiusScale pScale) noexcept {
    ++mRevision;
    mRadiusScale = pScale;
  }
  ///@}

  ///@{
  /// Sets the fill of the doughnut hole. A system colour is translated each time
  /// XAML is read, so it follows the current colour scheme. Default 0x80000005.
  void BackgroundColor(ColorValue pColor) noexcept;
  ColorValue BackgroundColor() const noexcept { return mBackgroundColor; }
  ///@}

  ///@{
  /// Sets the width of the coloured ring; 0 draws a full pie. A negative width is
  /// ignored and the previous width stays.
  void DoughnutWidth(std::int32_t pWidth) noexcept;
  std::int32_t DoughnutWidth() const noexcept { return mDoughnutWidth; }
  ///@}

  /// Appends a slice. Its colour is translated now and stored as text. Shares are
  /// not validated: zero, negative and over-100 shares are all kept.
  void AddDataItem(std::int32_t Percent, ColorValue Color);

  /// Appends a named slice. A named slice's polygons carry Tag (its index as
  /// added), ToolTip and AutomationProperties.Name, and it can be labelled and
  /// listed in the legend. Any UTF-8 text; it is escaped in the markup.
  void AddDataItem(std::int32_t Percent, ColorValue Color, std::string_view Label);

  /// Appends a slice of a raw value (sales, counts, seconds): a chart of values
  /// spans 360 degrees x value / total, each slice's edges at its exact angle
  /// (rim points floored to whole pixels as the markup's are, whole degrees
  /// between). A zero draws nothing and keeps its place in the legend. A chart
  /// is of percents (AddDataItem) or of values: mixing them throws
  /// std::logic_error; a negative, NaN or infinite value throws
  /// std::invalid_argument naming it. Either way the chart is unchanged.
  void AddValue(double Value, ColorValue Color, std::string_view Label = {});

  ///@{
  /// Starts a ring `Width` pixels wide just inside the last: the items added
  /// after it are its slices, with a total of their own. The outer ring is
  /// DoughnutWidth wide, the hole inside the last ring; without a hole the
  /// inner rings are stacked from the centre out (the last a pie) and the
  /// outer ring reaches down to them. A slice of ring 2 (the third) added
  /// third there has the Tag "2.2"; the outer ring's keep "2". Explode still
  /// counts every item as added. Rings are drawn as SliceGap's shapes. A
  /// Width below 1 throws std::invalid_argument, the chart unchanged.
  void AddRing(std::int32_t Width);
  std::int32_t Rings() const noexcept { return static_cast<std::int32_t>(mRingWidths.size()) + 1; }
  ///@}

  /// Removes all slices and rings; the geometry, colours and options keep their values.
  /// The chart may then take percents or values anew.
  void Clear() noexcept;

  ///@{
  /// The x of the chart's left edge on the drawing surface. Default 0.
  std::int32_t MarginLeft() const noexcept { return mMarginLeft; }
  void MarginLeft(std::int32_t lonValue) noexcept {
    mMarginLeft = lonValue;
    ++mRevision;
  }
  ///@}

  ///@{
  /// The y of the chart's top edge on the drawing surface. Default 0.
  std::int32_t MarginTop() const noexcept { return mMarginTop; }
  void MarginTop(std::int32_t lonValue) noexcept {
    mMarginTop = lonValue;
    ++mRevision;
  }
  ///@}

  ///@{
  /// The pie's diameter in pixels. Default 100; any value is accepted.
  std::int32_t Size() const noexcept { return mSize; }
  void Size(std::int32_t lonValue) noexcept {
    mSize = lonValue;
    ++mRevision;
  }
  ///@}

  ///@{
  /// Where the first slice starts, in whole degrees: 0 is 3 o'clock, 90 is 12
  /// o'clock. Any integer is accepted and reduced to 0..359. Default 0.
  std::int32_t StartAngle() const noexcept { return mStartAngle; }
  void StartAngle(std::int32_t lonValue) noexcept;
  ///@}

  ///@{
  /// The arc the slices share, in whole degrees from StartAngle in their
  /// direction: 180 with StartAngle(180) and Clockwise(true) is the top half,
  /// a gauge with a DoughnutWidth. A percent is a hundredth of the arc. The
  /// outline follows the arc and its ends, the markup's extent is what is
  /// drawn, and centre text sits in the middle of the arc's chord (of an arc
  /// over half a turn, in the centre). 1 to 360 (others are ignored); default
  /// 360, the whole circle, drawn as it always was.
  std::int32_t SweepAngle() const noexcept { return mSweepAngle; }
  void SweepAngle(std::int32_t lonValue) noexcept {
    ++mRevision;
    if (lonValue >= 1 && lonValue <= 360) mSweepAngle = lonValue;
  }
  ///@}

  ///@{
  /// Whether slices follow each other clockwise. Default false: counter-clockwise.
  bool Clockwise() const noexcept { return mClockwise; }
  void Clockwise(bool pValue) noexcept {
    mClockwise = pValue;
    ++mRevision;
  }
  ///@}

  ///@{
  /// What the slices' labels say. Default LabelStyle::None.
  LabelStyle SliceLabels() const noexcept { return mSliceLabels; }
  void SliceLabels(LabelStyle pStyle) noexcept {
    mSliceLabels = pStyle;
    ++mRevision;
  }
  ///@}

  ///@{
  /// Labels outside the pie, joined to their slice by a leader line, in a column
  /// on either side; the markup grows sideways to hold them and the pie moves
  /// right by that much. Labels never overlap and stay within the pie's height;
  /// where there are more than fit, the smallest slices lose theirs. Default
  /// false: labels inside their slices.
  bool LabelsOutside() const noexcept { return mLabelsOutside; }
  void LabelsOutside(bool pValue) noexcept {
    mLabelsOutside = pValue;
    ++mRevision;
  }
  ///@}

  ///@{
  /// The widest an outside label may be, in pixels; 0 (the default) sets no
  /// limit. A wider label gives way step by step until it fits: its name and
  /// percent alone, that name cut short ("Administra…: 12 %"), its percent
  /// alone (where the label would show one), no label. A label without the
  /// name only fits whole or not at all. A view sets it so that long names
  /// leave the pie room. A negative value is ignored.
  std::int32_t LabelWidth() const noexcept { return mLabelWidth; }
  void LabelWidth(std::int32_t lonValue) noexcept {
    ++mRevision;
    if (lonValue >= 0) mLabelWidth = lonValue;
  }
  ///@}

  ///@{
  /// A slice narrower than this many degrees gets no inside label. Default 10;
  /// a negative value is ignored.
  std::int32_t MinLabelAngle() const noexcept { return mMinLabelAngle; }
  void MinLabelAngle(std::int32_t lonValue) noexcept;
  ///@}

  ///@{
  /// A legend right of the chart: a swatch and the name of each named slice.
  /// Default false.
  bool Legend() const noexcept { return mLegend; }
  void Legend(bool pValue) noexcept {
    mLegend = pValue;
    ++mRevision;
  }
  ///@}

  ///@{
  /// Pulls the slice at `Index` (as added) out by `lonValue` pixels along its
  /// middle angle; 0 puts it back. Throws std::out_of_range for a bad index.
  std::int32_t Explode(std::int32_t Index) const;
  void Explode(std::int32_t Index, std::int32_t lonValue);
  ///@}

  ///@{
  /// Text centred in the hole, or in the middle of a pie. Empty: none.
  const std::string& CenterText() const noexcept { return mCenterText; }
  void CenterText(std::string_view pText);
  ///@}

  ///@{
  /// Folds the slices whose share is below `Percent` (zero included, negative
  /// ones not) into one slice drawn after the others, with this colour (fixed
  /// now, as for AddDataItem) and name; the names of the slices in it go into
  /// its tooltip. It happens only when two or more slices qualify. A Percent of
  /// 0 or less turns it off (the default). GroupBelow() is that Percent.
  std::int32_t GroupBelow() const noexcept { return mGroupBelow; }
  void GroupBelow(std::int32_t Percent, ColorValue Color, std::string_view Label);
  ///@}

  ///@{
  /// The colour of the outline circle and of the hole's edge. Translated when
  /// XAML is read. Default 0 (black).
  ColorValue OutlineColor() const noexcept { return mOutlineColor; }
  void OutlineColor(ColorValue pColor) noexcept {
    mOutlineColor = pColor;
    ++mRevision;
  }
  ///@}

  ///@{
  /// The colour of outside labels, leader lines, legend and centre text;
  /// inside labels take black or white, whichever reads better on their slice.
  /// Translated when XAML is read. Default 0 (black).
  ColorValue TextColor() const noexcept { return mTextColor; }
  void TextColor(ColorValue pColor) noexcept {
    mTextColor = pColor;
    ++mRevision;
  }
  ///@}

  ///@{
  /// Text size in pixels; centre text is half as large again. Default 12; a
  /// value below 1 or above kMaxFontSize is ignored.
  static constexpr std::int32_t kMaxFontSize = 512;
  std::int32_t FontSize() const noexcept { return mFontSize; }
  void FontSize(std::int32_t lonValue) noexcept;
  ///@}

  ///@{
  /// Draws the slices by size, from the start angle on; equal shares keep the
  /// order they were added, and "Other" stays last. A value outside the enum
  /// is taken as SortOrder::None. Default SortOrder::None.
  SortOrder SortSlices() const noexcept { return mSortSlices; }
  void SortSlices(SortOrder pOrder) noexcept {
    mSortSlices = pOrder;
    ++mRevision;
  }
  ///@}

  ///@{
  /// Text in the middle of a chart with nothing to draw (no items, or none
  /// above 0 %): the outline (and hole) and this text instead of an empty
  /// circle. Empty (the default): none.
  const std::string& EmptyText() const noexcept { return mEmptyText; }
  void EmptyText(std::string_view pText);
  ///@}

  ///@{
  /// What slice labels and legend entries say, with {name}, {value} and
  /// {percent} in them ("{name}: {value} ({percent} %)"); "{{" and "}}" write
  /// a brace, and an unknown placeholder is written as it stands. Empty (the
  /// default): the texts of LabelStyle ("{percent} %", "{name}",
  /// "{name}: {percent} %") and the name. Labels still show only where
  /// SliceLabels is not None. Of a chart of percents, {value} is its percent.
  const std::string& LabelFormat() const noexcept { return mLabelFormat; }
  void LabelFormat(std::string_view pFormat);
  const std::string& LegendFormat() const noexcept { return mLegendFormat; }
  void LegendFormat(std::string_view pFormat);
  ///@}

  ///@{
  /// Decimals of {percent} and {value}, 0 to 6 (others are ignored). Percents
  /// shown at that precision add up to exactly 100, by the largest remainder
  /// (ties to the earlier slice), as SharesFromValues. Default 0 and 0.
  std::int32_t PercentDecimals() const noexcept { return mPercentDecimals; }
  void PercentDecimals(std::int32_t lonValue) noexcept;
  std::int32_t ValueDecimals() const noexcept { return mValueDecimals; }
  void ValueDecimals(std::int32_t lonValue) noexcept;
  ///@}

  ///@{
  /// The decimal point of numbers shown, and what groups thousands in them
  /// ("," and "." give "1.200,5"). Defaults "." and none. Any text, escaped.
  const std::string& DecimalSeparator() const noexcept { return mDecimalSeparator; }
  void DecimalSeparator(std::string_view pText);
  const std::string& GroupSeparator() const noexcept { return mGroupSeparator; }
  void GroupSeparator(std::string_view pText);
  ///@}

  ///@{
  /// Pixels of background between neighbouring slices (and rings): each
  /// straight edge moves in by half of it, so the gap keeps its width from
  /// the centre to the rim. A slice too narrow for it is not drawn. With a
  /// gap, corners or rings, each slice is one polygon outlined in
  /// OutlineColor along its own shape, and the hole shows what lies beneath.
  /// Default 0; a negative or not finite value is ignored.
  double SliceGap() const noexcept { return mSliceGap; }
  void SliceGap(double pValue) noexcept {
    ++mRevision;
    if (pValue >= 0 && pValue <= kMaxLength) mSliceGap = pValue;
  }
  ///@}

  ///@{
  /// The radius in pixels of every slice's outer corners, and in a ring of
  /// its inner ones too, as far as the slice allows. Default 0; a negative or
  /// not finite value is ignored.
  double CornerRadius() const noexcept { return mCornerRadius; }
  void CornerRadius(double pValue) noexcept {
    ++mRevision;
    if (pValue >= 0 && pValue <= kMaxLength) mCornerRadius = pValue;
  }
  ///@}
  /// The largest SliceGap and CornerRadius taken, in pixels.
  static constexpr double kMaxLength = 1e9;

  ///@{
  /// How slices are filled. With SliceShading::Radial each slice shades from
  /// its colour brought 45 % of the way to white, where it starts (the
  /// centre, or a doughnut's hole), to its colour at the rim, about the
  /// centre it is drawn round (a pulled slice's own); the markup writes it
  /// as a RadialGradientBrush property element. Default Flat: the markup is
  /// as it always was.
  SliceShading Shading() const noexcept { return mShading; }
  void Shading(SliceShading pShading) noexcept {
    ++mRevision;
    mShading = pShading;
  }
  ///@}

  ///@{
  /// The font family of all text; empty (the default) leaves it to the renderer.
  const std::string& FontFamily() const noexcept { return mFontFamily; }
  void FontFamily(std::string_view pFamily);
  ///@}

  ///@{
  /// How wide a text is drawn, in pixels, at a font size in pixels (bold for
  /// the centre text): what labels, the legend and the centre text are
  /// placed and fitted by. A renderer that knows its font sets it; unset (the
  /// default), the chart's own estimate is used, which errs large for the
  /// common sans faces. A result that is negative or not finite counts as
  /// unset for that text.
  using TextMeasure =
      std::function<double(std::string_view text, std::int32_t fontSize, bool bold)>;
  void MeasureText(TextMeasure pMeasure) {
    mMeasure = std::move(pMeasure);
    ++mRevision;
  }
  ///@}

  /// Returns the markup of the chart: ASCII, lines separated by CR LF. A slice
  /// with a negative share is not drawn but still moves the slices after it.
  /// Throws OverflowError when a coordinate, an angle or a sum leaves 32 bits.
  std::string XAML() const;

  /// Counts the calls that may have changed the chart (every setter and
  /// adder, whether or not it changed anything), so that whoever keeps a
  /// picture of it can tell when to make a new one. A copy starts from its
  /// original's count.
  std::uint64_t Revision() const noexcept { return mRevision; }

  /// The text of each item's legend entry, by the index the item was added
  /// at: LegendFormat's (or the name), with the numbers as the chart shows
  /// them; empty for an item with no entry (unnamed, not drawn, folded into
  /// "Other"), and one more at the end for "Other" where slices are folded
  /// into it. For a view that lays out a legend of its own. Throws
  /// OverflowError where XAML() does.
  std::vector<std::string> LegendTexts() const;

  /// Returns what the chart draws: the shapes XAML() writes, one per
  /// element, in canvas pixels. WriteXAML of it is XAML(). Throws
  /// OverflowError where XAML() does.
  Drawing Draw() const;

 private:
  ///@{
  /// Appends the fans of one slice of whole percents, or of the place it
  /// left (`cleared`); returns false when it covers no degree.
  bool Fans(detail::Sink& out, const detail::DrawnSlice& slice, const std::string& Color,
            const detail::Layout& layout, bool cleared) const;
  void AddRingSlices(detail::Layout& layout, std::int32_t ring,
                     const std::vector<double>& measures) const;
  std::vector<double> Measures() const;
  void PlaceChildren(detail::Layout& layout) const;
  void PlaceRings(detail::Layout& layout) const;
  detail::Layout Plan() const;
  void Paint(detail::Sink& out, const detail::Layout& layout) const;
  void Extras(detail::Sink& out, const detail::Layout& layout) const;
  detail::CentreRoom PlanCentre(const detail::Layout& layout) const;
  void InsideLabels(detail::Sink& out, const detail::Layout& layout,
                    const detail::CentreRoom& room) const;
  void OutsideLabels(detail::Sink& out, const detail::Layout& layout,
                     const std::string& textColor) const;
  void CentreTexts(detail::Sink& out, const detail::Layout& layout, const detail::CentreRoom& room,
                   const std::string& textColor, bool empty) const;
  void LegendEntries(detail::Sink& out, const detail::Layout& layout,
                     const std::string& textColor) const;
  std::int32_t TextWidth(std::string_view text, std::int32_t fontSize, bool bold = false) const;
  static RgbValue TranslateColor(ColorValue color);
  static std::string ColorToHex(ColorValue color);
  ///@}

  std::vector<DataItem> mItems;
  std::int32_t mSize = 100;
  std::int32_t mMarginLeft = 0;
  std::int32_t mMarginTop = 0;
  std::int32_t mDoughnutWidth = 0;
  ColorValue mBackgroundColor = 0x80000005u;

  std::int32_t mStartAngle = 0;
  bool mClockwise = false;
  LabelStyle mSliceLabels = LabelStyle::None;
  bool mLabelsOutside = false;
  std::int32_t mMinLabelAngle = 10;
  std::int32_t mLabelWidth = 0;
  bool mLegend = false;
  std::string mCenterText;
  std::int32_t mGroupBelow = 0;
  std::string mGroupColor;
  std::string mGroupLabel;
  ColorValue mOutlineColor = 0;
  ColorValue mTextColor = 0;
  std::int32_t mFontSize = 12;
  std::string mFontFamily;
  std::int32_t mSweepAngle = 360;
  SortOrder mSortSlices = SortOrder::None;
  std::string mEmptyText;
  enum class Kind { Empty, Percents, Values };
  Kind mKind = Kind::Empty;
  std::string mLabelFormat;
  std::string mLegendFormat;
  std::int32_t mPercentDecimals = 0;
  std::int32_t mValueDecimals = 0;
  std::string mDecimalSeparator = ".";
  std::string mGroupSeparator;
  double mSliceGap = 0;
  double mCornerRadius = 0;
  SliceShading mShading = SliceShading::Flat;
  RadiusScale mRadiusScale = RadiusScale::Area;
  std::vector<std::int32_t> mRingWidths;  ///< of the rings after the first
  TextMeasure mMeasure;
  std::uint64_t mRevision = 0;
};

}  // namespace xamlpie

#endif  // XAMLPIE_CXAMLPIECHART_H_
