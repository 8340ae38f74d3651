// The chart object: defaults, setters, colours and errors.

#include <gtest/gtest.h>

#include <limits>
#include <new>
#include <numeric>
#include <string>

#include "markup_util.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

#ifndef _WIN32
// Restores the default system colours however a test ends.
struct ColorSourceGuard {
  explicit ColorSourceGuard(SystemColorSource source) { SetSystemColorSource(std::move(source)); }
  ~ColorSourceGuard() { SetSystemColorSource({}); }
  ColorSourceGuard(const ColorSourceGuard&) = delete;
  ColorSourceGuard& operator=(const ColorSourceGuard&) = delete;
};
#endif

std::string ItemFill(ColorValue color) {
  cXAMLPieChart chart;
  chart.AddDataItem(1, color);
  return Polygons(chart.XAML()).front().fill;
}

std::string HoleFill(const cXAMLPieChart& chart) {
  return Attribute(Ellipses(chart.XAML()).at(1), "Fill");
}

TEST(Chart, Defaults) {
  const cXAMLPieChart chart;
  EXPECT_EQ(chart.Size(), 100);
  EXPECT_EQ(chart.MarginLeft(), 0);
  EXPECT_EQ(chart.MarginTop(), 0);
  EXPECT_EQ(chart.XAML(),
            "<Canvas>\r\n<Ellipse Canvas.Left='0' Canvas.Top='0' Stroke='#000000' "
            "StrokeThickness='2' Width='99' Height='99' />\r\n</Canvas>");  // no items, no hole

  cXAMLPieChart holed;
  holed.DoughnutWidth(10);
  EXPECT_EQ(HoleFill(holed), "#FFFFFF");  // the window background
}

TEST(Chart, NegativeDoughnutWidthIsIgnored) {
  cXAMLPieChart chart;
  chart.DoughnutWidth(30);
  chart.DoughnutWidth(-5);
  std::vector<std::string> ellipses = Ellipses(chart.XAML());
  ASSERT_EQ(ellipses.size(), 2u);
  EXPECT_EQ(Attribute(ellipses[1], "Canvas.Left"), "30");
  EXPECT_EQ(Attribute(ellipses[1], "Width"), "40");
  chart.DoughnutWidth(0);
  EXPECT_EQ(Ellipses(chart.XAML()).size(), 1u);
  chart.DoughnutWidth(kMin);
  EXPECT_EQ(Ellipses(chart.XAML()).size(), 1u);
}

TEST(Chart, ItemsAreStoredUnvalidatedInOrder) {
  cXAMLPieChart chart;
  chart.AddDataItem(20, 0x000000FF);
  chart.AddDataItem(0, 0x0000FF00);
  chart.AddDataItem(-10, 0x00FF0000);
  chart.AddDataItem(150, 0x00FF00FF);
  const std::vector<Polygon> polygons = Polygons(chart.XAML());
  ASSERT_EQ(polygons.size(), 8u);  // 20 % one fan, 0 % one point, -10 % none, 150 % six fans
  EXPECT_EQ(polygons[0].fill, "FF0000");
  EXPECT_EQ(polygons[0].rim.size(), 73u);
  EXPECT_EQ(polygons[1].fill, "00FF00");
  EXPECT_EQ(polygons[1].rim.size(), 1u);
  EXPECT_EQ(polygons[2].fill, "FF00FF");
  EXPECT_EQ(polygons[2].rim.front(), RimPoint(100, 36));  // after 20 + 0 - 10 percent
}

TEST(Chart, ClearKeepsGeometryAndColours) {
  cXAMLPieChart chart;
  chart.Size(250);
  chart.MarginLeft(25);
  chart.MarginTop(30);
  chart.DoughnutWidth(50);
  chart.BackgroundColor(0x00C0C0FF);
  chart.AddDataItem(60, 0x000000FF);
  chart.AddDataItem(40, 0x0000FF00);
  chart.Clear();
  EXPECT_EQ(chart.Size(), 250);
  EXPECT_EQ(chart.MarginLeft(), 25);
  EXPECT_EQ(chart.MarginTop(), 30);
  const std::string markup = chart.XAML();
  EXPECT_TRUE(Polygons(markup).empty());
  EXPECT_EQ(Lines(markup).size(), 3u);
  EXPECT_EQ(HoleFill(chart), "#FFC0C0");
  EXPECT_EQ(Attribute(Ellipses(markup)[1], "Canvas.Top"), "80");

  chart.AddDataItem(100, 0x0000FF00);  // usable again after clearing
  EXPECT_EQ(Polygons(chart.XAML()).front().rim.front(), RimPoint(250, 0));
}

TEST(Chart, ColourTextIsRedGreenBlueWithLeadingZeros) {
  EXPECT_EQ(ItemFill(0x000000FF), "FF0000");
  EXPECT_EQ(ItemFill(0x0000FFFF), "FFFF00");
  EXPECT_EQ(ItemFill(0x00FF0000), "0000FF");
  EXPECT_EQ(ItemFill(0x0000FF00), "00FF00");
  EXPECT_EQ(ItemFill(0x00FF00FF), "FF00FF");
  EXPECT_EQ(ItemFill(0x00C0C0FF), "FFC0C0");
  EXPECT_EQ(ItemFill(0), "000000");
  EXPECT_EQ(ItemFill(0x00050A0F), "0F0A05");
  EXPECT_EQ(ItemFill(0x00ABCDEF), "EFCDAB");
}

// Off Windows our own layer stands in for the platform's colour translation;
// on Windows the platform's answers are tested instead.
#ifndef _WIN32

TEST(Chart, SystemColoursAndRejectedValues) {
  EXPECT_EQ(ItemFill(0x80000005), "FFFFFF");  // window background
  EXPECT_EQ(ItemFill(0x8000000F), "F0F0F0");  // button face
  EXPECT_EQ(ItemFill(0x80000012), "000000");  // button text
  EXPECT_EQ(ItemFill(0x8000001E), "F0F0F0");  // the highest index there is
  // Values the translation rejects come out black rather than failing.
  for (ColorValue rejected : {0x8000001Fu, 0x80000020u, 0x80000105u, 0xFF000000u, 0x01000005u,
                              0x02FFFFFFu, 0x7F123456u}) {
    EXPECT_EQ(ItemFill(rejected), "000000") << std::hex << rejected;
    EXPECT_EQ(TranslateOleColor(rejected), 0u);
  }
  EXPECT_EQ(DefaultSystemColor(-1), 0u);
  EXPECT_EQ(DefaultSystemColor(SystemColorCount), 0u);
}

TEST(Chart, ItemColourIsFrozenWhileBackgroundFollowsTheScheme) {
  cXAMLPieChart chart;
  chart.DoughnutWidth(20);
  chart.AddDataItem(50, 0x80000005);  // default background colour, white
  {
    ColorSourceGuard dark([](int index) -> RgbValue {
      return index == 5 ? 0xFF203040u : DefaultSystemColor(index);  // high byte ignored
    });
    chart.AddDataItem(50, 0x80000005);
    const std::vector<Polygon> polygons = Polygons(chart.XAML());
    EXPECT_EQ(polygons.front().fill, "FFFFFF");
    EXPECT_EQ(polygons.back().fill, "403020");
    EXPECT_EQ(HoleFill(chart), "#403020");
    EXPECT_EQ(ItemFill(0x8000000F), "F0F0F0");  // other indices as the source says
  }
  EXPECT_EQ(HoleFill(chart), "#FFFFFF");
  EXPECT_EQ(Polygons(chart.XAML()).back().fill, "403020");
}

TEST(Chart, FailedAddLeavesItemsAsTheyWere) {
  cXAMLPieChart chart;
  chart.AddDataItem(30, 0x000000FF);
  const std::string before = chart.XAML();
  {
    ColorSourceGuard failing([](int) -> RgbValue { throw std::bad_alloc(); });
    EXPECT_THROW(chart.AddDataItem(70, 0x80000005), std::bad_alloc);
    chart.AddDataItem(70, 0x0000FF00);  // plain colours never consult the source
  }
  chart.Clear();
  chart.AddDataItem(30, 0x000000FF);
  EXPECT_EQ(chart.XAML(), before);
}

#endif  // _WIN32

// Each case sets a value that makes XAML overflow; putting the value back must
// give the markup of before, so nothing was changed by the failed read.
TEST(Chart, OverflowIsAnErrorAndChangesNothing) {
  struct Case {
    const char* what;
    void (*spoil)(cXAMLPieChart&);
    void (*mend)(cXAMLPieChart&);
  };
  const Case cases[] = {
      {"share above 5965232", [](cXAMLPieChart& c) { c.AddDataItem(5965233, 0x000000FF); },
       [](cXAMLPieChart& c) { c.Clear(); }},
      {"share below -5965232", [](cXAMLPieChart& c) { c.AddDataItem(-5965233, 0x000000FF); },
       [](cXAMLPieChart& c) { c.Clear(); }},
      {"running total",
       [](cXAMLPieChart& c) {
         for (int i = 0; i < 361; ++i)
           c.AddDataItem(-5965232, 0x000000FF);
       },
       [](cXAMLPieChart& c) { c.Clear(); }},
      {"Size - 1", [](cXAMLPieChart& c) { c.Size(kMin); }, [](cXAMLPieChart& c) { c.Size(100); }},
      {"MarginLeft + DoughnutWidth",
       [](cXAMLPieChart& c) {
         c.MarginLeft(kMax);
         c.DoughnutWidth(1);
       },
       [](cXAMLPieChart& c) {
         c.MarginLeft(0);
         c.DoughnutWidth(0);
       }},
      {"MarginTop + DoughnutWidth",
       [](cXAMLPieChart& c) {
         c.MarginTop(kMax - 4);
         c.DoughnutWidth(5);
       },
       [](cXAMLPieChart& c) {
         c.MarginTop(0);
         c.DoughnutWidth(0);
       }},
      {"2 x DoughnutWidth", [](cXAMLPieChart& c) { c.DoughnutWidth(1 << 30); },
       [](cXAMLPieChart& c) { c.DoughnutWidth(0); }},
      {"Size - 2 x DoughnutWidth",
       [](cXAMLPieChart& c) {
         c.Size(kMin + 1);
         c.DoughnutWidth(1 << 29);
       },
       [](cXAMLPieChart& c) {
         c.Size(100);
         c.DoughnutWidth(0);
       }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    cXAMLPieChart chart;
    chart.BackgroundColor(0x00C0C0FF);
    const std::string before = chart.XAML();
    test.spoil(chart);
    try {
      (void)chart.XAML();
      ADD_FAILURE() << "no error";
    } catch (const OverflowError& e) {
      EXPECT_STREQ(e.what(), "Overflow");
    }
    EXPECT_THROW((void)chart.XAML(), OverflowError);  // the failed read changed nothing
    test.mend(chart);
    EXPECT_EQ(chart.XAML(), before);
  }

  // The largest values that fit are not errors.
  cXAMLPieChart edge;
  edge.MarginLeft(kMax - 1);
  edge.DoughnutWidth(1);
  EXPECT_NO_THROW((void)edge.XAML());
  edge.AddDataItem(-5965232, 0x000000FF);
  EXPECT_NO_THROW((void)edge.XAML());
}

TEST(Chart, HugeSizeFloorsRimPointsIntoRange) {
  cXAMLPieChart chart;
  chart.Size(kMax);
  chart.AddDataItem(100, 0x000000FF);
  const std::vector<Polygon> polygons = Polygons(chart.XAML());
  EXPECT_EQ(polygons.front().centre, Point(1073741823, 1073741823));
  EXPECT_EQ(polygons.front().rim.front(), Point(2147483645, 1073741823));

  chart.Size(kMin);  // the rim lands below the lowest integer
  EXPECT_THROW((void)chart.XAML(), OverflowError);
}

TEST(Shares, AddUpToOneHundredByLargestRemainder) {
  struct Case {
    std::vector<double> values;
    std::vector<std::int32_t> shares;
  };
  const Case cases[] = {
      {{1, 1, 1}, {34, 33, 33}},  // a tie goes to the earlier value
      {{2, 0, 1}, {67, 0, 33}},
      {{0, 5, 0}, {0, 100, 0}},
      {{1e-300, 1e300}, {0, 100}},
      {{1.7e308, 1.7e308, 1.7e308}, {34, 33, 33}},  // their sum is not finite
      {{0.125, 0.125, 0.75}, {13, 12, 75}},
      {{19.6, 10.4, 25.3, 4.7, 40.0}, {20, 10, 25, 5, 40}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SharesFromValues(c.values), c.shares) << c.values.size() << " values";
  }

  std::vector<double> many(10000, 1.0);
  many[9999] = 0;
  many[5000] = 250.0;  // 2.4 % of the whole
  const std::vector<std::int32_t> shares = SharesFromValues(many);
  EXPECT_EQ(std::accumulate(shares.begin(), shares.end(), 0), 100);
  EXPECT_EQ(shares[5000], 3);
  EXPECT_EQ(shares[9999], 0);
}

TEST(Shares, BadValuesAreNamed) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::vector<double> values;
    const char* message;
  };
  const Case cases[] = {
      {{1, -2.5}, "value 1 (-2.5) is negative"},
      {{nan}, "value 0 (nan) is not a number"},
      {{3, 4, inf}, "value 2 (inf) is infinite"},
      {{0, 0}, "add up to zero"},
      {{}, "add up to zero"},
  };
  for (const Case& c : cases) {
    try {
      (void)SharesFromValues(c.values);
      ADD_FAILURE() << c.message;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace xamlpie::test
