// Hatches over slices and their legend swatches, so that slices can be told
// apart without their colours (a greyscale print, a reader who does not see
// them): plain and eight of stripes, grids and dots.

#ifndef XAMLPIE_SCENE_HATCH_H_
#define XAMLPIE_SCENE_HATCH_H_

#include <QColor>
#include <QList>
#include <QPolygonF>
#include <QRectF>
#include <functional>

#include "xamlpie/Drawing.h"

namespace xamlpie::detail {

inline constexpr int kHatchKinds = 9;  // 0 plain, then eight hatches

// The marks of hatch `kind` over `area`, each a convex polygon in canvas
// pixels; anchored to the canvas's origin, so that a slice and its swatch
// show the same marks.
QList<QPolygonF> Hatch(int kind, const QRectF& area);

// The part of `shape` (a simple polygon, convex or not) within `convex`.
QPolygonF ClipToConvex(const QPolygonF& shape, const QPolygonF& convex);

// The hatch of `kind` within `shape`, as polygons; none for plain.
QList<QPolygonF> HatchWithin(int kind, const QPolygonF& shape);
// What the marks are drawn in over `fill`: towards black or white.
QColor HatchColour(const QColor& fill);

// Adds after each run of a slice's shapes in the drawing the hatch its row
// has (`kindOf`, by the shape's index: its row, or -1 for "Other"), so that
// whatever is drawn later covers it as it covers the slice.
void AddHatches(Drawing& drawing, const std::function<int(int index)>& kindOf);

}  // namespace xamlpie::detail

#endif  // XAMLPIE_SCENE_HATCH_H_
