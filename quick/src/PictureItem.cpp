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
  // One texture pixel to one device pixel: no filtering blurs it.
  image->setFiltering(QSGTexture::Nearest);
  image->setRect(QRectF(QPointF(0, 0), QSizeF(mImage.size()) / mImage.devicePixelRatio()));
  return image;
}

void PictureItem::geometryChange(const QRectF& now, const QRectF& before) {
  QQuickItem::geometryChange(now, before);
  if (now.size() != before.size()) Repaint();
}

void PictureItem::itemChange(ItemChange change, const ItemChangeData& value) {
  QQuickItem::itemChange(change, value);
  if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged ||
      change == ItemVisibleHasChanged) {
    Repaint();
  }
}

}  // namespace xamlpie::quick
