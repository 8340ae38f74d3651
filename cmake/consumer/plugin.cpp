#include <xamlpie/cXAMLPieChart.h>

#include <cstddef>

__attribute__((visibility("default"))) std::size_t DemoMarkupLength() {
  xamlpie::cXAMLPieChart chart;
  chart.MarginLeft(25);
  chart.MarginTop(25);
  chart.Size(250);
  chart.AddDataItem(20, 0x000000FF);
  chart.AddDataItem(10, 0x0000FFFF);
  chart.AddDataItem(25, 0x00FF0000);
  chart.AddDataItem(5, 0x0000FF00);
  chart.AddDataItem(40, 0x00FF00FF);
  return chart.XAML().size();
}
