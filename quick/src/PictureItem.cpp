// An item that shows a picture painted with QPainter: painted on the GUI
// thread when polished (fonts are not to be used elsewhere), at the window's
// pixel ratio, and handed to the scene graph as a texture put on the
// device's pixel grid.
#include "xamlpie/quick/PictureItem.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <cmath>

namespace xamlpie::quick {

PictureItem::PictureItem(QQuickItem* parent) : QQuickItem(parent) {
  setFlag(ItemHasContents);
}

void PictureItem::Repaint() {
  polish();
  update();
}

// Painted on the GUI thread, where fonts may be used, before the frame is
// synchronised with the scene graph.
void PictureItem::updatePolish() {
  const qreal ratio = window() != nullptr ? window()->effectiveDevicePixelRatio() : 1.0;
  const QSizeF size(width(), height());
  const QSize pixels(static_cast<int>(std::ceil(size.width() * ratio)),
                     static_cast<int>(std::ceil(size.height() * ratio)));
  if (pixels.isEmpty()) {
    mImage = QImage();
  } else {
    const QImage::Format format =
        Opaque() ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    if (mImage.size() != pixels || mImage.format() != format || !mImage.isDetached()) {
      mImage = QImage(pixels, format);
    }
    mImage.setDevicePixelRatio(ratio);
    if (!Opaque()) mImage.fill(Qt::transparent);
    QPainter painter(&mImage);
    PaintPicture(painter, size);
  }
  mNewImage = true;
}

QSGNode* PictureItem::updatePaintNode(QSGNode* node, UpdatePaintNodeData* /*data*/) {
  auto* image = static_cast<QSGImageNode*>(node);
  if (mImage.isNull() || window() == nullptr) {
    delete image;
    return nullptr;
  }
  if (image == nullptr) {
    image = window()->createImageNode();
    image->setOwnsTexture(true);
    mNewImage = true;
  }
  if (mNewImage) {
    image->setTexture(window()->createTextureFromImage(mImage));
    mNewImage = false;
  }
  // One texture pixel to one device pixel: the picture is put on the
  // device's pixel grid, where a layout placed the item between pixels (as
  // at ratio 1.5), so that sampling neither blurs nor doubles its pixels.
  const qreal ratio = mImage.devicePixelRatio();
  const QPointF origin = mapToScene(QPointF(0, 0)) * ratio;
  const QPointF snap(std::round(origin.x()) - origin.x(), std::round(origin.y()) - origin.y());
  image->setFiltering(QSGTexture::Linear);
  image->setRect(QRectF(snap / ratio, QSizeF(mImage.size()) / ratio));
  return image;
}

void PictureItem::geometryChange(const QRectF& now, const QRectF& before) {
  QQuickItem::geometryChange(now, before);
  if (now.size() != before.size()) {
    Repaint();
  } else if (now.topLeft() != before.topLeft()) {
    update();  // onto the pixel grid again
  }
}

void PictureItem::itemChange(ItemChange change, const ItemChangeData& value) {
  QQuickItem::itemChange(change, value);
  if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged ||
      change == ItemVisibleHasChanged) {
    Repaint();
  }
}

}  // namespace xamlpie::quick
