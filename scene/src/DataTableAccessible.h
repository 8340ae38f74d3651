// A chart's numbers for screen readers, as a table beside its picture: one
// row a slice, its name, value and percent, a hidden slice marked. The
// widget's and Qt Quick's chart interfaces both offer it, so a screen-reader
// user reads every number without walking the slices.

#ifndef XAMLPIE_DATATABLEACCESSIBLE_H_
#define XAMLPIE_DATATABLEACCESSIBLE_H_

#include <QAccessibleInterface>
#include <QString>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace xamlpie::detail {

// One row of the table, as the chart shows it.
struct DataRow {
  QString name;
  QString value;
  QString percent;  // empty for a hidden slice or a bad value
  bool hidden = false;
};

class DataTableAccessible : public QAccessibleTableInterface {
 public:
  // `rows` gives the rows as they are now; `chart` the interface the table
  // belongs to (the cells' parent).
  DataTableAccessible(std::function<std::vector<DataRow>()> rows,
                      std::function<QAccessibleInterface*()> chart);
  ~DataTableAccessible() override;
  DataTableAccessible(const DataTableAccessible&) = delete;
  DataTableAccessible& operator=(const DataTableAccessible&) = delete;

  // The text of a cell; an empty string outside the table.
  QString Cell(int row, int column) const;
  QAccessibleInterface* Chart() const { return mChart(); }

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  int selectedCellCount() const override { return 0; }
  QList<QAccessibleInterface*> selectedCells() const override { return {}; }
  QString columnDescription(int column) const override;
  QString rowDescription(int row) const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  int columnCount() const override { return 3; }
  int rowCount() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

 private:
  std::function<std::vector<DataRow>()> mRows;
  std::function<QAccessibleInterface*()> mChart;
  mutable std::map<std::pair<int, int>, QAccessible::Id> mCells;
};

}  // namespace xamlpie::detail

#endif  // XAMLPIE_DATATABLEACCESSIBLE_H_
