// A pie or doughnut chart widget bound to data: rows of a model (or a list of
// slices) drawn as a chart made for the widget's own size, with its text at
// the widget's font size, a legend that hides and shows slices, animation,
// keyboard walking, tooltips and selection.
//
//   auto* model = new QStandardItemModel(0, 2);   // name, value
//   model->appendRow({new QStandardItem("Rent"), new QStandardItem("1200")});
//   auto* view = new xamlpie::PieView;
//   view->chart().DoughnutWidth(60);              // options as for cXAMLPieChart
//   view->setModel(model);

#ifndef XAMLPIE_PIEVIEW_H_
#define XAMLPIE_PIEVIEW_H_

#include <QColor>
#include <QEasingCurve>
#include <QItemSelectionModel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "xamlpie/MarkupScene.h"
#include "xamlpie/PieSlice.h"
#include "xamlpie/cXAMLPieChart.h"

class QAbstractItemModel;

namespace xamlpie {

namespace detail {
class PieState;
struct PieViewAccess;
}  // namespace detail

/// A pie or doughnut chart widget bound to data: the rows of a model (or a
/// list of slices) drawn as a chart made for the widget's own size, with a
/// legend that hides and shows slices, animation, keyboard walking, tooltips,
/// selection and screen readers. See the README's "A chart bound to data".
class PieView : public QWidget {
  Q_OBJECT
  /// Milliseconds the slices take to move; animationDuration().
  Q_PROPERTY(int animationDuration READ animationDuration WRITE setAnimationDuration)
  /// How they move; animationEasing().
  Q_PROPERTY(QEasingCurve animationEasing READ animationEasing WRITE setAnimationEasing)
  /// The slice under the pointer drawn lighter; hoverHighlight().
  Q_PROPERTY(bool hoverHighlight READ hoverHighlight WRITE setHoverHighlight)
  /// Pixels the slice under the pointer moves out; hoverExpand().
  Q_PROPERTY(qreal hoverExpand READ hoverExpand WRITE setHoverExpand)
  /// Levels of a tree model drawn as rings; levels().
  Q_PROPERTY(int levels READ levels WRITE setLevels)
  /// The keyboard's slice; currentSlice().
  Q_PROPERTY(int currentSlice READ currentSlice WRITE setCurrentSlice)

  /// The chart's options, named as the QML PieChart's; each reads and writes
  /// chart(), so the two stay in step. chartChanged tells of a change made
  /// through these.
  /// The hole's share of the pie's radius, 0 for a pie; holeSize().
  Q_PROPERTY(qreal holeSize READ holeSize WRITE setHoleSize NOTIFY chartChanged)
  /// Where the first slice starts, in degrees from 3 o'clock.
  Q_PROPERTY(int startAngle READ startAngle WRITE setStartAngle NOTIFY chartChanged)
  /// The arc the slices share, 1 to 360 degrees.
  Q_PROPERTY(int sweepAngle READ sweepAngle WRITE setSweepAngle NOTIFY chartChanged)
  /// Whether slices follow each other clockwise.
  Q_PROPERTY(bool clockwise READ clockwise WRITE setClockwise NOTIFY chartChanged)
  /// What slice labels say.
  Q_PROPERTY(Labels labels READ labels WRITE setLabels NOTIFY chartChanged)
  /// Labels beside the pie with leaders, not on the slices.
  Q_PROPERTY(bool labelsOutside READ labelsOutside WRITE setLabelsOutside NOTIFY chartChanged)
  /// Slices narrower than this many degrees get no label inside.
  Q_PROPERTY(int minLabelAngle READ minLabelAngle WRITE setMinLabelAngle NOTIFY chartChanged)
  /// A label's text: {name}, {value}, {percent}; empty for the labels' style.
  Q_PROPERTY(QString labelFormat READ labelFormat WRITE setLabelFormat NOTIFY chartChanged)
  /// A legend entry's text, as labelFormat.
  Q_PROPERTY(QString legendFormat READ legendFormat WRITE setLegendFormat NOTIFY chartChanged)
  /// The view's legend, which hides and shows slices; on by default.
  Q_PROPERTY(bool legend READ legend WRITE setLegend NOTIFY chartChanged)
  /// A hatch over each slice and its legend swatch, one of eight, so that
  /// slices can be told apart without their colours; off by default.
  Q_PROPERTY(bool patterns READ patterns WRITE setPatterns NOTIFY chartChanged)
  /// Where the legend goes; AutoLegend by default.
  Q_PROPERTY(
      LegendPosition legendPosition READ legendPosition WRITE setLegendPosition NOTIFY chartChanged)
  /// Text in the middle of the hole.
  Q_PROPERTY(QString centerText READ centerText WRITE setCenterText NOTIFY chartChanged)
  /// What a chart without slices says.
  Q_PROPERTY(QString emptyText READ emptyText WRITE setEmptyText NOTIFY chartChanged)
  /// The order slices are drawn in.
  Q_PROPERTY(Sort sortSlices READ sortSlices WRITE setSortSlices NOTIFY chartChanged)
  /// Pixels of background between neighbouring slices.
  Q_PROPERTY(qreal sliceGap READ sliceGap WRITE setSliceGap NOTIFY chartChanged)
  /// The radius of the slices' corners, in pixels.
  Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY chartChanged)
  /// How slices are filled: flat, or shaded lighter towards the centre.
  Q_PROPERTY(Gradient gradient READ gradient WRITE setGradient NOTIFY chartChanged)
  /// How a rose's radius values set how far slices reach; radiusColumn().
  Q_PROPERTY(RadiusScale radiusScale READ radiusScale WRITE setRadiusScale NOTIFY chartChanged)
  /// Decimals of the percents shown, 0 to 6.
  Q_PROPERTY(int percentDecimals READ percentDecimals WRITE setPercentDecimals NOTIFY chartChanged)
  /// Decimals of the values shown, 0 to 6.
  Q_PROPERTY(int valueDecimals READ valueDecimals WRITE setValueDecimals NOTIFY chartChanged)
  /// The decimal separator of the numbers shown.
  Q_PROPERTY(QString decimalPoint READ decimalPoint WRITE setDecimalPoint NOTIFY chartChanged)
  /// The thousands separator of the numbers shown; none by default.
  Q_PROPERTY(QString groupSeparator READ groupSeparator WRITE setGroupSeparator NOTIFY chartChanged)
  /// The outline round the pie and its slices; left black (the chart's
  /// default), the palette's window text where it reads on the window colour,
  /// else black or white, and it follows palette changes.
  Q_PROPERTY(QColor outlineColor READ outlineColor WRITE setOutlineColor NOTIFY chartChanged)
  /// The colour of labels, leaders, legend and centre text; left black, as
  /// outlineColor.
  Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor NOTIFY chartChanged)

 public:
  /// What slice labels say, as the chart's LabelStyle.
  enum Labels { NoLabels, Percent, Name, NameAndPercent };
  Q_ENUM(Labels)
  /// The slices' order, as the chart's SortOrder.
  enum Sort { Unsorted, Descending, Ascending };
  Q_ENUM(Sort)
  /// Where the legend goes. AutoLegend: below the pie in a view taller than
  /// wide, else beside it, on the right (on the left in a right-to-left
  /// view); with outside labels, wherever leaves them and the pie more room. A legend that does not
  /// fit whole has its names elided and ends in "+N more", which lists the rest. NoLegend is
  /// setLegend(false).
  enum LegendPosition { AutoLegend, LegendRight, LegendBottom, LegendLeft, LegendTop, NoLegend };
  Q_ENUM(LegendPosition)
  /// How slices are filled, as SliceShading says.
  enum Gradient { FlatSlices, RadialSlices };
  Q_ENUM(Gradient)
  /// How radius values become reach, as the chart's RadiusScale: by area (a
  /// slice of 4 reaches twice as far as one of 1) or by length.
  enum RadiusScale { RadiusByArea, RadiusByLength };
  Q_ENUM(RadiusScale)

  /// An empty view: no model, no slices.
  explicit PieView(QWidget* parent = nullptr);
  ~PieView() override;

  ///@{
  /// The options every picture is made with: hole, start, direction, labels
  /// and their formats, centre text, colours, gaps, corners... Size and
  /// margins are the view's: the pie takes the room there is and a hole keeps
  /// its share of the pie's width. Legend turns the view's own legend on (the
  /// default) or off. The text is at the widget's font unless FontSize is set
  /// to other than 12. Changes show at the next update(); markup() and hit
  /// tests see them at once.
  cXAMLPieChart& chart();
  const cXAMLPieChart& chart() const;
  ///@}

  ///@{
  /// Rows are slices (columns with Qt::Horizontal): the name from
  /// nameColumn's Qt::DisplayRole, its colour from the same cell's
  /// Qt::DecorationRole when that holds a QColor (else the palette's next),
  /// the value from valueColumn's Qt::EditRole (or DisplayRole) as a number.
  /// A value that is not a finite number of 0 or more shows as a missing
  /// slice and is reported once through qWarning with its row (an empty
  /// cell, as a row just inserted has, is missing without a word). The view
  /// follows every change of the model; it does not own it.
  void setModel(QAbstractItemModel* model);
  QAbstractItemModel* model() const;
  void setNameColumn(int column);
  int nameColumn() const;
  void setValueColumn(int column);
  int valueColumn() const;
  ///@}
  ///@{
  /// Where the colours are, as Qt::DecorationRole; -1 (the default): in the
  /// name's cell.
  void setColorColumn(int column);
  int colorColumn() const;
  void setOrientation(Qt::Orientation orientation);
  Qt::Orientation orientation() const;
  ///@}
  ///@{
  /// A sunburst from a tree model: with 2 or more, the children of each row
  /// (as QAbstractItemModel::index(row, column, parent) gives them) are the
  /// next ring outward, each within its parent's angle, up to that many
  /// levels (at most 8); the top rows lie innermost. A parent whose value
  /// cell is empty counts the sum of its children; children without a
  /// colour take shades of their parent's, and move with it when it is
  /// pulled out. The legend lists the top rows. 1 (the default): the top
  /// rows only, as a flat model. Rows, not columns (Qt::Vertical).
  void setLevels(int levels);
  int levels() const;
  ///@}
  ///@{
  /// Drilling down: the row whose children fill the circle (invalid, the
  /// default: the top rows). With levels() above 1, clicking a slice that
  /// has rows under it (or Enter on it) makes it the root; clicking beside
  /// the slices (the hole), Backspace or Escape goes up a level. The path
  /// to the root is the centre text unless centerText() says otherwise.
  /// rootIndexChanged tells of each change, a model reset's return to the
  /// top included.
  void setRootIndex(const QModelIndex& root);
  QModelIndex rootIndex() const;
  ///@}
  ///@{
  /// A rose (Nightingale) chart: each slice reaches out by the number in
  /// this column (read as values are), the largest to the rim, by
  /// radiusScale(); the angle is still the value's share. An empty cell
  /// gives no radius: the slice reaches the rim. A radius that is not a
  /// finite number of 0 or more makes a missing slice, reported as a bad
  /// value is. -1 (the default): a plain chart. PieSlice::radius is the same
  /// without a model.
  void setRadiusColumn(int column);
  int radiusColumn() const;
  ///@}

  /// Slices without a model; setting them drops the model.
  void setSlices(const QList<PieSlice>& slices);
  /// The slices as read (from the model or as set).
  QList<PieSlice> slices() const;

  /// The colours given in turn to slices without one of their own:
  /// xamlpie::DefaultPalette().
  static QList<QColor> defaultPalette() { return DefaultPalette(); }

  ///@{
  /// How long the slices take to move to new data, to sweep in when first
  /// shown, and to hide, show or pull out; 0: at once. Default 600 ms,
  /// negative values are taken as 0.
  int animationDuration() const;
  void setAnimationDuration(int milliseconds);
  ///@}
  ///@{
  /// Default QEasingCurve::OutCubic.
  QEasingCurve animationEasing() const;
  void setAnimationEasing(const QEasingCurve& easing);
  ///@}

  ///@{
  /// A hidden slice leaves the total; its legend entry is drawn greyed. The
  /// row's visibility stays with its index while the model changes.
  void setSliceVisible(int row, bool visible);
  bool isSliceVisible(int row) const;
  ///@}

  ///@{
  /// A selected slice is pulled out by a tenth of the pie's radius; a click
  /// selects (with Ctrl, adds or takes away). Shared with a table view, the
  /// two select together. The view does not own it.
  void setSelectionModel(QItemSelectionModel* selection);
  QItemSelectionModel* selectionModel() const;
  ///@}

  ///@{
  /// The slice the keyboard is on (arrows, Home, End), -1 before any.
  int currentSlice() const;
  void setCurrentSlice(int row);
  ///@}

  ///@{
  /// Shapes under the pointer: the slice (or its legend entry) drawn lighter.
  /// On by default.
  bool hoverHighlight() const;
  void setHoverHighlight(bool on);
  ///@}

  ///@{
  /// Pixels the slice under the pointer (or whose legend entry it is on)
  /// moves out, animated; the pie keeps room for it so that nothing else
  /// moves or is cut. 0 by default: it stays; clamped to 0 to 100.
  qreal hoverExpand() const;
  void setHoverExpand(qreal pixels);
  ///@}

  ///@{
  /// The markup of the picture at the view's size as it stands now, and the
  /// shapes it was read into (a slice's polygons are tagged with its row, a
  /// legend entry's shapes "L" and the row).
  QString markup() const;
  const std::vector<MarkupShape>& shapes() const;
  ///@}
  /// The row of the slice or legend entry under a point, -1 where there is
  /// none; `legend` tells which. With levels() above 1, a slice's number
  /// counts the top rows first, then each level's rows in order.
  int sliceAt(QPointF point, bool* legend = nullptr) const;
  /// The model's index (the row's first cell) of the slice or legend entry
  /// under a point, at any level of a tree; invalid where there is none or
  /// without a model.
  QModelIndex indexAt(QPointF point) const;
  /// A plain-language description: the slices' names and numbers.
  QString description() const;

  ///@{
  /// The options as properties (see the QML PieChart). holeSize is the
  /// hole's share of the pie's radius, 0 for a pie, at most 0.95; the rest
  /// are clamped or ignored as the chart's setters do.
  qreal holeSize() const;
  void setHoleSize(qreal share);
  int startAngle() const;
  void setStartAngle(int degrees);
  int sweepAngle() const;
  void setSweepAngle(int degrees);
  bool clockwise() const;
  void setClockwise(bool on);
  Labels labels() const;
  void setLabels(Labels labels);
  bool labelsOutside() const;
  void setLabelsOutside(bool on);
  int minLabelAngle() const;
  void setMinLabelAngle(int degrees);
  QString labelFormat() const;
  void setLabelFormat(const QString& format);
  QString legendFormat() const;
  void setLegendFormat(const QString& format);
  ///@}
  ///@{
  /// The view's own legend, beside or below the pie; on by default.
  bool legend() const;
  void setLegend(bool on);
  bool patterns() const;
  void setPatterns(bool on);
  LegendPosition legendPosition() const;
  void setLegendPosition(LegendPosition position);
  QString centerText() const;
  void setCenterText(const QString& text);
  QString emptyText() const;
  void setEmptyText(const QString& text);
  Sort sortSlices() const;
  void setSortSlices(Sort order);
  qreal sliceGap() const;
  void setSliceGap(qreal pixels);
  qreal cornerRadius() const;
  void setCornerRadius(qreal pixels);
  Gradient gradient() const;
  void setGradient(Gradient gradient);
  RadiusScale radiusScale() const;
  void setRadiusScale(RadiusScale scale);
  int percentDecimals() const;
  void setPercentDecimals(int decimals);
  int valueDecimals() const;
  void setValueDecimals(int decimals);
  QString decimalPoint() const;
  void setDecimalPoint(const QString& text);
  QString groupSeparator() const;
  void setGroupSeparator(const QString& text);
  QColor outlineColor() const;
  void setOutlineColor(const QColor& colour);
  QColor textColor() const;
  void setTextColor(const QColor& colour);
  ///@}

  /// Writes the view as it shows to a file whose suffix picks the format:
  /// ".png" (or any format QImage writes) at the given pixel ratio, ".svg" or
  /// ".pdf" as vector shapes and text. On failure returns false, puts the
  /// reason in `error` and leaves no file behind.
  bool saveImage(const QString& fileName, qreal devicePixelRatio = 1.0,
                 QString* error = nullptr) const;
  /// The picture (PNG) and the slices as tab-separated text (name, value,
  /// percent), as Ctrl+C on the focused view puts them on the clipboard.
  void copy() const;

  /// 400 x 300.
  QSize sizeHint() const override;
  /// 120 x 90: below that the text would crowd the pie out.
  QSize minimumSizeHint() const override;

 signals:
  /// The row under the pointer, -1 when it leaves the slices.
  void sliceHovered(int row);
  /// The row of the slice or legend entry clicked.
  void sliceClicked(int row);
  /// Space or Enter on the current slice.
  void sliceActivated(int row);
  /// A slice was hidden or shown (its legend entry clicked, Shift+Space or
  /// setSliceVisible).
  void sliceVisibilityChanged(int row, bool visible);
  /// An option changed through its property.
  void chartChanged();
  /// Another row's children fill the circle; rootIndex().
  void rootIndexChanged();

 protected:
  ///@{
  /// Qt's event handlers, through which the widget paints, follows the pointer
  /// and the keyboard, and answers palette, font and tooltip events.
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  ///@}

 private:
  void AnnounceFocus();
  void OptionsChanged();
  template <typename T, typename Set>
  void SetOption(const T& value, T (PieView::*get)() const, Set set);
  detail::PieState& State() const;
  friend struct detail::PieViewAccess;  // the accessible table reads the state

  std::unique_ptr<detail::PieState> mState;
};

}  // namespace xamlpie

#endif  // XAMLPIE_PIEVIEW_H_
