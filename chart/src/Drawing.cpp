// The markup of a drawing: one element per shape, each on a line of its own.

#include "xamlpie/Drawing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <system_error>

#include "Rim.h"
#include "Sink.h"
#include "checked.h"

namespace xamlpie {

namespace detail {

namespace {

// A coordinate to a hundredth of a pixel, whatever the C locale says.
void PutDecimal(MarkupWriter& out, double value) {
  char text[32];
  const auto [end, error] =
      std::to_chars(std::begin(text), std::end(text), std::round(value * 100.0) / 100.0 + 0.0,
                    std::chars_format::fixed, 2);
  out.Put(error == std::errc() ? std::string_view(text, static_cast<std::size_t>(end - text))
                               : std::string_view("0"));
}

// Without SSE4.1 std::floor is a library call: a round trip through an
// integer tells as well, for a value in range.
bool IsWhole(double v) {
  return v >= static_cast<double>(checked::kMin) && v <= static_cast<double>(checked::kMax) &&
         static_cast<double>(static_cast<std::int32_t>(v)) == v;
}

}  // namespace

// " x,y" to a hundredth of a pixel.
void PutXY(MarkupWriter& out, double x, double y) {
  if (out.DecimalPoint(x, y)) return;
  out.Put(" ");
  PutDecimal(out, x);
  out.Put(",");
  PutDecimal(out, y);
}

Rgba RgbaOf(std::string_view hex) {
  const auto digit = [](char c) {
    return static_cast<std::uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  };
  const auto component = [&](std::size_t at) {
    return at + 1 < hex.size() ? static_cast<std::uint8_t>(digit(hex[at]) * 16 + digit(hex[at + 1]))
                               : std::uint8_t{0};
  };
  return {component(0), component(2), component(4), 255};
}

Shape& Scratch(ShapeKind kind, Role role) {
  thread_local Shape shape;
  shape.kind = kind;
  shape.role = role;
  shape.ring = -1;
  shape.index = -1;
  shape.fill = kNoColor;
  shape.stroke = kNoColor;
  shape.strokeWidth = 1;
  shape.points.clear();
  shape.origin = {};
  shape.precision = Precision::Whole;
  shape.box = {};
  shape.cornerRadius = 0;
  shape.text.clear();
  shape.fontSize = 12;
  shape.bold = false;
  shape.align = Align::Left;
  shape.toolTip.clear();
  shape.name.clear();
  return shape;
}

MarkupSink::MarkupSink(std::string& text, std::string_view fontFamily, bool blankLine)
    : mOut(text), mFontFamily(fontFamily) {
  mOut.Put(blankLine ? std::string_view("<Canvas>\r\n") : std::string_view("<Canvas>"));
}

void MarkupSink::Finish() {
  mOut.Put("\r\n</Canvas>");
  mOut.Flush();
}

// The text of a colour: "RRGGBB", or "AARRGGBB" for a translucent one.
std::string_view MarkupSink::Hex(Rgba colour) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  // A fan's fill and stroke are one colour, and a slice's fans share it.
  if (!(colour == mColour)) {
    mColour = colour;
    mColourLength = 0;
    const auto put = [&](std::uint8_t c) {
      mColourText[mColourLength++] = kDigits[c >> 4];
      mColourText[mColourLength++] = kDigits[c & 0xFu];
    };
    if (colour.a != 255) put(colour.a);
    put(colour.r);
    put(colour.g);
    put(colour.b);
  }
  return {mColourText, mColourLength};
}

void MarkupSink::Paint(std::string_view attribute, Rgba colour) {
  if (colour.a == 0) return;
  mOut.Put(" ");
  mOut.Put(attribute);
  mOut.Put("='#");
  mOut.Put(Hex(colour));
  mOut.Put("'");
}

namespace {

// A number relative to a box, to a ten-thousandth, without trailing zeros;
// no more than a million boxes away, which no gradient needs.
void PutRelative(MarkupWriter& out, double value) {
  char text[40];
  const double rounded =
      std::isfinite(value) ? std::round(std::clamp(value, -1e6, 1e6) * 1e4) / 1e4 + 0.0 : 0.0;
  auto [end, error] =
      std::to_chars(std::begin(text), std::end(text), rounded, std::chars_format::fixed, 4);
  if (error != std::errc()) {
    out.Put("0");
    return;
  }
  while (end > text && end[-1] == '0')
    --end;
  if (end > text && end[-1] == '.') --end;
  out.Put(std::string_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace

// The shade relative to the polygon's box as the markup has its points, as
// a reader maps it back.
void MarkupSink::Shade(const Shape& shape) {
  const RadialShade& shade = *shape.shade;
  double left = 0, top = 0, right = 0, bottom = 0;
  bool first = true;
  for (const Point& p : shape.points) {
    const double x = shape.precision == Precision::Whole
                         ? static_cast<double>(checked::Floor(p.x)) + shape.origin.x
                         : std::round((p.x + shape.origin.x) * 100.0) / 100.0;
    const double y = shape.precision == Precision::Whole
                         ? static_cast<double>(checked::Floor(p.y)) + shape.origin.y
                         : std::round((p.y + shape.origin.y) * 100.0) / 100.0;
    left = first ? x : std::min(left, x);
    right = first ? x : std::max(right, x);
    top = first ? y : std::min(top, y);
    bottom = first ? y : std::max(bottom, y);
    first = false;
  }
  const double width = right > left ? right - left : 1.0;
  const double height = bottom > top ? bottom - top : 1.0;
  const auto brush = [&](std::string_view property) {
    mOut.Put("<Polygon.");
    mOut.Put(property);
    mOut.Put("><RadialGradientBrush Center='");
    const double cx = (shade.centre.x - left) / width;
    const double cy = (shade.centre.y - top) / height;
    for (const std::string_view attribute : {"Center", "GradientOrigin"}) {
      if (attribute != "Center") mOut.Put("' GradientOrigin='");
      PutRelative(mOut, cx);
      mOut.Put(",");
      PutRelative(mOut, cy);
    }
    mOut.Put("' RadiusX='");
    PutRelative(mOut, shade.radius / width);
    mOut.Put("' RadiusY='");
    PutRelative(mOut, shade.radius / height);
    mOut.Put("'>");
    for (const auto& [offset, colour] : shade.stops) {
      mOut.Put("<GradientStop Color='#");
      mOut.Put(Hex(colour));
      mOut.Put("' Offset='");
      PutRelative(mOut, offset);
      mOut.Put("' />");
    }
    mOut.Put("</RadialGradientBrush></Polygon.");
    mOut.Put(property);
    mOut.Put(">");
  };
  if (shape.fill.a != 0) brush("Fill");
  if (shape.stroke.a != 0 && shape.stroke == shape.fill) brush("Stroke");
}

void MarkupSink::Value(double value) {
  if (IsWhole(value)) {
    mOut.Int(static_cast<std::int32_t>(value));
  } else {
    PutDecimal(mOut, value);
  }
}

void MarkupSink::Place(const Box& box) {
  Number("Canvas.Left", box.x);
  Number("Canvas.Top", box.y);
}

void MarkupSink::Number(std::string_view attribute, double value) {
  mOut.Put(" ");
  mOut.Put(attribute);
  mOut.Put("='");
  Value(value);
  mOut.Put("'");
}

// Tag and ToolTip: what an application knows the shape's slice by, and what
// pointing at it tells.
void MarkupSink::Pointer(const Shape& shape) {
  if (shape.toolTip.empty()) return;
  mOut.Put(" Tag='");
  if (shape.ring > 0) {
    mOut.Int(shape.ring);
    mOut.Put(".");
  }
  mOut.Int(shape.index);
  mOut.Put("' ToolTip='");
  mOut.Text(shape.toolTip);
  mOut.Put("'");
}

Point RimPointOf(double centre, double radius, std::int32_t degree) {
  const TrigCache::CosSin cs = Trig().Get(degree);
  return {radius * cs.cos + centre, centre - radius * cs.sin};
}

void DrawingSink::AddFan(Shape& shape, const FanRim& rim) {
  shape.points.clear();
  shape.points.push_back({rim.centre, rim.centre});
  if (rim.before != nullptr) shape.points.push_back(*rim.before);
  for (std::int64_t k = 0; k < rim.count; ++k) {
    shape.points.push_back(
        RimPointOf(rim.centre, rim.radius, static_cast<std::int32_t>(rim.Degree(k))));
  }
  if (rim.after != nullptr) shape.points.push_back(*rim.after);
  Add(shape);
}

namespace {

// The text of the rim point at each whole degree of a turn, for one circle,
// written when first needed: charts of one size write the same points chart
// after chart. Worked out as any other point, so the same text.
class RimText {
 public:
  struct Entry {
    char text[MarkupWriter::kPointChars];
    std::size_t length;  // 0: not written yet
  };

  static RimText& Of(double centre, double radius) {
    thread_local RimText rim;
    if (radius != rim.mRadius || centre != rim.mCentre) {
      rim.mRadius = radius;
      rim.mCentre = centre;
      for (Entry& entry : rim.mEntries)
        entry.length = 0;
    }
    return rim;
  }

  // `degree` from 0 to 360.
  const Entry& Get(std::int32_t degree) {
    Entry& entry = mEntries[static_cast<std::size_t>(degree)];
    if (entry.length == 0) {
      const Point p = RimPointOf(mCentre, mRadius, degree);
      entry.length =
          MarkupWriter::FormatPoint(entry.text, checked::Floor(p.x), checked::Floor(p.y));
    }
    return entry;
  }

 private:
  double mRadius = std::numeric_limits<double>::quiet_NaN();
  double mCentre = 0;
  std::array<Entry, 361> mEntries{};
};

}  // namespace

void MarkupSink::AddFan(Shape& shape, const FanRim& rim) {
  Begin(shape);
  PolygonHead(shape);
  RimText& text = RimText::Of(rim.centre, rim.radius);
  const auto put = [this](Point p) { mOut.Point(checked::Floor(p.x), checked::Floor(p.y)); };
  put({rim.centre, rim.centre});
  if (rim.before != nullptr) put(*rim.before);
  for (std::int64_t k = 0; k < rim.count; ++k) {
    const auto degree = static_cast<std::int32_t>(rim.Degree(k));
    if (degree >= 0 && degree <= 360) {
      const RimText::Entry& entry = text.Get(degree);
      mOut.PutPoint(entry.text, entry.length);
    } else {
      put(RimPointOf(rim.centre, rim.radius, degree));
    }
  }
  if (rim.after != nullptr) put(*rim.after);
  mOut.Put("' />");
}

// A line of its own, but for the hole's ellipse, which shares the rim's.
void MarkupSink::Begin(const Shape& shape) {
  const bool sameLine =
      mAfterOutline && shape.kind == ShapeKind::Ellipse && shape.role == Role::Hole;
  mAfterOutline = shape.kind == ShapeKind::Ellipse && shape.role == Role::Outline;
  if (!sameLine) mOut.Put("\r\n");
}

// A polygon up to the start of its points: written in few pieces, since a
// chart's polygons are many.
void MarkupSink::PolygonHead(const Shape& shape) {
  if (shape.precision == Precision::Whole) {
    mOut.Put("<Polygon Canvas.Left='");
    Value(shape.origin.x);
    mOut.Put("' Canvas.Top='");
    Value(shape.origin.y);
    mOut.Put("'");
  } else {
    mOut.Put("<Polygon");
  }
  // A shade is written as property elements after the points, in place of
  // the colours it stands for.
  const bool shaded = shape.shade.has_value();
  if (shape.fill.a != 0 && !shaded) {
    mOut.Put(" Fill='#");
    mOut.Put(Hex(shape.fill));
    mOut.Put("'");
  }
  if (shape.stroke.a != 0 && !(shaded && shape.stroke == shape.fill)) {
    mOut.Put(" Stroke='#");
    mOut.Put(Hex(shape.stroke));
    mOut.Put("'");
  }
  if (shape.strokeWidth != 1) Number("StrokeThickness", shape.strokeWidth);
  Pointer(shape);
  if (!shape.name.empty()) {
    mOut.Put(" AutomationProperties.Name='");
    mOut.Text(shape.name);
    mOut.Put("'");
  }
  mOut.Put(" Points='");
}

void MarkupSink::Add(const Shape& shape) {
  Begin(shape);
  switch (shape.kind) {
    case ShapeKind::Polygon: {
      PolygonHead(shape);
      if (shape.precision == Precision::Whole) {
        for (const Point& p : shape.points)
          mOut.Point(checked::Floor(p.x), checked::Floor(p.y));
      } else {
        for (const Point& p : shape.points)
          PutXY(mOut, p.x + shape.origin.x, p.y + shape.origin.y);
      }
      if (!shape.shade) {
        mOut.Put("' />");
        return;
      }
      mOut.Put("'>");
      Shade(shape);
      mOut.Put("</Polygon>");
      return;
    }
    case ShapeKind::Ellipse:
      mOut.Put("<Ellipse Canvas.Left='");
      Value(shape.box.x);
      mOut.Put("' Canvas.Top='");
      Value(shape.box.y);
      mOut.Put("'");
      Paint("Stroke", shape.stroke);
      mOut.Put(" StrokeThickness='");
      Value(shape.strokeWidth);
      mOut.Put("'");
      Paint("Fill", shape.fill);
      mOut.Put(" Width='");
      Value(shape.box.width);
      mOut.Put("' Height='");
      Value(shape.box.height);
      mOut.Put("' />");
      return;
    case ShapeKind::Rectangle:
      mOut.Put("<Rectangle");
      Place(shape.box);
      Number("Width", shape.box.width);
      Number("Height", shape.box.height);
      Number("RadiusX", shape.cornerRadius);
      Number("RadiusY", shape.cornerRadius);
      Paint("Fill", shape.fill);
      Paint("Stroke", shape.stroke);
      Number("StrokeThickness", shape.strokeWidth);
      Pointer(shape);
      mOut.Put(" />");
      return;
    case ShapeKind::Line:
      mOut.Put("<Line");
      for (std::size_t i = 0; i < 2; ++i) {
        const Point p = i < shape.points.size() ? shape.points[i] : Point{};
        Number(i == 0 ? "X1" : "X2", p.x);
        Number(i == 0 ? "Y1" : "Y2", p.y);
      }
      Paint("Stroke", shape.stroke);
      Number("StrokeThickness", shape.strokeWidth);
      mOut.Put(" />");
      return;
    case ShapeKind::Text:
      mOut.Put("<TextBlock");
      Place(shape.box);
      Number("Width", shape.box.width);
      // A legend's text is left-aligned, the markup's default, and says not.
      if (shape.role != Role::LegendText) {
        mOut.Put(shape.align == Align::Center  ? std::string_view(" TextAlignment='Center'")
                 : shape.align == Align::Right ? std::string_view(" TextAlignment='Right'")
                                               : std::string_view(" TextAlignment='Left'"));
      }
      Number("FontSize", shape.fontSize);
      if (!mFontFamily.empty()) {
        mOut.Put(" FontFamily='");
        mOut.Text(mFontFamily);
        mOut.Put("'");
      }
      if (shape.bold) mOut.Put(" FontWeight='Bold'");
      Paint("Foreground", shape.fill);
      mOut.Put(" Text='");
      mOut.Text(shape.text);
      mOut.Put("'");
      Pointer(shape);
      mOut.Put(" />");
      return;
  }
}

}  // namespace detail

std::string WriteXAML(const Drawing& drawing) {
  std::string text;
  detail::MarkupSink sink(text, drawing.fontFamily, drawing.markupBlankLine);
  for (const Shape& shape : drawing.shapes)
    sink.Add(shape);
  sink.Finish();
  return text;
}

}  // namespace xamlpie
