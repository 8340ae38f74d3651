#include <xamlpie/cXAMLPieChart.h>
#include <xamlpie/version.h>

#include <cstddef>
#include <cstdio>
#include <utility>

#ifdef XAMLPIE_PLAIN
// Built by hand with pkg-config: the chart alone, in one file.
static std::size_t DemoMarkupLength() {
  xamlpie::cXAMLPieChart chart;
  chart.MarginLeft(25);
  chart.MarginTop(25);
  chart.Size(250);
  for (auto [share, colour] : {std::pair{20, 0x000000FFu},
                               {10, 0x0000FFFFu},
                               {25, 0x00FF0000u},
                               {5, 0x0000FF00u},
                               {40, 0x00FF00FFu}}) {
    chart.AddDataItem(share, colour);
  }
  return chart.XAML().size();
}
#else
std::size_t DemoMarkupLength();  // from the shared library
#endif

static_assert(XAMLPIE_VERSION >= 10100, "xamlpie 1.1 or later");

int main() {
  try {
    xamlpie::cXAMLPieChart broken;
    broken.Size(-2147483647 - 1);
    (void)broken.XAML();
    return 1;
  } catch (const xamlpie::OverflowError&) {
  }
  const std::size_t length = DemoMarkupLength();
  std::printf("consumer %s: %zu characters\n", XAMLPIE_VERSION_STRING, length);
  return length == 3231 ? 0 : 1;
}
