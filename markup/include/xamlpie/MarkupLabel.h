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

// An OLE colour value as a QColor, through the chart's colour layer; black
// when the system-colour source throws, so that it is safe while painting.
QColor OleColorToQColor(ColorValue color) noexcept;

class MarkupLabel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY CaptionChanged)

 public:
  explicit MarkupLabel(QWidget* parent = nullptr);

  // The text shown: drawn when it is Canvas markup, written out otherwise.
  QString Caption() const { return mCurrent.caption; }
  void setCaption(const QString& caption);

  // Colours in the OLE encoding; system colours are looked up when painting.
  ColorValue BackColor() const { return mBackColor; }
  void setBackColor(ColorValue color);
  ColorValue ForeColor() const { return mForeColor; }
  void setForeColor(ColorValue color);

  // Whether the caption was read as markup.
  bool showsMarkup() const { return mCurrent.scene.has_value(); }

  QSize sizeHint() const override;

 signals:
  void CaptionChanged(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // A caption as read, and its picture once painted.
  struct Picture {
    QString caption;
    std::optional<MarkupScene> scene;
    QImage image;  // null until painted, or after anything it depends on changed
  };

  void Invalidate();
  void Render(QPainter& painter, const Picture& picture) const;

  // The caption shown, and the one before it: a label that goes back and forth
  // between two captions, as a toggle makes it, reads and paints each once.
  Picture mCurrent;
  Picture mPrevious;
  ColorValue mBackColor = 0x8000000Fu;  // button face
  ColorValue mForeColor = 0x80000012u;  // button text
};

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPLABEL_H_
