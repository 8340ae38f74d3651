// The exact text of the markup: document layout, slice polygons and geometry.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "markup_util.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(std::string(XAMLPIE_TEST_DATA) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Degrees covered by each polygon: the first run of whole degrees whose rim
// points are exactly the polygon's.
std::vector<std::pair<int, int>> DegreeRanges(const std::string& markup, std::int32_t size) {
  std::vector<std::pair<int, int>> ranges;
  for (const Polygon& p : Polygons(markup)) {
    const auto matches = [&](int first) {
      for (std::size_t i = 0; i < p.rim.size(); ++i) {
        if (p.rim[i] != RimPoint(size, first + static_cast<int>(i))) return false;
      }
      return true;
    };
    int first = 0;
    while (first < 1080 && !matches(first))
      ++first;
    EXPECT_LT(first, 1080) << "a polygon off the rim";
    ranges.emplace_back(first, first + static_cast<int>(p.rim.size()) - 1);
  }
  return ranges;
}

TEST(Markup, SingleSliceIsExact) {
  cXAMLPieChart chart;
  chart.AddDataItem(5, 0x0000FF00);
  EXPECT_EQ(chart.XAML(),
            "<Canvas>\r\n"
            "<Polygon Canvas.Left='0' Canvas.Top='0' Fill='#00FF00' Stroke='#00FF00' "
            "Points='50,50 98,50 98,49 98,48 98,47 98,46 98,45 98,44 98,44 98,43 97,42 97,41 "
            "97,40 97,39 97,39 97,38 96,37 96,36 96,35 96,35 ' />\r\n"
            "<Ellipse Canvas.Left='0' Canvas.Top='0' Stroke='#000000' StrokeThickness='2' "
            "Width='99' Height='99' />\r\n"
            "</Canvas>");
}

TEST(Markup, DemoChartMatchesGoldenFiles) {
  const std::string plain = DemoMarkup(false);
  const std::string doughnut = DemoMarkup(true);
  EXPECT_EQ(plain, ReadFile("demo.xaml"));
  EXPECT_EQ(doughnut, ReadFile("demo-doughnut.xaml"));
  EXPECT_EQ(plain.size(), 3231u);
  EXPECT_EQ(doughnut.size(), 3352u);

  const std::vector<std::string> lines = Lines(doughnut);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines.front(), "<Canvas>");
  EXPECT_EQ(lines[7],
            "<Ellipse Canvas.Left='25' Canvas.Top='25' Stroke='#000000' StrokeThickness='2' "
            "Width='249' Height='249' /><Ellipse Canvas.Left='75' Canvas.Top='75' "
            "Stroke='#000000' StrokeThickness='2' Fill='#FFC0C0' Width='150' Height='150' />");
  EXPECT_EQ(lines.back(), "</Canvas>");
  EXPECT_EQ(Lines(plain).size(), 9u);

  // Slices run counter-clockwise from 3 o'clock, the last one cut in two.
  const std::vector<std::pair<int, int>> expected = {{0, 72},    {72, 108},  {108, 198},
                                                     {198, 216}, {216, 316}, {315, 360}};
  EXPECT_EQ(DegreeRanges(plain, 250), expected);
  const std::vector<std::string> fills = {"FF0000", "FFFF00", "0000FF",
                                          "00FF00", "FF00FF", "FF00FF"};
  const std::vector<Polygon> polygons = Polygons(plain);
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    EXPECT_EQ(polygons[i].fill, fills[i]);
    EXPECT_EQ(polygons[i].stroke, fills[i]);
    EXPECT_EQ(polygons[i].left, 25);
    EXPECT_EQ(polygons[i].top, 25);
    EXPECT_EQ(polygons[i].centre, Point(125, 125));
  }
  EXPECT_EQ(polygons.front().rim.front(), Point(248, 125));
}

TEST(Markup, LongSlicesAreCutIntoOverlappingFans) {
  cXAMLPieChart chart;
  chart.AddDataItem(100, 0x000000FF);
  const std::vector<std::pair<int, int>> whole = {{0, 100}, {99, 199}, {198, 298}, {297, 360}};
  EXPECT_EQ(DegreeRanges(chart.XAML(), 100), whole);
  const std::vector<std::string> lines = Lines(chart.XAML());
  ASSERT_EQ(lines.size(), 7u);
  for (std::size_t i = 1; i <= 4; ++i) {  // one fan a line, each closed on its own line
    EXPECT_EQ(lines[i].rfind("<Polygon ", 0), 0u);
    EXPECT_EQ(lines[i].substr(lines[i].size() - 5), " ' />");
  }

  // A slice ending exactly where a fan fills up opens no empty fan.
  chart.Clear();
  chart.AddDataItem(60, 0x000000FF);
  chart.AddDataItem(40, 0x00FF0000);
  const std::vector<std::pair<int, int>> split = {
      {0, 100}, {99, 199}, {198, 216}, {216, 316}, {315, 360}};
  EXPECT_EQ(DegreeRanges(chart.XAML(), 100), split);
}

TEST(Markup, SliceBoundariesFollowRoundedStarts) {
  cXAMLPieChart chart;
  for (int i = 0; i < 3; ++i)
    chart.AddDataItem(1, 0x000000FF);
  const std::vector<std::pair<int, int>> ones = {{0, 4}, {4, 8}, {7, 11}};
  EXPECT_EQ(DegreeRanges(chart.XAML(), 100), ones);

  chart.Clear();
  chart.Size(250);
  chart.AddDataItem(2, 0x000000FF);
  chart.AddDataItem(4, 0x0000FF00);
  chart.AddDataItem(94, 0x00FF0000);
  const std::string markup = chart.XAML();
  const std::vector<std::pair<int, int>> uneven = {{0, 7},     {7, 21},    {22, 122},
                                                   {121, 221}, {220, 320}, {319, 360}};
  EXPECT_EQ(DegreeRanges(markup, 250), uneven);
  const std::vector<Polygon> polygons = Polygons(markup);
  EXPECT_EQ(polygons[1].rim.back(), Point(240, 80));
  EXPECT_EQ(polygons[2].rim.front(), Point(239, 78));
}

TEST(Markup, OddAndTinySizes) {
  cXAMLPieChart chart;
  chart.AddDataItem(100, 0x000000FF);

  chart.Size(101);  // centre truncated, radius not
  std::vector<Polygon> polygons = Polygons(chart.XAML());
  EXPECT_EQ(polygons.front().centre, Point(50, 50));
  EXPECT_EQ(polygons.front().rim.front(), Point(99, 50));  // 50 + 49.0

  chart.Size(103);  // these three points move if pi is taken to more digits
  const std::string markup = chart.XAML();
  for (const char* point : {" 7,25 ", " 7,75 ", " 75,94 "}) {
    EXPECT_NE(markup.find(point), std::string::npos) << point;
  }
  polygons = Polygons(markup);
  EXPECT_EQ(polygons[1].rim[150 - 99], Point(7, 25));
  EXPECT_EQ(polygons[2].rim[210 - 198], Point(7, 75));
  EXPECT_EQ(polygons[3].rim[300 - 297], Point(75, 94));

  chart.Clear();
  chart.Size(1);  // radius -1.0: coordinates are floored, not truncated
  chart.AddDataItem(1, 0x000000FF);
  EXPECT_EQ(Lines(chart.XAML())[1],
            "<Polygon Canvas.Left='0' Canvas.Top='0' Fill='#FF0000' Stroke='#FF0000' "
            "Points='0,0 -1,0 -1,0 -1,0 -1,0 -1,0 ' />");
}

TEST(Markup, SharesOverOneHundredWrapAround) {
  cXAMLPieChart chart;
  chart.AddDataItem(100, 0x000000FF);
  chart.AddDataItem(10, 0x0000FF00);
  const std::vector<Polygon> polygons = Polygons(chart.XAML());
  ASSERT_EQ(polygons.size(), 5u);
  EXPECT_EQ(polygons.back().fill, "00FF00");
  EXPECT_EQ(polygons.back().rim.front(), RimPoint(100, 360));
  EXPECT_EQ(polygons.back().rim.back(), RimPoint(100, 396));
  EXPECT_EQ(polygons.back().rim.back(), polygons.front().rim[36]);  // over the first slice
}

TEST(Markup, NegativeShareDrawsNothingButMovesLaterSlices) {
  cXAMLPieChart chart;
  chart.AddDataItem(50, 0x000000FF);
  chart.AddDataItem(-10, 0x0000FF00);
  chart.AddDataItem(10, 0x00FF0000);
  const std::string markup = chart.XAML();

  // Every line is a whole element: no stray "' />" is left behind.
  for (const std::string& line : Lines(markup)) {
    const bool element = line == "<Canvas>" || line == "</Canvas>" ||
                         line.rfind("<Polygon ", 0) == 0 || line.rfind("<Ellipse ", 0) == 0;
    EXPECT_TRUE(element) << line;
  }
  const std::vector<Polygon> polygons = Polygons(markup);
  ASSERT_EQ(polygons.size(), 3u);
  EXPECT_EQ(polygons[2].fill, "0000FF");
  EXPECT_EQ(polygons[2].rim.front(), RimPoint(100, 144));  // starts at 40 %, not 50 %

  // A chart that starts negative begins its next slice at 3 o'clock.
  chart.Clear();
  chart.AddDataItem(-30, 0x000000FF);
  chart.AddDataItem(10, 0x00FF0000);
  const std::vector<Polygon> first = Polygons(chart.XAML());
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first.front().rim.front(), RimPoint(100, 0));
  EXPECT_EQ(first.front().rim.size(), 37u);
}

TEST(Markup, DoughnutHole) {
  cXAMLPieChart chart;
  chart.Size(250);
  chart.MarginLeft(25);
  chart.MarginTop(25);
  chart.BackgroundColor(0x00C0C0FF);

  chart.DoughnutWidth(1);
  std::vector<std::string> ellipses = Ellipses(chart.XAML());
  ASSERT_EQ(ellipses.size(), 2u);
  EXPECT_EQ(Attribute(ellipses[1], "Width"), "248");
  EXPECT_EQ(Attribute(ellipses[1], "Canvas.Left"), "26");
  EXPECT_EQ(Attribute(ellipses[1], "Fill"), "#FFC0C0");
  EXPECT_EQ(Attribute(ellipses[0], "Fill"), "");  // the outline stays unfilled

  chart.DoughnutWidth(200);  // a hole wider than the pie is written as it is
  ellipses = Ellipses(chart.XAML());
  EXPECT_EQ(Attribute(ellipses[1], "Width"), "-150");
  EXPECT_EQ(Attribute(ellipses[1], "Height"), "-150");

  chart.DoughnutWidth(0);
  EXPECT_EQ(Ellipses(chart.XAML()).size(), 1u);
}

TEST(Markup, ReadingTwiceGivesIdenticalText) {
  cXAMLPieChart chart;
  chart.DoughnutWidth(10);
  for (int i = 0; i < 40; ++i)
    chart.AddDataItem(i % 7, 0x00102030u * static_cast<unsigned>(i));
  const std::string first = chart.XAML();
  EXPECT_EQ(first, chart.XAML());
  // Beyond the cached degrees the text must be the same as within them.
  cXAMLPieChart far;
  far.AddDataItem(18500, 0x000000FF);
  far.AddDataItem(1, 0x0000FF00);
  const std::vector<Polygon> polygons = Polygons(far.XAML());
  EXPECT_EQ(polygons.back().rim.front(), RimPoint(100, 66600));
  EXPECT_EQ(polygons.back().rim.back(), RimPoint(100, 66604));
}

// Random charts built with the plain calls only, hashed: the hash was taken
// from the output before any optional feature existed, so a feature that
// leaks into the plain output changes it.
TEST(Markup, PlainChartsKeepTheirExactOutput) {
  std::mt19937 random(20261207);  // the standard fixes its sequence
  const auto pick = [&](std::int32_t low, std::int32_t high) {
    return low + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(high - low + 1));
  };
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  std::size_t characters = 0;
  for (int n = 0; n < 1500; ++n) {
    // One draw a statement: the order of a call's arguments is the compiler's.
    cXAMLPieChart chart;
    chart.Size(pick(-10, 400));
    chart.MarginLeft(pick(-50, 100));
    chart.MarginTop(pick(-50, 100));
    chart.DoughnutWidth(pick(-5, 150));
    chart.BackgroundColor(random() & 0x00FFFFFFu);
    for (std::int32_t items = pick(0, 12); items > 0; --items) {
      const std::int32_t share = pick(-20, 120);
      chart.AddDataItem(share, random() & 0x00FFFFFFu);
    }
    const std::string markup = chart.XAML();
    characters += markup.size();
    for (char c : markup) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
  }
  EXPECT_EQ(characters, 13137734u);
  EXPECT_EQ(hash, 8716743578531927215u);
}

}  // namespace
}  // namespace xamlpie::test
