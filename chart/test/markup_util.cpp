#include "markup_util.h"

#include <sstream>

#include "demo_chart.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::test {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", begin);
    lines.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return lines;
    begin = end + 2;
  }
}

std::string Attribute(const std::string& element, const std::string& name) {
  const std::string key = " " + name + "='";
  const std::size_t at = element.find(key);
  if (at == std::string::npos) return {};
  const std::size_t begin = at + key.size();
  return element.substr(begin, element.find('\'', begin) - begin);
}

std::vector<std::string> Elements(const std::string& markup, const std::string& tag) {
  std::vector<std::string> found;
  const std::string open = "<" + tag + " ";
  for (std::size_t at = markup.find(open); at != std::string::npos;
       at = markup.find(open, at + 1)) {
    found.push_back(markup.substr(at, markup.find("/>", at) + 2 - at));
  }
  return found;
}

// Colour text without its "#", so that a missing "#" shows as a mismatch.
static std::string Colour(const std::string& value) {
  if (value.empty() || value.front() != '#') return "(no #)" + value;
  return value.substr(1);
}

std::vector<Polygon> Polygons(const std::string& markup) {
  std::vector<Polygon> polygons;
  for (const std::string& element : Elements(markup, "Polygon")) {
    Polygon p;
    p.element = element;
    p.fill = Colour(Attribute(element, "Fill"));
    p.stroke = Colour(Attribute(element, "Stroke"));
    const std::string left = Attribute(element, "Canvas.Left");
    const std::string top = Attribute(element, "Canvas.Top");
    p.left = left.empty() ? 0 : std::stoi(left);
    p.top = top.empty() ? 0 : std::stoi(top);
    // Whole pixels, or hundredths where a slice is drawn smooth: rounded.
    std::istringstream points(Attribute(element, "Points"));
    double x = 0;
    double y = 0;
    char comma = 0;
    bool first = true;
    while (points >> x >> comma >> y) {
      const Point point(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
      if (first) {
        p.centre = point;
        first = false;
      } else {
        p.rim.push_back(point);
      }
      p.exact.emplace_back(x, y);
    }
    polygons.push_back(std::move(p));
  }
  return polygons;
}

std::vector<std::string> Ellipses(const std::string& markup) {
  return Elements(markup, "Ellipse");
}

Point RimPoint(std::int32_t size, int degree) {
  const std::int32_t whole = size / 2;  // the centre is truncated, the radius not
  const auto centre = static_cast<double>(whole);
  const double radius = size / 2.0 - 1.5;
  const double radians = degree * 3.141592653238 / 180.0;
  return {static_cast<int>(std::floor(radius * std::cos(radians) + centre)),
          static_cast<int>(std::floor(centre - radius * std::sin(radians)))};
}

std::string DemoMarkup(bool doughnut) {
  return DemoChart(doughnut).XAML();
}

}  // namespace xamlpie::test
