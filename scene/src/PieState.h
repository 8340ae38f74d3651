// What a chart view bound to data is, whatever shows it: the slices read
// from a model, which are hidden and selected, the animation between
// pictures, the keyboard's and the pointer's slice, and the picture made
// for a size, a font and a palette. The widget (PieView) and the Qt Quick
// item (PieChart) hand it their events and paint what it gives.

#ifndef XAMLPIE_PIESTATE_H_
#define XAMLPIE_PIESTATE_H_

#include <QEasingCurve>
#include <QFont>
#include <QItemSelectionModel>
#include <QLocale>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "DataTableAccessible.h"
#include "PieData.h"
#include "xamlpie/MarkupScene.h"
#include "xamlpie/cXAMLPieChart.h"

class QPainter;
class QVariantAnimation;

namespace xamlpie::detail {

// Where a view's legend goes: auto is below the pie in a view taller than
// wide, else beside it, after the pie as the view reads (on the right, or
// the left of a right-to-left view).
enum class LegendPlace { Auto, Right, Bottom, Left, Top, None };

class PieState : public QObject {
  Q_OBJECT

 public:
  PieState();
  ~PieState() override;

  cXAMLPieChart& Options() { return mOptions; }
  const cXAMLPieChart& Options() const { return mOptions; }
  PieData& Data() { return *mData; }
  const PieData& Data() const { return *mData; }
  int Count() const { return static_cast<int>(mData->Slices().size()); }

  int AnimationDuration() const { return mDuration; }
  void SetAnimationDuration(int milliseconds);
  QEasingCurve AnimationEasing() const { return mEasing; }
  void SetAnimationEasing(const QEasingCurve& easing) { mEasing = easing; }

  void SetSliceVisible(int row, bool visible);
  bool IsSliceVisible(int row) const;
  void SetSelectionModel(QItemSelectionModel* selection);
  QItemSelectionModel* SelectionModel() const { return mSelection; }

  int Current() const { return mCurrent; }
  void SetCurrent(int row);
  int Hovered() const { return mHovered; }
  void Hover(int row);
  bool HoverHighlight() const { return mHoverHighlight; }
  void SetHoverHighlight(bool on);
  // Pixels the hovered slice moves out (0 to 100; 0: it does not); the pie
  // keeps room for it, as for a selection, so that it stands still.
  double HoverExpand() const { return mHoverExpand; }
  void SetHoverExpand(double pixels);
  // The view's own legend, beside or below the pie where it fits: the
  // chart's Legend option, on by default.
  bool Legend() const { return mOptions.Legend(); }
  void SetLegend(bool on);
  LegendPlace LegendPosition() const { return mLegendPlace; }
  // A hatch over each slice and its legend swatch, one of eight by its
  // palette place, so that slices are told apart without their colours.
  bool Patterns() const { return mPatterns; }
  void SetPatterns(bool on);
  void SetLegendPosition(LegendPlace place);

  // A tree's row whose children fill the circle (invalid: the top rows),
  // and the way back up; the path to it is the centre text unless the
  // chart has one.
  QModelIndex RootIndex() const { return mData->Root(); }
  void SetRootIndex(const QModelIndex& root);
  bool Up();

  // The first time the chart is shown: it sweeps in from the start angle.
  void Show();

  // What the picture is made for; a change makes a new one.
  void SetLook(QSizeF size, const QFont& font, const QPalette& palette,
               Qt::LayoutDirection direction, const QLocale& locale);
  // The options may have changed: the next picture is made anew.
  void Invalidate() { mStale = true; }
  const MarkupScene* Scene() const;
  QString Markup() const;
  // The row of the slice or legend entry under a point, -1 where none.
  int SliceAt(QPointF point, bool* legend = nullptr) const;
  // The tooltip of the topmost shape under a point that has one: a slice's
  // numbers, a legend entry's "click to hide", the names behind "+N more".
  QString ToolTipAt(QPointF point) const;
  // The slices' accessible names, in the picture's order, each once; with
  // `rows`, the row each stands for.
  QStringList Names(QList<int>* rows = nullptr) const;

  // The slices as tab-separated text with a heading line: name, value and
  // percent of the shown total (empty for a hidden or missing slice), as a
  // spreadsheet takes it from the clipboard.
  QString DataTable() const;
  // The numbers of the rows as a screen reader's table reads them.
  std::vector<DataRow> DataRows() const;
  // Each slice's parent slice in a tree (-1: a top row); empty when flat.
  std::vector<int> ParentRows() const {
    return mData->Levels() > 1 ? mData->Parents() : std::vector<int>();
  }

  // The picture over the palette's window colour, filling `area` (logical
  // pixels at the painter's origin), with the keyboard's slice ringed when
  // `focused`.
  void Paint(QPainter& painter, QSizeF area, bool focused) const;

  // Input, in the view's logical pixels; true where it was taken.
  bool Press(QPointF point, bool toggle);
  void Move(QPointF point) { Hover(SliceAt(point)); }
  bool Key(int key, Qt::KeyboardModifiers modifiers);
  void FocusIn();

 signals:
  void Changed();  // the picture is to be painted again
  void SliceHovered(int row);
  void SliceClicked(int row);
  void SliceActivated(int row);
  void SliceVisibilityChanged(int row, bool visible);
  void CurrentChanged(int row);
  void RootChanged();

 private:
  bool TreeKey(int key);
  struct Frame;
  void OpenFrom(const Frame& now, int row);
  Frame Shown() const;
  void DataChanged();
  void Retarget();  // from what shows now to the visibility and selection
  void SelectionChanged();
  void Animate();
  void Update();

  cXAMLPieChart mOptions;
  std::unique_ptr<PieData> mData;
  QPointer<QItemSelectionModel> mSelection;
  QSet<std::uint64_t> mHidden;  // the rows hidden, by who they are
  // The slices shown, in their order: what the animation moves each from
  // and to, values and pulls.
  struct Entry {
    std::uint64_t id = 0;
    int row = -1;   // -1: a row gone, shrinking away where it was
    PieSlice gone;  // such a row's name and colour
    double from = 0;
    double to = 0;
    double pullFrom = 0;
    double pullTo = 0;
    double growFrom = 0;  // the hovered slice's growth
    double growTo = 0;
    double radiusFrom = -1;  // a rose's radius value; negative: none
    double radiusTo = -1;
  };
  std::vector<Entry> mEntries;
  std::vector<PieSlice> mRows;   // the rows the entries were made for
  std::vector<int> mRowParents;  // and their tree: each row's parent row
  std::vector<int> mRowLevels;
  double mSweepFrom = 1;
  double mSweepTo = 1;
  double mTurnFrom = 0;  // degrees on from the start angle, going to none
  int mOpening = -1;     // the row of the slice a drill-down opens
  QVariantAnimation* mAnimation = nullptr;
  int mDuration = 600;
  QEasingCurve mEasing{QEasingCurve::OutCubic};
  bool mShownOnce = false;
  int mCurrent = -1;
  int mHovered = -1;
  bool mHoverHighlight = true;
  double mHoverExpand = 0;
  LegendPlace mLegendPlace = LegendPlace::Auto;
  bool mPatterns = false;
  QPersistentModelIndex mShownRoot;  // the root the slices were read under
  bool mBelowTop = false;            // whether there was one
  QSizeF mSize;
  QFont mFont;
  QPalette mPalette;
  Qt::LayoutDirection mDirection = Qt::LeftToRight;
  QLocale mLocale;
  // The picture last composed.
  mutable Drawing mChart;
  mutable std::vector<MarkupShape> mLegend;
  mutable std::optional<MarkupScene> mScene;
  mutable bool mStale = true;
  mutable std::uint64_t mRevision = 0;  // of the options it was made of
};

}  // namespace xamlpie::detail

#endif  // XAMLPIE_PIESTATE_H_
