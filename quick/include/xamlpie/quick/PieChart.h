// PieChart { model: ...; holeSize: 0.5; labels: PieChart.Percent }
//
// A pie or doughnut chart bound to data, as the widget xamlpie::PieView is:
// the same pictures, animation, legend that hides and shows slices,
// keyboard walking, selection-free pointing and accessible slices.

#ifndef XAMLPIE_QUICK_PIECHART_H_
#define XAMLPIE_QUICK_PIECHART_H_

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <memory>

#include "PictureItem.h"

class QAbstractItemModel;

namespace xamlpie::detail {
class PieState;
}

namespace xamlpie::quick {

class PieChart : public PictureItem {
  Q_OBJECT
  QML_ELEMENT

  // A ListModel, any QAbstractItemModel, or an array of objects; each row's
  // name, value and colour are read through the roles (object keys) named
  // below. A value that is not a finite number of 0 or more is left out.
  Q_PROPERTY(QVariant model READ model WRITE setModel NOTIFY modelChanged)
  Q_PROPERTY(QString nameRole READ nameRole WRITE setNameRole NOTIFY modelChanged)
  Q_PROPERTY(QString valueRole READ valueRole WRITE setValueRole NOTIFY modelChanged)
  Q_PROPERTY(QString colorRole READ colorRole WRITE setColorRole NOTIFY modelChanged)
  Q_PROPERTY(int count READ count NOTIFY countChanged)

  // The chart's options; see cXAMLPieChart. holeSize is the hole's share of
  // the pie's radius (0: a pie).
  Q_PROPERTY(qreal holeSize MEMBER mHoleSize WRITE setHoleSize NOTIFY chartChanged)
  Q_PROPERTY(int startAngle MEMBER mStartAngle WRITE setStartAngle NOTIFY chartChanged)
  Q_PROPERTY(int sweepAngle MEMBER mSweepAngle WRITE setSweepAngle NOTIFY chartChanged)
  Q_PROPERTY(bool clockwise MEMBER mClockwise WRITE setClockwise NOTIFY chartChanged)
  Q_PROPERTY(Labels labels MEMBER mLabels WRITE setLabels NOTIFY chartChanged)
  Q_PROPERTY(bool labelsOutside MEMBER mLabelsOutside WRITE setLabelsOutside NOTIFY chartChanged)
  Q_PROPERTY(int minLabelAngle MEMBER mMinLabelAngle WRITE setMinLabelAngle NOTIFY chartChanged)
  Q_PROPERTY(QString labelFormat MEMBER mLabelFormat WRITE setLabelFormat NOTIFY chartChanged)
  Q_PROPERTY(QString legendFormat MEMBER mLegendFormat WRITE setLegendFormat NOTIFY chartChanged)
  Q_PROPERTY(bool legend MEMBER mLegend WRITE setLegend NOTIFY chartChanged)
  Q_PROPERTY(QString centerText MEMBER mCenterText WRITE setCenterText NOTIFY chartChanged)
  Q_PROPERTY(QString emptyText MEMBER mEmptyText WRITE setEmptyText NOTIFY chartChanged)
  Q_PROPERTY(Sort sortSlices MEMBER mSort WRITE setSortSlices NOTIFY chartChanged)
  Q_PROPERTY(qreal sliceGap MEMBER mSliceGap WRITE setSliceGap NOTIFY chartChanged)
  Q_PROPERTY(qreal cornerRadius MEMBER mCornerRadius WRITE setCornerRadius NOTIFY chartChanged)
  Q_PROPERTY(
      int percentDecimals MEMBER mPercentDecimals WRITE setPercentDecimals NOTIFY chartChanged)
  Q_PROPERTY(int valueDecimals MEMBER mValueDecimals WRITE setValueDecimals NOTIFY chartChanged)
  Q_PROPERTY(QString decimalPoint MEMBER mDecimalPoint WRITE setDecimalPoint NOTIFY chartChanged)
  Q_PROPERTY(
      QString groupSeparator MEMBER mGroupSeparator WRITE setGroupSeparator NOTIFY chartChanged)
  Q_PROPERTY(QColor outlineColor MEMBER mOutlineColor WRITE setOutlineColor NOTIFY chartChanged)
  Q_PROPERTY(QColor textColor MEMBER mTextColor WRITE setTextColor NOTIFY chartChanged)
  // Behind the chart, in its hole and where a pulled-out slice was; the
  // application palette's window colour unless set.
  Q_PROPERTY(QColor backgroundColor MEMBER mBackground WRITE setBackgroundColor NOTIFY chartChanged)
  // The keyboard's ring; the application palette's highlight unless set.
  Q_PROPERTY(QColor highlightColor MEMBER mHighlight WRITE setHighlightColor NOTIFY chartChanged)
  Q_PROPERTY(QFont font MEMBER mFont WRITE setFont NOTIFY chartChanged)

  Q_PROPERTY(
      int animationDuration READ animationDuration WRITE setAnimationDuration NOTIFY chartChanged)
  Q_PROPERTY(bool hoverHighlight READ hoverHighlight WRITE setHoverHighlight NOTIFY chartChanged)
  // The keyboard's slice (-1: none), the pointer's, and the tooltip of what
  // the pointer is on: bind a ToolTip's text to it.
  Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
  Q_PROPERTY(int hoveredIndex READ hoveredIndex NOTIFY hovered)
  Q_PROPERTY(QString toolTip READ toolTip NOTIFY hovered)

 public:
  enum Labels { NoLabels, Percent, Name, NameAndPercent };
  Q_ENUM(Labels)
  enum Sort { Unsorted, Descending, Ascending };
  Q_ENUM(Sort)

  explicit PieChart(QQuickItem* parent = nullptr);
  ~PieChart() override;

  QVariant model() const { return mModel; }
  void setModel(const QVariant& model);
  QString nameRole() const { return mRoles[0]; }
  void setNameRole(const QString& role);
  QString valueRole() const { return mRoles[1]; }
  void setValueRole(const QString& role);
  QString colorRole() const { return mRoles[2]; }
  void setColorRole(const QString& role);
  int count() const;

  void setHoleSize(qreal share);
  void setStartAngle(int degrees);
  void setSweepAngle(int degrees);
  void setClockwise(bool on);
  void setLabels(Labels labels);
  void setLabelsOutside(bool on);
  void setMinLabelAngle(int degrees);
  void setLabelFormat(const QString& format);
  void setLegendFormat(const QString& format);
  void setLegend(bool on);
  void setCenterText(const QString& text);
  void setEmptyText(const QString& text);
  void setSortSlices(Sort order);
  void setSliceGap(qreal pixels);
  void setCornerRadius(qreal pixels);
  void setPercentDecimals(int decimals);
  void setValueDecimals(int decimals);
  void setDecimalPoint(const QString& text);
  void setGroupSeparator(const QString& text);
  void setOutlineColor(const QColor& colour);
  void setTextColor(const QColor& colour);
  void setBackgroundColor(const QColor& colour);
  void setHighlightColor(const QColor& colour);
  void setFont(const QFont& font);

  int animationDuration() const;
  void setAnimationDuration(int milliseconds);
  bool hoverHighlight() const;
  void setHoverHighlight(bool on);
  int currentIndex() const;
  void setCurrentIndex(int index);
  int hoveredIndex() const;
  QString toolTip() const;

  Q_INVOKABLE void setSliceVisible(int index, bool visible);
  Q_INVOKABLE bool isSliceVisible(int index) const;
  // The slices' names and numbers, as a screen reader says them.
  Q_INVOKABLE QStringList sliceNames() const;
  // The index of the slice or legend entry at a point, -1 where none.
  Q_INVOKABLE int indexAt(qreal x, qreal y) const;
  // The chart as a PNG (or other image) at `ratio`, or as SVG; false, with a
  // warning, where it cannot be written.
  Q_INVOKABLE bool saveImage(const QUrl& file, qreal ratio = 1.0) const;

  // For the accessibility layer: the slices' names in the picture's order,
  // the index each stands for, and where a slice lies.
  QList<int> sliceIndexes() const;
  QRectF sliceRect(int index) const;

 signals:
  void modelChanged();
  void countChanged();
  void chartChanged();
  void currentIndexChanged();
  void hovered();
  void sliceClicked(int index);
  void sliceHovered(int index);
  void sliceActivated(int index);
  void sliceVisibilityChanged(int index, bool visible);

 protected:
  void PaintPicture(QPainter& painter, QSizeF size) override;
  bool Opaque() const override;
  void componentComplete() override;
  void mousePressEvent(QMouseEvent* event) override;
  void hoverMoveEvent(QHoverEvent* event) override;
  void hoverLeaveEvent(QHoverEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void ReadModel();
  void Apply();  // the properties to the chart, and a new picture
  void SetLook() const;
  void AnnounceFocus(int index);

  std::unique_ptr<detail::PieState> mState;
  QVariant mModel;
  QString mRoles[3] = {QStringLiteral("name"), QStringLiteral("value"), QStringLiteral("color")};
  qreal mHoleSize = 0;
  int mStartAngle = 0;
  int mSweepAngle = 360;
  bool mClockwise = false;
  Labels mLabels = NoLabels;
  bool mLabelsOutside = false;
  int mMinLabelAngle = 10;
  QString mLabelFormat;
  QString mLegendFormat;
  bool mLegend = true;
  QString mCenterText;
  QString mEmptyText;
  Sort mSort = Unsorted;
  qreal mSliceGap = 0;
  qreal mCornerRadius = 0;
  int mPercentDecimals = 0;
  int mValueDecimals = 0;
  QString mDecimalPoint = QStringLiteral(".");
  QString mGroupSeparator;
  QColor mOutlineColor{Qt::black};
  QColor mTextColor{Qt::black};
  QColor mBackground;
  QColor mHighlight;
  QFont mFont;
};

}  // namespace xamlpie::quick

#endif  // XAMLPIE_QUICK_PIECHART_H_
