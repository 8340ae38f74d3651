// A form made in Qt Designer with both widgets, compiled by uic.

#include <QApplication>
#include <QStandardItemModel>
#include <cstdio>

#include "ui_chart.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  Ui::ChartForm form;
  form.setupUi(&window);

  QStandardItemModel model(0, 2);
  model.appendRow({new QStandardItem("Rent"), new QStandardItem("1200")});
  model.appendRow({new QStandardItem("Food"), new QStandardItem("640")});
  form.pieView->setModel(&model);
  window.show();
  QCoreApplication::processEvents();

  const bool ok = form.pieView->holeSize() == 0.5 &&
                  form.pieView->labels() == xamlpie::PieView::NameAndPercent &&
                  form.pieView->centerText() == QStringLiteral("Budget") &&
                  form.pieView->description().contains(QStringLiteral("Rent")) &&
                  form.markupLabel->hoverHighlight();
  std::printf("form: %s\n", qPrintable(form.pieView->description()));
  return ok ? 0 : 1;
}
