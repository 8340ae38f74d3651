// Where placement puts the shapes it makes: into a Drawing, or straight into
// markup text, so that XAML() need not hold the whole drawing first.

#ifndef XAMLPIE_SINK_H_
#define XAMLPIE_SINK_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "MarkupWriter.h"
#include "xamlpie/Drawing.h"

namespace xamlpie::detail {

// A fan: its centre point, then its rim: an exact point, a run of whole
// degrees, an exact point, either point left out. The whole degrees' points
// are what charts of one size share.
struct FanRim {
  double centre;  // x and y of the centre
  double radius;
  std::int64_t first = 0;  // the run's first angle
  std::int64_t count = 0;  // its whole degrees
  // An angle's degree: reduced to a turn from `start` in `step`s, or as it is.
  bool reduce = false;
  std::int64_t start = 0;
  std::int64_t step = 1;
  const Point* before = nullptr;
  const Point* after = nullptr;

  std::int64_t Degree(std::int64_t k) const {
    const std::int64_t angle = first + k;
    if (!reduce) return angle;
    const std::int64_t degree = (start + step * angle) % 360;
    return degree < 0 ? degree + 360 : degree;
  }
};

// The point of a whole degree on a rim, as every path works it out.
Point RimPointOf(double centre, double radius, std::int32_t degree);

class Sink {
 public:
  virtual void Add(const Shape& shape) = 0;
  // A polygon whose points are the fan's; its own are not read.
  virtual void AddFan(Shape& shape, const FanRim& rim) = 0;

 protected:
  ~Sink() = default;
};

class DrawingSink final : public Sink {
 public:
  explicit DrawingSink(Drawing& drawing) : mDrawing(drawing) {}
  void Add(const Shape& shape) override { mDrawing.shapes.push_back(shape); }
  void AddFan(Shape& shape, const FanRim& rim) override;

 private:
  Drawing& mDrawing;
};

// Writes each shape as one element; Finish closes the document.
class MarkupSink final : public Sink {
 public:
  MarkupSink(std::string& text, std::string_view fontFamily, bool blankLine);
  void Add(const Shape& shape) override;
  // Writes each whole degree's point from the text it had the last time.
  void AddFan(Shape& shape, const FanRim& rim) override;
  void Finish();

 private:
  void Begin(const Shape& shape);
  void PolygonHead(const Shape& shape);
  void Shade(const Shape& shape);
  std::string_view Hex(Rgba colour);
  void Paint(std::string_view attribute, Rgba colour);
  void Value(double value);
  void Number(std::string_view attribute, double value);
  void Place(const Box& box);  // Canvas.Left and Canvas.Top
  void Pointer(const Shape& shape);

  MarkupWriter mOut;
  std::string_view mFontFamily;
  bool mAfterOutline = false;  // the last element was the rim's ellipse
  Rgba mColour = kNoColor;     // the last colour written, and its text
  char mColourText[8] = {};
  std::size_t mColourLength = 0;
};

// A shape to fill and hand to a sink, its members at their defaults and its
// buffers kept from the last use: shapes are made by the thousand and
// written at once. One per thread; fill one before asking for the next.
Shape& Scratch(ShapeKind kind, Role role);

// "RRGGBB" as a colour; what the chart keeps its colours as.
Rgba RgbaOf(std::string_view hex);

}  // namespace xamlpie::detail

#endif  // XAMLPIE_SINK_H_
