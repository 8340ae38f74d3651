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
}

class PieView : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int animationDuration READ animationDuration WRITE setAnimationDuration)
  Q_PROPERTY(QEasingCurve animationEasing READ animationEasing WRITE setAnimationEasing)

 public:
  explicit PieView(QWidget* parent = nullptr);
  ~PieView() override;

  // The options every picture is made with: hole, start, direction, labels
  // and their formats, centre text, colours, gaps, corners... Size, margins
  // and the legend are the view's: the pie takes the room there is, a hole
  // keeps its share of the pie's width, and the view draws its own legend.
  // The text is at the widget's font unless FontSize is set to other than
  // 12. Changes show at the next update().
  cXAMLPieChart& chart();
  const cXAMLPieChart& chart() const;

  // Rows are slices (columns with Qt::Horizontal): the name from
  // nameColumn's Qt::DisplayRole, its colour from the same cell's
  // Qt::DecorationRole when that holds a QColor (else the palette's next),
  // the value from valueColumn's Qt::EditRole (or DisplayRole) as a number.
  // A value that is not a finite number of 0 or more shows as a missing
  // slice and is reported once through qWarning with its row (an empty
  // cell, as a row just inserted has, is missing without a word). The view
  // follows every change of the model; it does not own it.
  void setModel(QAbstractItemModel* model);
  QAbstractItemModel* model() const;
  void setNameColumn(int column);
  int nameColumn() const;
  void setValueColumn(int column);
  int valueColumn() const;
  // Where the colours are, as Qt::DecorationRole; -1 (the default): in the
  // name's cell.
  void setColorColumn(int column);
  int colorColumn() const;
  void setOrientation(Qt::Orientation orientation);
  Qt::Orientation orientation() const;

  // Slices without a model; setting them drops the model.
  void setSlices(const QList<PieSlice>& slices);
  // The slices as read (from the model or as set).
  QList<PieSlice> slices() const;

  // The colours given in turn to slices without one of their own:
  // xamlpie::DefaultPalette().
  static QList<QColor> defaultPalette() { return DefaultPalette(); }

  // How long the slices take to move to new data, to sweep in when first
  // shown, and to hide, show or pull out; 0: at once. Default 600 ms,
  // negative values are taken as 0.
  int animationDuration() const;
  void setAnimationDuration(int milliseconds);
  // Default QEasingCurve::OutCubic.
  QEasingCurve animationEasing() const;
  void setAnimationEasing(const QEasingCurve& easing);

  // A hidden slice leaves the total; its legend entry is drawn greyed. The
  // row's visibility stays with its index while the model changes.
  void setSliceVisible(int row, bool visible);
  bool isSliceVisible(int row) const;

  // A selected slice is pulled out by a tenth of the pie's radius; a click
  // selects (with Ctrl, adds or takes away). Shared with a table view, the
  // two select together. The view does not own it.
  void setSelectionModel(QItemSelectionModel* selection);
  QItemSelectionModel* selectionModel() const;

  // The slice the keyboard is on (arrows, Home, End), -1 before any.
  int currentSlice() const;
  void setCurrentSlice(int row);

  // Shapes under the pointer: the slice (or its legend entry) drawn lighter.
  // On by default.
  bool hoverHighlight() const;
  void setHoverHighlight(bool on);

  // The markup of the picture at the view's size as it stands now, and the
  // shapes it was read into (a slice's polygons are tagged with its row, a
  // legend entry's shapes "L" and the row).
  QString markup() const;
  const std::vector<MarkupShape>& shapes() const;
  // The row of the slice or legend entry under a point, -1 where there is
  // none; `legend` tells which.
  int sliceAt(QPointF point, bool* legend = nullptr) const;
  // A plain-language description: the slices' names and numbers.
  QString description() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // The row under the pointer, -1 when it leaves the slices.
  void sliceHovered(int row);
  void sliceClicked(int row);
  // Space or Enter on the current slice.
  void sliceActivated(int row);
  void sliceVisibilityChanged(int row, bool visible);

 protected:
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

 private:
  void AnnounceFocus();
  detail::PieState& State() const;

  std::unique_ptr<detail::PieState> mState;
};

}  // namespace xamlpie

#endif  // XAMLPIE_PIEVIEW_H_
