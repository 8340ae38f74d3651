// MarkupView { caption: chartMarkup; stretch: MarkupView.Uniform }
//
// Canvas markup drawn as xamlpie::MarkupLabel draws it; a caption that is
// not markup is written out as text.

#ifndef XAMLPIE_QUICK_MARKUPVIEW_H_
#define XAMLPIE_QUICK_MARKUPVIEW_H_

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QString>
#include <QUrl>
#include <optional>

#include "PictureItem.h"
#include "xamlpie/MarkupScene.h"

namespace xamlpie::quick {

class MarkupView : public PictureItem {
  Q_OBJECT
  QML_ELEMENT
  Q_PROPERTY(QString caption READ caption WRITE setCaption NOTIFY captionChanged)
  Q_PROPERTY(StretchMode stretch READ stretch WRITE setStretch NOTIFY stretchChanged)
  // Behind the markup; transparent (the default) shows what lies beneath.
  Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor NOTIFY
                 backgroundColorChanged)
  Q_PROPERTY(QString description READ description NOTIFY captionChanged)

 public:
  enum StretchMode { None, Fill, Uniform, UniformToFill };
  Q_ENUM(StretchMode)

  explicit MarkupView(QQuickItem* parent = nullptr);

  QString caption() const { return mCaption; }
  void setCaption(const QString& caption);
  StretchMode stretch() const { return mStretch; }
  void setStretch(StretchMode stretch);
  QColor backgroundColor() const { return mBackground; }
  void setBackgroundColor(const QColor& colour);
  // The shapes' accessible names, in order.
  QString description() const;

  // The picture at the item's size as a PNG (or other image) at `ratio`, or
  // as SVG; false, with a warning, where it cannot be written.
  Q_INVOKABLE bool saveImage(const QUrl& file, qreal ratio = 1.0) const;

 signals:
  void captionChanged();
  void stretchChanged();
  void backgroundColorChanged();

 protected:
  void PaintPicture(QPainter& painter, QSizeF size) override;

 private:
  void Paint(QPainter& painter, QSizeF size) const;

  QString mCaption;
  std::optional<MarkupScene> mScene;
  QRectF mBounds;
  StretchMode mStretch = None;
  QColor mBackground{Qt::transparent};
};

}  // namespace xamlpie::quick

#endif  // XAMLPIE_QUICK_MARKUPVIEW_H_
