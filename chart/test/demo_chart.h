// The chart that xamlpie-demo shows, for tests and benchmarks.

#ifndef XAMLPIE_TEST_DEMO_CHART_H_
#define XAMLPIE_TEST_DEMO_CHART_H_

#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {

inline cXAMLPieChart DemoChart(bool doughnut) {
  cXAMLPieChart chart;
  chart.MarginLeft(25);
  chart.MarginTop(25);
  chart.Size(250);
  chart.AddDataItem(20, 0x000000FF);  // red
  chart.AddDataItem(10, 0x0000FFFF);  // yellow
  chart.AddDataItem(25, 0x00FF0000);  // blue
  chart.AddDataItem(5, 0x0000FF00);   // green
  chart.AddDataItem(40, 0x00FF00FF);  // magenta
  chart.DoughnutWidth(doughnut ? 50 : 0);
  chart.BackgroundColor(0x00C0C0FF);  // the demo label's background
  return chart;
}

}  // namespace xamlpie::test

#endif  // XAMLPIE_TEST_DEMO_CHART_H_
