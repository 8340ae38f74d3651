// Colours between the chart's OLE encoding and Qt's.

#ifndef XAMLPIE_COLORS_H_
#define XAMLPIE_COLORS_H_

#include <QColor>

#include "xamlpie/SystemColors.h"

namespace xamlpie {

/// An OLE colour value as a QColor, through the chart's colour layer; black
/// when the system-colour source throws, so that it is safe while painting.
QColor OleColorToQColor(ColorValue color) noexcept;

/// A QColor as an OLE colour value (0x00BBGGRR), the inverse of
/// OleColorToQColor for plain colours: write ToColorValue(QColor(255, 128, 0))
/// for orange, not 0xFF8000, which the chart reads as blue. Alpha is dropped;
/// an invalid colour gives 0, black.
ColorValue ToColorValue(const QColor& color) noexcept;

/// Makes system colours (0x80000000 | index) follow the application palette,
/// the desktop's colour scheme as Qt sees it, the way they follow the scheme on
/// Windows. Call it once after creating the application; labels and views
/// repaint by themselves when the palette changes. Off Windows only; on
/// Windows the platform's own colours are used.
void FollowApplicationPalette();

/// The contrast ratio of two colours as WCAG 2 measures it, from 1 (the same
/// luminance) to 21 (black on white): text wants 4.5, outlines and focus rings
/// 3. Alpha is ignored.
double Contrast(const QColor& a, const QColor& b) noexcept;

}  // namespace xamlpie

#endif  // XAMLPIE_COLORS_H_
