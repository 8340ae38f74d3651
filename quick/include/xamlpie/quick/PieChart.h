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
#include <QModelIndex>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <memory>

#include "PictureItem.h"

class QAbstractItemModel;

namespace xamlpie::detail {
class PieState;
struct PieChartAccess;
}  // namespace xamlpie::detail

namespace xamlpie::quick {

/// The QML type PieChart: a pie or doughnut chart bound to data, as the widget
/// xamlpie::PieView is, with the same pictures, animation, legend that hides
/// and shows slices, keyboard walking and accessible slices. Its properties
/// are the chart's options; see the README's "In Qt Quick".
class PieChart : public PictureItem {
  Q_OBJECT
  QML_ELEMENT

  /// A ListModel, any QAbstractItemModel, or an array of objects; each row's
  /// name, value and colour are read through the roles (object keys) named
  /// below. A value that is not a finite number of 0 or more is left out.
  Q_PROPERTY(QVariant model READ model WRITE setModel NOTIFY modelChanged)
  /// The role (or object key) of a slice's name; "name" by default.
  Q_PROPERTY(QString nameRole READ nameRole WRITE setNameRole NOTIFY modelChanged)
  /// The role of its value; "value" by default.
  Q_PROPERTY(QString valueRole READ valueRole WRITE setValueRole NOTIFY modelChanged)
  /// The role of its colour (a colour or its name); "color" by default.
  Q_PROPERTY(QString colorRole READ colorRole WRITE setColorRole NOTIFY modelChanged)
  /// The role of a rose chart's radius value: each slice reaches out by it,
  /// the largest to the rim, by radiusScale; a row without one reaches the
  /// rim. A row whose radius is not a finite number of 0 or more is left
  /// out. Empty (the default), or a role the model does not have: a plain
  /// chart.
  Q_PROPERTY(QString radiusRole READ radiusRole WRITE setRadiusRole NOTIFY modelChanged)
  /// A sunburst from a tree model: with 2 or more, each row's children are
  /// the next ring outward, within its angle, up to that many levels (at
  /// most 8); 1 (the default): the top rows only. As PieView::setLevels.
  Q_PROPERTY(int levels READ levels WRITE setLevels NOTIFY modelChanged)
  /// The row whose children fill the circle: clicking a slice with rows
  /// under it goes down, clicking the hole, Backspace or Escape up. As
  /// PieView::setRootIndex.
  Q_PROPERTY(QModelIndex rootIndex READ rootIndex WRITE setRootIndex NOTIFY rootIndexChanged)
  /// How many slices the model gives.
  Q_PROPERTY(int count READ count NOTIFY countChanged)

  /// The chart's options; see cXAMLPieChart. holeSize is the hole's share of
  /// the pie's radius (0: a pie).
  Q_PROPERTY(qreal holeSize MEMBER mHoleSize WRITE setHoleSize NOTIFY chartChanged)
  /// Where the first slice starts, in degrees from 3 o'clock.
  Q_PROPERTY(int startAngle MEMBER mStartAngle WRITE setStartAngle NOTIFY chartChanged)
  /// The arc the slices share, 1 to 360 degrees.
  Q_PROPERTY(int sweepAngle MEMBER mSweepAngle WRITE setSweepAngle NOTIFY chartChanged)
  /// Whether slices follow each other clockwise.
  Q_PROPERTY(bool clockwise MEMBER mClockwise WRITE setClockwise NOTIFY chartChanged)
  /// What slice labels say.
  Q_PROPERTY(Labels labels MEMBER mLabels WRITE setLabels NOTIFY chartChanged)
  /// Labels beside the pie with leaders, not on the slices.
  Q_PROPERTY(bool labelsOutside MEMBER mLabelsOutside WRITE setLabelsOutside NOTIFY chartChanged)
  /// Slices narrower than this many degrees get no label inside.
  Q_PROPERTY(int minLabelAngle MEMBER mMinLabelAngle WRITE setMinLabelAngle NOTIFY chartChanged)
  /// A label's text: {name}, {value}, {percent}; empty for the labels' style.
  Q_PROPERTY(QString labelFormat MEMBER mLabelFormat WRITE setLabelFormat NOTIFY chartChanged)
  /// A legend entry's text, as labelFormat.
  Q_PROPERTY(QString legendFormat MEMBER mLegendFormat WRITE setLegendFormat NOTIFY chartChanged)
  /// The legend, which hides and shows slices; on by default.
  Q_PROPERTY(bool legend MEMBER mLegend WRITE setLegend NOTIFY chartChanged)
  /// A hatch over each slice and its legend swatch, one of eight, so that
  /// slices can be told apart without their colours; off by default.
  Q_PROPERTY(bool patterns MEMBER mPatterns WRITE setPatterns NOTIFY chartChanged)
  /// Where the legend goes: PieChart.AutoLegend (the default: below the pie
  /// in an item taller than wide, else beside it, on the right or, in a
  /// right-to-left application, the left), LegendRight,
  /// LegendBottom, LegendLeft, LegendTop, NoLegend.
  Q_PROPERTY(LegendPosition legendPosition MEMBER mLegendPosition WRITE setLegendPosition NOTIFY
                 chartChanged)
  /// Text in the middle of the hole.
  Q_PROPERTY(QString centerText MEMBER mCenterText WRITE setCenterText NOTIFY chartChanged)
  /// What a chart without slices says.
  Q_PROPERTY(QString emptyText MEMBER mEmptyText WRITE setEmptyText NOTIFY chartChanged)
  /// The order slices are drawn in.
  Q_PROPERTY(Sort sortSlices MEMBER mSort WRITE setSortSlices NOTIFY chartChanged)
  /// Pixels of background between neighbouring slices.
  Q_PROPERTY(qreal sliceGap MEMBER mSliceGap WRITE setSliceGap NOTIFY chartChanged)
  /// The radius of the slices' corners, in pixels.
  Q_PROPERTY(qreal cornerRadius MEMBER mCornerRadius WRITE setCornerRadius NOTIFY chartChanged)
  /// How slices are filled: FlatSlices, or RadialSlices (lighter towards the
  /// centre).
  Q_PROPERTY(Gradient gradient MEMBER mGradient WRITE setGradient NOTIFY chartChanged)
  /// How radius values become reach: RadiusByArea (the default; a slice of 4
  /// reaches twice as far as one of 1) or RadiusByLength.
  Q_PROPERTY(RadiusScale radiusScale MEMBER mRadiusScale WRITE setRadiusScale NOTIFY chartChanged)
  /// Decimals of the percents shown, 0 to 6.
  Q_PROPERTY(
      int percentDecimals MEMBER mPercentDecimals WRITE setPercentDecimals NOTIFY chartChanged)
  /// Decimals of the values shown, 0 to 6.
  Q_PROPERTY(int valueDecimals MEMBER mValueDecimals WRITE setValueDecimals NOTIFY chartChanged)
  /// The decimal separator of the numbers shown.
  Q_PROPERTY(QString decimalPoint MEMBER mDecimalPoint WRITE setDecimalPoint NOTIFY chartChanged)
  /// The thousands separator of the numbers shown; none by default.
  Q_PROPERTY(
      QString groupSeparator MEMBER mGroupSeparator WRITE setGroupSeparator NOTIFY chartChanged)
  /// The outline round the pie and its slices; unset, the palette's window
  /// text where it reads on the background, else black or white.
  Q_PROPERTY(QColor outlineColor MEMBER mOutlineColor WRITE setOutlineColor NOTIFY chartChanged)
  /// The colour of labels, leaders, legend and centre text; unset, as
  /// outlineColor.
  Q_PROPERTY(QColor textColor MEMBER mTextColor WRITE setTextColor NOTIFY chartChanged)
  /// Behind the chart, in its hole and where a pulled-out slice was; unset,
  /// its window's colour (the application palette's window colour in a window
  /// that is not opaque).
  Q_PROPERTY(QColor backgroundColor MEMBER mBackground WRITE setBackgroundColor NOTIFY chartChanged)
  /// The keyboard's ring; the application palette's highlight unless set.
  Q_PROPERTY(QColor highlightColor MEMBER mHighlight WRITE setHighlightColor NOTIFY chartChanged)
  /// The text's font; the application's unless set.
  Q_PROPERTY(QFont font MEMBER mFont WRITE setFont NOTIFY chartChanged)

  /// Milliseconds the slices take to move; 600 by default.
  Q_PROPERTY(
      int animationDuration READ animationDuration WRITE setAnimationDuration NOTIFY chartChanged)
  /// The slice under the pointer drawn lighter; on by default.
  Q_PROPERTY(bool hoverHighlight READ hoverHighlight WRITE setHoverHighlight NOTIFY chartChanged)
  /// Pixels the slice under the pointer moves out, animated, room kept; 0 by
  /// default (it stays), at most 100.
  Q_PROPERTY(qreal hoverExpand READ hoverExpand WRITE setHoverExpand NOTIFY chartChanged)
  /// The keyboard's slice (-1: none), the pointer's, and the tooltip of what
  /// the pointer is on: bind a ToolTip's text to it.
  Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
  /// The slice under the pointer, -1 for none.
  Q_PROPERTY(int hoveredIndex READ hoveredIndex NOTIFY hovered)
  /// The tooltip of what the pointer is on, a slice, a legend entry or
  /// "+N more", kept up to date as the chart changes under it: bind a
  /// ToolTip's text to it.
  Q_PROPERTY(QString toolTip READ toolTip NOTIFY hovered)
  /// Where the pointer is over the chart, in its coordinates: place the
  /// ToolTip beside it.
  Q_PROPERTY(QPointF pointerPosition READ pointerPosition NOTIFY hovered)

 public:
  /// What slice labels say: PieChart.NoLabels, Percent, Name, NameAndPercent.
  enum Labels { NoLabels, Percent, Name, NameAndPercent };
  Q_ENUM(Labels)
  /// The slices' order: PieChart.Unsorted, Descending, Ascending.
  enum Sort { Unsorted, Descending, Ascending };
  Q_ENUM(Sort)
  /// Where the legend goes, as PieView's.
  enum LegendPosition { AutoLegend, LegendRight, LegendBottom, LegendLeft, LegendTop, NoLegend };
  Q_ENUM(LegendPosition)
  /// How slices are filled, as the chart's SliceShading says.
  enum Gradient { FlatSlices, RadialSlices };
  Q_ENUM(Gradient)
  /// How radius values become reach, as the chart's RadiusScale.
  enum RadiusScale { RadiusByArea, RadiusByLength };
  Q_ENUM(RadiusScale)

  /// An empty chart.
  explicit PieChart(QQuickItem* parent = nullptr);
  ~PieChart() override;

  ///@{
  /// Accessors of the properties above, for C++.
  QVariant model() const { return mModel; }
  void setModel(const QVariant& model);
  QString nameRole() const { return mRoles[0]; }
  void setNameRole(const QString& role);
  QString valueRole() const { return mRoles[1]; }
  void setValueRole(const QString& role);
  QString colorRole() const { return mRoles[2]; }
  void setColorRole(const QString& role);
  int levels() const;
  void setLevels(int levels);
  QModelIndex rootIndex() const;
  void setRootIndex(const QModelIndex& root);
  QString radiusRole() const { return mRoles[3]; }
  void setRadiusRole(const QString& role);
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
  void setLegendPosition(LegendPosition position);
  void setPatterns(bool on);
  void setCenterText(const QString& text);
  void setEmptyText(const QString& text);
  void setSortSlices(Sort order);
  void setSliceGap(qreal pixels);
  void setCornerRadius(qreal pixels);
  void setGradient(Gradient gradient);
  void setRadiusScale(RadiusScale scale);
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
  qreal hoverExpand() const;
  void setHoverExpand(qreal pixels);
  int currentIndex() const;
  void setCurrentIndex(int index);
  int hoveredIndex() const;
  QString toolTip() const;
  QPointF pointerPosition() const { return mPointer; }
  ///@}

  ///@{
  /// A hidden slice leaves the total; its legend entry is drawn greyed.
  Q_INVOKABLE void setSliceVisible(int index, bool visible);
  Q_INVOKABLE bool isSliceVisible(int index) const;
  ///@}
  /// The slices' names and numbers, as a screen reader says them.
  Q_INVOKABLE QStringList sliceNames() const;
  /// The index of the slice or legend entry at a point, -1 where none.
  Q_INVOKABLE int indexAt(qreal x, qreal y) const;
  /// The chart as a PNG (or other image) at `ratio`, or as SVG or PDF; false,
  /// with a warning, where it cannot be written.
  Q_INVOKABLE bool saveImage(const QUrl& file, qreal ratio = 1.0) const;
  /// The picture and the slices as tab-separated text (name, value, percent)
  /// to the clipboard, as Ctrl+C on the focused chart does.
  Q_INVOKABLE void copy() const;

  ///@{
  /// For the accessibility layer: the slices' names in the picture's order,
  /// the index each stands for, and where a slice lies.
  QList<int> sliceIndexes() const;
  QRectF sliceRect(int index) const;
  ///@}

 signals:
  /// The model or a role changed.
  void modelChanged();
  /// The number of slices changed.
  void countChanged();
  /// An option changed.
  void chartChanged();
  /// The keyboard moved to another slice.
  void currentIndexChanged();
  /// Another row's children fill the circle.
  void rootIndexChanged();
  /// The pointer moved onto another slice or off the slices: hoveredIndex
  /// and toolTip changed.
  void hovered();
  /// The slice or legend entry clicked.
  void sliceClicked(int index);
  /// The slice under the pointer, -1 when it leaves the slices.
  void sliceHovered(int index);
  /// Space or Enter on the keyboard's slice.
  void sliceActivated(int index);
  /// A slice was hidden or shown.
  void sliceVisibilityChanged(int index, bool visible);

 protected:
  ///@{
  /// The picture, and Qt Quick's handlers through which the chart follows the
  /// pointer and the keyboard.
  void PaintPicture(QPainter& painter, QSizeF size) override;
  bool Opaque() const override;
  void componentComplete() override;
  void mousePressEvent(QMouseEvent* event) override;
  void hoverMoveEvent(QHoverEvent* event) override;
  void hoverLeaveEvent(QHoverEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void itemChange(ItemChange change, const ItemChangeData& value) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  ///@}

 private:
  void ReadModel();
  void SetRoles();
  void Apply();  ///< the properties to the chart, and a new picture
  void SetLook() const;
  QColor Background() const;
  QMetaObject::Connection mWindowColour;  // the window's colour, followed
  QPointer<QQuickWindow> mWindow;
  void PointerMoved(QPointF at);
  QPointF mPointer{-1, -1};  // outside: (-1, -1)
  QString mToolTip;
  void AnnounceFocus(int index);
  friend struct detail::PieChartAccess;  // the accessible table reads the state

  std::unique_ptr<detail::PieState> mState;
  QVariant mModel;
  QString mRoles[4] = {QStringLiteral("name"), QStringLiteral("value"), QStringLiteral("color"),
                       QString()};
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
  LegendPosition mLegendPosition = AutoLegend;
  bool mPatterns = false;
  QString mCenterText;
  QString mEmptyText;
  Sort mSort = Unsorted;
  qreal mSliceGap = 0;
  qreal mCornerRadius = 0;
  Gradient mGradient = FlatSlices;
  RadiusScale mRadiusScale = RadiusByArea;
  int mPercentDecimals = 0;
  int mValueDecimals = 0;
  QString mDecimalPoint = QStringLiteral(".");
  QString mGroupSeparator;
  QColor mOutlineColor;  // invalid: what reads on the background
  QColor mTextColor;
  QColor mBackground;
  QColor mHighlight;
  QFont mFont;
};

}  // namespace xamlpie::quick

#endif  // XAMLPIE_QUICK_PIECHART_H_
