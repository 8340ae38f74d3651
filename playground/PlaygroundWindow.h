// xamlpie-playground's window: a table of slices, a control for every chart
// property, the chart drawn live, and its markup.

#ifndef XAMLPIE_PLAYGROUND_PLAYGROUNDWINDOW_H_
#define XAMLPIE_PLAYGROUND_PLAYGROUNDWINDOW_H_

#include <QJsonObject>
#include <QMainWindow>
#include <optional>
#include <string>

#include "xamlpie/SystemColors.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace xamlpie {

class MarkupLabel;
class PieView;
class cXAMLPieChart;

class PlaygroundWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit PlaygroundWindow(QWidget* parent = nullptr);

  // Reads a chart saved by Save. On a bad file reports what is wrong and
  // changes nothing; returns whether it loaded.
  bool Load(const QString& fileName);
  bool Save(const QString& fileName);
  // With no one to read a message box (a screenshot run), problems go to
  // standard error instead.
  void setReportToStandardError(bool on) { mReportToStandardError = on; }
  // The chart as JSON, and back; FromJson reports the first problem it finds.
  QJsonObject ToJson() const;
  bool FromJson(const QJsonObject& json, QString* problem);

  // The markup of the chart as the controls describe it; empty with a
  // message when the values cannot be shares.
  std::string BuildMarkup(QString* problem) const;
  // The controls' options, without slices.
  void ApplyOptions(cXAMLPieChart& chart) const;

  // Table columns.
  enum Column { kName, kValue, kColour, kExplode, kRing, kRadius, kParent, kColumns };

  QTableWidget* table = nullptr;
  QCheckBox* chkRawValues = nullptr;
  QSpinBox* spnSize = nullptr;
  QSpinBox* spnMarginLeft = nullptr;
  QSpinBox* spnMarginTop = nullptr;
  QSpinBox* spnHoleWidth = nullptr;
  QSpinBox* spnStartAngle = nullptr;
  QSpinBox* spnSweepAngle = nullptr;
  QDoubleSpinBox* spnSliceGap = nullptr;
  QDoubleSpinBox* spnCornerRadius = nullptr;
  QSpinBox* spnRingWidth = nullptr;  // of each inner ring
  QCheckBox* chkClockwise = nullptr;
  QCheckBox* chkShaded = nullptr;
  QCheckBox* chkRoseByLength = nullptr;
  QComboBox* cboLabels = nullptr;
  QCheckBox* chkLabelsOutside = nullptr;
  QSpinBox* spnMinLabelAngle = nullptr;
  QCheckBox* chkLegend = nullptr;
  QLineEdit* txtCentre = nullptr;
  QSpinBox* spnGroupBelow = nullptr;
  QLineEdit* txtGroupLabel = nullptr;
  QSpinBox* spnFontSize = nullptr;
  QComboBox* cboSort = nullptr;
  QLineEdit* txtEmpty = nullptr;
  QLineEdit* txtLabelFormat = nullptr;
  QLineEdit* txtLegendFormat = nullptr;
  QSpinBox* spnPercentDecimals = nullptr;
  QSpinBox* spnValueDecimals = nullptr;
  QLineEdit* txtDecimalSeparator = nullptr;
  QLineEdit* txtGroupSeparator = nullptr;
  QPushButton* btnOutline = nullptr;
  QPushButton* btnText = nullptr;
  QPushButton* btnHole = nullptr;
  QPushButton* btnGroup = nullptr;
  MarkupLabel* lblChart = nullptr;
  PieView* pieView = nullptr;  // the same chart bound to the table
  QTabWidget* tabPictures = nullptr;
  QPlainTextEdit* txtMarkup = nullptr;
  QPushButton* btnCopy = nullptr;
  QLabel* lblTotal = nullptr;  // the shares' total; a warning when not 100
  QPushButton* btnScale = nullptr;
  QLabel* lblProblem = nullptr;    // cells that cannot be read, until mended
  QLabel* lblViewOmits = nullptr;  // what the PieView tab leaves out of the table

 public slots:
  void Refresh();
  // The values as whole percents adding up to 100.
  void ScaleTo100();
  // The chart of the shown tab onto a printer's page, and File > Print's
  // preview of it.
  void Print(QPrinter* printer);
  void PrintPreview();

 protected:
  // Shows a problem to the user; tests replace the message box.
  virtual void ReportError(const QString& message);

 private:
  // A row; its radius and parent cells left empty without them (a plain
  // slice). `parent` is a row as the table numbers them, from 1.
  void AddRow(const QString& name, double value, const QColor& colour, int explode, int ring = 0,
              std::optional<double> radius = std::nullopt, int parent = 0);
  void BuildTable();
  QHBoxLayout* BuildRowButtons();
  QFormLayout* BuildOptions();
  QWidget* BuildControls(QHBoxLayout* rowButtons, QFormLayout* form);
  QWidget* BuildPictures();
  QWidget* BuildViewPane();
  void BuildMenu();
  void ConnectOptions();
  void UpdateTotal();
  void MoveRow(int by);
  void PickSliceColour();
  void Export(const QString& kind);
  void OpenFile();
  void SaveFile();

  bool mLoading = false;  // no refresh while the table is filled
  bool mReportToStandardError = false;
};

}  // namespace xamlpie

#endif  // XAMLPIE_PLAYGROUND_PLAYGROUNDWINDOW_H_
