// What the widgets that draw markup share of pointing: the shape under a
// point, and its tooltip.

#ifndef XAMLPIE_SHAPETOOLTIP_H_
#define XAMLPIE_SHAPETOOLTIP_H_

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>
#include <vector>

#include "xamlpie/MarkupScene.h"

namespace xamlpie::detail {

// The topmost shape on a canvas point, -1 where there is none.
inline int TopShapeAt(const std::vector<MarkupShape>& shapes, QPointF canvas) {
  for (std::size_t i = shapes.size(); i-- > 0;) {
    if (ShapeContains(shapes[i], canvas)) return static_cast<int>(i);
  }
  return -1;
}

// Answers a ToolTip event with the tooltip of shape `index` (-1: none), or
// hides any shown where the shape has none.
inline bool ShowShapeToolTip(QWidget* widget, QEvent* event, const std::vector<MarkupShape>& shapes,
                             int index) {
  const auto* help = static_cast<QHelpEvent*>(event);
  const QString tip = index >= 0 ? shapes[static_cast<std::size_t>(index)].toolTip : QString();
  if (tip.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), tip, widget);
  }
  return true;
}

}  // namespace xamlpie::detail

#endif  // XAMLPIE_SHAPETOOLTIP_H_
