// The demo's window: a fixed five-slice chart in a markup label, and a check
// box that puts the doughnut hole in and takes it out.

#ifndef XAMLPIE_DEMO_FORM1_H_
#define XAMLPIE_DEMO_FORM1_H_

#include <QWidget>

class QCheckBox;

namespace xamlpie {

class MarkupLabel;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);

  // Builds the chart afresh from the check box's state and shows it. An error
  // is reported and the previous chart stays.
  void DrawChart();

  MarkupLabel* lblPieChart = nullptr;
  QCheckBox* chkDoughnut = nullptr;

 protected:
  // Shows an error that stopped a drawing; tests replace the message box.
  virtual void ReportError(const QString& message);

 private:
  void DrawChartOrThrow();
};

// Layout is given in twips; 15 twips are one logical pixel.
constexpr int TwipsToPixels(int twips) {
  return twips / 15;
}

}  // namespace xamlpie

#endif  // XAMLPIE_DEMO_FORM1_H_
