// What the label shows: the chart's pixels, or its caption as text.

#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>

#include "pixels.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/MarkupScene.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

const QColor kBackground(0xFF, 0xC0, 0xC0);
const QPointF kCentre(150, 150);  // the pie's centre in the label

struct Slice {
  const char* name;
  QColor colour;
  double from;
  double to;
};
const Slice kSlices[] = {
    {"red", QColor(255, 0, 0), 0, 72},          {"yellow", QColor(255, 255, 0), 72, 108},
    {"blue", QColor(0, 0, 255), 108, 198},      {"green", QColor(0, 255, 0), 198, 216},
    {"magenta", QColor(255, 0, 255), 216, 360},
};

class DemoLabel : public testing::TestWithParam<qreal> {
 protected:
  QImage Show(const char* golden) {
    label.resize(300, 300);
    label.setBackColor(0x00C0C0FF);
    label.setCaption(ReadGolden(golden));
    EXPECT_TRUE(label.showsMarkup());
    return Render(label, GetParam());
  }
  MarkupLabel label;
};

TEST_P(DemoLabel, SlicesOutlineAndBackground) {
  const QImage image = Show("demo.xaml");
  EXPECT_EQ(image.width(), static_cast<int>(300 * GetParam()));
  for (const Slice& s : kSlices) {
    for (double radius : {40.0, 100.0}) {
      const QColor seen = Pixel(image, Polar(kCentre, radius, (s.from + s.to) / 2));
      EXPECT_EQ(seen, s.colour) << s.name << " at " << radius << ": " << Describe(seen);
    }
  }
  EXPECT_EQ(Pixel(image, kCentre), QColor(255, 0, 255));     // the last slice is on top
  for (double degrees : {0.0, 45.0, 100.0, 200.0, 300.0}) {  // antialiased, so nearly black
    const QColor seen = Pixel(image, Polar({149.5, 149.5}, 123.5, degrees));
    EXPECT_LT(DistanceToBlend(seen, Qt::black, Qt::black), 24.0) << degrees << Describe(seen);
  }
  for (QPointF outside : {QPointF(3, 3), QPointF(296, 296), QPointF(40, 40), QPointF(299, 150)}) {
    EXPECT_EQ(Pixel(image, outside), kBackground) << outside.x() << "," << outside.y();
  }
}

TEST_P(DemoLabel, HoleShowsTheBackground) {
  const QImage image = Show("demo-doughnut.xaml");
  EXPECT_EQ(Pixel(image, kCentre), kBackground);
  EXPECT_EQ(Pixel(image, Polar(kCentre, 50, 10)), kBackground);
  const QColor edge = Pixel(image, Polar({150, 150}, 74, 30));  // the ring's inner edge
  EXPECT_LT(DistanceToBlend(edge, Qt::black, Qt::black), 24.0) << Describe(edge);
  for (const Slice& s : kSlices) {
    EXPECT_EQ(Pixel(image, Polar(kCentre, 100, (s.from + s.to) / 2)), s.colour) << s.name;
  }
}

// Along each border between two slices every pixel is a blend of those two
// colours: no background shows through a seam.
TEST_P(DemoLabel, NoSeamBetweenSlices) {
  const QImage image = Show("demo.xaml");
  const qreal ratio = GetParam();
  for (std::size_t i = 0; i < std::size(kSlices); ++i) {
    const Slice& before = kSlices[i];
    const Slice& after = kSlices[(i + 1) % std::size(kSlices)];
    const int steps = static_cast<int>(220 * ratio);  // every half device pixel
    for (int step = 0; step < steps; ++step) {
      const double radius = 8 + step * 0.5 / ratio;
      const QColor seen = Pixel(image, Polar(kCentre, radius, before.to));
      EXPECT_LT(DistanceToBlend(seen, before.colour, after.colour), 24.0)
          << before.name << "/" << after.name << " at " << radius << ": " << Describe(seen);
    }
  }
}

// The label paints its background with the chart, leaving out what the hole
// covers: the pixels must be those of the background filled first, whether
// shown at once or from the picture kept.
TEST_P(DemoLabel, AsIfTheBackgroundWereFilledFirst) {
  for (const char* golden : {"demo.xaml", "demo-doughnut.xaml"}) {
    const QImage shown = Show(golden);
    QImage expected(shown.size(), shown.format());
    expected.setDevicePixelRatio(GetParam());
    expected.fill(Qt::transparent);
    QPainter painter(&expected);
    painter.fillRect(QRect(0, 0, 300, 300), kBackground);
    PaintMarkup(painter, *ParseMarkup(ReadGolden(golden)));
    painter.end();
    EXPECT_TRUE(shown == expected) << golden;
    EXPECT_TRUE(Render(label, GetParam()) == expected) << golden << ", kept";
  }
}

INSTANTIATE_TEST_SUITE_P(PixelRatio, DemoLabel, testing::Values(1.0, 2.0));

// TextBlock, Rectangle and Line by the label's rules, at both pixel ratios.
TEST_P(DemoLabel, TextRectangleAndLine) {
  label.resize(200, 100);
  label.setBackColor(0x00FFFFFF);
  label.setCaption(QStringLiteral(
      "<Canvas>"
      "<Rectangle Canvas.Left='10' Canvas.Top='10' Width='40' Height='30' RadiusX='10' "
      "RadiusY='10' Fill='#00FF00' Stroke='#0000FF' StrokeThickness='2'/>"
      "<Line X1='0' Y1='0' X2='100' Y2='0' Canvas.Left='60' Canvas.Top='20' Stroke='#FF0000' "
      "StrokeThickness='4'/>"
      "<TextBlock Canvas.Left='60' Canvas.Top='50' Width='120' TextAlignment='Right' "
      "FontSize='20' Foreground='#0000FF' Text='&#9608;&#9608;'/>"
      "</Canvas>"));
  ASSERT_TRUE(label.showsMarkup());
  const QImage image = Render(label, GetParam());
  EXPECT_EQ(Pixel(image, {30, 25}), QColor(0, 255, 0));    // fill
  EXPECT_EQ(Pixel(image, {30, 10.5}), QColor(0, 0, 255));  // stroke, inside the box
  EXPECT_EQ(Pixel(image, {30, 9}), QColor(Qt::white));     // and not outside it
  EXPECT_EQ(Pixel(image, {11, 11}), QColor(Qt::white));    // a rounded corner
  EXPECT_EQ(Pixel(image, {100, 20}), QColor(255, 0, 0));   // the line, 4 px thick
  EXPECT_EQ(Pixel(image, {100, 18.5}), QColor(255, 0, 0));
  EXPECT_EQ(Pixel(image, {100, 23}), QColor(Qt::white));
  EXPECT_EQ(Pixel(image, {163, 20}), QColor(Qt::white));  // flat cap
  // Two full blocks, right-aligned in 60..180: blue near 175, white at 65.
  int blue = 0;
  for (int x = 150; x < 180; ++x) {
    blue += Pixel(image, QPointF(x, 62)) == QColor(0, 0, 255) ? 1 : 0;
  }
  EXPECT_GT(blue, 10);
  EXPECT_EQ(Pixel(image, {65, 62}), QColor(Qt::white));
  EXPECT_EQ(Pixel(image, {175, 45}), QColor(Qt::white));  // the text starts at Canvas.Top
}

// Whatever a chart's names hold comes back as the same text, and nothing more.
TEST(Label, ChartTextRoundTrips) {
  const std::string names[] = {"' /><Ellipse Width='50' Height='50'/>", "a&b<c>\"d\"",
                               "na\xC3\xAFve \xE2\x98\x83 \xF0\x9F\x98\x80"};
  for (const std::string& name : names) {
    cXAMLPieChart chart;
    chart.Size(1000);  // room for the text on one line in the middle
    chart.AddDataItem(100, 0x000000FF, name);
    chart.CenterText(name);
    const std::string markup = chart.XAML();
    const std::optional<MarkupScene> scene = ParseMarkup(QString::fromStdString(markup));
    ASSERT_TRUE(scene) << name;
    ASSERT_EQ(scene->shapes.size(), 6u) << name;  // four fans, the outline, the text
    EXPECT_EQ(scene->shapes.back().text, QString::fromStdString(name));
  }
}

TEST(Label, SharpAtTwiceThePixels) {
  MarkupLabel label;
  label.resize(20, 20);
  label.setBackColor(0x00FFFFFF);
  label.setCaption(
      QStringLiteral("<Canvas><Polygon Points='0,0 10.5,0 10.5,20 0,20' "
                     "Fill='#000000'/></Canvas>"));
  const QImage image = Render(label, 2.0);
  // The edge at x = 10.5 falls between device pixels 20 and 21, not inside one.
  EXPECT_EQ(image.pixelColor(20, 10), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(21, 10), QColor(Qt::white));
}

TEST(Label, TextCaptionIsWrittenInForeColour) {
  MarkupLabel label;
  label.resize(200, 40);
  label.setBackColor(0x00FFFFFF);
  label.setForeColor(0x000000FF);  // red
  QSignalSpy changed(&label, &MarkupLabel::CaptionChanged);
  label.setCaption(QStringLiteral("Pie Chart Demo"));
  EXPECT_FALSE(label.showsMarkup());
  EXPECT_EQ(changed.count(), 1);
  label.setCaption(QStringLiteral("Pie Chart Demo"));
  EXPECT_EQ(changed.count(), 1);  // no change, no signal

  const QImage image = Render(label);
  int reddish = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 100 && c.blue() < 100) ++reddish;
      EXPECT_GT(c.red(), 200) << "only white and red are painted";
    }
  }
  EXPECT_GT(reddish, 20);

  // A broken chart is shown as its text, never half drawn.
  label.setCaption(ReadGolden("demo.xaml").left(1000));
  EXPECT_FALSE(label.showsMarkup());
}

TEST(Label, GoingBackToAnEarlierCaptionShowsItAsItIsNow) {
  MarkupLabel label;
  label.resize(300, 300);
  label.setBackColor(0x00C0C0FF);
  const QString plain = ReadGolden("demo.xaml");
  const QString doughnut = ReadGolden("demo-doughnut.xaml");
  label.setCaption(plain);
  EXPECT_EQ(Pixel(Render(label), kCentre), QColor(255, 0, 255));
  label.setCaption(doughnut);
  EXPECT_EQ(Pixel(Render(label), kCentre), kBackground);
  label.setCaption(plain);
  EXPECT_EQ(label.Caption(), plain);
  EXPECT_EQ(Pixel(Render(label), kCentre), QColor(255, 0, 255));

  // What changed while a caption was away shows when it comes back.
  label.setBackColor(0x00FFFFFF);
  label.setCaption(doughnut);
  EXPECT_EQ(Pixel(Render(label), {3, 3}), QColor(Qt::white));
  label.resize(200, 200);
  label.setCaption(plain);
  EXPECT_EQ(Render(label).size(), QSize(200, 200));
  EXPECT_EQ(Pixel(Render(label), {3, 3}), QColor(Qt::white));
  label.setCaption(QStringLiteral("text"));
  label.setCaption(plain);
  EXPECT_TRUE(label.showsMarkup());
}

TEST(Label, SystemColoursFollowTheSource) {
  MarkupLabel label;
  label.resize(10, 10);
  label.setBackColor(0x80000005);  // window background
  EXPECT_EQ(Render(label).pixelColor(5, 5), QColor(Qt::white));
  SetSystemColorSource([](int index) { return index == 5 ? 0x00332211u : 0u; });
  label.setBackColor(0x80000005);
  EXPECT_EQ(Render(label).pixelColor(5, 5), QColor(0x11, 0x22, 0x33));
  // A failing source must not take painting down with it.
  SetSystemColorSource([](int) -> RgbValue { throw std::runtime_error("no colours"); });
  label.setBackColor(0x80000005);
  EXPECT_EQ(Render(label).pixelColor(5, 5), QColor(Qt::black));
  SetSystemColorSource({});
}

}  // namespace
}  // namespace xamlpie::test
