// The label's pictures against two other renderers of the same charts: Qt's
// own antialiased rasteriser, and librsvg drawing them as SVG.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "Raster.h"
#include "pixels.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/MarkupScene.h"
#include "xamlpie/cXAMLPieChart.h"

using namespace Qt::Literals::StringLiterals;

namespace xamlpie::test {
namespace {

const QColor kBackground(0xFF, 0xC0, 0xC0);

// The same polygons and ellipses as SVG, read with Qt's XML reader rather
// than the label's parser.
QString ToSvg(const QString& markup, QSize size, qreal ratio) {
  QString svg = QStringLiteral(
                    "<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2' "
                    "viewBox='0 0 %3 %4'><rect width='%3' height='%4' fill='%5'/>\n")
                    .arg(size.width() * ratio)
                    .arg(size.height() * ratio)
                    .arg(size.width())
                    .arg(size.height())
                    .arg(kBackground.name());
  QXmlStreamReader xml(markup);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes attributes = xml.attributes();
    const auto has = [&](const char* name) {
      return attributes.hasAttribute(QString::fromLatin1(name));
    };
    const auto value = [&](const char* name) {
      return attributes.value(QString::fromLatin1(name)).toString();
    };
    const double left = value("Canvas.Left").toDouble();
    const double top = value("Canvas.Top").toDouble();
    const bool stroked = has("Stroke");
    const double t =
        stroked ? (has("StrokeThickness") ? value("StrokeThickness").toDouble() : 1.0) : 0.0;
    // The markup's miter limit of 10 counts half stroke widths, SVG's whole ones.
    const QString paint =
        QStringLiteral(" fill='%1' stroke='%2' stroke-width='%3' stroke-miterlimit='10'")
            .arg(has("Fill") ? value("Fill") : u"none"_s)
            .arg(stroked ? value("Stroke") : u"none"_s)
            .arg(t);
    if (xml.name() == u"Polygon") {
      svg += QStringLiteral(
                 "<polygon transform='translate(%1 %2)' points='%3' fill-rule='evenodd'%4/>\n")
                 .arg(left)
                 .arg(top)
                 .arg(value("Points"), paint);
    } else if (xml.name() == u"Ellipse") {
      // The stroke lies inside the ellipse's box.
      const double w = value("Width").toDouble();
      const double h = value("Height").toDouble();
      svg += QStringLiteral("<ellipse cx='%1' cy='%2' rx='%3' ry='%4'%5/>\n")
                 .arg(left + w / 2)
                 .arg(top + h / 2)
                 .arg((w - t) / 2)
                 .arg((h - t) / 2)
                 .arg(paint);
    }
  }
  return svg + u"</svg>\n"_s;
}

// Pixels whose colours differ by more than a tenth in some channel.
int Apart(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  int apart = 0;
  for (int row = 0; row < x.height(); ++row) {
    for (int column = 0; column < x.width(); ++column) {
      const QRgb p = x.pixel(column, row);
      const QRgb q = y.pixel(column, row);
      apart += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                         std::abs(qBlue(p) - qBlue(q))}) > 24
                   ? 1
                   : 0;
    }
  }
  return apart;
}

TEST(Raster, AgreesWithQtAndLibrsvg) {
  ASSERT_FALSE(QStandardPaths::findExecutable(u"rsvg-convert"_s).isEmpty())
      << "rsvg-convert is missing; scripts/install-deps.sh installs librsvg2-bin";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  cXAMLPieChart many;
  many.Size(250);
  many.StartAngle(17);
  many.Clockwise(true);
  for (int i = 0; i < 300; ++i)
    many.AddDataItem(1, 0x00123456u * static_cast<unsigned>(i + 1) & 0x00FFFFFFu);
  cXAMLPieChart exploded;
  exploded.Size(200);
  exploded.MarginLeft(20);
  exploded.MarginTop(20);
  exploded.DoughnutWidth(40);
  exploded.BackgroundColor(0x00C0C0FF);
  for (std::int32_t share : {3, 17, 30, 50})
    exploded.AddDataItem(share, 0x0000A0F0u + static_cast<unsigned>(share) * 0x030000u);
  exploded.Explode(2, 15);
  const struct {
    const char* what;
    QString markup;
  } cases[] = {
      {"demo", ReadGolden("demo.xaml")},
      {"doughnut", ReadGolden("demo-doughnut.xaml")},
      {"300 slices", QString::fromStdString(many.XAML())},
      {"exploded doughnut", QString::fromStdString(exploded.XAML())},
  };
  const QSize size(300, 280);
  for (const auto& c : cases) {
    for (const qreal ratio : {1.0, 2.0}) {
      MarkupLabel label;
      label.resize(size);
      label.setBackColor(ToColorValue(kBackground));
      label.setCaption(c.markup);
      // The first time straight into the image; then from the kept picture,
      // and into a larger one at an offset.
      const QImage ours = Render(label, ratio);
      EXPECT_EQ(Render(label, ratio), ours) << c.what << " at " << ratio;
      label.setBackColor(ToColorValue(kBackground.lighter(101)));
      label.setBackColor(ToColorValue(kBackground));  // a picture to paint anew
      QImage larger((size + QSize(20, 10)) * ratio, QImage::Format_ARGB32_Premultiplied);
      larger.setDevicePixelRatio(ratio);
      larger.fill(Qt::black);
      label.render(&larger, QPoint(13, 7));
      EXPECT_EQ(larger.copy(QRect(QPoint(13, 7) * ratio, ours.size())), ours)
          << c.what << " at " << ratio;
      // Qt draws into straight-alpha pixels itself.
      QImage qt(size * ratio, QImage::Format_ARGB32);
      qt.setDevicePixelRatio(ratio);
      qt.fill(kBackground);
      {
        QPainter painter(&qt);
        PaintMarkup(painter, *ParseMarkup(c.markup));
      }
      const QImage rsvg = Rsvg(ToSvg(c.markup, size, ratio), dir);
      ASSERT_EQ(rsvg.size(), ours.size()) << c.what;
      const int pixels = ours.width() * ours.height();
      EXPECT_LE(Apart(ours, rsvg), pixels / 1000) << c.what << " at " << ratio;
      // Qt's ellipses are Bézier curves and its coverage is sampled: its
      // edges lie up to 1.3 % of the pixels apart from librsvg's too.
      EXPECT_LE(Apart(ours, qt), pixels / 50) << c.what << " at " << ratio;
    }
  }
}

// Rows of an ellipse painted straight from chords across each row, against
// its outline filled as any polygon: ellipses and rings of all shapes,
// inside the picture, across its edges, over a hidden disc, and at an origin.
TEST(Raster, EllipsesAsTheirOutlines) {
  using detail::Raster;
  const struct {
    QRectF box;
    std::optional<QRectF> inner;
    Raster::Disc hidden;
  } cases[] = {
      {QRectF(25, 25, 249, 249), QRectF(27, 27, 245, 245), {}},    // the demo's rim
      {QRectF(75, 75, 150, 150), std::nullopt, {{150, 150}, 73}},  // its hole's stroke
      {QRectF(10.3, 40.7, 280.2, 90.1), std::nullopt, {}},
      {QRectF(100.5, 3.25, 40, 250), QRectF(110, 13, 20, 230), {}},
      {QRectF(3, 3, 4.5, 2.5), std::nullopt, {}},
      {QRectF(-50, 120, 200, 200), QRectF(-40, 130, 180, 180), {}},  // across the edges
      {QRectF(200, -30, 150, 100), std::nullopt, {}},
      {QRectF(20, -90, 50, 40), QRectF(30, -80, 30, 20), {}},  // above it: no rows
      {QRectF(30, 30, 240, 240), QRectF(31, 31, 238, 238), {{150, 150}, 100}},
      {QRectF(0, 0, 0, 50), std::nullopt, {}},  // nothing
  };
  const QSize size(300, 280);
  int index = 0;
  for (const auto& c : cases) {
    for (const QPoint origin : {QPoint(), QPoint(-7, 11)}) {
      QImage expected(size, QImage::Format_RGB32);
      expected.fill(kBackground);
      QImage ours = expected;
      QImage again = expected;
      QImage fresh = expected;
      QImage unhidden = expected;
      QImage unhiddenFresh = expected;
      const auto paint = [&](QImage& image, bool outlines, QRgb colour, bool hide) {
        Raster raster(reinterpret_cast<std::uint32_t*>(image.bits()), size.width(), size.height(),
                      image.bytesPerLine(), origin);
        const Raster::Disc hidden{c.hidden.centre + origin, c.hidden.radius};
        if (hide) raster.Hide(hidden);
        const QRectF box = c.box.translated(origin);
        if (outlines) {
          raster.AddOutline(Raster::EllipseOutline(box, false));
          if (c.inner) raster.AddOutline(Raster::EllipseOutline(c.inner->translated(origin), true));
          raster.Fill(colour);
        } else {
          const std::optional<QRectF> inner =
              c.inner ? std::optional<QRectF>(c.inner->translated(origin)) : std::nullopt;
          raster.FillEllipse(box, inner, colour);
        }
        if (!hide) return;
        // What hides the disc, painted the same way over both.
        raster.Hide({});
        const QPointF corner(hidden.radius, hidden.radius);
        raster.AddOutline(
            Raster::EllipseOutline(QRectF(hidden.centre - corner, hidden.centre + corner), false));
        raster.Fill(0xABCDEF);
      };
      paint(expected, true, 0x123456, true);
      Raster::ForgetKept();
      paint(ours, false, 0x123456, true);
      // Again in another colour, from what was kept, and without the hidden
      // disc, which must not be taken from it: as if painted afresh.
      paint(again, false, 0xFE8001, true);
      paint(unhidden, false, 0xFE8001, false);
      Raster::ForgetKept();
      paint(fresh, false, 0xFE8001, true);
      Raster::ForgetKept();
      paint(unhiddenFresh, false, 0xFE8001, false);
      EXPECT_EQ(again, fresh) << "case " << index << " at origin " << origin.x();
      EXPECT_EQ(unhidden, unhiddenFresh) << "case " << index << " at origin " << origin.x();
      int worst = 0;
      for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
          const QRgb p = expected.pixel(x, y);
          const QRgb q = ours.pixel(x, y);
          worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qBlue(p) - qBlue(q))});
        }
      }
      // Each stands within 0.05 px of the curve, on its inner side.
      EXPECT_LE(worst, 20) << "case " << index << " at origin " << origin.x();
    }
    ++index;
  }
}

// A small outline painted from what was kept of it gives the pixels a fresh
// fill gives, in any colour; one that meets the hidden disc or the
// picture's edge, or lies elsewhere, is not taken for it.
TEST(Raster, KeptOutlinesPaintAsFresh) {
  using detail::Raster;
  const auto rounded = [](QRectF box, double r) {
    std::vector<QPointF> points;
    for (int corner = 0; corner < 4; ++corner) {
      const QPointF centre = corner == 0   ? QPointF(box.right() - r, box.top() + r)
                             : corner == 1 ? QPointF(box.right() - r, box.bottom() - r)
                             : corner == 2 ? QPointF(box.left() + r, box.bottom() - r)
                                           : QPointF(box.left() + r, box.top() + r);
      for (int k = 0; k <= 6; ++k)
        points.push_back(Polar(centre, r, 90 - 90 * corner - 15 * k));
    }
    return points;
  };
  const struct {
    std::vector<QPointF> outline;
    Raster::Disc hidden;
  } cases[] = {
      {rounded(QRectF(80, 14, 12, 12), 2.5), {}},        // a legend swatch
      {rounded(QRectF(81, 15, 10, 10), 1.5), {}},        // its inside
      {rounded(QRectF(20.3, 40.7, 30.2, 9.1), 4), {}},   // off the pixel grid
      {{{10, 10}, {40, 12}, {25, 35}}, {}},              // a triangle
      {{{10, 10}, {40, 12}, {25, 35}}, {{30, 30}, 20}},  // over the hidden disc
      {rounded(QRectF(-4, 50, 12, 12), 2.5), {}},        // across the left edge
      {rounded(QRectF(190, 170, 12, 12), 2.5), {}},      // across the bottom corner
      {rounded(QRectF(60, 60, 120, 100), 8), {}},        // larger than is kept
  };
  const QSize size(200, 180);
  int index = 0;
  for (const auto& c : cases) {
    for (const QPoint origin : {QPoint(), QPoint(-7, 11)}) {
      std::vector<QPointF> outline = c.outline;
      for (QPointF& p : outline)
        p += origin;
      const auto paint = [&](bool kept, QRgb colour, const std::vector<QPointF>& points,
                             bool hide = true) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(kBackground);
        Raster raster(reinterpret_cast<std::uint32_t*>(image.bits()), size.width(), size.height(),
                      image.bytesPerLine(), origin);
        if (hide) raster.Hide({c.hidden.centre + origin, c.hidden.radius});
        if (kept) {
          raster.FillOutline(points, colour);
        } else {
          raster.AddOutline(points);
          raster.Fill(colour);
        }
        return image;
      };
      Raster::ForgetKept();
      EXPECT_EQ(paint(true, 0x123456, outline), paint(false, 0x123456, outline))
          << "case " << index << " the first time";
      EXPECT_EQ(paint(true, 0xFE8001, outline), paint(false, 0xFE8001, outline))
          << "case " << index << " again, in another colour";
      EXPECT_EQ(paint(true, 0xFE8001, outline, false), paint(false, 0xFE8001, outline, false))
          << "case " << index << " again, nothing hidden";
      // The same shape a pixel lower is another outline.
      std::vector<QPointF> lower = outline;
      for (QPointF& p : lower)
        p.ry() += 1;
      EXPECT_EQ(paint(true, 0xFE8001, lower), paint(false, 0xFE8001, lower))
          << "case " << index << " a pixel lower";
    }
    ++index;
  }
  Raster::ForgetKept();
}

// Text shaped once and drawn from what was kept gives drawText's pixels:
// any horizontal alignment, a box narrower than the text, either paragraph
// direction, names in the other direction, off the pixel grid, at each
// pixel ratio; and a second time as the first.
TEST(Raster, KeptTextDrawsAsDrawText) {
  const QString texts[] = {u"Rent"_s,
                           u"25 %"_s,
                           u" spaced  "_s,
                           u"Tra\u2026ort"_s,
                           u"\u05E9\u05DB\u05E8 \u05D3\u05D9\u05E8\u05D4: 11 %"_s,
                           u"\u2068\u0627\u0644\u0625\u064A\u062C\u0627\u0631\u2069: 51 %"_s,
                           u"two\nlines"_s};
  const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
  for (const qreal ratio : {1.0, 1.5, 2.0, 3.0}) {
    for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
      for (const Qt::Alignment alignment : alignments) {
        for (const double width : {150.0, 30.0}) {
          for (const QString& text : texts) {
            MarkupShape shape;
            shape.kind = MarkupShape::Kind::Text;
            shape.text = text;
            shape.font.setPixelSize(12);
            shape.fill = QColor(0x20, 0x20, 0x20);
            shape.alignment = alignment;
            shape.box = QRectF(40.3, 5.0156, width, 36);
            const MarkupScene scene{{shape}};
            const auto draw = [&](bool plain) {
              QImage image(QSize(240, 50) * ratio, QImage::Format_RGB32);
              image.setDevicePixelRatio(ratio);
              image.fill(Qt::white);
              QPainter painter(&image);
              painter.setLayoutDirection(direction);
              if (plain) {
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setFont(shape.font);
                painter.setPen(shape.fill);
                painter.drawText(shape.box,
                                 static_cast<int>(alignment | Qt::AlignTop | Qt::AlignAbsolute) |
                                     Qt::TextDontClip,
                                 text);
              } else {
                PaintMarkup(painter, scene);
              }
              painter.end();
              return image;
            };
            const QImage expected = draw(true);
            EXPECT_EQ(draw(false), expected)
                << text.toStdString() << " ratio " << ratio << " direction " << direction
                << " alignment " << alignment << " width " << width;
            EXPECT_EQ(draw(false), expected) << text.toStdString() << " again";
          }
        }
      }
    }
  }
}

// Outlines filled over a hidden disc leave every pixel not wholly inside it
// as it is without the disc: pie fans whose tips lie deep inside it (which
// are cut short there), a sliver across it, a shape within it, and all of
// these where the disc reaches past the picture's edge.
TEST(Raster, HiddenDiscChangesNothingOutsideIt) {
  using detail::Raster;
  const QSize size(200, 180);
  for (const Raster::Disc disc : {Raster::Disc{{100.3, 90.6}, 50}, Raster::Disc{{30, 90}, 50}}) {
    std::vector<std::vector<QPointF>> outlines;
    const double turns[] = {0, 72, 108, 198, 216, 360};
    for (std::size_t i = 0; i + 1 < std::size(turns); ++i) {
      std::vector<QPointF> fan{disc.centre};
      for (int step = 0; turns[i] + 3 * step <= turns[i + 1]; ++step)
        fan.push_back(Polar(disc.centre, 80, turns[i] + 3 * step));
      outlines.push_back(fan);
    }
    outlines.push_back({{20, 20}, {180, 160}, {170, 170}});
    outlines.push_back({disc.centre + QPointF(-10, -10), disc.centre + QPointF(15, -5),
                        disc.centre + QPointF(0, 12)});
    outlines.push_back({{60, 60}, disc.centre + QPointF(5, 3), {60, 120}, {10, 90}});
    for (const QPoint origin : {QPoint(), QPoint(-7, 11)}) {
      QImage plain(size, QImage::Format_RGB32);
      plain.fill(kBackground);
      QImage hidden = plain;
      for (QImage* image : {&plain, &hidden}) {
        Raster raster(reinterpret_cast<std::uint32_t*>(image->bits()), size.width(), size.height(),
                      image->bytesPerLine(), origin);
        if (image == &hidden) raster.Hide({disc.centre + origin, disc.radius});
        QRgb colour = 0x2040F0;
        for (const std::vector<QPointF>& outline : outlines) {
          std::vector<QPointF> moved;
          moved.reserve(outline.size());
          for (const QPointF& p : outline)
            moved.push_back(p + origin);
          raster.AddOutline(moved);
          raster.Fill(colour += 0x301F0D);
        }
      }
      int worst = 0;
      for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
          if (QLineF(QPointF(x + 0.5, y + 0.5), disc.centre).length() < disc.radius - 1) continue;
          const QRgb p = plain.pixel(x, y);
          const QRgb q = hidden.pixel(x, y);
          worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                            std::abs(qBlue(p) - qBlue(q))});
        }
      }
      EXPECT_LE(worst, 1) << "disc at " << disc.centre.x() << ", origin " << origin.x();
    }
  }
}

// On screen a label paints into its window's backing store, among other
// widgets: its own part of the window, nothing else.
TEST(Raster, PaintsItsPartOfTheWindow) {
  QWidget window;
  window.resize(340, 330);
  window.setStyleSheet(u"background: black"_s);
  auto* label = new MarkupLabel(&window);
  label->setGeometry(20, 30, 300, 280);
  label->setBackColor(ToColorValue(kBackground));
  label->setCaption(ReadGolden("demo-doughnut.xaml"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  const QImage screen = window.screen()->grabWindow(window.winId()).toImage();
  ASSERT_EQ(screen.size(), window.size()) << "a screen of pixel ratio 1 was expected";
  const QImage ours = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(screen.copy(label->geometry()).convertToFormat(QImage::Format_RGB32), ours);
  EXPECT_EQ(screen.pixelColor(10, 10), QColor(Qt::black));
  EXPECT_EQ(screen.pixelColor(330, 320), QColor(Qt::black));
}

// A caption's polygon of more points than any chart has takes the scanline
// rasteriser by the even-odd rule: a pentagram's middle stays empty, its
// pixels as Qt's within a step of antialiasing, and a random outline of
// 200,000 points (1.5 MB of markup) is drawn in moments, where Qt's fill of
// it took minutes.
TEST(Raster, LargePolygonsByTheEvenOddRule) {
  QPolygonF star;
  for (int corner = 0; corner < 5; ++corner) {
    const QPointF from = Polar({150, 150}, 120, 90 + corner * 144);
    const QPointF to = Polar({150, 150}, 120, 90 + (corner + 1) * 144);
    for (int step = 0; step < 1000; ++step)  // 5,000 points on five lines
      star << from + (to - from) * (step / 1000.0);
  }
  MarkupShape shape;
  shape.points = star;
  shape.fill = QColor(0x30, 0x60, 0xC0);
  shape.stroke = QColor(0x20, 0x20, 0x20);
  shape.strokeThickness = 2;
  MarkupScene scene{{shape}};
  QImage ours(300, 300, QImage::Format_RGB32);
  ours.fill(Qt::white);
  {
    QPainter painter(&ours);
    PaintMarkup(painter, scene);
  }
  QImage qt(300, 300, QImage::Format_RGB32);
  qt.fill(Qt::white);
  {
    QPainter painter(&qt);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(shape.stroke, 2, Qt::SolidLine, Qt::FlatCap, Qt::SvgMiterJoin));
    painter.setBrush(shape.fill);
    painter.drawPolygon(star, Qt::OddEvenFill);
  }
  EXPECT_EQ(ours.pixelColor(150, 150), QColor(Qt::white)) << "the middle is inside twice";
  EXPECT_EQ(ours.pixelColor(150, 45), shape.fill) << "a point is inside once";
  int differing = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 300; ++x) {
      const QColor a = ours.pixelColor(x, y);
      const QColor b = qt.pixelColor(x, y);
      const int d = std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue())});
      differing += d > 48 ? 1 : 0;
    }
  }
  EXPECT_LT(differing, 60) << "of 90,000 pixels";

  QString caption = u"<Canvas><Polygon Fill='#3060C0' Points='"_s;
  std::uint32_t seed = 1;
  const auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return QString::number((seed >> 8) % 301);
  };
  for (int i = 0; i < 200000; ++i) {
    const QString x = next();
    caption += x + u',' + next() + u' ';
  }
  caption += u"' /></Canvas>"_s;
  MarkupLabel label;
  label.resize(300, 300);
  QElapsedTimer timer;
  timer.start();
  label.setCaption(caption);
  ASSERT_TRUE(label.showsMarkup());
  const QImage picture = Render(label);
  EXPECT_LT(timer.elapsed(), 60000) << "a generous bound: it takes well under a second";
  EXPECT_NE(picture.pixelColor(150, 150), QColor(Qt::white));
}

}  // namespace
}  // namespace xamlpie::test
