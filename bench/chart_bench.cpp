// Speed of the markup: the demo chart, and how the cost grows with the slices.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "demo_chart.h"
#include "xamlpie/cXAMLPieChart.h"

namespace {

void BM_DemoChart(benchmark::State& state) {
  const xamlpie::cXAMLPieChart chart = xamlpie::test::DemoChart(state.range(0) != 0);
  for (auto _ : state) {
    std::string markup = chart.XAML();
    benchmark::DoNotOptimize(markup.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(chart.XAML().size()));
}
BENCHMARK(BM_DemoChart)->ArgName("doughnut")->Arg(0)->Arg(1);

// The demo's slices named, labelled (inside, or outside with leaders), with a
// legend and centre text.
void BM_FeatureChart(benchmark::State& state) {
  xamlpie::cXAMLPieChart chart = xamlpie::test::DemoChart(true);
  chart.Clear();
  const char* names[] = {"Red", "Yellow", "Blue", "Green", "Magenta"};
  const std::int32_t shares[] = {20, 10, 25, 5, 40};
  const xamlpie::ColorValue colours[] = {0x000000FF, 0x0000FFFF, 0x00FF0000, 0x0000FF00,
                                         0x00FF00FF};
  for (int i = 0; i < 5; ++i)
    chart.AddDataItem(shares[i], colours[i], names[i]);
  chart.SliceLabels(xamlpie::LabelStyle::NameAndPercent);
  chart.LabelsOutside(state.range(0) != 0);
  chart.Legend(true);
  chart.CenterText("Colours");
  for (auto _ : state) {
    std::string markup = chart.XAML();
    benchmark::DoNotOptimize(markup.data());
  }
}
BENCHMARK(BM_FeatureChart)->ArgName("outside")->Arg(0)->Arg(1);

// Every slice is 1 %, so the rim points grow in step with the items and the
// chart winds round the circle many times.
void BM_Slices(benchmark::State& state) {
  xamlpie::cXAMLPieChart chart;
  chart.Size(250);
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    chart.AddDataItem(1, static_cast<xamlpie::ColorValue>(i * 0x010203));
  }
  const std::string once = chart.XAML();
  // Each point is followed by a space; every polygon has one centre point.
  const auto points = std::count(once.begin(), once.end(), ',');
  std::int64_t polygons = 0;
  for (auto at = once.find("<Polygon"); at != std::string::npos;
       at = once.find("<Polygon", at + 1)) {
    ++polygons;
  }
  const std::int64_t rim = points - polygons;
  for (auto _ : state) {
    std::string markup = chart.XAML();
    benchmark::DoNotOptimize(markup.data());
  }
  state.counters["rim_points"] = static_cast<double>(rim);
  state.counters["per_rim_point"] =
      benchmark::Counter(static_cast<double>(rim), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_Slices)->ArgName("items")->RangeMultiplier(10)->Range(10, 10000);

// A chart of values: twelve slices with formatted labels and a legend, and
// growth with the number of slices (each value the same, so the circle is
// shared out ever finer). Shaped: with gaps and rounded corners.
void ValueChart(benchmark::State& state, bool shaped) {
  xamlpie::cXAMLPieChart chart;
  chart.Size(250);
  if (shaped) {
    chart.SliceGap(3);
    chart.CornerRadius(5);
  }
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    chart.AddValue(1000.0 + static_cast<double>(i % 7) * 123.45,
                   static_cast<xamlpie::ColorValue>(i * 0x010203), "Slice");
  }
  chart.SliceLabels(xamlpie::LabelStyle::NameAndPercent);
  chart.LabelFormat("{percent} %");
  chart.PercentDecimals(1);
  chart.ValueDecimals(2);
  chart.GroupSeparator(",");
  chart.Legend(state.range(0) <= 12);
  chart.LegendFormat("{name}: {value}");
  for (auto _ : state) {
    std::string markup = chart.XAML();
    benchmark::DoNotOptimize(markup.data());
  }
  state.SetComplexityN(state.range(0));
}
void BM_ValueChart(benchmark::State& state) {
  ValueChart(state, false);
}
void BM_ShapedValueChart(benchmark::State& state) {
  ValueChart(state, true);
}
BENCHMARK(BM_ValueChart)->ArgName("slices")->Arg(12)->Arg(100)->Arg(1000)->Complexity();
BENCHMARK(BM_ShapedValueChart)->ArgName("slices")->Arg(12)->Arg(100)->Arg(1000)->Complexity();

}  // namespace

BENCHMARK_MAIN();
