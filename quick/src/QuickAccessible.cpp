// Screen readers and the QML chart: one accessible child per slice and
// legend entry, and the data as a table, made from the same view state the
// widget's are.
#include "QuickAccessible.h"

#include <QAccessibleObject>
#include <QPointer>
#include <QQuickWindow>
#include <vector>

#include "DataTableAccessible.h"
#include "PartAccessible.h"
#include "PieState.h"
#include "xamlpie/quick/PieChart.h"

namespace xamlpie::detail {
struct PieChartAccess {
  static std::vector<DataRow> Rows(const quick::PieChart& chart) {
    return chart.mState->DataRows();
  }
  static std::vector<int> ParentRows(const quick::PieChart& chart) {
    return chart.mState->ParentRows();
  }
};
}  // namespace xamlpie::detail

namespace xamlpie::quick {
namespace {

QRect OnScreen(const QQuickItem& item, const QRectF& local) {
  const QRectF scene = item.mapRectToScene(local);
  if (item.window() == nullptr) return scene.toAlignedRect();
  return QRect(item.window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
}

// Per part (slice in the picture's order), the part it lies under in a
// tree (-1: the chart).
std::vector<int> PartParents(const PieChart& chart) {
  const QList<int> indexes = chart.sliceIndexes();
  return detail::PartParents(std::vector<int>(indexes.begin(), indexes.end()),
                             detail::PieChartAccess::ParentRows(chart));
}

class ChartAccessible;

class SliceAccessible : public detail::PartAccessible {
 public:
  SliceAccessible(PieChart* chart, int index) : mChart(chart), mIndex(index) {}

  bool isValid() const override { return mChart && mIndex < mChart->sliceNames().size(); }
  QWindow* window() const override { return mChart ? mChart->window() : nullptr; }
  // In a tree, the slice it lies in, and the slices in it.
  QAccessibleInterface* parent() const override;
  int childCount() const override {
    return mChart ? static_cast<int>(detail::PartChildren(PartParents(*mChart), mIndex).size()) : 0;
  }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessible::Role role() const override {
    return mChart && !detail::PieChartAccess::ParentRows(*mChart).empty() ? QAccessible::TreeItem
                                                                          : QAccessible::ListItem;
  }
  QString text(QAccessible::Text t) const override {
    if (!isValid() || t != QAccessible::Name) return {};
    return mChart->sliceNames()[mIndex];
  }
  QRect rect() const override {
    return mChart ? OnScreen(*mChart, mChart->sliceRect(mIndex)) : QRect();
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    state.focusable = true;
    state.invisible = !mChart || !mChart->isVisible();
    state.focused = mChart && mChart->hasActiveFocus() && mChart->currentIndex() == Row();
    return state;
  }

 private:
  // The chart's index of the slice this child stands for: children follow
  // the picture, which a sorted chart draws in another order.
  int Row() const {
    const QList<int> rows = mChart ? mChart->sliceIndexes() : QList<int>();
    return mIndex < rows.size() ? rows[mIndex] : -1;
  }
  ChartAccessible* Chart() const;

  QPointer<PieChart> mChart;
  int mIndex;
};

class ChartAccessible : public QAccessibleObject {
 public:
  explicit ChartAccessible(PieChart* chart) : QAccessibleObject(chart) {}

  // The numbers as a table too.
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface)
      return static_cast<QAccessibleTableInterface*>(&mTable);
    return QAccessibleObject::interface_cast(type);
  }

  QWindow* window() const override { return Chart()->window(); }
  QAccessibleInterface* parent() const override {
    QQuickItem* up = Chart()->parentItem();
    return up != nullptr ? QAccessible::queryAccessibleInterface(up) : nullptr;
  }
  QAccessible::Role role() const override { return QAccessible::Chart; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.focusable = true;
    state.focused = Chart()->hasActiveFocus();
    state.invisible = !Chart()->isVisible();
    return state;
  }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) return {};
    const QStringList names = Chart()->sliceNames();
    return names.isEmpty() ? PieChart::tr("Chart")
                           : PieChart::tr("Chart: %1").arg(names.join(QStringLiteral("; ")));
  }
  QRect rect() const override {
    return OnScreen(*Chart(), QRectF(0, 0, Chart()->width(), Chart()->height()));
  }
  // The slices (a tree's top ones).
  int childCount() const override { return static_cast<int>(Under(-1).size()); }
  QAccessibleInterface* child(int index) const override {
    const std::vector<int> children = Under(-1);
    if (index < 0 || index >= static_cast<int>(children.size())) return nullptr;
    return Slice(children[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return PlaceAmong(child, -1);
  }
  // The slice the keyboard is on, at whatever level.
  QAccessibleInterface* focusChild() const override {
    const auto at = static_cast<int>(Chart()->sliceIndexes().indexOf(Chart()->currentIndex()));
    return Chart()->hasActiveFocus() && at >= 0 ? Slice(at) : nullptr;
  }
  // The slice at a point of the screen (in a tree, the top one it lies in).
  QAccessibleInterface* childAt(int x, int y) const override { return SliceAt(x, y, -1); }

  // The interface of the part at a place in the picture's order.
  QAccessibleInterface* Slice(int part) const {
    return mParts.Part(part, static_cast<int>(Chart()->sliceNames().size()),
                       [this](int at) { return new SliceAccessible(Chart(), at); });
  }
  std::vector<int> Under(int part) const {
    return detail::PartChildren(PartParents(*Chart()), part);
  }
  int PlaceAmong(const QAccessibleInterface* child, int part) const {
    return mParts.PlaceAmong(child, Under(part));
  }
  QAccessibleInterface* SliceAt(int x, int y, int part) const {
    if (Chart()->window() == nullptr) return nullptr;
    const QPointF local =
        Chart()->mapFromScene(Chart()->window()->mapFromGlobal(QPoint(x, y)).toPointF());
    const int index = Chart()->indexAt(local.x(), local.y());
    const auto at = static_cast<int>(Chart()->sliceIndexes().indexOf(index));
    if (index < 0 || at < 0) return nullptr;
    const int under = detail::PartUnder(PartParents(*Chart()), at, part);
    return under >= 0 && under != part ? Slice(under) : nullptr;
  }

 private:
  PieChart* Chart() const { return static_cast<PieChart*>(object()); }

  detail::PartRegistry mParts;
  detail::DataTableAccessible mTable{
      [this] { return detail::PieChartAccess::Rows(*Chart()); },
      [this] { return QAccessible::queryAccessibleInterface(Chart()); }};
};

ChartAccessible* SliceAccessible::Chart() const {
  return mChart
             ? dynamic_cast<ChartAccessible*>(QAccessible::queryAccessibleInterface(mChart.data()))
             : nullptr;
}

QAccessibleInterface* SliceAccessible::parent() const {
  if (!mChart) return nullptr;
  const std::vector<int> parents = PartParents(*mChart);
  const int up =
      mIndex < static_cast<int>(parents.size()) ? parents[static_cast<std::size_t>(mIndex)] : -1;
  ChartAccessible* chart = Chart();
  if (up >= 0 && chart != nullptr) return chart->Slice(up);
  return QAccessible::queryAccessibleInterface(mChart.data());
}

QAccessibleInterface* SliceAccessible::child(int index) const {
  ChartAccessible* chart = Chart();
  if (chart == nullptr) return nullptr;
  const std::vector<int> children = chart->Under(mIndex);
  if (index < 0 || index >= static_cast<int>(children.size())) return nullptr;
  return chart->Slice(children[static_cast<std::size_t>(index)]);
}

int SliceAccessible::indexOfChild(const QAccessibleInterface* child) const {
  ChartAccessible* chart = Chart();
  return chart != nullptr ? chart->PlaceAmong(child, mIndex) : -1;
}

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("xamlpie::quick::PieChart") && object != nullptr) {
    if (auto* chart = qobject_cast<PieChart*>(object)) return new ChartAccessible(chart);
  }
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace xamlpie::quick
