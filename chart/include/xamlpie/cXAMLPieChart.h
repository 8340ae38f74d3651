// A pie or doughnut chart as XAML markup: a Canvas of filled Polygon fans,
// one or more per slice, a black outline circle and an optional hole.
//
//   xamlpie::cXAMLPieChart chart;
//   chart.Size(250);
//   chart.AddDataItem(60, 0x000000FF);  // 60 %, red
//   chart.AddDataItem(40, 0x00FF0000);  // 40 %, blue
//   std::string markup = chart.XAML();

#ifndef XAMLPIE_CXAMLPIECHART_H_
#define XAMLPIE_CXAMLPIECHART_H_

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "xamlpie/SystemColors.h"
#include "xamlpie/xamlpie_export.h"

namespace xamlpie {

namespace detail {
class MarkupWriter;
}

// Thrown when a computation leaves the signed 32-bit range. The chart object is
// left as it was before the call.
class XAMLPIE_EXPORT OverflowError : public std::overflow_error {
 public:
  OverflowError();
  ~OverflowError() override;
  OverflowError(const OverflowError&) = default;
  OverflowError& operator=(const OverflowError&) = default;
};

// One slice: its colour text (six uppercase hex digits, red first) and its
// share in percent.
struct DataItem {
  std::string Color;
  std::int32_t Percent;
};

// Turns raw values (sales, counts, seconds...) into whole percents for
// AddDataItem that add up to exactly 100, by the largest-remainder method: each
// value gets the whole part of its share, and the points left over go to the
// largest fractions, the earlier value first on a tie. A zero stays 0. Throws
// std::invalid_argument, naming the value, for a negative, NaN or infinite
// value or when nothing is above zero.
XAMLPIE_EXPORT std::vector<std::int32_t> SharesFromValues(std::span<const double> values);

// Builds the markup of one chart. Properties are overloads under one name: the
// getter and the setter of Size are both Size. Out of memory is std::bad_alloc.
// An object is not meant to be shared between threads.
class XAMLPIE_EXPORT cXAMLPieChart {
 public:
  // Sets the fill of the doughnut hole. A system colour is translated each time
  // XAML is read, so it follows the current colour scheme. Default 0x80000005.
  void BackgroundColor(ColorValue pColor) noexcept;

  // Sets the width of the coloured ring; 0 draws a full pie. A negative width is
  // ignored and the previous width stays.
  void DoughnutWidth(std::int32_t pWidth) noexcept;

  // Appends a slice. Its colour is translated now and stored as text. Shares are
  // not validated: zero, negative and over-100 shares are all kept.
  void AddDataItem(std::int32_t Percent, ColorValue Color);

  // Removes all slices; the geometry and colours keep their values.
  void Clear() noexcept;

  // The x of the chart's left edge on the drawing surface. Default 0.
  std::int32_t MarginLeft() const noexcept { return mMarginLeft; }
  void MarginLeft(std::int32_t lonValue) noexcept { mMarginLeft = lonValue; }

  // The y of the chart's top edge on the drawing surface. Default 0.
  std::int32_t MarginTop() const noexcept { return mMarginTop; }
  void MarginTop(std::int32_t lonValue) noexcept { mMarginTop = lonValue; }

  // The pie's diameter in pixels. Default 100; any value is accepted.
  std::int32_t Size() const noexcept { return mSize; }
  void Size(std::int32_t lonValue) noexcept { mSize = lonValue; }

  // Returns the markup of the chart: ASCII, lines separated by CR LF. A slice
  // with a negative share is not drawn but still moves the slices after it.
  // Throws OverflowError when a coordinate, an angle or a sum leaves 32 bits.
  std::string XAML() const;

 private:
  // Appends the polygons of one slice; returns false when it covers no degree.
  bool SliceXAML(detail::MarkupWriter& out, std::int32_t Percent, std::int32_t StartPercent,
                 const std::string& Color) const;
  static RgbValue TranslateColor(ColorValue color);
  static std::string ColorToHex(ColorValue color);

  std::vector<DataItem> mItems;
  std::int32_t mSize = 100;
  std::int32_t mMarginLeft = 0;
  std::int32_t mMarginTop = 0;
  std::int32_t mDoughnutWidth = 0;
  ColorValue mBackgroundColor = 0x80000005u;
};

}  // namespace xamlpie

#endif  // XAMLPIE_CXAMLPIECHART_H_
