// The optional features: what each adds to the markup, and that it adds
// nothing else.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "demo_chart.h"
#include "markup_util.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

int Int(const std::string& element, const char* name) {
  return std::stoi(Attribute(element, name));
}

// Whether a point lies inside a polygon given in canvas coordinates.
bool Inside(const Polygon& p, double x, double y) {
  std::vector<std::pair<double, double>> v{{p.centre.first + p.left, p.centre.second + p.top}};
  for (const Point& r : p.rim)
    v.emplace_back(r.first + p.left, r.second + p.top);
  bool in = false;
  for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
    if ((v[i].second > y) != (v[j].second > y) &&
        x < (v[j].first - v[i].first) * (y - v[i].second) / (v[j].second - v[i].second) +
                v[i].first) {
      in = !in;
    }
  }
  return in;
}

TEST(Features, StartAngleAndDirectionTurnTheRim) {
  struct Case {
    std::int32_t start;
    bool clockwise;
    std::int32_t reduced;
    int degrees[3];  // of the first three rim points
  };
  const Case cases[] = {
      {90, false, 90, {90, 91, 92}},    // 12 o'clock, then left
      {0, true, 0, {0, 359, 358}},      // mirrored across the start
      {90, true, 90, {90, 89, 88}},     // 12 o'clock, then right
      {-270, false, 90, {90, 91, 92}},  // reduced
      {725, true, 5, {5, 4, 3}},        //
      {-2147483647 - 1, false, 232, {232, 233, 234}},
  };
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    chart.StartAngle(c.start);
    chart.Clockwise(c.clockwise);
    chart.AddDataItem(30, 0x000000FF);
    EXPECT_EQ(chart.StartAngle(), c.reduced);
    const std::vector<Polygon> polygons = Polygons(chart.XAML());
    ASSERT_EQ(polygons.size(), 2u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(polygons[0].rim[static_cast<std::size_t>(i)], RimPoint(100, c.degrees[i]))
          << c.start << (c.clockwise ? " clockwise" : "") << " point " << i;
    }
  }
}

// The slice moves whole, smooth and outlined; its place is cleared; the rest
// of the chart moves right and down by the pull, so nothing leaves the
// markup's top-left corner.
TEST(Features, ExplodeMovesOneSliceAndNothingElse) {
  for (const bool doughnut : {false, true}) {
    cXAMLPieChart plain = DemoChart(doughnut);
    cXAMLPieChart exploded = DemoChart(doughnut);
    exploded.Explode(2, 20);  // blue, 108 to 198 degrees: its middle is 153
    EXPECT_EQ(exploded.Explode(2), 20);
    const std::vector<Polygon> before = Polygons(plain.XAML());
    const std::vector<Polygon> after = Polygons(exploded.XAML());
    // The blue fan gone from its place; its cleared place, itself moved and
    // its outline (and the hole's edge) added.
    ASSERT_EQ(after.size(), before.size() + (doughnut ? 3 : 2));
    const std::vector<std::size_t> others = {0, 1, 3, 4, 5};
    for (std::size_t i = 0; i < others.size(); ++i) {  // in order, moved by the pull only
      EXPECT_EQ(after[i].fill, before[others[i]].fill) << i;
      EXPECT_EQ(after[i].rim, before[others[i]].rim) << i;
      EXPECT_EQ(after[i].left, before[others[i]].left + 20) << i;
      EXPECT_EQ(after[i].top, before[others[i]].top + 20) << i;
    }
    const Polygon& cleared = after[5];
    EXPECT_EQ(cleared.fill, "FFC0C0");
    EXPECT_EQ(cleared.rim, before[2].rim);
    const double dx = 20 * std::cos(153 * std::numbers::pi / 180);
    const double dy = -20 * std::sin(153 * std::numbers::pi / 180);
    const double cx = 20 + 25 + 125 + dx;
    const double cy = 20 + 25 + 125 + dy;
    const auto from = [](const std::pair<double, double>& p, double x, double y) {
      return std::hypot(p.first - x, p.second - y);
    };
    const Polygon& moved = after[6];
    EXPECT_EQ(moved.fill, "0000FF");
    ASSERT_EQ(moved.exact.size(), doughnut ? 182u : 92u);  // 91 degrees, one arc or two
    for (std::size_t i = 0; i < moved.exact.size(); ++i) {
      const double r = from(moved.exact[i], cx, cy);
      if (!doughnut) {
        EXPECT_NEAR(r, i == 0 ? 0.0 : 123.5, 0.01) << i;
      } else {
        EXPECT_NEAR(r, i < 91 ? 123.5 : 74.0, 0.01) << i;
      }
    }
    const Polygon& rim = after[7];  // the outline circle's arc, where the slice went
    EXPECT_EQ(rim.fill, "000000");
    for (std::size_t i = 0; i < rim.exact.size(); ++i)
      EXPECT_NEAR(from(rim.exact[i], cx - 0.5, cy - 0.5), i < 91 ? 124.5 : 122.5, 0.01) << i;
    if (doughnut) {
      const Polygon& edge = after[8];  // the hole's
      for (std::size_t i = 0; i < edge.exact.size(); ++i)
        EXPECT_NEAR(from(edge.exact[i], cx, cy), i < 91 ? 75.0 : 73.0, 0.01) << i;
    }
    // The markup ends where the slice does: left of the margin it would be cut.
    EXPECT_GE(*std::min_element(moved.exact.begin(), moved.exact.end()), std::make_pair(25.0, 0.0));
  }
  cXAMLPieChart chart = DemoChart(false);
  EXPECT_THROW(chart.Explode(5, 1), std::out_of_range);
  EXPECT_THROW((void)chart.Explode(-1), std::out_of_range);
}

TEST(Features, NamedSlicesCarryTagToolTipAndAccessibleName) {
  cXAMLPieChart chart;
  chart.AddDataItem(20, 0x000000FF, "Rent");
  chart.AddDataItem(80, 0x0000FF00);
  const std::vector<Polygon> polygons = Polygons(chart.XAML());
  ASSERT_EQ(polygons.size(), 4u);
  EXPECT_EQ(Attribute(polygons[0].element, "Tag"), "0");
  EXPECT_EQ(Attribute(polygons[0].element, "ToolTip"), "Rent: 20 %");
  EXPECT_EQ(Attribute(polygons[0].element, "AutomationProperties.Name"), "Rent, 20 percent");
  for (std::size_t i = 1; i < polygons.size(); ++i) {
    EXPECT_EQ(polygons[i].element.find("Tag="), std::string::npos);
    EXPECT_EQ(polygons[i].element.find("ToolTip="), std::string::npos);
    EXPECT_EQ(polygons[i].element.find("Automation"), std::string::npos);
  }
}

TEST(Features, TextIsEscapedToAsciiAndCannotInjectMarkup) {
  struct Case {
    const char* name;
    const char* escaped;
  };
  const Case cases[] = {
      {"' /><Ellipse Width='5' Height='5' /><Polygon Points='",
       "&apos; /&gt;&lt;Ellipse Width=&apos;5&apos; Height=&apos;5&apos; /&gt;&lt;Polygon "
       "Points=&apos;"},
      {"a&b\"c", "a&amp;b&quot;c"},
      {"na\xC3\xAFve \xE2\x98\x83 \xF0\x9F\x98\x80", "na&#239;ve &#9731; &#128512;"},
      {"tab\there\nnl", "tab&#9;here&#10;nl"},
      {"\x01\x7F", "&#65533;&#127;"},
      {"\xFF\xC3", "&#65533;&#65533;"},              // not UTF-8, cut short
      {"\xED\xA0\x80", "&#65533;&#65533;&#65533;"},  // a surrogate
      {"\xC0\xAF", "&#65533;&#65533;"},              // overlong
  };
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    chart.Size(2000);  // room for the longest name as centre text on one line
    chart.AddDataItem(100, 0x000000FF, c.name);
    chart.SliceLabels(LabelStyle::Name);
    chart.LabelsOutside(true);  // inside, a long name would not fit: it would be dropped
    chart.Legend(true);
    chart.CenterText(c.name);
    const std::string markup = chart.XAML();
    for (char ch : markup) {
      ASSERT_TRUE(static_cast<unsigned char>(ch) < 0x80) << c.escaped;
    }
    EXPECT_EQ(Ellipses(markup).size(), 1u) << c.escaped;
    const std::vector<Polygon> polygons = Polygons(markup);
    ASSERT_EQ(polygons.size(), 4u);
    EXPECT_EQ(Attribute(polygons[0].element, "ToolTip"), std::string(c.escaped) + ": 100 %");
    const std::vector<std::string> texts = Elements(markup, "TextBlock");
    ASSERT_EQ(texts.size(), 3u);  // label, centre, legend
    for (const std::string& t : texts)
      EXPECT_EQ(Attribute(t, "Text"), c.escaped);
  }
}

TEST(Features, InsideLabelsSitInTheirSlices) {
  for (bool doughnut : {false, true}) {
    cXAMLPieChart chart;
    chart.Size(250);
    chart.MarginLeft(25);
    chart.MarginTop(25);
    chart.DoughnutWidth(doughnut ? 50 : 0);
    chart.StartAngle(90);
    chart.Clockwise(true);
    const std::int32_t shares[] = {20, 10, 25, 2, 43};
    for (std::int32_t share : shares)
      chart.AddDataItem(share, 0x0000FFFF, "x");
    chart.Explode(4, 15);
    chart.SliceLabels(LabelStyle::Percent);
    const std::string markup = chart.XAML();
    const std::vector<Polygon> polygons = Polygons(markup);
    const std::vector<std::string> labels = Elements(markup, "TextBlock");
    ASSERT_EQ(labels.size(), 4u) << "the 2 % slice is narrower than 10 degrees";
    const char* texts[] = {"20 %", "10 %", "25 %", "43 %"};
    for (std::size_t i = 0; i < labels.size(); ++i) {
      EXPECT_EQ(Attribute(labels[i], "Text"), texts[i]);
      EXPECT_EQ(Attribute(labels[i], "Foreground"), "#000000");  // on yellow
      const double x = Int(labels[i], "Canvas.Left") + Int(labels[i], "Width") / 2.0;
      const double y = Int(labels[i], "Canvas.Top") + 8;
      const bool inside = std::any_of(polygons.begin(), polygons.end(), [&](const Polygon& p) {
        return Attribute(p.element, "Tag") == std::to_string(i == 3 ? 4 : i) && Inside(p, x, y);
      });
      EXPECT_TRUE(inside) << texts[i] << (doughnut ? " doughnut" : " pie");
    }
  }
}

// A renderer's own measure places the text; a measure that fails leaves
// the chart's estimate, byte for byte.
TEST(Features, TextIsMeasuredByTheRenderer) {
  const auto make = [](cXAMLPieChart::TextMeasure measure) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.DoughnutWidth(60);
    for (std::int32_t share : {50, 30, 20})
      chart.AddDataItem(share, 0x00FF0000, "Slice");
    chart.SliceLabels(LabelStyle::Percent);
    chart.Legend(true);
    chart.CenterText("Total");
    chart.MeasureText(std::move(measure));
    return chart.XAML();
  };
  const std::string estimated = make(nullptr);
  struct Call {
    std::string text;
    std::int32_t size;
    bool bold;
  };
  std::vector<Call> calls;
  const std::string measured = make([&](std::string_view text, std::int32_t size, bool bold) {
    calls.push_back({std::string(text), size, bold});
    return 5.5 * static_cast<double>(text.size());
  });
  std::vector<std::string> blocks = Elements(measured, "TextBlock");
  ASSERT_EQ(blocks.size(), 7u);  // three labels, the centre text, three entries
  for (const std::string& block : blocks) {
    const std::string text = Attribute(block, "Text");
    if (text == "Total") continue;  // as wide as the hole
    EXPECT_EQ(Int(block, "Width"), std::ceil(5.5 * static_cast<double>(text.size())) + 1) << text;
  }
  EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const Call& c) {
    return c.text == "Total" && c.size == 18 && c.bold;
  }));
  EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const Call& c) {
    return c.text == "Total" || (c.size == 12 && !c.bold);
  }));
  // Labels too wide for their slices give way; the legend keeps its names.
  blocks = Elements(make([](std::string_view, std::int32_t, bool) { return 1e5; }), "TextBlock");
  EXPECT_EQ(std::count_if(blocks.begin(), blocks.end(),
                          [](const std::string& b) { return Attribute(b, "Text") == "Slice"; }),
            3);
  EXPECT_EQ(std::count_if(blocks.begin(), blocks.end(),
                          [](const std::string& b) { return Attribute(b, "Text").ends_with('%'); }),
            0);
  for (const double failed : {-1.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), 1e300}) {
    EXPECT_EQ(make([&](std::string_view, std::int32_t, bool) { return failed; }), estimated)
        << failed;
  }
}

// Thirty slices of about 3 % each, labels outside: none overlaps another or
// leaves the chart's height; the biggest keep theirs when not all fit.
TEST(Features, OutsideLabelsNeitherOverlapNorLeaveTheBox) {
  for (std::int32_t size : {250, 120}) {
    cXAMLPieChart chart;
    chart.Size(size);
    chart.MarginLeft(10);
    chart.MarginTop(20);
    for (int i = 0; i < 30; ++i)
      chart.AddDataItem(i < 10 ? 4 : 3, 0x00808080u + static_cast<unsigned>(i), "Slice");
    chart.SliceLabels(LabelStyle::NameAndPercent);
    chart.LabelsOutside(true);
    const std::string markup = chart.XAML();
    const std::vector<std::string> labels = Elements(markup, "TextBlock");
    EXPECT_EQ(Elements(markup, "Line").size(), 2 * labels.size());
    const int height = 16;  // 12 px text
    // 250: 16 labels want the left column, where 15 fit; 120: 7 fit a side.
    EXPECT_EQ(labels.size(), size == 250 ? 29u : 14u);
    const int pieLeft = Polygons(markup).front().left;
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const int left = Int(labels[i], "Canvas.Left");
      const int top = Int(labels[i], "Canvas.Top");
      EXPECT_GE(left, 10);
      EXPECT_TRUE(left + Int(labels[i], "Width") <= pieLeft || left >= pieLeft + size);
      EXPECT_GE(top, 20);
      EXPECT_LE(top + height, 20 + size);
      for (std::size_t j = 0; j < i; ++j) {
        const bool apart = Int(labels[j], "Canvas.Left") != left ||
                           std::abs(Int(labels[j], "Canvas.Top") - top) >= height;
        EXPECT_TRUE(apart) << i << " overlaps " << j;
      }
    }
    if (size == 120) {  // 14 fit: the 4 % slices all keep theirs
      EXPECT_EQ(
          std::count_if(labels.begin(), labels.end(),
                        [](const std::string& l) { return Attribute(l, "Text") == "Slice: 4 %"; }),
          10);
    }
  }
}

TEST(Features, SmallSlicesFoldIntoOther) {
  cXAMLPieChart chart;
  chart.AddDataItem(50, 0x000000FF, "a");
  chart.AddDataItem(3, 0x0000FF00, "b");
  chart.AddDataItem(30, 0x00FF0000, "c");
  chart.AddDataItem(2, 0x00FF00FF);
  chart.AddDataItem(0, 0x00FF00FF, "d");
  chart.AddDataItem(15, 0x0000FFFF, "e");
  chart.AddDataItem(-4, 0x0000FFFF, "f");
  chart.GroupBelow(5, 0x00808080, "Other");
  chart.Legend(true);
  const std::string markup = chart.XAML();
  const std::vector<Polygon> polygons = Polygons(markup);
  ASSERT_EQ(polygons.size(), 6u);  // a and c two fans each, e one, Other one
  const Polygon& other = polygons.back();
  EXPECT_EQ(other.fill, "808080");
  EXPECT_EQ(Attribute(other.element, "Tag"), "7");
  EXPECT_EQ(Attribute(other.element, "ToolTip"), "Other: 5 % (b, d)");  // 3 + 2 + 0
  EXPECT_EQ(other.rim.front(), RimPoint(100, 328));                     // after 50 + 30 + 15 - 4 %
  EXPECT_EQ(other.rim.back(), RimPoint(100, 346));
  const std::vector<std::string> legend = Elements(markup, "TextBlock");
  ASSERT_EQ(legend.size(), 4u);  // a, c, e, Other: the negative one is not drawn
  EXPECT_EQ(Attribute(legend.back(), "Text"), "Other");
  for (const std::string& swatch : Elements(markup, "Rectangle")) {
    EXPECT_GE(Int(swatch, "Canvas.Left"), 100);  // right of the pie
  }

  chart.GroupBelow(1, 0x00808080, "Other");  // only one slice below: nothing folds
  EXPECT_EQ(Polygons(chart.XAML()).size(), 8u);
}

TEST(Features, OutlineAndTextColours) {
  cXAMLPieChart chart;
  chart.DoughnutWidth(20);
  chart.OutlineColor(0x00FFFFFF);
  chart.TextColor(0x0000FFFF);
  chart.CenterText("Hi");
  chart.FontFamily("DejaVu Sans");
  chart.FontSize(0);  // both ignored
  chart.FontSize(513);
  const std::string markup = chart.XAML();
  for (const std::string& e : Ellipses(markup))
    EXPECT_EQ(Attribute(e, "Stroke"), "#FFFFFF");
  const std::string centre = Elements(markup, "TextBlock").at(0);
  EXPECT_EQ(Attribute(centre, "Foreground"), "#FFFF00");
  EXPECT_EQ(Attribute(centre, "FontFamily"), "DejaVu Sans");
  EXPECT_EQ(Attribute(centre, "FontSize"), "18");
  EXPECT_EQ(Attribute(centre, "Width"), "60");
}

// Inside labels only where they fit: each within its own slice (where that
// is drawn) and clear of every other text; leaders of pulled-out slices never
// cross a slice.
TEST(Features, TextStaysInItsPlace) {
  struct Case {
    bool doughnut;
    bool outside;
    std::int32_t fontSize;
    std::int32_t explode;
  };
  const Case cases[] = {{true, false, 20, 12},  {false, false, 20, 0}, {true, false, 12, 0},
                        {false, false, 14, 25}, {false, true, 12, 30}, {true, true, 16, 15}};
  const char* names[] = {"Done", "In progress", "Blocked", "Waiting", "Abandoned"};
  const std::int32_t shares[] = {41, 26, 17, 9, 7};
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    chart.Size(240);
    chart.MarginLeft(10);
    chart.MarginTop(10);
    chart.StartAngle(90);
    chart.Clockwise(true);
    if (c.doughnut) {
      chart.DoughnutWidth(60);
      chart.CenterText("Tasks");
    }
    for (int i = 0; i < 5; ++i)
      chart.AddDataItem(shares[i], 0x00A0A0A0u + static_cast<unsigned>(i), names[i]);
    chart.Explode(0, c.explode);  // at the top: its leader starts above the pie
    chart.SliceLabels(LabelStyle::NameAndPercent);
    chart.LabelsOutside(c.outside);
    chart.FontSize(c.fontSize);
    const std::string markup = chart.XAML();
    const std::vector<Polygon> polygons = Polygons(markup);
    struct Box {
      double left, top, right, bottom;
    };
    std::vector<Box> boxes;
    for (const std::string& text : Elements(markup, "TextBlock")) {
      const double left = Int(text, "Canvas.Left");
      const double top = Int(text, "Canvas.Top");
      const Box box{left, top, left + Int(text, "Width"), top + c.fontSize * 4.0 / 3.0};
      for (const Box& other : boxes) {
        EXPECT_FALSE(box.left < other.right && other.left < box.right && box.top < other.bottom &&
                     other.top < box.bottom)
            << Attribute(text, "Text") << " overlaps another text";
      }
      boxes.push_back(box);
      const std::string label = Attribute(text, "Text");
      if (c.outside || label == "Tasks" ||
          std::find(std::begin(names), std::end(names), label) != std::end(names)) {
        continue;  // outside labels, centre text, legend names
      }
      // "Name: 41 %", or where that does not fit, "41 %".
      const auto colon = label.find(':');
      const auto slice =
          colon != std::string::npos
              ? std::find(std::begin(names), std::end(names), label.substr(0, colon)) -
                    std::begin(names)
              : std::find(std::begin(shares), std::end(shares), std::stoi(label)) -
                    std::begin(shares);
      ASSERT_LT(slice, 5) << label;
      const std::string tag = std::to_string(slice);
      for (const double fx : {0.0, 0.5, 1.0}) {
        for (const double fy : {0.0, 0.5, 1.0}) {
          const double x = box.left + fx * (box.right - box.left);
          const double y = box.top + fy * (box.bottom - box.top);
          const bool inside = std::any_of(polygons.begin(), polygons.end(), [&](const Polygon& p) {
            return Attribute(p.element, "Tag") == tag && Inside(p, x, y);
          });
          EXPECT_TRUE(inside) << label << " leaves its slice at " << x << "," << y;
        }
      }
    }
    // A leader runs outward from its slice: none of its points lies in a slice
    // but for its first pixel, on the rim.
    for (const std::string& line : Elements(markup, "Line")) {
      const double x1 = Int(line, "X1"), y1 = Int(line, "Y1");
      const double x2 = Int(line, "X2"), y2 = Int(line, "Y2");
      for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const double x = x1 + t * (x2 - x1);
        const double y = y1 + t * (y2 - y1);
        if (std::hypot(x - x1, y - y1) < 2) continue;
        const bool inSlice = std::any_of(polygons.begin(), polygons.end(), [&](const Polygon& p) {
          return !Attribute(p.element, "Tag").empty() && Inside(p, x, y);
        });
        EXPECT_FALSE(inSlice) << "a leader crosses a slice at " << x << "," << y;
      }
    }
  }
}

// Sorted slices are drawn by size from the start angle, their Tags as added,
// "Other" last; a chart with nothing to draw shows its outline and a text.
TEST(Features, OrderAndEmptyState) {
  struct Case {
    SortOrder order;
    std::vector<std::string> tags;  // of the fans, in drawing order; "Other" is 7
  };
  const Case cases[] = {{SortOrder::None, {"0", "1", "2", "3", "4", "7"}},
                        {SortOrder::Descending, {"3", "1", "4", "0", "2", "7"}},
                        {SortOrder::Ascending, {"0", "2", "4", "1", "3", "7"}},
                        {static_cast<SortOrder>(7), {"0", "1", "2", "3", "4", "7"}}};
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    const std::int32_t shares[] = {10, 30, 10, 40, 15, 2, 3};  // the last two fold
    for (std::size_t i = 0; i < std::size(shares); ++i)
      chart.AddDataItem(shares[i], 0x00100000u * static_cast<unsigned>(i + 1), "s");
    chart.GroupBelow(5, 0x00808080, "Other");
    chart.SortSlices(c.order);
    EXPECT_EQ(chart.SortSlices(), c.order);
    std::vector<std::string> tags;
    for (const Polygon& p : Polygons(chart.XAML())) {
      const std::string tag = Attribute(p.element, "Tag");
      if (tags.empty() || tags.back() != tag) tags.push_back(tag);
    }
    EXPECT_EQ(tags, c.tags) << static_cast<int>(c.order);
  }

  for (const bool doughnut : {false, true}) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.DoughnutWidth(doughnut ? 50 : 0);
    chart.EmptyText("No data <yet>");
    std::string markup = chart.XAML();
    std::vector<std::string> texts = Elements(markup, "TextBlock");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(Attribute(texts[0], "Text"), "No data &lt;yet&gt;");
    const int middle = Int(texts[0], "Canvas.Left") + Int(texts[0], "Width") / 2;
    EXPECT_NEAR(middle, 100, 1);
    EXPECT_EQ(Ellipses(markup).size(), doughnut ? 2u : 1u);
    chart.AddDataItem(0, 0x000000FF);
    EXPECT_EQ(Elements(chart.XAML(), "TextBlock").size(), 1u) << "all zero: still empty";
    chart.AddDataItem(100, 0x0000FF00);
    EXPECT_TRUE(Elements(chart.XAML(), "TextBlock").empty()) << "something to draw";
  }
}

// The rim point of an exact angle, as the markup floors it.
Point ExactRim(double degrees, std::int32_t size) {
  degrees = std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);  // reduced, as the markup's
  const double radians = degrees * 3.141592653238 / 180.0;
  const std::int32_t whole = size / 2;  // truncated, as the markup's
  const auto centre = static_cast<double>(whole);
  const double radius = size / 2.0 - 1.5;
  return {static_cast<int>(std::floor(radius * std::cos(radians) + centre)),
          static_cast<int>(std::floor(centre - radius * std::sin(radians)))};
}

// A chart of values spans 360 degrees by value over total: each slice from
// its exact first edge to its exact last, in either direction, from any start.
TEST(Values, SlicesEndAtTheirExactAngles) {
  const double values[] = {1200.0, 640.5, 0.0, 310.0, 1.25};
  double total = 0;
  for (double v : values)
    total += v;
  for (const std::int32_t start : {0, 90, 271}) {
    for (const bool clockwise : {false, true}) {
      cXAMLPieChart chart;
      chart.Size(300);
      chart.StartAngle(start);
      chart.Clockwise(clockwise);
      for (std::size_t i = 0; i < std::size(values); ++i)
        chart.AddValue(values[i], 0x00102030u * static_cast<unsigned>(i + 1), "v");
      const std::vector<Polygon> polygons = Polygons(chart.XAML());
      double before = 0;
      for (std::size_t i = 0; i < std::size(values); ++i) {
        const double from = 360.0 * before / total;
        before += values[i];
        const double to = 360.0 * before / total;
        std::vector<Point> rim;
        for (const Polygon& p : polygons) {
          if (Attribute(p.element, "Tag") != std::to_string(i)) continue;
          rim.insert(rim.end(), p.rim.begin(), p.rim.end());
        }
        if (values[i] == 0) {
          EXPECT_TRUE(rim.empty()) << "a zero draws nothing";
          continue;
        }
        const auto turned = [&](double a) { return clockwise ? start - a : start + a; };
        ASSERT_FALSE(rim.empty()) << i;
        EXPECT_EQ(rim.front(), ExactRim(turned(from), 300)) << i << " from " << start;
        EXPECT_EQ(rim.back(), ExactRim(turned(to), 300)) << i << " to " << start;
        // Whole degrees between; a point repeats where a fan hands over.
        EXPECT_EQ(rim.size(), static_cast<std::size_t>(std::ceil(to) - std::floor(from) + 1) +
                                  (rim.size() > 101 ? (rim.size() - 2) / 100 : 0))
            << i;
      }
    }
  }
}

// Percents at each precision add up to exactly 100 (largest remainder, ties
// to the earlier); values shown at theirs, with the separators asked for;
// formats with their placeholders and braces.
TEST(Values, NumbersAndFormats) {
  struct Case {
    std::vector<double> values;
    std::int32_t percentDecimals;
    std::vector<std::string> percents;
  };
  const Case cases[] = {
      {{1, 1, 1}, 0, {"34", "33", "33"}},
      {{1, 1, 1}, 1, {"33.4", "33.3", "33.3"}},
      {{1, 1, 1}, 3, {"33.334", "33.333", "33.333"}},
      {{1e6, 1, 1, 1}, 2, {"100.00", "0.00", "0.00", "0.00"}},
      {{1e6, 1, 1, 1}, 6, {"99.999700", "0.000100", "0.000100", "0.000100"}},
      {{1e308, 1e308, 1e308, 1e308}, 0, {"25", "25", "25", "25"}},
      {{1e-300, 3e-300}, 1, {"25.0", "75.0"}},
  };
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    for (const double v : c.values)
      chart.AddValue(v, 0x00808080, "x");
    chart.PercentDecimals(c.percentDecimals);
    chart.Legend(true);
    chart.LegendFormat("{percent}");
    const std::string markup = chart.XAML();
    EXPECT_EQ(markup.find("nan"), std::string::npos);
    std::vector<std::string> percents;
    for (const std::string& t : Elements(markup, "TextBlock"))
      percents.push_back(Attribute(t, "Text"));
    EXPECT_EQ(percents, c.percents) << c.values.size() << " at " << c.percentDecimals;
  }

  cXAMLPieChart chart;
  chart.AddValue(1234567.891, 0x000000FF, "Rent");
  chart.AddValue(640.5, 0x0000FF00, "Food");
  chart.ValueDecimals(2);
  chart.PercentDecimals(1);
  chart.DecimalSeparator(",");
  chart.GroupSeparator(".");
  chart.Legend(true);
  chart.LegendFormat("{name} {{{value}}} {percent} {unknown} }}");
  const std::vector<std::string> texts = Elements(chart.XAML(), "TextBlock");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(Attribute(texts[0], "Text"), "Rent {1.234.567,89} 99,9 {unknown} }");
  EXPECT_EQ(Attribute(texts[1], "Text"), "Food {640,50} 0,1 {unknown} }");
  EXPECT_EQ(Attribute(texts[0], "ToolTip"), "Rent: 1.234.567,89 (99,9 %)");
  chart.PercentDecimals(7);  // ignored, as is -1
  chart.PercentDecimals(-1);
  EXPECT_EQ(chart.PercentDecimals(), 1);
}

// A chart is of percents or of values; a bad value names itself. Either way
// the chart is as it was.
TEST(Values, BadValuesAndMixingChangeNothing) {
  cXAMLPieChart values;
  values.AddValue(3, 0x000000FF, "a");
  const std::string before = values.XAML();
  EXPECT_THROW(values.AddDataItem(50, 0x000000FF), std::logic_error);
  for (const double bad : {-2.5, std::nan(""), std::numeric_limits<double>::infinity()}) {
    try {
      values.AddValue(bad, 0x000000FF);
      ADD_FAILURE() << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find("value 1"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(values.XAML(), before);
  cXAMLPieChart percents;
  percents.AddDataItem(50, 0x000000FF);
  EXPECT_THROW(percents.AddValue(1, 0x000000FF), std::logic_error);
  percents.Clear();
  percents.AddValue(1, 0x000000FF);                 // after Clear, either
  EXPECT_EQ(Polygons(percents.XAML()).size(), 4u);  // 360 degrees: four fans

  // Values are something to draw: no empty text; labels of their percents.
  cXAMLPieChart shown;
  shown.Size(200);
  shown.AddValue(2, 0x000000FF, "a");
  shown.AddValue(1, 0x00FF0000, "b");
  shown.EmptyText("Nothing");
  shown.SliceLabels(LabelStyle::Percent);
  std::vector<std::string> labels;
  for (const std::string& t : Elements(shown.XAML(), "TextBlock"))
    labels.push_back(Attribute(t, "Text"));
  EXPECT_EQ(labels, (std::vector<std::string>{"67 %", "33 %"}));
}

// The slices share a partial arc: a top half gauge is drawn above its centre
// only, its slices end where the arc does, outlined along the arc and across
// both ends, with no circle beyond it.
TEST(Arc, SlicesShareThePartialArc) {
  struct Case {
    std::int32_t start, sweep;
    bool clockwise, doughnut;
  };
  const Case cases[] = {{180, 180, true, true},
                        {180, 180, true, false},
                        {90, 270, true, true},
                        {0, 90, false, false},
                        {45, 1, false, true}};
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.StartAngle(c.start);
    chart.Clockwise(c.clockwise);
    chart.SweepAngle(c.sweep);
    chart.SweepAngle(0);  // ignored
    chart.SweepAngle(361);
    EXPECT_EQ(chart.SweepAngle(), c.sweep);
    if (c.doughnut) chart.DoughnutWidth(50);
    chart.AddDataItem(60, 0x000000FF, "a");
    chart.AddDataItem(40, 0x0000FF00, "b");
    chart.CenterText("Gauge");
    const std::string markup = chart.XAML();
    EXPECT_TRUE(Ellipses(markup).empty()) << "no circle beyond the arc";
    const std::vector<Polygon> polygons = Polygons(markup);
    const auto slices = std::count_if(polygons.begin(), polygons.end(), [](const Polygon& p) {
      return !Attribute(p.element, "Tag").empty();
    });
    EXPECT_EQ(slices, 2);
    // Every point drawn lies within the arc's sector (and the outline's two
    // pixels beyond the rim).
    const double from = c.start;
    const double to = c.clockwise ? c.start - c.sweep : c.start + c.sweep;
    for (const Polygon& p : polygons) {
      for (const auto& [x, y] : p.exact) {
        const double dx = x - 100;
        const double dy = 100 - y;
        const double r = std::hypot(dx, dy);
        EXPECT_LE(r, 101.0);
        if (r < 3) continue;  // at the centre any angle is the arc's
        double turn = std::atan2(dy, dx) * 180 / std::numbers::pi - std::min(from, to);
        turn = std::fmod(std::fmod(turn, 360.0) + 360.0, 360.0);
        const double slack = 180 / (std::numbers::pi * r);  // a pixel, in degrees
        EXPECT_TRUE(turn <= c.sweep + slack || turn >= 360 - slack)
            << c.start << "+" << c.sweep << ": " << x << "," << y;
      }
    }
    // "b" ends where the arc does.
    const auto last = std::find_if(polygons.rbegin(), polygons.rend(), [](const Polygon& p) {
      return Attribute(p.element, "Tag") == "1";
    });
    ASSERT_NE(last, polygons.rend());
    const double end = to * std::numbers::pi / 180;
    const std::pair<double, double> rimEnd =
        c.doughnut ? last->exact[last->exact.size() / 2 - 1] : last->exact.back();
    EXPECT_NEAR(rimEnd.first, 100 + 98.5 * std::cos(end), 0.02);
    EXPECT_NEAR(rimEnd.second, 100 - 98.5 * std::sin(end), 0.02);
    // Centre text: standing on the middle of the chord, towards the arc, or
    // in the centre past half a turn.
    const std::string text = Elements(markup, "TextBlock").front();
    const double tx = Int(text, "Canvas.Left") + Int(text, "Width") / 2.0;
    const double ty = Int(text, "Canvas.Top") + 12;  // 18 px bold text: 24 px a line
    const double mid = (from + to) / 2 * std::numbers::pi / 180;
    const double start = from * std::numbers::pi / 180;
    const double ex = c.sweep > 180
                          ? 100
                          : 100 + 98.5 * (std::cos(start) + std::cos(end)) / 2 + 12 * std::cos(mid);
    const double ey = c.sweep > 180
                          ? 100
                          : 100 - 98.5 * (std::sin(start) + std::sin(end)) / 2 - 12 * std::sin(mid);
    EXPECT_NEAR(tx, ex, 1.5) << c.start << "+" << c.sweep;
    EXPECT_NEAR(ty, ey, 1.5) << c.start << "+" << c.sweep;
  }
  // A share whose angle leaves 32 bits is the overflow error, as on the circle.
  cXAMLPieChart huge;
  huge.SweepAngle(180);
  huge.AddDataItem(std::numeric_limits<std::int32_t>::max(), 0x000000FF);
  EXPECT_THROW((void)huge.XAML(), OverflowError);
}

// Gaps, rounded corners and rings: every slice one outlined polygon, kept
// half the gap (and its outline's pixel) from its edges, within its ring,
// its corners cut by the radius; inner rings' tags say their ring.
TEST(Shapes, GapsCornersAndRings) {
  struct Case {
    double gap, corner;
    std::int32_t doughnut, ring;  // ring: an inner ring's width, 0 none
    std::int32_t start;
    bool clockwise;
    std::int32_t sweep;
  };
  const Case cases[] = {{6, 0, 0, 0, 0, false, 360},    {0, 12, 0, 0, 90, true, 360},
                        {4, 10, 50, 0, 30, false, 360}, {3, 6, 40, 30, 180, true, 180},
                        {5, 8, 0, 40, 0, false, 360},   {0, 0, 0, 35, 270, true, 360}};
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.StartAngle(c.start);
    chart.Clockwise(c.clockwise);
    chart.SweepAngle(c.sweep);
    chart.DoughnutWidth(c.doughnut);
    chart.SliceGap(c.gap);
    chart.CornerRadius(c.corner);
    // Each ring's outline middle, outer and inner.
    std::vector<std::pair<double, double>> radii{{98.5, c.doughnut > 0 ? 98.5 - c.doughnut : 0}};
    const std::vector<double> shares[] = {{50, 30, 20}, {60, 40}};
    for (const double v : shares[0])
      chart.AddValue(v, 0x00336699, "a");
    if (c.ring > 0) {
      chart.AddRing(c.ring);
      for (const double v : shares[1])
        chart.AddValue(v, 0x00993366, "b");
      const double between = c.gap > 0 ? c.gap + 2 : 0;
      if (c.doughnut > 0) {
        radii.emplace_back(radii[0].second - between, radii[0].second - between - c.ring);
      } else {
        radii.emplace_back(c.ring, 0);
        radii[0].second = c.ring + between;
      }
    }
    const std::string what = "gap " + std::to_string(c.gap) + ", corner " +
                             std::to_string(c.corner) + ", ring " + std::to_string(c.ring);
    const std::string markup = chart.XAML();
    EXPECT_TRUE(Ellipses(markup).empty()) << what;
    const std::vector<Polygon> polygons = Polygons(markup);
    std::vector<std::string> tags(polygons.size());
    std::transform(polygons.begin(), polygons.end(), tags.begin(),
                   [](const Polygon& p) { return Attribute(p.element, "Tag"); });
    const std::vector<std::string> expected{"0", "1", "2", "1.0", "1.1"};
    EXPECT_EQ(tags, std::vector(expected.begin(), expected.begin() + (c.ring > 0 ? 5 : 3))) << what;
    ASSERT_EQ(polygons.size(), tags.size());
    const double g = c.gap > 0 ? c.gap / 2 + 1 : 0;
    for (std::size_t i = 0; i < polygons.size(); ++i) {
      const Polygon& p = polygons[i];
      EXPECT_EQ(p.stroke, "000000") << what;
      EXPECT_EQ(Attribute(p.element, "StrokeThickness"), "2") << what;
      const std::size_t ring = i < 3 ? 0 : 1;
      const std::size_t k = i < 3 ? i : i - 3;
      double before = 0;
      double total = 0;
      for (std::size_t j = 0; j < shares[ring].size(); ++j) {
        before += j < k ? shares[ring][j] : 0;
        total += shares[ring][j];
      }
      const double sign = c.clockwise ? -1 : 1;
      const double from = c.start + sign * c.sweep * before / total;
      const double to = c.start + sign * c.sweep * (before + shares[ring][k]) / total;
      const auto unit = [](double degrees) {
        const double r = degrees * std::numbers::pi / 180;
        return std::pair{std::cos(r), std::sin(r)};
      };
      double nearest = 1e9;  // to where the edge would meet the rim unrounded
      const auto [fx, fy] = unit(from);
      const double along = std::sqrt(radii[ring].first * radii[ring].first - g * g);
      const double cornerX = fx * along - sign * fy * g;
      const double cornerY = fy * along + sign * fx * g;
      for (const auto& [x, y] : p.exact) {
        const double dx = x - 99.5;
        const double dy = 99.5 - y;
        const double r = std::hypot(dx, dy);
        EXPECT_LE(r, radii[ring].first + 0.02) << what << ", slice " << tags[i];
        EXPECT_GE(r, radii[ring].second - 0.02) << what << ", slice " << tags[i];
        // Off both edges by half the gap, on the slice's side of their
        // lines; a slice over half a turn reaches round behind them.
        for (const double edge : {from, to}) {
          const auto [ex, ey] = unit(edge);
          double off = (ex * dy - ey * dx) * sign * (edge == from ? 1 : -1);
          if (std::abs(to - from) > 180) off = ex * dx + ey * dy >= 0 ? std::abs(off) : r;
          EXPECT_GE(off, g - 0.02) << what << ", slice " << tags[i] << " at " << x << "," << y;
        }
      }
      // The outline's nearest approach to that corner, along its edges.
      for (std::size_t j = 0; j < p.exact.size(); ++j) {
        const auto [x0, y0] = p.exact[j];
        const auto [x1, y1] = p.exact[(j + 1) % p.exact.size()];
        const double ax = x0 - 99.5 - cornerX;
        const double ay = 99.5 - y0 - cornerY;
        const double bx = x1 - x0;
        const double by = y0 - y1;
        const double length = bx * bx + by * by;
        const double t = length > 0 ? std::clamp(-(ax * bx + ay * by) / length, 0.0, 1.0) : 0.0;
        nearest = std::min(nearest, std::hypot(ax + t * bx, ay + t * by));
      }
      // The corner's circle touches the rim and the moved edge: its centre
      // is a radius in from both, and the sharp corner a radius beyond it.
      const double rc = radii[ring].first - c.corner;
      const double centreAlong = std::sqrt(rc * rc - (g + c.corner) * (g + c.corner));
      EXPECT_NEAR(nearest, std::hypot(along - centreAlong, c.corner) - c.corner, 0.12)
          << what << ", slice " << tags[i];
    }
  }

  cXAMLPieChart chart;
  chart.AddDataItem(50, 0x000000FF, "a");
  const std::string plain = chart.XAML();
  EXPECT_THROW(chart.AddRing(0), std::invalid_argument);
  EXPECT_EQ(chart.Rings(), 1);
  for (const double bad :
       {-1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    chart.SliceGap(bad);
    chart.CornerRadius(bad);
  }
  EXPECT_EQ(chart.XAML(), plain) << "bad gaps and radii are ignored";
  chart.AddRing(20);
  chart.AddDataItem(50, 0x0000FF00, "b");
  EXPECT_EQ(chart.Rings(), 2);
  chart.Explode(1, 5);  // counts every item as added
  EXPECT_EQ(chart.Explode(1), 5);
  chart.Clear();
  EXPECT_EQ(chart.Rings(), 1);
  chart.AddDataItem(50, 0x000000FF, "a");
  EXPECT_EQ(chart.XAML(), plain);
  // A slice too narrow for its gap is not drawn and gets no label.
  cXAMLPieChart thin;
  thin.SliceGap(20);
  thin.SliceLabels(LabelStyle::Name);
  thin.AddValue(99, 0x000000FF, "wide");
  thin.AddValue(1, 0x0000FF00, "thin");
  const std::string markup = thin.XAML();
  EXPECT_EQ(Polygons(markup).size(), 1u);
  EXPECT_EQ(markup.find("thin"), std::string::npos);
}

}  // namespace
}  // namespace xamlpie::test
