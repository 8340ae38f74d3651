// Arbitrary bytes as a sequence of chart operations. Every markup the chart
// returns must be ASCII, CR LF separated, written from its drawing, and read
// back whole by the label's parser.

#include <fuzzer/FuzzedDataProvider.h>

#include <QGuiApplication>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "xamlpie/MarkupScene.h"
#include "xamlpie/cXAMLPieChart.h"

namespace {

using xamlpie::cXAMLPieChart;
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Positive shares add up to rim points: this many percent, eight turns of the
// circle, keep a chart's text near 25 KB and the fuzzer fast.
constexpr std::int64_t kShareBudget = 800;

// Each check reads the markup twice over; a few per input are plenty.
constexpr int kChecksPerInput = 4;

[[noreturn]] void Fail(const char* what, const std::string& markup) {
  std::fprintf(stderr, "chart_fuzz: %s\n%.2000s\n", what, markup.c_str());
  std::abort();
}

std::int32_t Geometry(FuzzedDataProvider& in) {
  static constexpr std::int32_t kEdges[] = {
      kMin, kMin + 1, kMax, kMax - 1, 1 << 30, -(1 << 30), 10000000, 10000001, -10000001, 0, 1, -1};
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return in.ConsumeIntegralInRange(-1000, 1000);
    case 1:
      return in.PickValueInArray(kEdges);
    default:
      return in.ConsumeIntegral<std::int32_t>();
  }
}

std::int32_t Share(FuzzedDataProvider& in) {
  static constexpr std::int32_t kEdges[] = {kMin, kMax, 5965233, -5965233, -5965232, 0, 100};
  if (in.ConsumeBool()) return in.PickValueInArray(kEdges);
  return in.ConsumeIntegralInRange(-400, 400);
}

// The element without its text attributes, whose digits are not numbers.
std::string WithoutText(std::string_view element) {
  std::string out;
  for (std::size_t at = 0; at < element.size();) {
    const std::size_t quote = element.find('\'', at);
    if (quote == std::string_view::npos) {
      out.append(element.substr(at));
      break;
    }
    const std::size_t close = element.find('\'', quote + 1);
    const std::string_view before = element.substr(at, quote - at);
    out.append(before);
    const bool text = before.ends_with(" Text=") || before.ends_with(" ToolTip=") ||
                      before.ends_with(" AutomationProperties.Name=") ||
                      before.ends_with(" FontFamily=");
    if (!text) out.append(element.substr(quote, close - quote));
    at = close == std::string_view::npos ? element.size() : close + 1;
  }
  return out;
}

// All numbers in an element lie within what the label accepts.
bool InLabelRange(std::string_view whole) {
  const std::string stripped = WithoutText(whole);
  const std::string_view element = stripped;
  for (std::size_t at = 0; at < element.size();) {
    if (element[at] < '0' || element[at] > '9') {
      ++at;
      continue;
    }
    std::int64_t value = 0;
    while (at < element.size() && element[at] >= '0' && element[at] <= '9') {
      value = value * 10 + (element[at++] - '0');
      if (value > 100000000) return false;
    }
    // Smooth slices write hundredths: any above zero make the number larger.
    bool fraction = false;
    if (at + 1 < element.size() && element[at] == '.' && element[at + 1] >= '0' &&
        element[at + 1] <= '9') {
      for (++at; at < element.size() && element[at] >= '0' && element[at] <= '9'; ++at)
        fraction = fraction || element[at] != '0';
    }
    const auto limit = static_cast<std::int64_t>(xamlpie::kMarkupCoordinateLimit);
    if (value > limit || (value == limit && fraction)) return false;
  }
  return true;
}

std::string_view AttributeOf(std::string_view element, std::string_view name) {
  const std::string key = " " + std::string(name) + "='";
  const std::size_t at = element.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t begin = at + key.size();
  return element.substr(begin, element.find('\'', begin) - begin);
}

void Check(const cXAMLPieChart& chart) {
  std::string markup;
  try {
    markup = chart.XAML();
  } catch (const xamlpie::OverflowError&) {
    return;
  } catch (const std::bad_alloc&) {
    return;
  }

  // The drawing it was written from: the same text, and no number that is
  // not finite for a renderer to meet.
  const xamlpie::Drawing drawing = chart.Draw();
  if (xamlpie::WriteXAML(drawing) != markup) Fail("the drawing writes other markup", markup);
  for (const xamlpie::Shape& shape : drawing.shapes) {
    bool finite = std::isfinite(shape.box.x) && std::isfinite(shape.box.y) &&
                  std::isfinite(shape.box.width) && std::isfinite(shape.box.height) &&
                  std::isfinite(shape.strokeWidth) && std::isfinite(shape.fontSize);
    for (const xamlpie::Point& p : shape.points)
      finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
    if (!finite) Fail("a number of the drawing is not finite", markup);
  }

  for (std::size_t i = 0; i < markup.size(); ++i) {
    const auto c = static_cast<unsigned char>(markup[i]);
    if (c == 0 || c > 0x7F) Fail("not ASCII", markup);
    if (c == '\r' && (i + 1 == markup.size() || markup[i + 1] != '\n')) Fail("lone CR", markup);
    if (c == '\n' && (i == 0 || markup[i - 1] != '\r')) Fail("lone LF", markup);
  }
  if (markup.rfind("<Canvas>\r\n", 0) != 0) Fail("no Canvas start", markup);
  if (markup.size() < 11 || markup.compare(markup.size() - 11, 11, "\r\n</Canvas>") != 0) {
    Fail("no Canvas end", markup);
  }

  // What the label must read back: every polygon, one a line, every ellipse
  // of a size it can draw and every text, rectangle and line, all within its
  // coordinate range.
  std::vector<std::size_t> polygonPoints;
  std::size_t ellipses = 0;
  std::size_t others = 0;
  std::string_view rest = markup;
  while (!rest.empty()) {
    const std::size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    if (line.rfind("<Polygon ", 0) == 0) {
      if (line.find("<Polygon ", 1) != std::string_view::npos) Fail("two polygons a line", markup);
      if (!InLabelRange(line)) continue;
      const std::string_view points = AttributeOf(line, "Points");
      std::size_t count = 0;
      for (char c : points)
        count += c == ',';
      polygonPoints.push_back(count);
    }
    for (const char* element : {"<TextBlock ", "<Rectangle ", "<Line "}) {
      if (line.rfind(element, 0) == 0 && InLabelRange(line)) ++others;
    }
    for (std::size_t at = line.find("<Ellipse "); at != std::string_view::npos;
         at = line.find("<Ellipse ", at + 1)) {
      const std::string_view element = line.substr(at, line.find("/>", at) - at);
      const bool negative = AttributeOf(element, "Width").starts_with('-') ||
                            AttributeOf(element, "Height").starts_with('-');
      if (!negative && InLabelRange(element)) ++ellipses;
    }
  }

  const std::optional<xamlpie::MarkupScene> scene = xamlpie::ParseMarkup(
      QString::fromLatin1(markup.data(), static_cast<qsizetype>(markup.size())));
  if (!scene) Fail("the label does not read the markup", markup);
  std::size_t polygon = 0;
  std::size_t ellipse = 0;
  std::size_t other = 0;
  for (const xamlpie::MarkupShape& shape : scene->shapes) {
    if (shape.kind == xamlpie::MarkupShape::Kind::Ellipse) {
      ++ellipse;
      continue;
    }
    if (shape.kind != xamlpie::MarkupShape::Kind::Polygon) {
      ++other;
      continue;
    }
    if (polygon >= polygonPoints.size() ||
        static_cast<std::size_t>(shape.points.size()) != polygonPoints[polygon]) {
      Fail("a polygon read back differently", markup);
    }
    ++polygon;
  }
  if (polygon != polygonPoints.size()) Fail("polygons lost", markup);
  if (ellipse != ellipses) Fail("ellipses lost", markup);
  if (other != others) Fail("text, rectangles or lines lost", markup);
}

}  // namespace

// Text in the markup is measured with the application's fonts.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  cXAMLPieChart chart;
  std::int64_t shares = 0;
  int checks = 0;
  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange(0, 37)) {
      case 0:
        chart.Size(Geometry(in));
        break;
      case 1:
        chart.MarginLeft(Geometry(in));
        break;
      case 2:
        chart.MarginTop(Geometry(in));
        break;
      case 3:
        chart.DoughnutWidth(Geometry(in));
        break;
      case 4:
        chart.BackgroundColor(in.ConsumeIntegral<std::uint32_t>());
        break;
      case 5:
        chart.Clear();
        shares = 0;
        break;
      case 6:
        if (++checks < kChecksPerInput) Check(chart);
        break;
      case 7:
        chart.StartAngle(Geometry(in));
        break;
      case 8:
        chart.Clockwise(in.ConsumeBool());
        break;
      case 9:
        chart.SliceLabels(static_cast<xamlpie::LabelStyle>(in.ConsumeIntegralInRange(0, 3)));
        break;
      case 10:
        chart.LabelsOutside(in.ConsumeBool());
        if (in.ConsumeBool()) chart.LabelWidth(Geometry(in));
        break;
      case 11:
        chart.MinLabelAngle(Geometry(in));
        break;
      case 12:
        chart.Legend(in.ConsumeBool());
        break;
      case 13: {
        const auto index = in.ConsumeIntegralInRange<std::int32_t>(-1, 40);
        const std::int32_t offset = Geometry(in);
        try {
          chart.Explode(index, offset);
        } catch (const std::out_of_range&) {
        }
        break;
      }
      case 14:
        chart.CenterText(in.ConsumeRandomLengthString(64));
        break;
      case 15: {
        const std::int32_t below = Share(in);
        const auto colour = in.ConsumeIntegral<std::uint32_t>();
        chart.GroupBelow(below, colour, in.ConsumeRandomLengthString(32));
        break;
      }
      case 16:
        chart.OutlineColor(in.ConsumeIntegral<std::uint32_t>());
        break;
      case 17:
        chart.TextColor(in.ConsumeIntegral<std::uint32_t>());
        break;
      case 18:
        chart.FontSize(in.ConsumeIntegralInRange(-5, 600));
        break;
      case 19:
        chart.FontFamily(in.ConsumeRandomLengthString(32));
        break;
      case 20: {
        const std::int32_t share = Share(in);
        const auto colour = in.ConsumeIntegral<std::uint32_t>();
        if (share > 0 && share <= 5965232) {
          if (shares + share > kShareBudget) break;
          shares += share;
        }
        try {
          chart.AddDataItem(share, colour, in.ConsumeRandomLengthString(32));
        } catch (const std::logic_error&) {  // a chart of values
        }
        break;
      }
      case 21:
        chart.SortSlices(static_cast<xamlpie::SortOrder>(in.ConsumeIntegralInRange(0, 3)));
        break;
      case 22:
        chart.EmptyText(in.ConsumeRandomLengthString(64));
        break;
      case 23: {
        static constexpr double kValues[] = {0.0, 1e-300, 1e308, -1.0, 1.0, 640.5};
        const double value =
            in.ConsumeBool() ? in.PickValueInArray(kValues) : in.ConsumeFloatingPoint<double>();
        const auto colour = in.ConsumeIntegral<std::uint32_t>();
        try {
          chart.AddValue(value, colour, in.ConsumeRandomLengthString(32));
        } catch (const std::logic_error&) {  // of percents, or a bad value
        }
        break;
      }
      case 24:
        chart.LabelFormat(in.ConsumeRandomLengthString(48));
        break;
      case 25:
        chart.LegendFormat(in.ConsumeRandomLengthString(48));
        break;
      case 26:
        chart.PercentDecimals(in.ConsumeIntegralInRange(-2, 9));
        break;
      case 27:
        chart.ValueDecimals(in.ConsumeIntegralInRange(-2, 9));
        break;
      case 28:
        chart.DecimalSeparator(in.ConsumeRandomLengthString(8));
        break;
      case 29:
        chart.GroupSeparator(in.ConsumeRandomLengthString(8));
        break;
      case 30:
        chart.SweepAngle(in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 362) : Geometry(in));
        break;
      case 32:
        chart.Shading(in.ConsumeBool() ? xamlpie::SliceShading::Radial
                                       : xamlpie::SliceShading::Flat);
        break;
      case 31: {
        static constexpr double kLengths[] = {0.0, 0.5, 3.0, 40.0, 1e9, 2e9, -1.0};
        const double length =
            in.ConsumeBool() ? in.PickValueInArray(kLengths) : in.ConsumeFloatingPoint<double>();
        if (in.ConsumeBool()) {
          chart.SliceGap(length);
        } else {
          chart.CornerRadius(length);
        }
        break;
      }
      case 33:
        try {
          chart.AddRing(in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 80) : Geometry(in));
        } catch (const std::invalid_argument&) {  // below 1
        }
        break;
      case 35: {  // a rose: any radius value, or how they scale
        static constexpr double kRadii[] = {0.0, 1.0, 4.0, 1e300, -1.0};
        if (in.ConsumeBool()) {
          chart.RadiusScaling(in.ConsumeBool() ? xamlpie::RadiusScale::Linear
                                               : xamlpie::RadiusScale::Area);
          break;
        }
        const auto index = in.ConsumeIntegralInRange<std::int32_t>(-1, 40);
        const double radius =
            in.ConsumeBool() ? in.PickValueInArray(kRadii) : in.ConsumeFloatingPoint<double>();
        try {
          chart.RadiusValue(index, radius);
        } catch (const std::out_of_range&) {
        } catch (const std::invalid_argument&) {  // negative, NaN or infinite
        }
        break;
      }
      case 36: {  // a sunburst's parent: any pair, most of them refused
        const auto index = in.ConsumeIntegralInRange<std::int32_t>(-1, 40);
        const auto parent = in.ConsumeIntegralInRange<std::int32_t>(-2, 40);
        try {
          chart.Parent(index, parent);
        } catch (const std::out_of_range&) {
        } catch (const std::invalid_argument&) {  // not in the ring just inside
        }
        break;
      }
      case 34: {  // a renderer's measure: any width, a pixel per byte times a factor
        static constexpr double kFactors[] = {0.0, 0.3, 7.0, 1e8, 1e12, -1.0};
        const double factor =
            in.ConsumeBool() ? in.PickValueInArray(kFactors) : in.ConsumeFloatingPoint<double>();
        chart.MeasureText([factor](std::string_view text, std::int32_t pixels, bool) {
          return factor * static_cast<double>(text.size()) * pixels;
        });
        break;
      }
      default: {
        const std::int32_t share = Share(in);
        const auto colour = in.ConsumeIntegral<std::uint32_t>();
        // Shares past the overflow bound cost nothing: the read stops at once.
        if (share > 0 && share <= 5965232) {
          if (shares + share > kShareBudget) break;
          shares += share;
        }
        try {
          chart.AddDataItem(share, colour);
        } catch (const std::logic_error&) {  // a chart of values
        }
        break;
      }
    }
  }
  Check(chart);
  return 0;
}
