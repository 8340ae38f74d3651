// A chart's drawing as shapes to paint, without markup text in between: the
// same shapes, at the same places, as reading the drawing's markup gives.

#pragma once

#include "xamlpie/Drawing.h"
#include "xamlpie/MarkupScene.h"

namespace xamlpie::detail {

// The Tag the markup gives a shape of a slice that has a tooltip: "3", or
// "2.3" for the fourth of the third ring; empty for any other shape.
QString TagOf(const Shape& shape);

// Appends the drawing's shapes to `scene`.
void AddToScene(MarkupScene& scene, const Drawing& drawing);

}  // namespace xamlpie::detail
