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
};
}  // namespace xamlpie::detail

namespace xamlpie::quick {
namespace {

QRect OnScreen(const QQuickItem& item, const QRectF& local) {
  const QRectF scene = item.mapRectToScene(local);
  if (item.window() == nullptr) return scene.toAlignedRect();
  return QRect(item.window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
}

class SliceAccessible : public detail::PartAccessible {
 public:
  SliceAccessible(PieChart* chart, int index) : mChart(chart), mIndex(index) {}

  bool isValid() const override { return mChart && mIndex < mChart->sliceNames().size(); }
  QWindow* window() const override { return mChart ? mChart->window() : nullptr; }
  QAccessibleInterface* parent() const override {
    return mChart ? QAccessible::queryAccessibleInterface(mChart.data()) : nullptr;
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
  int childCount() const override { return static_cast<int>(Chart()->sliceNames().size()); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    while (static_cast<int>(mChildren.size()) <= index) {
      auto* slice = new SliceAccessible(Chart(), static_cast<int>(mChildren.size()));
      mChildren.push_back(QAccessible::registerAccessibleInterface(slice));
    }
    return QAccessible::accessibleInterface(mChildren[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t i = 0; i < mChildren.size(); ++i) {
      if (QAccessible::accessibleInterface(mChildren[i]) == child) return static_cast<int>(i);
    }
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    const auto at = static_cast<int>(Chart()->sliceIndexes().indexOf(Chart()->currentIndex()));
    return Chart()->hasActiveFocus() && at >= 0 ? child(at) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    if (Chart()->window() == nullptr) return nullptr;
    const QPointF local =
        Chart()->mapFromScene(Chart()->window()->mapFromGlobal(QPoint(x, y)).toPointF());
    const int index = Chart()->indexAt(local.x(), local.y());
    const auto at = static_cast<int>(Chart()->sliceIndexes().indexOf(index));
    return index >= 0 && at >= 0 ? child(at) : nullptr;
  }

 private:
  PieChart* Chart() const { return static_cast<PieChart*>(object()); }

  mutable std::vector<QAccessible::Id> mChildren;
  detail::DataTableAccessible mTable{
      [this] { return detail::PieChartAccess::Rows(*Chart()); },
      [this] { return QAccessible::queryAccessibleInterface(Chart()); }};
};

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
