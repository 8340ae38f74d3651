// Text measured once: a chart redrawn for every frame of an animation, or
// on every change of its data, sets the same few names and numbers again and
// again, and shaping them is most of what measuring costs.
#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTextLayout>

namespace xamlpie::detail {

// QFontMetricsF(font).boundingRect(rect, flags, text) for a rectangle of
// rect's size; the box is moved to rect's place.
QRectF TextBoundingRect(const QFont& font, const QRectF& rect, int flags, const QString& text);

// QFontMetricsF(font).horizontalAdvance(text).
double TextAdvance(const QFont& font, const QString& text);

// QFontMetricsF(font).height().
double TextHeight(const QFont& font);

// QFontMetricsF(font).elidedText(text, mode, width).
QString ElidedText(const QFont& font, const QString& text, Qt::TextElideMode mode, double width);

// `text` shaped once on one line in a paragraph of `direction`, as
// QPainter::drawText lays out a line it need not wrap: drawn with its left
// end where drawText would put it, it gives the same pixels. Null for text
// drawText lays out otherwise (line breaks, tabs, control characters) or too
// long to keep.
const QTextLayout* ShapedLine(const QFont& font, const QString& text,
                              Qt::LayoutDirection direction);

}  // namespace xamlpie::detail

namespace xamlpie {
struct MarkupShape;
}

namespace xamlpie::detail {

// A text shape's font and layout box from its place, size in pixels, family
// (empty: the application's) and width (negative: the text's own), as a
// TextBlock's are read.
void PlaceText(MarkupShape& shape, QPointF at, double fontSize, const QString& family,
               double width);
// The same for a shape whose font is set already.
void PlaceTextBox(MarkupShape& shape, QPointF at, double fontSize, double width);

}  // namespace xamlpie::detail
