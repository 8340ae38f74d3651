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

/// The QML type MarkupView: Canvas markup drawn as xamlpie::MarkupLabel draws
/// it; a caption that is not markup is written out as text.
class MarkupView : public PictureItem {
  Q_OBJECT
  QML_ELEMENT
  /// The markup (or text) shown.
  Q_PROPERTY(QString caption READ caption WRITE setCaption NOTIFY captionChanged)
  /// How markup is fitted into the item; MarkupView.None by default.
  Q_PROPERTY(StretchMode stretch READ stretch WRITE setStretch NOTIFY stretchChanged)
  /// Behind the markup; transparent (the default) shows what lies beneath.
  Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor NOTIFY
                 backgroundColorChanged)
  /// What a screen reader says: the shapes' accessible names, in order.
  Q_PROPERTY(QString description READ description NOTIFY captionChanged)

 public:
  /// As xamlpie::Stretch: None (its own pixels from the top-left), Fill,
  /// Uniform (fits, shape kept, centred), UniformToFill (covers, centred).
  enum StretchMode { None, Fill, Uniform, UniformToFill };
  Q_ENUM(StretchMode)

  /// An empty item.
  explicit MarkupView(QQuickItem* parent = nullptr);

  ///@{
  /// Accessors of the properties above, for C++.
  QString caption() const { return mCaption; }
  void setCaption(const QString& caption);
  StretchMode stretch() const { return mStretch; }
  void setStretch(StretchMode stretch);
  QColor backgroundColor() const { return mBackground; }
  void setBackgroundColor(const QColor& colour);
  ///@}
  /// The shapes' accessible names, in order.
  QString description() const;

  /// The picture at the item's size as a PNG (or other image) at `ratio`, or
  /// as SVG or PDF; false, with a warning, where it cannot be written.
  Q_INVOKABLE bool saveImage(const QUrl& file, qreal ratio = 1.0) const;

 signals:
  /// The caption was set to another text.
  void captionChanged();
  /// stretch changed.
  void stretchChanged();
  /// backgroundColor changed.
  void backgroundColorChanged();

 protected:
  /// Paints the caption at `size` logical pixels.
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
