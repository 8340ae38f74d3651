// Reading captions: what is markup, what it draws, and what is left as text.

#include <gtest/gtest.h>

#include <QPainter>

#include "pixels.h"
#include "xamlpie/MarkupScene.h"

namespace xamlpie::test {
namespace {

using Kind = MarkupShape::Kind;

QString Canvas(const QString& inner) {
  return QStringLiteral("<Canvas>") + inner + QStringLiteral("</Canvas>");
}

TEST(Parser, DemoMarkupGivesItsShapes) {
  const std::optional<MarkupScene> scene = ParseMarkup(ReadGolden("demo-doughnut.xaml"));
  ASSERT_TRUE(scene);
  ASSERT_EQ(scene->shapes.size(), 8u);
  const char* fills[] = {"#ff0000", "#ffff00", "#0000ff", "#00ff00", "#ff00ff", "#ff00ff"};
  const int rims[] = {73, 37, 91, 19, 101, 46};
  for (std::size_t i = 0; i < 6; ++i) {
    const MarkupShape& shape = scene->shapes[i];
    EXPECT_EQ(shape.kind, Kind::Polygon);
    EXPECT_EQ(shape.fill.name(), fills[i]);
    EXPECT_EQ(shape.stroke, shape.fill);
    EXPECT_EQ(shape.strokeThickness, 1.0);  // not written, so the default
    ASSERT_EQ(shape.points.size(), rims[i] + 1);
    EXPECT_EQ(shape.points.front(), QPointF(150, 150));  // centre 125 plus the 25 offset
  }
  EXPECT_EQ(scene->shapes[0].points[1], QPointF(273, 150));

  const MarkupShape& outline = scene->shapes[6];
  EXPECT_EQ(outline.kind, Kind::Ellipse);
  EXPECT_EQ(outline.box, QRectF(25, 25, 249, 249));
  EXPECT_FALSE(outline.fill.isValid());
  EXPECT_EQ(outline.stroke, QColor(Qt::black));
  EXPECT_EQ(outline.strokeThickness, 2.0);

  const MarkupShape& hole = scene->shapes[7];
  EXPECT_EQ(hole.box, QRectF(75, 75, 150, 150));
  EXPECT_EQ(hole.fill, QColor(0xFF, 0xC0, 0xC0));

  const std::optional<MarkupScene> plain = ParseMarkup(ReadGolden("demo.xaml"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->shapes.size(), 7u);
}

TEST(Parser, ReadsWhatHandWrittenMarkupMayHold) {
  const std::optional<MarkupScene> scene = ParseMarkup(
      QStringLiteral("<?xml version=\"1.0\"?>\n<!-- a comment -->\n"
                     "<Canvas xmlns='http://example.invalid/xaml' Background='Red'>\n"
                     "  <Polygon Points=' 1.5,2  3 4,5,6 ' Fill='Red' Opacity='0.5'>\n"
                     "    <Polygon.RenderTransform><Thing/></Polygon.RenderTransform>\n"
                     "  </Polygon>\n"
                     "  <TextBlock Text='A&amp;B &#233;' Canvas.Left='7' FontSize='20' "
                     "FontWeight='Bold' TextAlignment='Right' Width='90' Foreground='Blue'>"
                     "<Ellipse Width='5' Height='5'/></TextBlock>\n"
                     "  <TextBlock Canvas.Top='4'>Con<Run>tent</Run></TextBlock>\n"
                     "  <Rectangle Width='8' Height='6' RadiusX='2' Fill='Red' Stroke='Lime'/>\n"
                     "  <Line X1='1' Y1='2' X2='11' Y2='2' Canvas.Left='5' Stroke='Black' "
                     "StrokeThickness='3'/>\n"
                     "  <Ellipse Canvas.Top=\"-3\" Width='4' Height='2.5' Stroke='#80FF0000' "
                     "StrokeThickness='0.5'/>\n"
                     "  loose text\n"
                     "</Canvas>"));
  ASSERT_TRUE(scene);
  ASSERT_EQ(scene->shapes.size(), 6u);  // nothing inside the TextBlock
  const MarkupShape& polygon = scene->shapes[0];
  EXPECT_EQ(polygon.points, QPolygonF({{1.5, 2}, {3, 4}, {5, 6}}));
  EXPECT_EQ(polygon.fill, QColor(Qt::red));
  EXPECT_FALSE(polygon.stroke.isValid());
  const MarkupShape& text = scene->shapes[1];
  EXPECT_EQ(text.kind, Kind::Text);
  EXPECT_EQ(text.text, QString::fromUtf16(u"A&B \u00E9"));
  EXPECT_EQ(text.box.topLeft(), QPointF(7, 0));
  EXPECT_EQ(text.box.width(), 90);
  EXPECT_EQ(text.font.pixelSize(), 20);
  EXPECT_EQ(text.font.weight(), QFont::Bold);
  EXPECT_EQ(text.alignment, Qt::AlignRight);
  EXPECT_EQ(text.fill, QColor(Qt::blue));
  const MarkupShape& content = scene->shapes[2];
  EXPECT_EQ(content.text, "Content");
  EXPECT_EQ(content.fill, QColor(Qt::black));  // the default Foreground
  EXPECT_GT(content.box.width(), 20);          // measured: no Width given
  EXPECT_EQ(content.font.pixelSize(), 12);     // the default FontSize
  const MarkupShape& rectangle = scene->shapes[3];
  EXPECT_EQ(rectangle.box, QRectF(0, 0, 8, 6));
  EXPECT_EQ(rectangle.radiusX, 2);
  EXPECT_EQ(rectangle.stroke, QColor(Qt::green));
  const MarkupShape& line = scene->shapes[4];
  EXPECT_EQ(line.line, QLineF(6, 2, 16, 2));
  EXPECT_EQ(line.strokeThickness, 3);
  EXPECT_EQ(SceneBounds(*scene).top(), -3);  // the ellipse
  const MarkupShape& ellipse = scene->shapes[5];
  EXPECT_EQ(ellipse.box, QRectF(0, -3, 4, 2.5));
  EXPECT_EQ(ellipse.stroke, QColor(255, 0, 0, 0x80));
  EXPECT_EQ(ellipse.strokeThickness, 0.5);

  // Characters beyond ASCII as they stand: two, three and four bytes in UTF-8.
  const QString wide = QString::fromUtf16(u"\u00E9\u00E8 \u4E2D \U0001F600 ").repeated(8);
  const std::optional<MarkupScene> written =
      ParseMarkup(QStringLiteral("<Canvas><TextBlock Text='%1'/></Canvas>").arg(wide));
  ASSERT_TRUE(written);
  EXPECT_EQ(written->shapes.at(0).text, wide);

  // An empty canvas is markup that draws nothing.
  ASSERT_TRUE(ParseMarkup(QStringLiteral("<Canvas/>")));
  EXPECT_TRUE(ParseMarkup(QStringLiteral("<Canvas/>"))->shapes.empty());
}

TEST(Parser, ColoursInEveryForm) {
  EXPECT_EQ(ParseMarkupColor(u"#FFC0C0"), QColor(255, 192, 192));
  EXPECT_EQ(ParseMarkupColor(u"#ffc0c0"), QColor(255, 192, 192));
  EXPECT_EQ(ParseMarkupColor(u"#40FFC0C0"), QColor(255, 192, 192, 0x40));
  EXPECT_EQ(ParseMarkupColor(u"#F0A"), QColor(255, 0, 170));
  EXPECT_EQ(ParseMarkupColor(u"#8F0A"), QColor(255, 0, 170, 0x88));
  EXPECT_EQ(ParseMarkupColor(u"Magenta"), QColor(255, 0, 255));
  EXPECT_EQ(ParseMarkupColor(u"lightgray"), QColor(211, 211, 211));
  EXPECT_EQ(ParseMarkupColor(u"Transparent").alpha(), 0);
  for (const char16_t* bad : {u"", u"#", u"#12345", u"#1234567", u"#GGGGGG", u"#FFF FFF",
                              u"#FFFFFFFFF", u"FF0000", u"notacolour", u"12"}) {
    EXPECT_FALSE(ParseMarkupColor(bad).isValid()) << QString::fromUtf16(bad).toStdString();
  }
}

TEST(Parser, TextThatIsNotACanvasDocumentStaysText) {
  const QString demo = ReadGolden("demo.xaml");
  const QString hostile[] = {
      QString(),
      QStringLiteral("Pie Chart Demo"),
      QStringLiteral("<Canvas>"),
      QStringLiteral("<Canvas><Polygon Points='0,0 1,1'></Canvas>"),
      QStringLiteral("<Canvas/><Canvas/>"),
      QStringLiteral("<Canvas/>trailing"),
      QStringLiteral("<Grid><Polygon Points='0,0 9,9 0,9'/></Grid>"),
      QStringLiteral("<Canvas a='1' a='2'/>"),
      QStringLiteral("<Canvas>&undeclared;</Canvas>"),
      QStringLiteral("<!DOCTYPE Canvas><Canvas/>"),
      QStringLiteral("<!DOCTYPE Canvas [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;"
                     "&a;&a;&a;&a;'><!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>]>"
                     "<Canvas><Polygon Points='&c;'/></Canvas>"),
      QStringLiteral("<!DOCTYPE Canvas SYSTEM 'file:///etc/passwd'><Canvas>&x;</Canvas>"),
      QStringLiteral("<Canvas></Canvas"),
      QString::fromUtf16(u"<Canvas>\uFFFF</Canvas>"),
  };
  for (const QString& text : hostile) {
    EXPECT_FALSE(ParseMarkup(text)) << text.toStdString();
  }
  // The chart's own markup cut anywhere is not a chart.
  for (qsizetype cut = 0; cut < demo.size(); cut += 37) {
    EXPECT_FALSE(ParseMarkup(demo.left(cut))) << cut;
  }
}

TEST(Parser, BadShapesAreSkippedAndTheRestDrawn) {
  const QString good = QStringLiteral("<Polygon Points='0,0 10,0 10,10' Fill='#FF0000'/>");
  const QString bad[] = {
      QStringLiteral("<Polygon Points='0,0 10,abc'/>"),
      QStringLiteral("<Polygon Points='0,0 10'/>"),
      QStringLiteral("<Polygon Points='0,0 1e400,0'/>"),
      QStringLiteral("<Polygon Points='0,0 nan,0'/>"),
      QStringLiteral("<Polygon Points='0,0 1e12,5'/>"),
      QStringLiteral("<Polygon Points='0,0 10000001,5'/>"),
      QStringLiteral("<Polygon Points='0,0 -,5'/>"),
      QStringLiteral("<Polygon Points='0,0 5-,5'/>"),
      QStringLiteral("<Polygon Points='0,0' Canvas.Left='twelve'/>"),
      QStringLiteral("<Polygon Points='0,0' Fill='#12'/>"),
      QStringLiteral("<Polygon Points='0,0' StrokeThickness='-1'/>"),
      QStringLiteral("<Ellipse Width='-150' Height='-150' Fill='#FFC0C0'/>"),
      QStringLiteral("<Ellipse Width='10' Height='-1'/>"),
      QStringLiteral("<Ellipse Width='' Height='10'/>"),
      QStringLiteral("<TextBlock Text='x' FontSize='0'/>"),
      QStringLiteral("<TextBlock Text='x' FontSize='5000'/>"),
      QStringLiteral("<TextBlock Text='x' FontWeight='Heaviest'/>"),
      QStringLiteral("<TextBlock Text='x' TextAlignment='Middle'/>"),
      QStringLiteral("<TextBlock Text='x' Width='-5'/>"),
      QStringLiteral("<Rectangle Width='5' Height='5' RadiusX='-1'/>"),
      QStringLiteral("<Line X1='0' Y1='0' X2='1e9' Y2='0' Stroke='Red'/>"),
      QStringLiteral("<Line X1='zero'/>"),
      // Brushes as property elements that do not parse or are not relative.
      QStringLiteral("<Polygon Points='0,0'><Polygon.Fill><LinearGradientBrush><GradientStop "
                     "Color='#12345'/></LinearGradientBrush></Polygon.Fill></Polygon>"),
      QStringLiteral("<Polygon Points='0,0'><Polygon.Fill><LinearGradientBrush><GradientStop "
                     "Offset='half'/></LinearGradientBrush></Polygon.Fill></Polygon>"),
      QStringLiteral("<Polygon Points='0,0'><Polygon.Fill><LinearGradientBrush "
                     "MappingMode='Absolute'/></Polygon.Fill></Polygon>"),
      QStringLiteral("<Polygon Points='0,0'><Polygon.Fill><LinearGradientBrush "
                     "SpreadMethod='Reflect'/></Polygon.Fill></Polygon>"),
      QStringLiteral("<Polygon Points='0,0'><Polygon.Fill><LinearGradientBrush "
                     "StartPoint='0'/></Polygon.Fill></Polygon>"),
      QStringLiteral("<Ellipse Width='5' Height='5'><Ellipse.Fill><RadialGradientBrush "
                     "RadiusX='-1'/></Ellipse.Fill></Ellipse>"),
      QStringLiteral("<Ellipse Width='5' Height='5'><Ellipse.Stroke><ImageBrush/>"
                     "</Ellipse.Stroke></Ellipse>"),
      QStringLiteral("<Ellipse Width='5' Height='5'><Ellipse.Fill><SolidColorBrush Color='Red'/>"
                     "<SolidColorBrush Color='Red'/></Ellipse.Fill></Ellipse>"),
      QStringLiteral("<Ellipse Width='5' Height='5'><Ellipse.Fill/></Ellipse>"),
  };
  for (const QString& shape : bad) {
    const std::optional<MarkupScene> scene = ParseMarkup(Canvas(good + shape + good));
    ASSERT_TRUE(scene) << shape.toStdString();
    ASSERT_EQ(scene->shapes.size(), 2u) << shape.toStdString();
    EXPECT_EQ(scene->shapes[1].fill, QColor(Qt::red));
  }
}

// Fill and Stroke as property elements: a solid brush is its colour; a
// gradient keeps its points and its stops in order, offsets held to 0..1,
// its opacity in their alpha, and lends the shape its first stop's colour;
// one without stops paints nothing; other property elements are not ours.
TEST(Parser, BrushesAsPropertyElements) {
  const std::optional<MarkupScene> scene = ParseMarkup(Canvas(QStringLiteral(
      "<Polygon Points='0,0 9,0 9,9'><Polygon.Fill><SolidColorBrush Color='&#x23;00FF00' "
      "Opacity='0.5'/></Polygon.Fill></Polygon>"
      "<Polygon Points='0,0 9,0 9,9' Fill='Red'><Polygon.Stroke><LinearGradientBrush "
      "StartPoint='0,0.25' EndPoint='1, 0.75' Opacity='0.5'><LinearGradientBrush.GradientStops>"
      "<GradientStopCollection><GradientStop Color='Blue' Offset='1.5'/>"
      "<GradientStop Color='#FF0000' Offset='-1'/><GradientStop Color='#8000FF00' Offset='0.5'/>"
      "</GradientStopCollection></LinearGradientBrush.GradientStops></LinearGradientBrush>"
      "</Polygon.Stroke></Polygon>"
      "<Ellipse Width='20' Height='10'><Ellipse.Fill><RadialGradientBrush Center='0.4,0.6' "
      "GradientOrigin='0.2,0.3' RadiusX='0.7' RadiusY='0.3' MappingMode='RelativeToBoundingBox'>"
      "<GradientStop Color='White'/></RadialGradientBrush></Ellipse.Fill></Ellipse>"
      "<Rectangle Width='5' Height='5' Fill='Red'><Rectangle.Fill><LinearGradientBrush/>"
      "</Rectangle.Fill><Ellipse.Stroke><SolidColorBrush Color='Blue'/></Ellipse.Stroke>"
      "</Rectangle>"
      "<Line X2='5' Y2='5' Stroke='Red'><Line.Fill><SolidColorBrush Color='Blue'/></Line.Fill>"
      "</Line>")));
  ASSERT_TRUE(scene);
  ASSERT_EQ(scene->shapes.size(), 5u);
  const MarkupShape& solid = scene->shapes[0];
  EXPECT_EQ(solid.fill, QColor(0, 255, 0, 128));
  EXPECT_FALSE(solid.fillGradient);

  const MarkupShape& linear = scene->shapes[1];
  EXPECT_EQ(linear.fill, QColor(Qt::red));
  ASSERT_TRUE(linear.strokeGradient);
  EXPECT_EQ(linear.strokeGradient->kind, MarkupGradient::Kind::Linear);
  EXPECT_EQ(linear.strokeGradient->start, QPointF(0, 0.25));
  EXPECT_EQ(linear.strokeGradient->end, QPointF(1, 0.75));
  const QGradientStops expected = {
      {0.0, QColor(255, 0, 0, 128)}, {0.5, QColor(0, 255, 0, 64)}, {1.0, QColor(0, 0, 255, 128)}};
  EXPECT_EQ(linear.strokeGradient->stops, expected);
  EXPECT_EQ(linear.stroke, expected.front().second);

  const MarkupShape& radial = scene->shapes[2];
  ASSERT_TRUE(radial.fillGradient);
  EXPECT_EQ(radial.fillGradient->kind, MarkupGradient::Kind::Radial);
  EXPECT_EQ(radial.fillGradient->center, QPointF(0.4, 0.6));
  EXPECT_EQ(radial.fillGradient->origin, QPointF(0.2, 0.3));
  EXPECT_EQ(radial.fillGradient->radiusX, 0.7);
  EXPECT_EQ(radial.fillGradient->radiusY, 0.3);
  EXPECT_EQ(radial.fill, QColor(Qt::white));

  const MarkupShape& empty = scene->shapes[3];
  EXPECT_FALSE(empty.fillGradient);
  EXPECT_EQ(empty.fill.alpha(), 0) << "no stops: nothing painted";
  EXPECT_FALSE(empty.stroke.isValid()) << "another element's property is not this one's";

  EXPECT_EQ(scene->shapes[4].stroke, QColor(Qt::red)) << "a line has no fill";
  EXPECT_FALSE(scene->shapes[4].fillGradient);
}

// Numbers are read several characters at a time where enough follow, one by
// one near the end of the list: a number reads alike either way.
TEST(Parser, PointsReadAlikeWhereverTheyStand) {
  const struct {
    const char16_t* pair;
    std::optional<QPointF> point;  // none: the polygon is skipped
  } cases[] = {
      {u"1234567,-7654321", QPointF(1234567, -7654321)},
      {u"09999999,10000000", QPointF(9999999, 10000000)},
      {u"-0,0.25", QPointF(0, 0.25)},
      {u"7\t8", QPointF(7, 8)},
      {u"12,3e1", QPointF(12, 30)},
      {u"10000001,5", std::nullopt},
      {u"1a,2", std::nullopt},
      {u"5-,5", std::nullopt},
      {u"-,5", std::nullopt},
      {u"5,\u00e9", std::nullopt},
  };
  for (const auto& c : cases) {
    const QString pair = QString::fromUtf16(c.pair);
    for (const bool first : {true, false}) {
      const QString points =
          first ? pair + QStringLiteral(" 0,0 0,0") : QStringLiteral("0,0 0,0 ") + pair;
      const std::optional<MarkupScene> scene = ParseMarkup(
          Canvas(QStringLiteral("<Polygon Fill='Red' Points='") + points + QStringLiteral("'/>")));
      ASSERT_TRUE(scene) << points.toStdString();
      ASSERT_EQ(scene->shapes.size(), c.point ? 1u : 0u) << points.toStdString();
      if (c.point) {
        EXPECT_EQ(scene->shapes[0].points[first ? 0 : 2], *c.point) << points.toStdString();
      }
    }
  }
}

TEST(Parser, LargeAndDeepInputsStayBounded) {
  // Deep nesting is skipped without recursion.
  QString deep;
  for (int i = 0; i < 100000; ++i)
    deep += QStringLiteral("<a>");
  for (int i = 0; i < 100000; ++i)
    deep += QStringLiteral("</a>");
  std::optional<MarkupScene> scene =
      ParseMarkup(Canvas(deep + QStringLiteral("<Ellipse Width='3' Height='3'/>")));
  ASSERT_TRUE(scene);
  EXPECT_EQ(scene->shapes.size(), 1u);

  // A long point list is read whole, and painting it finishes.
  QString points;
  for (int i = 0; i < 200000; ++i)
    points += QStringLiteral("%1,%2 ").arg(i % 300).arg(i % 7);
  scene = ParseMarkup(
      Canvas(QStringLiteral("<Polygon Fill='Red' Points='") + points + QStringLiteral("'/>")));
  ASSERT_TRUE(scene);
  EXPECT_EQ(scene->shapes.front().points.size(), 200000);
  QImage image(300, 300, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  PaintMarkup(painter, *scene);
}

}  // namespace
}  // namespace xamlpie::test
