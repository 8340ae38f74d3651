// Prints the markup of the demo's chart; "--doughnut" adds the hole.

#include <xamlpie/cXAMLPieChart.h>

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
  xamlpie::cXAMLPieChart chart;
  chart.MarginLeft(25);
  chart.MarginTop(25);
  chart.Size(250);
  chart.AddDataItem(20, 0x000000FF);  // red
  chart.AddDataItem(10, 0x0000FFFF);  // yellow
  chart.AddDataItem(25, 0x00FF0000);  // blue
  chart.AddDataItem(5, 0x0000FF00);   // green
  chart.AddDataItem(40, 0x00FF00FF);  // magenta
  const bool doughnut = argc > 1 && std::strcmp(argv[1], "--doughnut") == 0;
  chart.DoughnutWidth(doughnut ? 50 : 0);
  chart.BackgroundColor(0x00C0C0FF);
  std::cout << chart.XAML() << '\n';
}
