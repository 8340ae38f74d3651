// A label whose caption is either plain text or Canvas markup, which it draws.
//
//   auto* label = new xamlpie::MarkupLabel(parent);
//   label->setStretch(xamlpie::Stretch::Uniform);   // follow the layout's size
//   label->setCaption(QString::fromStdString(chart.XAML()));

#ifndef XAMLPIE_MARKUPLABEL_H_
#define XAMLPIE_MARKUPLABEL_H_

#include <QColor>
#include <QImage>
#include <QString>
#include <QTransform>
#include <QWidget>
#include <optional>
#include <vector>

#include "xamlpie/Colors.h"
#include "xamlpie/MarkupScene.h"
#include "xamlpie/SystemColors.h"

namespace xamlpie {

/// A label whose caption is plain text or Canvas markup, which it draws: see
/// the README's "The label" for the markup it reads and how it paints.
class MarkupLabel : public QWidget {
  Q_OBJECT
  /// The text shown: Caption() and setCaption().
  Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY CaptionChanged)
  /// Shapes under the pointer drawn lighter: hoverHighlight().
  Q_PROPERTY(bool hoverHighlight READ hoverHighlight WRITE setHoverHighlight)

 public:
  /// An empty label, its colours the button face and button text.
  explicit MarkupLabel(QWidget* parent = nullptr);

  ///@{
  /// The text shown: drawn when it is Canvas markup, written out otherwise.
  QString Caption() const { return mCurrent.caption; }
  void setCaption(const QString& caption);
  ///@}

  ///@{
  /// Colours in the OLE encoding; system colours are looked up when painting.
  ColorValue BackColor() const { return mBackColor; }
  void setBackColor(ColorValue color);
  ColorValue ForeColor() const { return mForeColor; }
  void setForeColor(ColorValue color);
  ///@}

  ///@{
  /// How markup is fitted into the label; None by default.
  Stretch stretch() const { return mStretch; }
  void setStretch(Stretch stretch);
  ///@}

  /// Whether the caption was read as markup.
  bool showsMarkup() const { return mCurrent.scene.has_value(); }

  /// Markup: its extent (from the origin with Stretch::None). Text: one line.
  QSize sizeHint() const override;
  /// Markup: as sizeHint with Stretch::None, else a small picture of the same
  /// shape. Text: the longest word, wrapped.
  QSize minimumSizeHint() const override;
  ///@{
  /// A text caption wraps, so its height depends on the width.
  bool hasHeightForWidth() const override;
  int heightForWidth(int width) const override;
  ///@}

  /// Where the canvas's coordinates land in the label.
  QTransform canvasTransform() const;

  /// The index in the caption's shapes of the topmost shape under a point of
  /// the label (Stretch applied, fill by the even-odd rule, stroke included),
  /// or -1 where there is none.
  int ShapeAt(QPointF point) const;
  /// The shapes the caption was read into; empty for a text caption.
  const std::vector<MarkupShape>& shapes() const;

  ///@{
  /// Shapes that share the Tag under the pointer are drawn lighter. Off by
  /// default.
  bool hoverHighlight() const { return mHoverHighlight; }
  void setHoverHighlight(bool on);
  ///@}

  /// A plain-language description: for a chart, the names of its slices
  /// (AutomationProperties.Name, once per Tag); for text, the text. What a
  /// screen reader says for the label.
  QString description() const;

  /// Writes the label as it shows (caption, colours, size, Stretch) to a file
  /// whose suffix picks the format: ".png" (or any format QImage writes) at
  /// the given pixel ratio, ".svg" or ".pdf" as vector shapes and text. On failure
  /// returns false, puts the reason in `error` and leaves no file behind.
  bool saveImage(const QString& fileName, qreal devicePixelRatio = 1.0,
                 QString* error = nullptr) const;

 signals:
  /// The caption was set to another text.
  void CaptionChanged(const QString& caption);
  /// The Tag of the shape the pointer moved onto; empty when it leaves a
  /// tagged shape for one without a Tag or for no shape.
  void ShapeHovered(const QString& tag);
  /// The Tag of the shape clicked (left button); empty when it has none.
  void ShapeClicked(const QString& tag);

 protected:
  ///@{
  /// Qt's event handlers, through which the widget paints, follows the pointer
  /// and the keyboard, and answers palette, font and tooltip events.
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  ///@}

 private:
  /// A caption as read, and its picture once painted.
  struct Picture {
    QString caption;
    std::optional<MarkupScene> scene;
    mutable std::optional<QRectF> bounds;  ///< the shapes' extent, once asked for
    QImage image;                          ///< the pixels last painted
    bool stale = true;   ///< until painted, or after anything it depends on changed
    bool shown = false;  ///< painted straight to the screen once since it went stale
    QColor back;         ///< the colours it was painted with
    QColor fore;
    QString highlight;  ///< and the Tag drawn lighter
  };

  void Invalidate();
  static const QRectF& Bounds(const Picture& picture);
  void Render(QPainter& painter, const Picture& picture, const QColor& back, const QColor& fore,
              const QString& highlight) const;
  QString TagAt(QPointF point) const;
  void Hover(const QString& tag);
  void HoverAgain();
  QTransform CanvasTransform(const Picture& picture) const;

  ///@{
  /// The caption shown, and the one before it: a label that goes back and forth
  /// between two captions, as a toggle makes it, reads and paints each once.
  Picture mCurrent;
  Picture mPrevious;
  ColorValue mBackColor = 0x8000000Fu;  ///< button face
  ColorValue mForeColor = 0x80000012u;  ///< button text
  Stretch mStretch = Stretch::None;
  bool mHoverHighlight = false;
  QString mHovered;                 ///< the Tag under the pointer
  std::optional<QPointF> mPointer;  ///< where it was last seen over the label, globally
  ///@}
};

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPLABEL_H_
