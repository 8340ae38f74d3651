// The drawing: what the markup is written from, checked on its numbers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "demo_chart.h"
#include "xamlpie/Drawing.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

// A chart of every option at random: names that need escaping or are no
// UTF-8, rings, values, arcs, gaps, labels in and out, legends, pulls.
cXAMLPieChart RandomChart(std::mt19937& random) {
  const auto pick = [&](std::int32_t low, std::int32_t high) {
    return low + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(high - low + 1));
  };
  static const char* const kNames[] = {"",
                                       "Rent",
                                       "Food & <drink>",
                                       "\xD7\xA9\xD7\x9B\xD7\xA8",
                                       "\xE2\x82",
                                       "x\x01y",
                                       "Administrative and general expenses"};
  cXAMLPieChart chart;
  chart.Size(pick(0, 3) == 0 ? pick(-5, 5) : pick(20, 400));
  chart.MarginLeft(pick(-10, 50));
  chart.MarginTop(pick(-10, 50));
  if (pick(0, 1) == 1) chart.DoughnutWidth(pick(0, 120));
  if (pick(0, 2) == 0) chart.StartAngle(pick(-400, 400));
  if (pick(0, 2) == 0) chart.Clockwise(true);
  if (pick(0, 2) == 0) chart.SweepAngle(pick(1, 360));
  chart.SliceLabels(static_cast<LabelStyle>(pick(0, 3)));
  chart.LabelsOutside(pick(0, 1) == 1);
  chart.Legend(pick(0, 1) == 1);
  if (pick(0, 2) == 0) chart.CenterText(kNames[pick(0, 6)]);
  if (pick(0, 3) == 0) chart.EmptyText("Nothing yet");
  if (pick(0, 3) == 0) chart.GroupBelow(pick(1, 15), 0x808080, "Other");
  if (pick(0, 3) == 0) chart.FontFamily("A&B Sans");
  if (pick(0, 3) == 0) chart.SortSlices(static_cast<SortOrder>(pick(0, 2)));
  if (pick(0, 4) == 0) chart.LabelFormat("{name}: {value} ({percent} %)");
  if (pick(0, 4) == 0) chart.LegendFormat("{name} = {value}");
  if (pick(0, 4) == 0) chart.PercentDecimals(pick(0, 3));
  if (pick(0, 4) == 0) chart.SliceGap(pick(0, 12) / 2.0);
  if (pick(0, 4) == 0) chart.CornerRadius(pick(0, 20) / 3.0);
  const bool values = pick(0, 1) == 1;
  const std::int32_t items = pick(0, 3) == 0 ? pick(0, 60) : pick(0, 9);
  const bool rings = pick(0, 4) == 0;
  for (std::int32_t i = 0; i < items; ++i) {
    if (rings && i == items / 2) chart.AddRing(pick(1, 30));
    const auto colour = static_cast<ColorValue>(random() & 0x00FFFFFFu);
    const char* name = kNames[pick(0, 6)];
    if (values) {
      chart.AddValue(pick(0, 5) == 0 ? 0.0 : pick(1, 100000) / 100.0, colour, name);
    } else {
      chart.AddDataItem(pick(0, 5) == 0 ? pick(-20, 150) : pick(0, 40), colour, name);
    }
    if (pick(0, 5) == 0) chart.Explode(i, pick(0, 20));
    if (pick(0, 7) == 0) chart.RadiusValue(i, pick(0, 40) / 4.0);
  }
  // Some items of the outer ring belong to one of the ring inside it.
  for (std::int32_t i = 0; rings && i < items / 2; ++i) {
    if (pick(0, 2) > 0) chart.Parent(i, items / 2 + pick(0, items - items / 2 - 1));
  }
  if (pick(0, 3) == 0) chart.RadiusScaling(RadiusScale::Linear);
  return chart;
}

bool Finite(const Shape& s) {
  bool finite = std::isfinite(s.strokeWidth) && std::isfinite(s.fontSize) &&
                std::isfinite(s.cornerRadius) && std::isfinite(s.origin.x) &&
                std::isfinite(s.origin.y) && std::isfinite(s.box.x) && std::isfinite(s.box.y) &&
                std::isfinite(s.box.width) && std::isfinite(s.box.height);
  for (const Point& p : s.points)
    finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
  if (s.shade) {
    finite = finite && std::isfinite(s.shade->centre.x) && std::isfinite(s.shade->centre.y) &&
             std::isfinite(s.shade->radius);
    for (const auto& stop : s.shade->stops)
      finite = finite && std::isfinite(stop.first);
  }
  return finite;
}

// Writing the drawing is the chart's markup, byte for byte, and the
// drawing holds nothing a renderer could choke on.
TEST(Drawing, WritingItGivesTheMarkup) {
  std::mt19937 random(20261209);
  int drawn = 0;
  for (int n = 0; n < 800; ++n) {
    cXAMLPieChart chart = RandomChart(random);
    if (n % 5 == 2) chart.Shading(SliceShading::Radial);
    std::string markup;
    try {
      markup = chart.XAML();
    } catch (const OverflowError&) {
      continue;  // far out of range; the drawing may still be made
    }
    const Drawing drawing = chart.Draw();
    ASSERT_EQ(WriteXAML(drawing), markup) << "chart " << n;
    for (const Shape& shape : drawing.shapes) {
      ASSERT_TRUE(Finite(shape)) << "chart " << n;
      // A shape that points at a slice says which.
      if (!shape.toolTip.empty()) {
        ASSERT_GE(shape.index, 0) << "chart " << n;
      }
    }
    drawn += drawing.shapes.empty() ? 0 : 1;
  }
  EXPECT_GT(drawn, 700);
  EXPECT_EQ(WriteXAML(DemoChart(true).Draw()), DemoChart(true).XAML());
}

// Shaded slices: each fan or shape of a slice shades from its lighter colour
// where the slice starts (the hole's edge) to its own at the rim, about the
// centre it is drawn round, a pulled slice's moved with it; nothing else is
// shaded, and a flat chart has no shade at all.
TEST(Drawing, SlicesShadeFromWhereTheyStart) {
  // The pie's centre and rim, from the hole of the chart without gaps (with
  // them the hole shows what lies beneath): the same chart otherwise.
  double cx = 0, cy = 0, rim = 0;
  for (const bool shaped : {false, true}) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.MarginLeft(10);
    chart.MarginTop(20);
    chart.DoughnutWidth(40);  // a hole of 60 of 100
    if (shaped) chart.SliceGap(2);
    chart.AddValue(50, 0x000000FF, "A");
    chart.AddValue(30, 0x0000FF00, "B");
    chart.AddValue(20, 0x00FF0000, "C");
    chart.Explode(1, 12);
    EXPECT_EQ(chart.XAML().find("GradientBrush"), std::string::npos) << "flat";
    chart.Shading(SliceShading::Radial);
    const Drawing drawing = chart.Draw();
    const std::string markup = chart.XAML();
    EXPECT_EQ(WriteXAML(drawing), markup);
    const auto hole = std::find_if(drawing.shapes.begin(), drawing.shapes.end(),
                                   [](const Shape& s) { return s.role == Role::Hole; });
    if (!shaped) {
      ASSERT_NE(hole, drawing.shapes.end());
      cx = hole->box.x + hole->box.width / 2;
      cy = hole->box.y + hole->box.height / 2;
      rim = hole->box.width / 0.6 / 2;
    }
    int shaded = 0;
    for (const Shape& shape : drawing.shapes) {
      const bool slice = shape.role == Role::Slice && shape.kind == ShapeKind::Polygon;
      ASSERT_EQ(shape.shade.has_value(), slice) << "role " << static_cast<int>(shape.role);
      if (!slice) continue;
      ++shaded;
      const RadialShade& shade = *shape.shade;
      const double off = std::hypot(shade.centre.x - cx, shade.centre.y - cy);
      EXPECT_NEAR(off, shape.index == 1 ? 12 : 0, 1.0) << "slice " << shape.index;
      EXPECT_NEAR(shade.radius, rim, 2.0);
      ASSERT_EQ(shade.stops.size(), 2u);
      EXPECT_NEAR(shade.stops[0].first, 0.6, 0.02) << "from the hole's edge";
      EXPECT_EQ(shade.stops[1].first, 1.0);
      EXPECT_TRUE(shade.stops[1].second == shape.fill);
      EXPECT_GT(shade.stops[0].second.r + shade.stops[0].second.g + shade.stops[0].second.b,
                shape.fill.r + shape.fill.g + shape.fill.b)
          << "lighter where it starts";
    }
    EXPECT_GE(shaded, 3);
    std::size_t brushes = 0;
    for (std::size_t at = markup.find("<Polygon.Fill><RadialGradientBrush");
         at != std::string::npos; at = markup.find("<Polygon.Fill><RadialGradientBrush", at + 1))
      ++brushes;
    EXPECT_EQ(brushes, static_cast<std::size_t>(shaded)) << markup;
  }
}

// A rose's slices reach out by their radius values: by area (a pie's
// slice of 4 twice as far as one of 1) or by length, from a doughnut's
// hole; the largest to the rim, the rest of the slice as before.
TEST(Drawing, RoseSlicesReachByTheirRadiusValues) {
  struct Case {
    RadiusScale scale;
    std::int32_t doughnut;
    bool outside;  // labels outside: leaders start at each slice's own rim
  };
  const double rim = 98.5;  // the outlines' middle, Size 200
  for (const Case c : {Case{RadiusScale::Area, 0, false}, Case{RadiusScale::Linear, 0, true},
                       Case{RadiusScale::Area, 40, true}, Case{RadiusScale::Linear, 40, false}}) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.DoughnutWidth(c.doughnut);
    chart.RadiusScaling(c.scale);
    chart.SliceLabels(LabelStyle::Name);
    chart.LabelsOutside(c.outside);
    chart.Legend(true);
    const double radii[] = {4, 1, 2.25, -1, 0};  // -1: none given, to the rim
    for (int i = 0; i < 5; ++i) {
      chart.AddValue(20, 0x00336699, std::string(1, static_cast<char>('A' + i)));
      if (radii[i] >= 0) chart.RadiusValue(i, radii[i]);
    }
    const double hole = c.doughnut > 0 ? rim - c.doughnut : 0;
    const auto expected = [&](double v) {
      const double part = v < 0 ? 1.0 : v / 4.0;
      return c.scale == RadiusScale::Linear
                 ? hole + (rim - hole) * part
                 : std::sqrt(hole * hole + (rim * rim - hole * hole) * part);
    };
    const Drawing drawing = chart.Draw();
    EXPECT_EQ(WriteXAML(drawing), chart.XAML());
    // Label columns move the pie right by their room, and the legend by
    // twice that: it stands 16 px past both.
    const auto swatch = std::find_if(drawing.shapes.begin(), drawing.shapes.end(),
                                     [](const Shape& s) { return s.role == Role::LegendSwatch; });
    ASSERT_NE(swatch, drawing.shapes.end());
    const double cx = (swatch->box.x - 16 - 200) / 2 + 99.5;
    const double cy = 99.5;
    std::vector<double> reach(5, -1);
    for (const Shape& s : drawing.shapes) {
      if (s.role != Role::Slice) continue;
      ASSERT_GE(s.index, 0);
      ASSERT_LT(s.index, 4) << "a radius of 0 draws nothing";
      for (const Point& p : s.points) {
        reach[static_cast<std::size_t>(s.index)] =
            std::max(reach[static_cast<std::size_t>(s.index)],
                     std::hypot(p.x + s.origin.x - cx, p.y + s.origin.y - cy));
      }
    }
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_NEAR(reach[i], expected(radii[i]), 0.02) << "slice " << i;
    if (c.scale == RadiusScale::Area && c.doughnut == 0) {
      EXPECT_NEAR(reach[1], rim / 2, 0.02);
    }
    // Every slice keeps its legend entry; a leader starts on its slice's rim.
    EXPECT_EQ(std::count_if(drawing.shapes.begin(), drawing.shapes.end(),
                            [](const Shape& s) { return s.role == Role::LegendSwatch; }),
              5);
    std::vector<double> leader(5, 1e9);  // the nearest a slice's leaders come
    for (const Shape& s : drawing.shapes) {
      if (s.role != Role::Leader) continue;
      for (const Point& p : s.points) {
        double& nearest = leader[static_cast<std::size_t>(s.index)];
        nearest = std::min(nearest, std::hypot(p.x - cx, p.y - cy));
      }
    }
    for (std::size_t i = 0; i < 4; ++i) {
      if (c.outside) {
        EXPECT_NEAR(leader[i], reach[i], 1.5) << "leader of slice " << i;
      }
    }
    EXPECT_EQ(leader[4], 1e9) << "nothing drawn, nothing pointed at";
  }

  // Bad values and indices are errors that change nothing; "Other" reaches
  // as far as the farthest slice it holds.
  cXAMLPieChart chart;
  chart.AddValue(90, 0x000000FF, "big");
  chart.AddValue(5, 0x0000FF00, "x");
  chart.AddValue(5, 0x00FF0000, "y");
  const std::string plain = chart.XAML();
  for (const double bad :
       {-1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    EXPECT_THROW(chart.RadiusValue(0, bad), std::invalid_argument) << bad;
  EXPECT_THROW(chart.RadiusValue(3, 1.0), std::out_of_range);
  EXPECT_THROW((void)chart.RadiusValue(-1), std::out_of_range);
  EXPECT_EQ(chart.RadiusValue(0), -1);
  EXPECT_EQ(chart.XAML(), plain);
  chart.Size(200);
  chart.GroupBelow(10, 0x00808080, "Other");
  chart.RadiusValue(0, 4);
  chart.RadiusValue(1, 1);
  chart.RadiusValue(2, 2.25);
  double other = 0;
  for (const Shape& s : chart.Draw().shapes) {
    if (s.role != Role::Slice || s.index != 3) continue;
    for (const Point& p : s.points)
      other = std::max(other, std::hypot(p.x + s.origin.x - 99.5, p.y + s.origin.y - 99.5));
  }
  EXPECT_NEAR(other, rim * std::sqrt(2.25 / 4), 0.02);
}

// A sunburst: each child lies within its parent's angle, sharing it by
// value over the larger of the parent's and their sum; a parent of 0 is
// its children's sum. Both directions, partial arcs, values and percents.
TEST(Drawing, SunburstChildrenStayInTheirParents) {
  struct Case {
    bool values, clockwise;
    std::int32_t start, sweep;
  };
  for (const Case c : {Case{true, false, 0, 360}, Case{true, true, 90, 360},
                       Case{false, false, 30, 360}, Case{true, true, 200, 180}}) {
    cXAMLPieChart chart;
    chart.Size(300);
    chart.DoughnutWidth(40);
    chart.StartAngle(c.start);
    chart.Clockwise(c.clockwise);
    chart.SweepAngle(c.sweep);
    chart.Legend(true);
    // Leaves outermost (ring 0), then their parents, the top level inside.
    struct Node {
      const char* name;
      double value;
      std::int32_t ring, parent;
    };
    const Node nodes[] = {{"a1", 2, 0, 4},  {"a2", 3, 0, 4}, {"b1", 5, 0, 5}, {"x", 7, 0, -1},
                          {"A", 0, 1, 8},   {"B", 10, 1, 8}, {"C", 5, 1, 9},  {"D", 4, 1, -1},
                          {"T1", 0, 2, -1}, {"T2", 5, 2, -1}};
    for (const Node& n : nodes) {
      if (n.ring > chart.Rings() - 1) chart.AddRing(30);
      if (c.values) {
        chart.AddValue(n.value, 0x00336699, n.name);
      } else {
        chart.AddDataItem(static_cast<std::int32_t>(n.value), 0x00336699, n.name);
      }
    }
    for (std::int32_t i = 0; i < 10; ++i) {
      if (nodes[i].parent >= 0) chart.Parent(i, nodes[i].parent);
    }
    // T1 counts 15 (A 5 and B 10), T2 5: their share of the arc, or of 100
    // for percents; A's children fill it, B's child half of it; x and D,
    // in rings of children without a parent, take no angle.
    const double arc = c.sweep * (c.values ? 1.0 / 20 : 1.0 / 100);
    const std::pair<double, double> expected[] = {
        {0, 2 * arc},  {2 * arc, 5 * arc},  {5 * arc, 10 * arc},  {-1, -1},
        {0, 5 * arc},  {5 * arc, 15 * arc}, {15 * arc, 20 * arc}, {-1, -1},
        {0, 15 * arc}, {15 * arc, 20 * arc}};
    const Drawing drawing = chart.Draw();
    EXPECT_EQ(WriteXAML(drawing), chart.XAML());
    // Each slice's points, as degrees along the arc from its start, read
    // within half a turn of where the slice should be.
    std::vector<std::pair<double, double>> seen(10, {1e9, -1e9});
    for (const Shape& s : drawing.shapes) {
      if (s.role != Role::Slice) continue;
      std::int32_t item = 0;
      for (std::int32_t k = 0; k < 10; ++k) {
        if (nodes[k].ring == s.ring && (k == 0 || nodes[k - 1].ring != s.ring)) item = k + s.index;
      }
      const auto [from, to] = expected[static_cast<std::size_t>(item)];
      const double middle = (from + to) / 2;
      for (const Point& p : s.points) {
        const double dx = p.x + s.origin.x - 149.5;
        const double dy = 149.5 - (p.y + s.origin.y);
        if (std::hypot(dx, dy) < 2) continue;
        const double theta = std::atan2(dy, dx) * 180 / std::numbers::pi;
        const double along = c.clockwise ? c.start - theta : theta - c.start;
        const double near =
            middle + std::fmod(std::fmod(along - middle, 360.0) + 540.0, 360.0) - 180;
        auto& [low, high] = seen[static_cast<std::size_t>(item)];
        low = std::min(low, near);
        high = std::max(high, near);
      }
    }
    for (std::size_t k = 0; k < 10; ++k) {
      const auto [from, to] = expected[k];
      const auto [low, high] = seen[k];
      if (from < 0) {
        EXPECT_EQ(high, -1e9) << nodes[k].name << ": no parent, no angle";
        continue;
      }
      EXPECT_NEAR(low, from, 0.05) << nodes[k].name;
      EXPECT_NEAR(high, to, 0.05) << nodes[k].name;
    }
    const std::string markup = chart.XAML();
    EXPECT_NE(markup.find("ToolTip='A: 5"), std::string::npos)
        << "a parent of 0 is its children's sum";
    EXPECT_NE(markup.find("ToolTip='T1: 15"), std::string::npos);
    EXPECT_NE(markup.find(c.values ? "ToolTip='a1: 2 (10 %)'" : "ToolTip='a1: 2 %'"),
              std::string::npos)
        << "a child's percent is of the whole";
    EXPECT_EQ(std::count_if(drawing.shapes.begin(), drawing.shapes.end(),
                            [](const Shape& s) { return s.role == Role::LegendSwatch; }),
              10)
        << "those of no angle keep their entries";
  }

  // Children under a pixel along the rim are left out, their parent drawn
  // whole: 300 round a rim of 619 px are drawn, 2,000 are not.
  for (const auto& [children, drawn] : {std::pair{300, 300}, std::pair{2000, 0}}) {
    cXAMLPieChart many;
    many.Size(200);
    for (std::int32_t i = 0; i < children; ++i)
      many.AddValue(1, 0x00336699, "");
    many.AddRing(30);
    many.AddValue(0, 0x00996633, "all");
    for (std::int32_t i = 0; i < children; ++i)
      many.Parent(i, children);
    const Drawing drawing = many.Draw();
    EXPECT_EQ(std::count_if(drawing.shapes.begin(), drawing.shapes.end(),
                            [](const Shape& s) { return s.role == Role::Slice && s.ring == 0; }),
              drawn)
        << children << " children";
    EXPECT_EQ(std::count_if(drawing.shapes.begin(), drawing.shapes.end(),
                            [](const Shape& s) { return s.role == Role::Slice && s.ring == 1; }),
              1);
  }

  // Parents lie just inside; a bad one changes nothing.
  cXAMLPieChart chart;
  chart.AddValue(1, 0x000000FF, "leaf");
  chart.AddRing(20);
  chart.AddValue(1, 0x0000FF00, "mid");
  chart.AddRing(20);
  chart.AddValue(1, 0x00FF0000, "top");
  const std::string before = chart.XAML();
  EXPECT_THROW(chart.Parent(0, 2), std::invalid_argument) << "two rings in";
  EXPECT_THROW(chart.Parent(1, 0), std::invalid_argument) << "outside";
  EXPECT_THROW(chart.Parent(0, 3), std::invalid_argument);
  EXPECT_THROW(chart.Parent(3, 1), std::out_of_range);
  EXPECT_EQ(chart.Parent(0), -1);
  EXPECT_EQ(chart.XAML(), before);
  chart.Parent(0, 1);
  EXPECT_EQ(chart.Parent(0), 1);
  chart.Parent(0, -1);
  EXPECT_EQ(chart.XAML(), before);
}

struct Bounds {
  double left, top, right, bottom;
  bool Meets(const Bounds& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

Bounds BoxOf(const Shape& s) {
  return {s.box.x, s.box.y, s.box.x + s.box.width, s.box.y + s.box.height};
}

std::vector<const Shape*> Having(const Drawing& d, Role role) {
  std::vector<const Shape*> out;
  for (const Shape& s : d.shapes)
    if (s.role == role) out.push_back(&s);
  return out;
}

// Where placement puts labels, leaders, legend and centre text, on numbers.
TEST(Drawing, PlacesTextWhereItBelongs) {
  struct Case {
    const char* what;
    bool outside;
    bool legend;
    std::int32_t doughnut;
  };
  const Case cases[] = {{"inside labels", false, false, 0},
                        {"inside a ring", false, true, 60},
                        {"outside labels", true, true, 0},
                        {"outside a ring", true, false, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cXAMLPieChart chart;
    chart.Size(240);
    chart.MarginLeft(10);
    chart.MarginTop(20);
    chart.DoughnutWidth(c.doughnut);
    chart.SliceLabels(LabelStyle::NameAndPercent);
    chart.LabelsOutside(c.outside);
    chart.Legend(c.legend);
    chart.CenterText("Total");
    const char* const names[] = {"Rent", "Food", "Transport", "Savings", "Fun", "Fees"};
    const std::int32_t shares[] = {35, 25, 15, 12, 8, 5};
    for (int i = 0; i < 6; ++i)
      chart.AddDataItem(shares[i], 0x00336699u * static_cast<unsigned>(i + 1) & 0xFFFFFF, names[i]);
    const Drawing d = chart.Draw();

    // The slices: every item, by its index, and only its own polygons.
    std::vector<int> seen(6, 0);
    for (const Shape* s : Having(d, Role::Slice)) {
      ASSERT_GE(s->index, 0);
      ASSERT_LT(s->index, 6);
      EXPECT_EQ(s->ring, 0);
      EXPECT_EQ(s->toolTip.rfind(names[s->index], 0), 0u) << s->toolTip;
      ++seen[static_cast<std::size_t>(s->index)];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0);

    // Labels: one a slice at most, clear of each other and of the centre
    // text; inside ones within the pie's square, outside ones beside it.
    // The centre: that of the outline's box, a pixel smaller than the pie.
    const std::vector<const Shape*> outline = Having(d, Role::Outline);
    ASSERT_EQ(outline.size(), 1u);
    const double cx = outline[0]->box.x + (outline[0]->box.width + 1) / 2;
    const double cy = outline[0]->box.y + (outline[0]->box.height + 1) / 2;
    EXPECT_EQ(cy, 20 + 120);
    const std::vector<const Shape*> labels = Having(d, Role::Label);
    const std::vector<const Shape*> centre = Having(d, Role::CenterText);
    ASSERT_EQ(centre.size(), 1u);
    EXPECT_NEAR(centre[0]->box.x + centre[0]->box.width / 2, cx, 1);
    EXPECT_NEAR(centre[0]->box.y + centre[0]->box.height / 2, cy, 2);
    EXPECT_TRUE(centre[0]->bold);
    EXPECT_GE(labels.size(), 3u);
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const Bounds b = BoxOf(*labels[i]);
      if (c.outside) {
        EXPECT_TRUE(b.right <= cx - 120 + 1 || b.left >= cx + 120 - 1) << labels[i]->text;
      } else {
        EXPECT_GE(b.left, cx - 120);
        EXPECT_LE(b.right, cx + 120);
        EXPECT_FALSE(b.Meets({cx - 1, cy - 1, cx + 1, cy + 1})) << labels[i]->text;
      }
      for (std::size_t j = 0; j < i; ++j)
        EXPECT_FALSE(b.Meets(BoxOf(*labels[j]))) << labels[i]->text << " / " << labels[j]->text;
    }

    // Leaders: two a label outside, from the slice's rim to its label.
    const std::vector<const Shape*> leaders = Having(d, Role::Leader);
    EXPECT_EQ(leaders.size(), c.outside ? 2 * labels.size() : 0u);
    for (std::size_t i = 0; i + 1 < leaders.size(); i += 2) {
      const Point rim = leaders[i]->points[0];
      EXPECT_NEAR(std::hypot(rim.x - cx, rim.y - cy), 118.5, 1.5);
      EXPECT_EQ(leaders[i]->points[1], leaders[i + 1]->points[0]);  // they meet at the knee
      EXPECT_EQ(leaders[i]->index, leaders[i + 1]->index);
    }

    // The legend: a swatch and a text per slice, in order, right of
    // everything else, each pointing at its slice.
    const std::vector<const Shape*> swatches = Having(d, Role::LegendSwatch);
    const std::vector<const Shape*> entries = Having(d, Role::LegendText);
    ASSERT_EQ(swatches.size(), c.legend ? 6u : 0u);
    ASSERT_EQ(entries.size(), swatches.size());
    double rightmost = 0;
    for (const Shape& s : d.shapes) {
      if (s.role == Role::LegendSwatch || s.role == Role::LegendText) continue;
      if (s.kind == ShapeKind::Text) rightmost = std::max(rightmost, s.box.x + s.box.width);
    }
    for (std::size_t i = 0; i < swatches.size(); ++i) {
      EXPECT_EQ(swatches[i]->index, static_cast<int>(i));
      EXPECT_EQ(entries[i]->index, static_cast<int>(i));
      EXPECT_EQ(entries[i]->text, names[i]);
      EXPECT_GE(swatches[i]->box.x, rightmost);
      EXPECT_GT(entries[i]->box.x, swatches[i]->box.x + swatches[i]->box.width);
      if (i > 0) {
        EXPECT_GE(swatches[i]->box.y, swatches[i - 1]->box.y + swatches[i - 1]->box.height);
      }
    }
  }
}

// Centre text fits its room: the largest size from 1.5 x the font down
// that fits the hole's circle, on one line or two, else cut short with an
// ellipsis; a pie's within half its width. Widths by a measure the test
// knows: 0.6 of the size a character.
TEST(Drawing, CentreTextFitsItsRoom) {
  const auto measure = [](std::string_view text, std::int32_t size, bool /*bold*/) {
    double chars = 0;
    for (const char c : text)
      chars += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
    return 0.6 * size * chars;
  };
  struct Case {
    const char* text;
    std::int32_t size;
    std::int32_t doughnut;  // 0: a pie
    std::size_t lines;      // expected
    std::int32_t fontSize;  // expected
    bool cut;               // ends with an ellipsis
  };
  const Case cases[] = {
      {"Total", 200, 50, 1, 18, false},                              // fits as it always did
      {"Operating expenses 2024 in total", 400, 100, 2, 17, false},  // two lines
      {"Operating expenses 2024 in total", 300, 90, 2, 10, false},   // smaller, two lines
      {"Operating expenses 2024 in total", 100, 30, 1, 9, true},     // a thin hole: cut short
      {"Budget", 120, 35, 1, 11, false},                             // smaller
      {"Budget", 90, 40, 0, 0, false},                               // no room at all
      {"Operating expenses 2024 in total", 300, 0, 2, 13, false},    // a pie: half its width
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.size));
    cXAMLPieChart chart;
    chart.Size(c.size);
    chart.DoughnutWidth(c.doughnut);
    chart.MeasureText(measure);
    chart.CenterText(c.text);
    chart.AddDataItem(60, 0x0000FF);
    chart.AddDataItem(40, 0xFF0000);
    const Drawing d = chart.Draw();
    const std::vector<const Shape*> lines = Having(d, Role::CenterText);
    ASSERT_EQ(lines.size(), c.lines);
    const double centre = std::floor(c.size / 2.0);  // a whole pixel, as the chart's
    const double room = c.doughnut > 0 ? (c.size - 2.0 * c.doughnut) / 2.0 - 3.0 : c.size / 4.0;
    std::string joined;
    for (const Shape* line : lines) {
      EXPECT_EQ(line->fontSize, c.fontSize);
      EXPECT_NEAR(line->box.x + line->box.width / 2, centre, 1);
      const double w = measure(line->text, static_cast<std::int32_t>(line->fontSize), true);
      EXPECT_LE(w, c.doughnut > 0 ? c.size - 2.0 * c.doughnut : c.size / 2.0) << line->text;
      // Every line's ink within the hole's circle.
      const double reach = std::max(std::fabs(line->box.y - centre),
                                    std::fabs(line->box.y + line->fontSize - centre));
      if (c.doughnut > 0) {
        EXPECT_LE(std::hypot(w / 2, reach), room + 2) << line->text;
      }
      joined += (joined.empty() ? "" : " ") + line->text;
    }
    // The largest size that fits: a pixel larger, the same lines do not.
    if (c.lines > 0 && !c.cut && c.fontSize < 18) {
      const std::int32_t larger = c.fontSize + 1;
      double wider = 0;
      for (const Shape* line : lines)
        wider = std::max(wider, std::ceil(measure(line->text, larger, true)) + 1);
      const double reach = c.lines == 1 ? larger / 2.0 : larger;
      const double across = c.doughnut > 0 ? c.size - 2.0 * c.doughnut : c.size / 2.0;
      const bool fits =
          wider <= across && (c.doughnut == 0 || std::hypot(wider / 2, reach) <= room);
      EXPECT_FALSE(fits);
    }
    if (c.lines > 0) {
      EXPECT_EQ(joined.ends_with("\xE2\x80\xA6"), c.cut) << joined;
      if (!c.cut) {
        EXPECT_EQ(joined, c.text);
      }
    }
  }
}

// Pulled-out slices and "Other" keep who they are.
TEST(Drawing, PulledAndGroupedSlicesKeepTheirIdentity) {
  cXAMLPieChart chart;
  chart.AddValue(50, 0x0000FF, "A");
  chart.AddValue(1, 0x00FF00, "B");
  chart.AddValue(1, 0xFF0000, "C");
  chart.AddValue(48, 0x808080, "D");
  chart.GroupBelow(5, 0x00FFFF, "Other");
  chart.DoughnutWidth(20);
  chart.Explode(3, 10);
  const Drawing d = chart.Draw();
  bool other = false;
  bool cleared = false;
  bool moved = false;
  for (const Shape& s : d.shapes) {
    if (s.role == Role::Slice && s.index == 4) {
      other = true;
      EXPECT_NE(s.toolTip.find("(B, C)"), std::string::npos) << s.toolTip;
    }
    if (s.role == Role::Cleared) {
      cleared = true;
      EXPECT_EQ(s.index, 3);
      EXPECT_TRUE(s.toolTip.empty());
    }
    if (s.role == Role::Slice && s.index == 3 && s.precision == Precision::Hundredths) moved = true;
    EXPECT_TRUE(s.role != Role::Slice || (s.index != 1 && s.index != 2)) << "folded, not drawn";
  }
  EXPECT_TRUE(other);
  EXPECT_TRUE(cleared);
  EXPECT_TRUE(moved);
  EXPECT_EQ(Having(d, Role::Hole).size(), 1u);
}

// A label wider than its column gives way a step at a time: name and percent,
// the name cut short on whole characters, the percent, nothing.
TEST(Drawing, LongOutsideLabelsGiveWayInOrder) {
  const std::string format = "{name}: {value} ({percent} %)";
  const std::string greek = "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 \xCE\xBA\xCE\xB1\xCE\xB9";
  struct Case {
    LabelStyle style;
    std::string format;
    std::string name;
    std::int32_t width;
    std::string label;  // of the larger slice; empty: none
  };
  const Case cases[] = {
      {LabelStyle::NameAndPercent, format, "Administrative", 0, "Administrative: 3000 (75 %)"},
      {LabelStyle::NameAndPercent, format, "Administrative", 271, "Administrative: 3000 (75 %)"},
      {LabelStyle::NameAndPercent, format, "Administrative", 270, "Administrative: 75 %"},
      {LabelStyle::NameAndPercent, format, "Administrative", 151, "Administ\xE2\x80\xA6: 75 %"},
      {LabelStyle::NameAndPercent, "", "Administrative", 151, "Administ\xE2\x80\xA6: 75 %"},
      {LabelStyle::NameAndPercent, "", "Administrative", 91, "75 %"},
      {LabelStyle::NameAndPercent, "", "Administrative", 40, ""},
      {LabelStyle::Name, "", "Administrative", 91, "Administ\xE2\x80\xA6"},
      {LabelStyle::Name, "", "Administrative", 31, ""},
      {LabelStyle::Percent, "", "Administrative", 41, "75 %"},
      {LabelStyle::NameAndPercent, "", greek, 121,
       "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1\xE2\x80\xA6: 75 %"},
      // Isolated in its direction, a name is cut within its isolate.
      {LabelStyle::NameAndPercent, "",
       "\xE2\x81\xA8"
       "Administrative\xE2\x81\xA9",
       151,
       "\xE2\x81\xA8"
       "Admini\xE2\x80\xA6\xE2\x81\xA9: 75 %"},
  };
  for (const Case& c : cases) {
    cXAMLPieChart chart;
    chart.Size(200);
    chart.MarginLeft(10);
    chart.AddValue(3000, 0x0000FF, c.name);
    chart.AddValue(1000, 0x00FF00, "Sales");
    chart.SliceLabels(c.style);
    chart.LabelFormat(c.format);
    chart.LabelsOutside(true);
    chart.LabelWidth(c.width);
    // Ten pixels a character, so that the steps are known.
    chart.MeasureText([](std::string_view text, std::int32_t, bool) {
      return 10.0 * static_cast<double>(std::count_if(text.begin(), text.end(), [](char ch) {
               return (static_cast<unsigned char>(ch) & 0xC0u) != 0x80u;
             }));
    });
    const Drawing d = chart.Draw();
    const std::string what = c.name + " in " + std::to_string(c.width);
    std::string label;
    double widest = 0;
    for (const Shape* s : Having(d, Role::Label)) {
      if (s->index == 0) label = s->text;
      widest = std::max(widest, s->box.width);
    }
    EXPECT_EQ(label, c.label) << what;
    EXPECT_LE(widest, c.width > 0 ? c.width : 1e9) << what;
    // The pie moves right by the column's width only, and not at all for none.
    double pieLeft = 1e9;
    for (const Shape* s : Having(d, Role::Slice)) {
      for (const Point& p : s->points)
        pieLeft = std::min(pieLeft, s->origin.x + p.x);
    }
    EXPECT_NEAR(pieLeft, label.empty() ? 10 : 10 + widest + 18, 2) << what;
    EXPECT_TRUE(Having(d, Role::Label).empty() == Having(d, Role::Leader).empty()) << what;
  }
}

}  // namespace
}  // namespace xamlpie::test
