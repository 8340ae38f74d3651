// A part of a chart for screen readers (a slice): what every such part
// answers alike, whatever chart it is part of. It has no object of its own;
// its chart says the rest. In a tree (a sunburst), each part's children are
// the slices of its row's children, so a reader walks levels as a tree.

#ifndef XAMLPIE_PARTACCESSIBLE_H_
#define XAMLPIE_PARTACCESSIBLE_H_

#include <QAccessible>
#include <QAccessibleInterface>
#include <algorithm>
#include <vector>

namespace xamlpie::detail {

// Per part, the part it lies under (-1: the chart), from the row each part
// stands for and each row's parent row (none: a flat chart).
inline std::vector<int> PartParents(const std::vector<int>& rows,
                                    const std::vector<int>& parentRows) {
  std::vector<int> parents(rows.size(), -1);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int row = rows[i];
    if (row < 0 || static_cast<std::size_t>(row) >= parentRows.size()) continue;
    const auto up = std::find(rows.begin(), rows.end(), parentRows[static_cast<std::size_t>(row)]);
    if (parentRows[static_cast<std::size_t>(row)] >= 0 && up != rows.end())
      parents[i] = static_cast<int>(up - rows.begin());
  }
  return parents;
}

// The parts directly under `part` (-1: the chart), in the picture's order.
inline std::vector<int> PartChildren(const std::vector<int>& parents, int part) {
  std::vector<int> children;
  for (std::size_t i = 0; i < parents.size(); ++i) {
    if (parents[i] == part) children.push_back(static_cast<int>(i));
  }
  return children;
}

// The part under `part` (-1: the chart) that `inner` lies in, or is.
inline int PartUnder(const std::vector<int>& parents, int inner, int part) {
  while (inner >= 0 && static_cast<std::size_t>(inner) < parents.size() &&
         parents[static_cast<std::size_t>(inner)] != part) {
    inner = parents[static_cast<std::size_t>(inner)];
  }
  return inner;
}

// A chart's parts for screen readers: one interface per part (its place in
// the picture's order) for the chart's life, kept by Qt's registry.
class PartRegistry {
 public:
  // The part's interface, made by `make` the first time it is asked for;
  // null past the `count` parts there are.
  template <typename Make>
  QAccessibleInterface* Part(int part, int count, Make&& make) const {
    if (part < 0 || part >= count) return nullptr;
    while (static_cast<int>(mIds.size()) <= part)
      mIds.push_back(QAccessible::registerAccessibleInterface(make(static_cast<int>(mIds.size()))));
    return QAccessible::accessibleInterface(mIds[static_cast<std::size_t>(part)]);
  }
  // Where an interface lies among the parts `under` one; -1 if not there.
  int PlaceAmong(const QAccessibleInterface* child, const std::vector<int>& under) const {
    for (std::size_t i = 0; i < under.size(); ++i) {
      const auto at = static_cast<std::size_t>(under[i]);
      if (at < mIds.size() && QAccessible::accessibleInterface(mIds[at]) == child)
        return static_cast<int>(i);
    }
    return -1;
  }

 private:
  mutable std::vector<QAccessible::Id> mIds;
};

class PartAccessible : public QAccessibleInterface {
 public:
  QObject* object() const override { return nullptr; }
  QList<std::pair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation) const override {
    return {};
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  void setText(QAccessible::Text, const QString&) override {}
  QAccessible::Role role() const override { return QAccessible::ListItem; }
};

}  // namespace xamlpie::detail

#endif  // XAMLPIE_PARTACCESSIBLE_H_
