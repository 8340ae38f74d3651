// The cosine and sine of whole degrees, worked out once per thread: charts
// put their rim points at whole degrees, chart after chart.

#ifndef XAMLPIE_RIM_H_
#define XAMLPIE_RIM_H_

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "Layout.h"

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

}  // namespace xamlpie::detail

#endif  // XAMLPIE_RIM_H_
