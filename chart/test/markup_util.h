// Reads the chart's markup back into polygons and ellipses, so that tests can
// state what was drawn instead of comparing long strings.

#ifndef XAMLPIE_TEST_MARKUP_UTIL_H_
#define XAMLPIE_TEST_MARKUP_UTIL_H_

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace xamlpie::test {

using Point = std::pair<int, int>;

struct Polygon {
  std::string element;  // the whole element, for its other attributes
  std::string fill;
  std::string stroke;
  int left = 0;
  int top = 0;
  Point centre;
  std::vector<Point> rim;
  std::vector<std::pair<double, double>> exact;  // every point as written
};

std::vector<std::string> Lines(const std::string& text);  // split at CR LF
std::string Attribute(const std::string& element, const std::string& name);
std::vector<Polygon> Polygons(const std::string& markup);
std::vector<std::string> Ellipses(const std::string& markup);
std::vector<std::string> Elements(const std::string& markup, const std::string& tag);

// Where the markup's rim point of `degree` lies on a chart of `size`.
Point RimPoint(std::int32_t size, int degree);

// A chart that draws the same slices as xamlpie-demo.
std::string DemoMarkup(bool doughnut);

}  // namespace xamlpie::test

#endif  // XAMLPIE_TEST_MARKUP_UTIL_H_
