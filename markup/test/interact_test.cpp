// Pointing at, hearing and saving a chart.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QHelpEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QXmlStreamReader>

#include "pixels.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/cXAMLPieChart.h"

using namespace Qt::Literals::StringLiterals;

namespace xamlpie::test {
namespace {

struct Slice {
  const char* name;
  std::int32_t share;
  ColorValue colour;
  QColor seen;
};
const Slice kSlices[] = {{"Red", 20, 0x000000FF, QColor(255, 0, 0)},
                         {"Yellow", 10, 0x0000FFFF, QColor(255, 255, 0)},
                         {"Blue", 25, 0x00FF0000, QColor(0, 0, 255)},
                         {"Green", 5, 0x0000FF00, QColor(0, 255, 0)},
                         {"Magenta", 40, 0x00FF00FF, QColor(255, 0, 255)}};
constexpr double kMiddles[] = {36, 90, 153, 207, 288};  // degrees
const QPointF kCentre(150, 150);                        // canvas

// The demo's doughnut with named slices, fitted into a label of 400 x 300.
class Chart : public testing::Test {
 protected:
  void SetUp() override {
    cXAMLPieChart chart;
    chart.MarginLeft(25);
    chart.MarginTop(25);
    chart.Size(250);
    chart.DoughnutWidth(50);
    chart.BackgroundColor(0x00FFFFFF);
    for (const Slice& s : kSlices)
      chart.AddDataItem(s.share, s.colour, s.name);
    label.resize(400, 300);
    label.setBackColor(0x00C0C0C0);
    label.setStretch(Stretch::Uniform);
    label.setCaption(QString::fromStdString(chart.XAML()));
  }
  // A canvas point where the label shows it.
  QPoint At(QPointF canvas) const { return label.canvasTransform().map(canvas).toPoint(); }
  QPoint Middle(std::size_t slice) const { return At(Polar(kCentre, 100, kMiddles[slice])); }

  MarkupLabel label;
};

TEST_F(Chart, ShapeAtAgreesWithThePixels) {
  const std::vector<MarkupShape>& shapes = label.shapes();
  for (qreal ratio : {1.0, 2.0}) {
    const QImage image = Render(label, ratio);
    for (std::size_t i = 0; i < std::size(kSlices); ++i) {
      const int index = label.ShapeAt(Middle(i));
      ASSERT_GE(index, 0) << kSlices[i].name;
      EXPECT_EQ(shapes[static_cast<std::size_t>(index)].tag, QString::number(i));
      EXPECT_EQ(Pixel(image, Middle(i)), kSlices[i].seen) << kSlices[i].name;
    }
    const int outline = label.ShapeAt(At(Polar({149.5, 149.5}, 123.5, 100)));
    ASSERT_GE(outline, 0);
    EXPECT_EQ(shapes[static_cast<std::size_t>(outline)].kind, MarkupShape::Kind::Ellipse);
    EXPECT_FALSE(shapes[static_cast<std::size_t>(outline)].fill.isValid());
    const int hole = label.ShapeAt(At(kCentre));
    EXPECT_EQ(hole, static_cast<int>(shapes.size()) - 1);
    EXPECT_EQ(Pixel(image, At(kCentre)), QColor(Qt::white));
    for (QPoint outside : {QPoint(3, 3), QPoint(30, 150), QPoint(370, 150), QPoint(397, 297)}) {
      EXPECT_EQ(label.ShapeAt(outside), -1);
      EXPECT_EQ(Pixel(image, outside), QColor(0xC0, 0xC0, 0xC0));
    }
  }
}

TEST_F(Chart, HoverClickToolTipAndHighlight) {
  label.show();
  QSignalSpy hovered(&label, &MarkupLabel::ShapeHovered);
  QSignalSpy clicked(&label, &MarkupLabel::ShapeClicked);
  QTest::mouseMove(&label, Middle(0));
  QTest::mouseMove(&label, Middle(0) + QPoint(1, 0));  // the same slice: no signal
  QTest::mouseMove(&label, Middle(2));
  QTest::mouseMove(&label, At(kCentre));  // the hole has no Tag
  QTest::mouseMove(&label, QPoint(3, 3));
  ASSERT_EQ(hovered.count(), 3);
  EXPECT_EQ(hovered[0][0].toString(), "0");
  EXPECT_EQ(hovered[1][0].toString(), "2");
  EXPECT_EQ(hovered[2][0].toString(), "");
  QTest::mouseClick(&label, Qt::LeftButton, {}, Middle(4));
  QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(3, 3));
  ASSERT_EQ(clicked.count(), 2);
  EXPECT_EQ(clicked[0][0].toString(), "4");
  EXPECT_EQ(clicked[1][0].toString(), "");

  QHelpEvent help(QEvent::ToolTip, Middle(1), label.mapToGlobal(Middle(1)));
  QCoreApplication::sendEvent(&label, &help);
  EXPECT_EQ(QToolTip::text(), "Yellow: 10 %");

  const QColor before = Pixel(Render(label), Middle(2));
  label.setHoverHighlight(true);
  QTest::mouseMove(&label, Middle(2));
  const QImage lit = Render(label);
  EXPECT_EQ(Pixel(lit, Middle(2)), QColor(85, 85, 255));  // a third of the way to white
  EXPECT_EQ(Pixel(lit, Middle(0)), kSlices[0].seen);
  EXPECT_EQ(before, kSlices[2].seen);
}

TEST_F(Chart, ScreenReadersSeeTheSlices) {
  label.show();
  QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(&label);
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->role(), QAccessible::Chart);
  EXPECT_EQ(chart->text(QAccessible::Name),
            "Chart: Red, 20 percent; Yellow, 10 percent; Blue, 25 percent; Green, 5 percent; "
            "Magenta, 40 percent");
  ASSERT_EQ(chart->childCount(), 5);
  for (int i = 0; i < 5; ++i) {
    QAccessibleInterface* slice = chart->child(i);
    ASSERT_NE(slice, nullptr);
    EXPECT_EQ(slice, chart->child(i));  // the same interface each time
    EXPECT_EQ(chart->indexOfChild(slice), i);
    EXPECT_EQ(slice->parent(), chart);
    EXPECT_EQ(slice->text(QAccessible::Name).section(',', 0, 0), kSlices[i].name);
    const QPoint middle = label.mapToGlobal(Middle(static_cast<std::size_t>(i)));
    EXPECT_TRUE(slice->rect().contains(middle)) << i;
    EXPECT_TRUE(chart->rect().contains(slice->rect())) << i;
  }
  EXPECT_EQ(chart->childAt(label.mapToGlobal(Middle(3)).x(), label.mapToGlobal(Middle(3)).y()),
            chart->child(3));

  label.setCaption(QStringLiteral("No data yet"));
  EXPECT_EQ(chart->role(), QAccessible::StaticText);
  EXPECT_EQ(chart->text(QAccessible::Name), "No data yet");
  EXPECT_EQ(chart->childCount(), 0);
}

TEST_F(Chart, SavedAsPngSvgAndPdf) {
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("chart.png"));
  const QString svg = dir.filePath(QStringLiteral("chart.svg"));
  const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
  ASSERT_TRUE(label.saveImage(png, 2.0));
  QString error;
  ASSERT_TRUE(label.saveImage(svg, 1.0, &error)) << error.toStdString();
  ASSERT_TRUE(label.saveImage(pdf, 1.0, &error)) << error.toStdString();
  // One page of 400 x 300 pixels at 96 an inch, drawn with paths.
  EXPECT_EQ(PdfPages(pdf), (std::vector<QSizeF>{QSizeF(300, 225)}));
  EXPECT_FALSE(PdfHasImages(pdf)) << "vector shapes, not a bitmap";

  QImage saved(png);
  EXPECT_EQ(saved.size(), QSize(800, 600));
  saved.setDevicePixelRatio(2);
  for (std::size_t i = 0; i < std::size(kSlices); ++i) {
    EXPECT_EQ(Pixel(saved, Middle(i)), kSlices[i].seen) << kSlices[i].name;
  }

  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  QXmlStreamReader xml(text);
  QString width;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"svg")
      width = xml.attributes().value(u"width"_s).toString();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  // Viewers show a millimetre as 96 / 25.4 pixels: the PNG's size at ratio 1.
  ASSERT_TRUE(width.endsWith(u"mm"_s)) << width.toStdString();
  EXPECT_NEAR(width.chopped(2).toDouble() * 96 / 25.4, 400.0, 0.5) << width.toStdString();
  EXPECT_FALSE(text.contains("<image")) << "vector shapes, not a bitmap";
  QSvgRenderer renderer(text);
  ASSERT_TRUE(renderer.isValid());
  QImage drawn(400, 300, QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  QPainter painter(&drawn);
  renderer.render(&painter);
  painter.end();
  const QImage shown = Render(label);
  int agree = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x) {
      const QColor a = drawn.pixelColor(x, y);
      agree += DistanceToBlend(a, shown.pixelColor(x, y), shown.pixelColor(x, y)) < 40 ? 1 : 0;
    }
  }
  EXPECT_GT(agree, 400 * 300 * 99 / 100);

  // Failures say why and leave nothing behind.
  for (const QString& bad :
       {dir.filePath(QStringLiteral("chart.xyz")),
        dir.filePath(QStringLiteral("missing/chart.png")), dir.filePath(QStringLiteral("chart"))}) {
    error.clear();
    EXPECT_FALSE(label.saveImage(bad, 1.0, &error)) << bad.toStdString();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(bad));
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

// Read out in the order the slices were added, though an exploded slice is
// painted last.
TEST(Description, ListsSlicesInTheirOrder) {
  cXAMLPieChart chart;
  chart.Size(100);
  chart.AddDataItem(50, 0x000000FF, "Rent");
  chart.AddDataItem(30, 0x0000FF00, "Food");
  chart.AddDataItem(20, 0x00FF0000, "Fun");
  chart.Explode(0, 10);
  MarkupLabel label;
  label.setCaption(QString::fromStdString(chart.XAML()));
  EXPECT_EQ(label.description(), u"Chart: Rent, 50 percent; Food, 30 percent; Fun, 20 percent"_s);

  // Rings: the outer ring's slices first, then each ring inside it, each in
  // the order added; the screen reader's children likewise.
  cXAMLPieChart rings;
  rings.Size(200);
  rings.DoughnutWidth(40);
  for (const char* name : {"Q1", "Q2", "Q3"})
    rings.AddDataItem(33, 0x000000FF, name);
  rings.AddRing(30);
  for (const char* name : {"Jan", "Feb", "Mar", "Apr"})
    rings.AddDataItem(25, 0x0000FF00, name);
  rings.AddRing(30);
  for (const char* name : {"A", "B"})
    rings.AddDataItem(50, 0x00FF0000, name);
  rings.Explode(1, 8);  // painted last, read in its place
  label.setCaption(QString::fromStdString(rings.XAML()));
  QStringList read;
  for (const QString& part : label.description().mid(7).split(u"; "_s))
    read.append(part.section(u',', 0, 0));
  EXPECT_EQ(read, (QStringList{u"Q1"_s, u"Q2"_s, u"Q3"_s, u"Jan"_s, u"Feb"_s, u"Mar"_s, u"Apr"_s,
                               u"A"_s, u"B"_s}))
      << label.description().toStdString();
  QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&label);
  ASSERT_NE(reader, nullptr);
  QStringList children;
  for (int i = 0; i < reader->childCount(); ++i)
    children.append(reader->child(i)->text(QAccessible::Name).section(u',', 0, 0));
  EXPECT_EQ(children, read);
}

// The pointer stands still while the chart moves under it (a resize): what
// it points at follows. A legend entry points at its slice: it hovers,
// clicks and tells the same.
TEST(Pointing, FollowsTheChartAndItsLegend) {
  cXAMLPieChart chart;
  chart.Size(100);
  chart.AddDataItem(50, 0x000000FF, "Left");
  chart.AddDataItem(50, 0x00FF0000, "Right");
  chart.StartAngle(90);  // "Left" on the left, "Right" on the right
  chart.Legend(true);
  MarkupLabel label;
  label.resize(400, 100);
  label.setStretch(Stretch::Uniform);
  label.setCaption(QString::fromStdString(chart.XAML()));
  label.show();
  QSignalSpy hovered(&label, &MarkupLabel::ShapeHovered);
  QSignalSpy clicked(&label, &MarkupLabel::ShapeClicked);
  const auto rectangle =
      std::find_if(label.shapes().begin(), label.shapes().end(),
                   [](const MarkupShape& m) { return m.kind == MarkupShape::Kind::Rectangle; });
  ASSERT_NE(rectangle, label.shapes().end());
  const QPoint swatch = label.canvasTransform().map(rectangle->box.center()).toPoint();
  QTest::mouseMove(&label, swatch);
  QTest::mouseClick(&label, Qt::LeftButton, {}, swatch);
  ASSERT_EQ(hovered.count(), 1);
  EXPECT_EQ(hovered[0][0].toString(), "0");
  ASSERT_EQ(clicked.count(), 1);
  EXPECT_EQ(clicked[0][0].toString(), "0");
  QHelpEvent help(QEvent::ToolTip, swatch, label.mapToGlobal(swatch));
  QCoreApplication::sendEvent(&label, &help);
  EXPECT_EQ(QToolTip::text(), "Left: 50 %");

  // Over the "Left" half, then the label shrinks: the point now lies
  // elsewhere on the chart, or off it.
  const QPoint point = label.canvasTransform().map(QPointF(30, 50)).toPoint();
  QTest::mouseMove(&label, point);
  ASSERT_EQ(hovered.last()[0].toString(), "0");
  label.resize(40, 20);
  const int now = label.ShapeAt(point);
  const QString tag = now < 0 ? QString() : label.shapes()[static_cast<std::size_t>(now)].tag;
  ASSERT_NE(tag, u"0"_s);
  ASSERT_GE(hovered.count(), 2);
  EXPECT_EQ(hovered.last()[0].toString(), tag);
}

}  // namespace
}  // namespace xamlpie::test
