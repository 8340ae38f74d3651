// A part of a chart for screen readers (a slice): what every such part
// answers alike, whatever chart it is part of. It has no children and no
// object of its own; its chart says the rest.

#ifndef XAMLPIE_PARTACCESSIBLE_H_
#define XAMLPIE_PARTACCESSIBLE_H_

#include <QAccessibleInterface>

namespace xamlpie::detail {

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
