// Every combination of the chart's optional features, drawn by the label at
// fractional and whole pixel ratios, at its own size and fitted into widgets
// of other shapes: nothing is cut at the widget's border, and every slice
// keeps its outline where it is drawn.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <numbers>

#include "pixels.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/cXAMLPieChart.h"

using namespace Qt::Literals::StringLiterals;

namespace xamlpie::test {
namespace {

constexpr std::int32_t kShares[] = {38, 22, 15, 13, 7, 3, 2};
const char* const kNames[] = {"Rent", "Food", "Transport", "Savings", "Leisure", "Gifts", "Fees"};

struct Features {
  bool explode, doughnut, outside, legend, centre, other;
  bool shaped;  // gaps, rounded corners and an inner ring
};

cXAMLPieChart Make(const Features& f) {
  cXAMLPieChart chart;
  chart.MarginLeft(6);
  chart.MarginTop(6);
  chart.Size(200);
  chart.StartAngle(90);
  chart.Clockwise(true);
  chart.BackgroundColor(0x00FFFFFF);
  for (std::size_t i = 0; i < std::size(kShares); ++i) {
    chart.AddDataItem(kShares[i], 0x00406080u + 0x00100C08u * static_cast<unsigned>(i), kNames[i]);
  }
  if (f.explode) chart.Explode(0, 14);
  if (f.doughnut) chart.DoughnutWidth(60);
  chart.SliceLabels(LabelStyle::NameAndPercent);
  chart.LabelsOutside(f.outside);
  chart.Legend(f.legend);
  if (f.centre) chart.CenterText("Budget");
  if (f.other) chart.GroupBelow(5, 0x00909090, "Other");
  if (f.shaped) {
    chart.SliceGap(3);
    chart.CornerRadius(5);
    chart.AddRing(28);
    const std::int32_t inner[] = {50, 30, 20};
    for (std::size_t i = 0; i < std::size(inner); ++i) {
      chart.AddDataItem(inner[i], 0x00604020u + 0x00081020u * static_cast<unsigned>(i), kNames[i]);
    }
  }
  return chart;
}

// Whether a pixel holds anything but the white background.
bool Ink(QRgb pixel) {
  return qRed(pixel) < 250 || qGreen(pixel) < 250 || qBlue(pixel) < 250;
}

TEST(Gallery, NothingCutAndEverySliceOutlined) {
  for (int bits = 0; bits < 128; ++bits) {
    const Features f{(bits & 1) != 0,  (bits & 2) != 0,  (bits & 4) != 0, (bits & 8) != 0,
                     (bits & 16) != 0, (bits & 32) != 0, (bits & 64) != 0};
    const cXAMLPieChart chart = Make(f);
    const QString markup = QString::fromStdString(chart.XAML());
    // The pie's centre: where its first polygon's fan starts, or of shapes,
    // the middle of what the slices cover when none is pulled out, moved
    // by the room a pulled-out one makes round the pie and its label column.
    Features still = f;
    still.explode = false;
    QRectF covered;
    const std::optional<MarkupScene> whole =
        ParseMarkup(QString::fromStdString(Make(still).XAML()));
    ASSERT_TRUE(whole);
    for (const MarkupShape& shape : whole->shapes) {
      if (shape.kind == MarkupShape::Kind::Polygon && !shape.tag.isEmpty())
        covered |= shape.points.boundingRect();
    }
    const QPointF shapesCentre =
        covered.center() + (f.explode ? QPointF(f.outside ? 28 : 14, 14) : QPointF());
    for (const Stretch stretch : {Stretch::None, Stretch::Uniform}) {
      for (const QSize shape : {QSize(0, 0), QSize(520, 260), QSize(260, 420)}) {
        if ((stretch == Stretch::None) != shape.isNull()) continue;
        for (const qreal ratio : {1.0, 1.5, 2.0}) {
          MarkupLabel label;
          label.setBackColor(0x00FFFFFF);
          label.setStretch(stretch);
          label.setCaption(markup);
          // At its own size with a pixel to spare, or fitted into the shape.
          label.resize(shape.isNull() ? label.sizeHint() + QSize(2, 2) : shape);
          const QImage image = Render(label, ratio);
          const std::string what = "features " + std::to_string(bits) + ", stretch " +
                                   std::to_string(static_cast<int>(stretch)) + ", " +
                                   std::to_string(label.width()) + "x" +
                                   std::to_string(label.height()) + " at " + std::to_string(ratio);
          // Fitted, the content may reach the border but never past it.
          const QRectF fitted = label.canvasTransform().mapRect(SceneBounds(*ParseMarkup(markup)));
          EXPECT_TRUE(QRectF(label.rect()).adjusted(-0.01, -0.01, 0.01, 0.01).contains(fitted))
              << what;
          if (stretch == Stretch::None) {
            int touching = 0;
            for (int x = 0; x < image.width(); ++x) {
              touching += Ink(image.pixel(x, 0)) + Ink(image.pixel(x, image.height() - 1));
            }
            for (int y = 0; y < image.height(); ++y) {
              touching += Ink(image.pixel(0, y)) + Ink(image.pixel(image.width() - 1, y));
            }
            EXPECT_EQ(touching, 0) << what;
          }
          // Each slice's rim, at its middle, is the outline's black.
          const std::vector<MarkupShape>& shapes = label.shapes();
          for (std::size_t i = 0; i < std::size(kShares); ++i) {
            if (f.other && kShares[i] < 5) continue;
            double start = 0;
            for (std::size_t j = 0; j < i; ++j)
              start += kShares[j] * 3.6;
            const double middle = 90 - (start + kShares[i] * 1.8);
            const double pull = f.explode && i == 0 ? 14 : 0;
            const double radians = middle * std::numbers::pi / 180;
            const auto fan = std::find_if(shapes.begin(), shapes.end(), [](const MarkupShape& s) {
              return s.kind == MarkupShape::Kind::Polygon && s.tag == u"1"_s;
            });
            ASSERT_NE(fan, shapes.end());
            const QPointF centre = f.shaped ? shapesCentre : fan->points.first();
            // The darkest pixel across the rim, from 3 px inside to 3 px out.
            int darkest = 255;
            for (int step = 0; step <= 24; ++step) {
              const double r = 95.5 + 0.25 * step;
              const QPointF rim =
                  centre + QPointF(std::cos(radians), -std::sin(radians)) * (r + pull);
              const QPointF at = label.canvasTransform().map(rim);
              if (!QRectF(label.rect()).contains(at)) continue;
              darkest = std::min(darkest, Pixel(image, at).lightness());
            }
            // The outline is 2 px wide: scaled below one device pixel, it
            // shows as grey.
            const double scale = label.canvasTransform().m11() * ratio;
            EXPECT_LT(darkest, scale >= 0.5 ? 60 : 128) << kNames[i] << " not outlined, " << what;
          }
        }
      }
    }
  }
}

// Gaps between slices and between rings, and a ring's width, measured in the
// pixels the label draws: the background between two slices' ink is the
// gap wide from the centre out, at every ratio.
TEST(Gallery, GapsAndRingsKeepTheirWidthInPixels) {
  cXAMLPieChart chart;  // black slices on white: ink is what is not light
  chart.Size(300);
  chart.DoughnutWidth(60);
  chart.SliceGap(8);
  chart.CornerRadius(4);
  for (int i = 0; i < 4; ++i)
    chart.AddValue(25, 0);
  chart.AddRing(40);
  for (int i = 0; i < 4; ++i)
    chart.AddValue(10, 0);
  const QString markup = QString::fromStdString(chart.XAML());
  // The outlines' middles: the outer ring from 148.5 to 88.5 about the
  // centre, the inner from 78.5 (a gap and two half outlines in) to 38.5.
  const QPointF centre(149.5, 149.5);
  for (const qreal ratio : {1.0, 2.0, 3.0}) {
    MarkupLabel label;
    label.setBackColor(0x00FFFFFF);
    label.setStretch(Stretch::None);
    label.setCaption(markup);
    label.resize(300, 300);
    const QImage image = Render(label, ratio);
    // How much background lies along a line, in logical pixels.
    const auto background = [&](QPointF from, QPointF to) {
      const int samples = static_cast<int>(QLineF(from, to).length() * ratio * 4);
      double white = 0;
      for (int i = 0; i < samples; ++i)
        white += Pixel(image, from + (to - from) * ((i + 0.5) / samples)).lightnessF();
      return white * QLineF(from, to).length() / samples;
    };
    const std::string what = "ratio " + std::to_string(ratio);
    // Across the gap at 12 o'clock, in the outer ring and the inner.
    for (const double r : {130.0, 100.0, 60.0}) {
      const QPointF at = centre + QPointF(0, -r);
      EXPECT_NEAR(background(at - QPointF(10, 0), at + QPointF(10, 0)), 8, 0.5)
          << what << ", radius " << r;
    }
    // Along the middle of a slice: each ring's ink its width and outline,
    // the gap between them.
    const QPointF out = Polar(centre, 1, 45) - centre;
    const auto ink = [&](double r0, double r1) {
      return r0 - r1 - background(centre + out * r0, centre + out * r1);
    };
    EXPECT_NEAR(ink(152, 84), 60 + 2, 0.5) << what << ": the outer ring";
    EXPECT_NEAR(95 - 72 - ink(95, 72), 8, 0.5) << what << ": between the rings";
    EXPECT_NEAR(ink(84, 30), 40 + 2, 0.5) << what << ": the inner ring";
  }
}

}  // namespace
}  // namespace xamlpie::test
