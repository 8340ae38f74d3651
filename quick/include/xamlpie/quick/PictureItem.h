// An item whose picture is painted with QPainter into an image at the
// window's device pixel ratio and shown as one texture: crisp at every
// ratio, the same pixels with the software and the hardware scene graph,
// and painted again only when something changed.

#ifndef XAMLPIE_QUICK_PICTUREITEM_H_
#define XAMLPIE_QUICK_PICTUREITEM_H_

#include <QtQml/qqmlregistration.h>
#include <QImage>
#include <QQuickItem>

namespace xamlpie::quick {

/// The base of the QML types: an item whose picture is painted with QPainter
/// into an image at the window's device pixel ratio and shown as one texture,
/// crisp at every ratio, and painted again only when something changed.
class PictureItem : public QQuickItem {
  Q_OBJECT
  /// Known to QML tools as a QQuickItem (anchors, visible...), never made
  /// from QML itself.
  QML_ANONYMOUS

 public:
  /// An item that draws, with nothing painted yet.
  explicit PictureItem(QQuickItem* parent = nullptr);

  /// The picture as last painted, for tests and saving.
  QImage picture() const { return mImage; }

 protected:
  /// Paints the picture at `size` logical pixels.
  virtual void PaintPicture(QPainter& painter, QSizeF size) = 0;
  /// Whether PaintPicture covers every pixel opaquely: then nothing is
  /// cleared first, and the texture needs no blending.
  virtual bool Opaque() const { return false; }
  /// Something changed: a new picture before the next frame.
  void Repaint();

  ///@{
  /// Qt Quick's hooks: the picture is painted before the frame (polish),
  /// handed to the scene graph as a texture, and made anew for a new size or
  /// device pixel ratio.
  void updatePolish() override;
  QSGNode* updatePaintNode(QSGNode* node, UpdatePaintNodeData* data) override;
  void geometryChange(const QRectF& now, const QRectF& before) override;
  void itemChange(ItemChange change, const ItemChangeData& value) override;
  ///@}

 private:
  QImage mImage;
  bool mNewImage = false;
};

}  // namespace xamlpie::quick

#endif  // XAMLPIE_QUICK_PICTUREITEM_H_
