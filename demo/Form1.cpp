#include "Form1.h"

#include <QCheckBox>
#include <QFont>
#include <QMessageBox>
#include <exception>
#include <string>

#include "xamlpie/MarkupLabel.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie {
namespace {

QRect Twips(int left, int top, int width, int height) {
  return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

constexpr ColorValue kButtonFace = 0x8000000Fu;
constexpr ColorValue kButtonText = 0x80000012u;

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("XAML Pie Chart"));
  QFont tahoma(QStringLiteral("Tahoma"));
  tahoma.setStyleHint(QFont::SansSerif);  // where Tahoma is missing
  tahoma.setPointSizeF(8.25);
  setFont(tahoma);
  setFixedSize(TwipsToPixels(6540), TwipsToPixels(5085));

  lblPieChart = new MarkupLabel(this);
  lblPieChart->setObjectName(QStringLiteral("lblPieChart"));
  lblPieChart->setGeometry(Twips(90, 90, 4500, 4500));
  lblPieChart->setCaption(QStringLiteral("Pie Chart Demo"));
  lblPieChart->setForeColor(kButtonText);
  lblPieChart->setBackColor(0x00C0C0FFu);

  chkDoughnut = new QCheckBox(QStringLiteral("Doughnut"), this);
  chkDoughnut->setObjectName(QStringLiteral("chkDoughnut"));
  chkDoughnut->setGeometry(Twips(4710, 120, 1605, 285));
  QPalette palette = chkDoughnut->palette();
  palette.setColor(QPalette::Window, OleColorToQColor(kButtonFace));
  palette.setColor(QPalette::WindowText, OleColorToQColor(kButtonText));
  palette.setColor(QPalette::ButtonText, OleColorToQColor(kButtonText));
  chkDoughnut->setPalette(palette);
  chkDoughnut->setAutoFillBackground(true);

  // clicked, unlike toggled, follows the user's own toggles only.
  connect(chkDoughnut, &QCheckBox::clicked, this, &Form1::DrawChart);

  DrawChart();  // before the window is first shown
}

void Form1::DrawChart() {
  // An exception must not cross Qt's event loop.
  try {
    DrawChartOrThrow();
  } catch (const std::exception& e) {
    ReportError(QString::fromLocal8Bit(e.what()));
  }
}

void Form1::DrawChartOrThrow() {
  cXAMLPieChart chart;
  chart.MarginLeft(25);
  chart.MarginTop(25);
  chart.Size(250);
  chart.AddDataItem(20, 0x000000FF);  // red
  chart.AddDataItem(10, 0x0000FFFF);  // yellow
  chart.AddDataItem(25, 0x00FF0000);  // blue
  chart.AddDataItem(5, 0x0000FF00);   // green
  chart.AddDataItem(40, 0x00FF00FF);  // magenta
  chart.DoughnutWidth(chkDoughnut->checkState() == Qt::Checked ? 50 : 0);
  chart.BackgroundColor(lblPieChart->BackColor());  // the hole looks like a hole
  const std::string markup = chart.XAML();
  lblPieChart->setCaption(
      QString::fromLatin1(markup.data(), static_cast<qsizetype>(markup.size())));
}

void Form1::ReportError(const QString& message) {
  QMessageBox::critical(this, windowTitle(), message);
}

}  // namespace xamlpie
