// The rim points of whole degrees, worked out once per thread: charts of one
// size write the same points chart after chart.

#ifndef XAMLPIE_RIM_H_
#define XAMLPIE_RIM_H_

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "Layout.h"
#include "MarkupWriter.h"
#include "checked.h"

namespace xamlpie::detail {

// Cosine and sine of each whole degree, computed exactly as the uncached path
// would, so the cache changes speed only, never a bit of the output. Per thread
// so that charts on different threads need no lock; bounded so that a huge
// angle cannot make it grow without limit.
class TrigCache {
 public:
  static constexpr std::int32_t kLimit = 1 << 16;

  struct CosSin {
    double cos;
    double sin;
  };

  static CosSin Compute(std::int32_t degree) {
    const double radians = static_cast<double>(degree) * kPi / 180.0;
    return {std::cos(radians), std::sin(radians)};
  }

  CosSin Get(std::int32_t degree) {
    if (degree < 0 || degree >= kLimit) return Compute(degree);
    const auto index = static_cast<std::size_t>(degree);
    if (index >= mTable.size()) Grow(index);
    return mTable[index];
  }

 private:
  void Grow(std::size_t index) {
    std::size_t size = mTable.empty() ? 512 : mTable.size();
    while (size <= index)
      size *= 2;
    if (size > static_cast<std::size_t>(kLimit)) size = static_cast<std::size_t>(kLimit);
    mTable.reserve(size);
    for (std::size_t d = mTable.size(); d < size; ++d) {
      mTable.push_back(Compute(static_cast<std::int32_t>(d)));
    }
  }

  std::vector<CosSin> mTable;
};

inline TrigCache& Trig() {
  thread_local TrigCache cache;
  return cache;
}

// The text of the rim point at each whole degree of a turn, for one circle,
// written when first needed: charts of one size write the same points chart
// after chart. Worked out as the uncached path does, so the same text.
class RimText {
 public:
  struct Point {
    char text[MarkupWriter::kPointChars];
    std::size_t length;  // 0: not written yet
  };

  // The rim `radius` from `centre`; forgets another rim's points.
  void Use(double radius, double centre) {
    if (radius == mRadius && centre == mCentre) return;
    mRadius = radius;
    mCentre = centre;
    for (Point& point : mPoints)
      point.length = 0;
  }

  // `degree` from 0 to 360.
  const Point& Get(std::int32_t degree, TrigCache& trig) {
    Point& point = mPoints[static_cast<std::size_t>(degree)];
    if (point.length == 0) {
      const TrigCache::CosSin cs = trig.Get(degree);
      point.length =
          MarkupWriter::FormatPoint(point.text, checked::Floor(mRadius * cs.cos + mCentre),
                                    checked::Floor(mCentre - mRadius * cs.sin));
    }
    return point;
  }

 private:
  double mRadius = std::numeric_limits<double>::quiet_NaN();
  double mCentre = 0;
  std::array<Point, 361> mPoints{};
};

inline RimText& Rim() {
  thread_local RimText rim;
  return rim;
}

}  // namespace xamlpie::detail

#endif  // XAMLPIE_RIM_H_
