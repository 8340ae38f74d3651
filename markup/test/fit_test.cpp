// How the label fits its space, follows the palette and converts colours.

#include <gtest/gtest.h>

#include <QVBoxLayout>

#include <QApplication>
#include <QPalette>
#include <array>

#include "pixels.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {
namespace {

// A red disc whose extent is its outline's box: 99 x 99 at (10, 10).
QString RedDisc() {
  cXAMLPieChart chart;
  chart.MarginLeft(10);
  chart.MarginTop(10);
  chart.AddDataItem(100, 0x000000FF);
  return QString::fromStdString(chart.XAML());
}

struct Ellipse {
  QPointF centre;
  double rx;
  double ry;
};

// Where the disc must land in a label of `size`.
Ellipse Expected(Stretch stretch, QSizeF size) {
  const double sx = size.width() / 99;
  const double sy = size.height() / 99;
  const QPointF middle(size.width() / 2, size.height() / 2);
  switch (stretch) {
    case Stretch::None:
      return {{59.5, 59.5}, 49.5, 49.5};
    case Stretch::Fill:
      return {middle, 49.5 * sx, 49.5 * sy};
    case Stretch::Uniform:
      return {middle, 49.5 * std::min(sx, sy), 49.5 * std::min(sx, sy)};
    case Stretch::UniformToFill:
      return {middle, 49.5 * std::max(sx, sy), 49.5 * std::max(sx, sy)};
  }
  return {};
}

// For each mode, label size and pixel ratio: red just inside the ellipse, the
// background just outside it, in sixteen directions.
TEST(Fit, StretchPlacesTheChartInTheLabel) {
  const QColor red(255, 0, 0);
  const QColor white(255, 255, 255);
  for (Stretch stretch : {Stretch::None, Stretch::Fill, Stretch::Uniform, Stretch::UniformToFill}) {
    for (QSize size : {QSize(60, 40), QSize(40, 70), QSize(300, 200), QSize(150, 150)}) {
      for (qreal ratio : {1.0, 2.0}) {
        MarkupLabel label;
        label.resize(size);
        label.setBackColor(0x00FFFFFF);
        label.setStretch(stretch);
        label.setCaption(RedDisc());
        const QImage image = Render(label, ratio);
        const Ellipse e = Expected(stretch, size);
        const QRectF inside(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
        int checked = 0;
        for (int step = 0; step < 16; ++step) {
          const double a = step * 22.5 * 3.14159265358979 / 180;
          for (double at : {0.0, 0.85, 1.15}) {
            const QPointF p(e.centre.x() + at * e.rx * std::cos(a),
                            e.centre.y() - at * e.ry * std::sin(a));
            if (!inside.contains(p) || (at > 1 && std::max(e.rx, e.ry) < 4)) continue;
            ++checked;
            const QColor want = at < 1 ? red : white;
            const QColor seen = Pixel(image, p);
            EXPECT_LT(DistanceToBlend(seen, want, want), 8.0)
                << Describe(seen) << " " << static_cast<int>(stretch) << " " << size.width() << "x"
                << size.height() << " ratio " << ratio << " at " << p.x() << "," << p.y();
          }
        }
        EXPECT_GE(checked, 5);
      }
    }
  }
}

TEST(Fit, SizeHints) {
  MarkupLabel label;
  label.setCaption(RedDisc());
  EXPECT_EQ(label.sizeHint(), QSize(109, 109));  // from the origin
  EXPECT_EQ(label.minimumSizeHint(), label.sizeHint());
  EXPECT_FALSE(label.hasHeightForWidth());
  label.setStretch(Stretch::Uniform);
  EXPECT_EQ(label.sizeHint(), QSize(99, 99));
  EXPECT_EQ(label.minimumSizeHint(), QSize(32, 32));

  label.setCaption(QStringLiteral("A caption long enough to wrap over several lines"));
  ASSERT_TRUE(label.hasHeightForWidth());
  const QSize minimum = label.minimumSizeHint();
  EXPECT_LT(minimum.width(), label.sizeHint().width() / 4);
  EXPECT_GT(label.heightForWidth(minimum.width()), 3 * label.heightForWidth(10000));
  EXPECT_EQ(minimum.height(), label.heightForWidth(minimum.width()));
}

// A text caption of megabytes keeps the label a label: a layout gives it a
// few lines, not the text's whole height, and it shows its beginning, cut.
TEST(Fit, LongTextStaysALabel) {
  QString text;
  for (int i = 0; text.size() < qsizetype{8} * 1024 * 1024; ++i)
    text += QStringLiteral("word%1 ").arg(i);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* label = new MarkupLabel;
  layout->addWidget(label);
  label->setBackColor(ToColorValue(Qt::white));
  label->setForeColor(ToColorValue(Qt::black));
  label->setCaption(text);
  const QFontMetrics metrics = label->fontMetrics();
  EXPECT_LE(label->minimumSizeHint().height(), 12 * metrics.lineSpacing());
  EXPECT_LE(label->sizeHint().width(), 61 * metrics.averageCharWidth());
  EXPECT_LE(window.minimumSizeHint().height(), 16 * metrics.lineSpacing());
  window.resize(300, 120);
  const QImage shown = Render(window);
  // Ink in the first line and the last that fits, none below it.
  const auto inkIn = [&](int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        if (qGray(shown.pixel(x, y)) < 100) return true;
      }
    }
    return false;
  };
  const QRect box = label->geometry();
  EXPECT_TRUE(inkIn(box.top(), box.top() + metrics.lineSpacing()));
  const int lines = box.height() / metrics.lineSpacing();
  EXPECT_TRUE(inkIn(box.top() + (lines - 1) * metrics.lineSpacing(),
                    box.top() + lines * metrics.lineSpacing()));
  EXPECT_FALSE(inkIn(box.top() + lines * metrics.lineSpacing() + 2, box.bottom()));
}

// A label showing the system window colour changes with the palette at once.
TEST(Fit, PaletteChangeRepaints) {
  FollowApplicationPalette();
  const QPalette before = QApplication::palette();
  QWidget window;
  MarkupLabel& label = *new MarkupLabel(&window);
  label.resize(20, 20);
  label.setBackColor(0x80000005);  // window background
  EXPECT_EQ(Pixel(Render(label), {5, 5}), before.color(QPalette::Base));
  QPalette dark = before;
  dark.setColor(QPalette::Base, QColor(0x20, 0x24, 0x28));
  QApplication::setPalette(dark);
  EXPECT_EQ(Pixel(Render(label), {5, 5}), QColor(0x20, 0x24, 0x28));
  QApplication::setPalette(before);
  SetSystemColorSource({});
}

TEST(Fit, ToColorValueIsTheInverseOfOleColorToQColor) {
  EXPECT_EQ(ToColorValue(QColor(255, 128, 0)), 0x000080FFu);  // orange
  EXPECT_EQ(ToColorValue(QColor(0x12, 0x34, 0x56, 0x78)), 0x00563412u);
  EXPECT_EQ(ToColorValue(QColor::fromHsv(120, 255, 255)), 0x0000FF00u);
  EXPECT_EQ(ToColorValue(QColor()), 0u);
  for (ColorValue v : {0x00000000u, 0x00FFFFFFu, 0x00050A0Fu, 0x00C0C0FFu, 0x00ABCDEFu}) {
    EXPECT_EQ(ToColorValue(OleColorToQColor(v)), v);
  }
  EXPECT_EQ(OleColorToQColor(ToColorValue(QColor(1, 2, 3))), QColor(1, 2, 3));
}

}  // namespace
}  // namespace xamlpie::test
