// The colour translation on Windows, where OleTranslateColor does the work.

#include <gtest/gtest.h>
#include <windows.h>

#include "markup_util.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

std::string Hex(COLORREF rgb) {
  char text[7];
  std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  return text;
}

TEST(Windows, SystemColoursAreThePlatforms) {
  for (int index : {COLOR_WINDOW, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT}) {
    SCOPED_TRACE(index);
    const ColorValue value = 0x80000000u | static_cast<ColorValue>(index);
    EXPECT_EQ(TranslateOleColor(value), GetSysColor(index));
    cXAMLPieChart chart;
    chart.AddDataItem(10, value);
    chart.DoughnutWidth(10);
    chart.BackgroundColor(value);
    const std::string markup = chart.XAML();
    EXPECT_EQ(Polygons(markup).front().fill, Hex(GetSysColor(index)));
    EXPECT_EQ(Attribute(Ellipses(markup).at(1), "Fill"), "#" + Hex(GetSysColor(index)));
  }
}

TEST(Windows, RejectedValuesAreBlack) {
  for (ColorValue rejected : {0x80000020u, 0xFF000000u, 0x8000FFFFu}) {
    EXPECT_EQ(TranslateOleColor(rejected), 0u) << std::hex << rejected;
    cXAMLPieChart chart;
    chart.AddDataItem(10, rejected);
    EXPECT_EQ(Polygons(chart.XAML()).front().fill, "000000");
  }
  EXPECT_EQ(TranslateOleColor(0x00C0C0FFu), 0x00C0C0FFu);  // plain values pass unchanged
}

}  // namespace
}  // namespace xamlpie::test
