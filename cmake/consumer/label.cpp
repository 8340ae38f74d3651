// A chart in a resizable window: the label fits its layout.

#include <xamlpie/MarkupLabel.h>
#include <xamlpie/cXAMLPieChart.h>

#include <QApplication>
#include <QImage>
#include <QVBoxLayout>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  xamlpie::FollowApplicationPalette();

  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* label = new xamlpie::MarkupLabel;
  label->setStretch(xamlpie::Stretch::Uniform);
  layout->addWidget(label);

  xamlpie::cXAMLPieChart chart;
  chart.AddDataItem(100, xamlpie::ToColorValue(QColor(255, 128, 0)));
  label->setCaption(QString::fromStdString(chart.XAML()));
  window.resize(400, 300);
  window.show();
  QCoreApplication::processEvents();

  const QImage image = label->grab().toImage();
  const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
  std::printf("label %dx%d centre %s\n", label->width(), label->height(),
              qPrintable(centre.name()));
  return centre == QColor(255, 128, 0) ? 0 : 1;
}
