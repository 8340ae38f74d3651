// A label whose caption is either plain text or Canvas markup, which it draws.

#ifndef XAMLPIE_MARKUPLABEL_H_
#define XAMLPIE_MARKUPLABEL_H_

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

#include "xamlpie/MarkupScene.h"
#include "xamlpie/SystemColors.h"

namespace xamlpie {

class MarkupLabel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY CaptionChanged)

 public:
  explicit MarkupLabel(QWidget* parent = nullptr);

  // The text shown: drawn when it is Canvas markup, written out otherwise.
  QString Caption() const { return mCaption; }
  void setCaption(const QString& caption);

  // Colours in the OLE encoding; system colours are looked up when painting.
  ColorValue BackColor() const { return mBackColor; }
  void setBackColor(ColorValue color);
  ColorValue ForeColor() const { return mForeColor; }
  void setForeColor(ColorValue color);

  // Whether the caption was read as markup.
  bool showsMarkup() const { return mScene.has_value(); }

  QSize sizeHint() const override;

 signals:
  void CaptionChanged(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Invalidate();
  void Render(QPainter& painter) const;

  QString mCaption;
  std::optional<MarkupScene> mScene;
  ColorValue mBackColor = 0x8000000Fu;  // button face
  ColorValue mForeColor = 0x80000012u;  // button text
  QImage mCache;                        // the last picture painted, reused while valid
};

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPLABEL_H_
