#include "DataTableAccessible.h"

#include <QCoreApplication>

#include "PartAccessible.h"

namespace xamlpie::detail {

namespace {

QString Header(int column) {
  switch (column) {
    case 0:
      return QCoreApplication::translate("xamlpie::PieView", "Name");
    case 1:
      return QCoreApplication::translate("xamlpie::PieView", "Value");
    case 2:
      return QCoreApplication::translate("xamlpie::PieView", "Percent");
    default:
      return {};
  }
}

// A cell: read only, its text its name, placed where its chart is.
class DataCell : public PartAccessible, public QAccessibleTableCellInterface {
 public:
  DataCell(const DataTableAccessible* table, int row, int column)
      : mTable(table), mRow(row), mColumn(column) {}

  bool isValid() const override { return mRow < mTable->rowCount(); }
  QWindow* window() const override {
    QAccessibleInterface* chart = mTable->Chart();
    return chart != nullptr ? chart->window() : nullptr;
  }
  QAccessibleInterface* parent() const override { return mTable->Chart(); }
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name || t == QAccessible::Value) return mTable->Cell(mRow, mColumn);
    if (t == QAccessible::Description) return Header(mColumn);
    return {};
  }
  QRect rect() const override {
    QAccessibleInterface* chart = mTable->Chart();
    return chart != nullptr ? chart->rect() : QRect();
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface
               ? static_cast<QAccessibleTableCellInterface*>(this)
               : nullptr;
  }

  bool isSelected() const override { return false; }
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return mColumn; }
  int rowIndex() const override { return mRow; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return mTable->Chart(); }

 private:
  const DataTableAccessible* mTable;
  int mRow;
  int mColumn;
};

}  // namespace

DataTableAccessible::DataTableAccessible(std::function<std::vector<DataRow>()> rows,
                                         std::function<QAccessibleInterface*()> chart)
    : mRows(std::move(rows)), mChart(std::move(chart)) {}

// The cells point back at this table: they go with it.
DataTableAccessible::~DataTableAccessible() {
  for (const auto& [at, id] : mCells)
    QAccessible::deleteAccessibleInterface(id);
}

QString DataTableAccessible::Cell(int row, int column) const {
  const std::vector<DataRow> rows = mRows();
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return {};
  const DataRow& r = rows[static_cast<std::size_t>(row)];
  switch (column) {
    case 0:
      return r.name;
    case 1:
      return r.value;
    case 2:
      return r.hidden ? QCoreApplication::translate("xamlpie::PieView", "hidden") : r.percent;
    default:
      return {};
  }
}

QAccessibleInterface* DataTableAccessible::cellAt(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
  auto [at, added] = mCells.try_emplace({row, column}, QAccessible::Id{});
  if (added) at->second = QAccessible::registerAccessibleInterface(new DataCell(this, row, column));
  return QAccessible::accessibleInterface(at->second);
}

QString DataTableAccessible::columnDescription(int column) const {
  return Header(column);
}

QString DataTableAccessible::rowDescription(int row) const {
  return Cell(row, 0);
}

int DataTableAccessible::rowCount() const {
  return static_cast<int>(mRows().size());
}

}  // namespace xamlpie::detail
