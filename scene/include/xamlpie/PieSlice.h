// A slice of a chart bound to data, as the widget and the Qt Quick item
// read it, and the colours slices get when they have none of their own.

#ifndef XAMLPIE_PIESLICE_H_
#define XAMLPIE_PIESLICE_H_

#include <QColor>
#include <QGradient>
#include <QList>
#include <QString>
#include <optional>

namespace xamlpie {

/// One slice when there is no model: its name, its value (a finite number of
/// 0 or more; anything else shows as a missing slice) and its colour (invalid:
/// the next of the palette).
struct PieSlice {
  QString name;      ///< shown in labels, the legend and tooltips
  double value = 0;  ///< its share is value / the total of the shown slices
  QColor color{};    ///< invalid: the palette's next
  /// A rose chart's second value: how far the slice reaches out, against the
  /// largest shown (see cXAMLPieChart::RadiusValue). None: to the rim. A
  /// value that is not a finite number of 0 or more makes a missing slice.
  std::optional<double> radius{};
  /// Colours the slice shades through, from where it starts (the centre, or
  /// a doughnut's hole) at offset 0 to its rim at 1, over the chart's
  /// shading; its legend swatch takes `color`. Empty: filled as the chart's
  /// shading says.
  QGradientStops gradient{};
};

/// Eight colours that stay apart for the common colour blindnesses and in
/// greyscale (Okabe and Ito's, with black left out), given in turn to slices
/// without a colour of their own.
QList<QColor> DefaultPalette();

}  // namespace xamlpie

#endif  // XAMLPIE_PIESLICE_H_
