// Rendering a label into an image and reading its colours back.

#ifndef XAMLPIE_TEST_PIXELS_H_
#define XAMLPIE_TEST_PIXELS_H_

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <string>
#include <vector>

namespace xamlpie::test {

QString ReadGolden(const char* name);  // from the chart's golden files

// Renders a widget at the given device pixel ratio.
QImage Render(QWidget& widget, qreal ratio = 1.0);

// The colour under a logical point.
QColor Pixel(const QImage& image, QPointF logical);

// The point at `radius` from `centre` in the direction of `degrees`,
// counted counter-clockwise on screen from 3 o'clock.
QPointF Polar(QPointF centre, double radius, double degrees);

// How far a colour lies from every blend of `a` and `b` (0 to 441).
double DistanceToBlend(const QColor& c, const QColor& a, const QColor& b);

std::string Describe(const QColor& c);

// An SVG drawn by librsvg (rsvg-convert) through files in `dir`; a null image
// when it cannot be.
QImage Rsvg(const QString& svg, const QTemporaryDir& dir);

// A PDF file's pages, each its media box's size in points, in the order they
// are written; and whether it holds any bitmap.
std::vector<QSizeF> PdfPages(const QString& fileName);
bool PdfHasImages(const QString& fileName);

}  // namespace xamlpie::test

#endif  // XAMLPIE_TEST_PIXELS_H_
