#include "Raster.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <list>
#include <unordered_map>
#include <utility>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xamlpie::detail {
namespace {

// Floor and ceiling of values already clamped to the picture.
int Floor(double v) {
  return static_cast<int>(v);
}
int Ceil(double v) {
  const int whole = static_cast<int>(v);
  return static_cast<double>(whole) < v ? whole + 1 : whole;
}

std::vector<float>& Accumulator() {
  thread_local std::vector<float> cells;
  return cells;
}

// The most cells and runs one kept shape may have (up to 384 KB): a chart's
// rim, its hole and the hole's edge, at any pixel ratio a screen has. An
// ellipse's cells lie along its outline, a few for each row and column.
constexpr std::size_t kKeptPieces = std::size_t{1} << 15;
// What each kind of kept shape may hold in all, on one thread (about 3 MB):
// the rims and legend swatches of a window of dashboard tiles.
constexpr std::size_t kKeptBudget = std::size_t{1} << 18;
constexpr std::size_t kKeptMost = 4096;
// Outlines kept: small ones (legend swatches and their edges).
constexpr std::size_t kKeptOutlinePoints = 96;
constexpr double kKeptOutlineSide = 48;

// A hash of the bits of what decides a kept shape, only to find it quickly.
struct Mix {
  std::uint64_t hash = 0xCBF29CE484222325u;
  void operator()(double v) { (*this)(std::bit_cast<std::uint64_t>(v)); }
  void operator()(std::uint64_t v) { hash = (hash ^ v) * 0x100000001B3u; }
};

std::vector<std::uint64_t>& TouchedBits() {
  thread_local std::vector<std::uint64_t> bits;
  return bits;
}

// A pixel's four channels a 16-bit lane each, so that one multiplication
// scales them all.
std::uint64_t Spread(std::uint32_t pixel) {
  return (pixel & 0x00FF00FFu) | (std::uint64_t{pixel & 0xFF00FF00u} << 24);
}

// `solid` (spread) over `pixel` at `cover` of 256.
std::uint32_t Blend(std::uint32_t pixel, std::uint64_t solid, std::uint32_t cover) {
  const std::uint64_t mixed =
      ((Spread(pixel) * (256 - cover) + solid * cover) >> 8) & 0x00FF00FF00FF00FFu;
  return static_cast<std::uint32_t>((mixed & 0x00FF00FFu) | ((mixed >> 24) & 0xFF00FF00u));
}

// Coverage as a share of 256, rounded: the running sum's size, at most one.
std::uint32_t Cover(float sum) {
  return (static_cast<std::uint32_t>(std::min(std::fabs(sum), 1.0f) * 512.0f) + 1) >> 1;
}

// By the even-odd rule: twice inside is outside; between, what the edges
// leave of the pixel, as a triangle wave of the winding.
std::uint32_t CoverEvenOdd(float sum) {
  float w = std::fabs(sum);
  w -= 2.0f * std::floor(w / 2.0f);
  return Cover(w > 1.0f ? 2.0f - w : w);
}

#if defined(__GNUC__) && defined(__x86_64__)
// Opaque runs are most of the pixels a chart writes, and a 32-byte store
// writes them twice as fast as the 16-byte ones every x86-64 has.
__attribute__((target("avx2"))) void FillWide(std::uint32_t* from, std::uint32_t* to,
                                              std::uint32_t solid) {
  const __m256i eight = _mm256_set1_epi32(static_cast<int>(solid));
  for (; to - from >= 32; from += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(from), eight);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(from + 8), eight);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(from + 16), eight);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(from + 24), eight);
  }
  for (; to - from >= 8; from += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(from), eight);
  if (from < to) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to - 8), eight);
}
const bool kWide = []() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#else
constexpr bool kWide = false;
void FillWide(std::uint32_t*, std::uint32_t*, std::uint32_t) {}
#endif

void PaintRun(std::uint32_t* from, std::uint32_t* to, std::uint32_t solid, std::uint32_t cover) {
  if (cover >= 256) {
    if (kWide && to - from >= 8) return FillWide(from, to, solid);
    // Four pixels a store (a 16-byte copy is one vector store wherever there
    // are vectors): compilers do not widen this loop by themselves at -O2.
    const std::uint32_t quad[4] = {solid, solid, solid, solid};
    if (to - from < 4) {
      for (; from < to; ++from)
        *from = solid;
      return;
    }
    for (; to - from >= 16; from += 16) {
      std::memcpy(from, quad, 16);
      std::memcpy(from + 4, quad, 16);
      std::memcpy(from + 8, quad, 16);
      std::memcpy(from + 12, quad, 16);
    }
    for (; to - from >= 4; from += 4)
      std::memcpy(from, quad, 16);
    if (from < to) std::memcpy(to - 4, quad, 16);  // the last few, over some already set
  } else if (cover > 0) {
    const std::uint64_t spread = Spread(solid);
    for (; from < to; ++from)
      *from = Blend(*from, spread, cover);
  }
}

// Exact area coverage: a piece of an edge within one row, from x0 to x1
// (x0 <= x1) and d high (negative for an upward edge), gives each pixel it
// passes how much of it lies right of the piece, and every pixel after them
// d; a running sum along the row adds up what the pieces left of a pixel give
// it. A cell per pixel: what the pieces add to its pixel, and, in a piece's
// last, to every pixel after. `slope()`: d over the piece's width, asked for
// only where the piece passes more than one pixel. Returns the cells changed.
template <class Slope>
std::pair<int, int> DepositPiece(float* row, double x0, double x1, float d, Slope slope) {
  const int x0i = Floor(x0);
  float* cell = row + 2 * static_cast<std::size_t>(x0i);
  if (x1 <= x0i + 1) {  // within one pixel
    cell[0] += d * static_cast<float>(x0i + 1 - 0.5 * (x0 + x1));
    cell[1] += d;
    return {x0i, x0i + 1};
  }
  const int x1i = Ceil(x1);
  const float ds = slope();
  const auto x0f = static_cast<float>(x0 - x0i);
  const auto x1f = static_cast<float>(x1 - x1i + 1);
  cell[0] += 0.5f * ds * (1.0f - x0f) * (1.0f - x0f);
  const float a1 = ds * (1.5f - x0f);
  for (std::ptrdiff_t i = 1; i < x1i - x0i - 1; ++i)
    cell[2 * i] += a1 + static_cast<float>(i - 1) * ds;
  float* last = row + 2 * static_cast<std::size_t>(x1i - 1);
  last[0] += d - 0.5f * ds * x1f * x1f;
  last[1] += d;
  return {x0i, x1i};
}

// Pixels [from, to) of `row` at one coverage, but those in [hideFrom, hideTo),
// which a shape painted later covers.
void PaintAround(std::uint32_t* row, int from, int to, int hideFrom, int hideTo,
                 std::uint32_t solid, std::uint32_t cover) {
  if (to > hideFrom && from < hideTo) {
    if (from < hideFrom) PaintRun(row + from, row + hideFrom, solid, cover);
    if (hideTo < to) PaintRun(row + hideTo, row + to, solid, cover);
  } else {
    PaintRun(row + from, row + to, solid, cover);
  }
}

}  // namespace

std::uint32_t Raster::CoverOf(float sum) const {
  return mEvenOdd ? CoverEvenOdd(sum) : Cover(sum);
}

Raster::Raster(std::uint32_t* pixels, int width, int height, qsizetype stride, QPoint origin)
    : mPixels(pixels),
      mOrigin(origin),
      mWidth(width),
      mHeight(height),
      mStride(stride),
      mAccStride(static_cast<std::size_t>(width) + 2),
      mWords((mAccStride + 63) / 64) {
  // About 32 KB of cells a band, and no fewer than 8 rows; rounded up to a
  // power of two, so that finding an edge's band takes a shift, not a
  // division (which showed in profiles: two for each edge).
  mBandShift =
      static_cast<int>(std::bit_width(std::clamp<std::size_t>(4096 / mAccStride, 8, 64) - 1));
  mBandRows = 1 << mBandShift;
  const auto rows = static_cast<std::size_t>(mBandRows);
  std::vector<float>& cells = Accumulator();
  if (cells.size() < 2 * mAccStride * rows) cells.assign(2 * mAccStride * rows, 0.0f);
  mAcc = cells.data();
  std::vector<std::uint64_t>& bits = TouchedBits();
  if (bits.size() < mWords * rows) bits.assign(mWords * rows, 0);
  mTouched = bits.data();
  mFirstWord = static_cast<int>(mWords);
  mEdges.reserve(512);
  mHidden.resize(2 * static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < mHidden.size(); i += 2) {  // none: no pixel is at or after it
    mHidden[i] = std::numeric_limits<int>::max();
    mHidden[i + 1] = std::numeric_limits<int>::min();
  }
}

void Raster::AddOutline(const std::vector<QPointF>& points) {
  thread_local std::vector<QPointF> cut;  // kept for the next, up to a size
  const std::vector<QPointF>& outline = CutHidden(points, cut) ? cut : points;
  if (!outline.empty()) {
    for (std::size_t i = 0; i + 1 < outline.size(); ++i)
      AddLine(outline[i], outline[i + 1]);
    AddLine(outline.back(), outline.front());
  }
  if (cut.capacity() > (std::size_t{1} << 14)) std::vector<QPointF>().swap(cut);
}

// Where an outline dips deep into the hidden disc (a pie fan's tip under a
// doughnut's hole) nothing of it shows, yet each row its edges cross there
// carries them past the hidden span. Each such stretch is cut short by the
// chord between where it goes in and where it comes out: the region cut off
// lies within the disc, 2 px inside its edge, so it only ever reaches pixels
// that are hidden, or painted over by the disc's shape later, and the
// pixels outside keep their coverage.
bool Raster::CutHidden(const std::vector<QPointF>& points, std::vector<QPointF>& cut) const {
  const double radius = mHiddenDisc.radius - 2.0;
  const QPointF centre = mHiddenDisc.centre;
  const QPointF local = centre - mOrigin;
  // Within the picture, where no edge is clamped to its sides.
  if (!(radius > 0) || !(local.x() - radius >= 0) || !(local.y() - radius >= 0) ||
      !(local.x() + radius <= mWidth) || !(local.y() + radius <= mHeight)) {
    return false;
  }
  const double r2 = radius * radius;
  const auto inside = [&](const QPointF& p) {
    const double dx = p.x() - centre.x();
    const double dy = p.y() - centre.y();
    return dx * dx + dy * dy < r2;
  };
  if (std::none_of(points.begin(), points.end(), inside)) return false;
  // Where the edge from a to b crosses the circle: one of them is inside.
  const auto crossing = [&](const QPointF& a, const QPointF& b, bool entering) {
    const QPointF d = b - a;
    const QPointF f = a - centre;
    const double dd = QPointF::dotProduct(d, d);
    const double fd = QPointF::dotProduct(f, d);
    const double root = std::sqrt(std::max(0.0, fd * fd - dd * (QPointF::dotProduct(f, f) - r2)));
    const double t = std::clamp((entering ? -fd - root : -fd + root) / dd, 0.0, 1.0);
    return a + d * t;
  };
  cut.clear();
  for (std::size_t i = 0; i < points.size(); ++i) {
    const QPointF& a = points[i];
    const QPointF& b = points[i + 1 < points.size() ? i + 1 : 0];
    const bool in = inside(a);
    if (!in) cut.push_back(a);
    if (in != inside(b)) cut.push_back(crossing(a, b, !in));
  }
  return true;
}

void Raster::AddPending(const std::vector<QPointF>& points, QRgb colour, bool clockwise) {
  if (mPending && (colour != mPendingColour || clockwise != mPendingClockwise)) Flush();
  AddOutline(points);
  mPending = true;
  mPendingColour = colour;
  mPendingClockwise = clockwise;
}

void Raster::Flush() {
  if (!mPending) return;
  mPending = false;
  Fill(mPendingColour);
}

// The points by reference and their coordinates one by one: a QPointF passed
// by value is spilt and read back whole, which stalls the store forwarding.
void Raster::AddLine(const QPointF& a, const QPointF& b) {
  double x0 = a.x() - mOrigin.x();
  double y0 = a.y() - mOrigin.y();
  double x1 = b.x() - mOrigin.x();
  double y1 = b.y() - mOrigin.y();
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) ||
      y0 == y1) {
    return;
  }
  const float direction = y0 < y1 ? 1.0f : -1.0f;
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  if (y1 <= 0 || y0 >= mHeight) return;
  const double dxdy = (x1 - x0) / (y1 - y0);
  if (!std::isfinite(dxdy)) return;  // as good as level: it covers nothing
  // Only used where the edge crosses more than a pixel in a row: bounded.
  // Divided on its own, not from dxdy, so that the two divisions overlap.
  const double dydx = x0 != x1 ? (y1 - y0) / std::fabs(x1 - x0) : 0.0;
  mEdges.push_back({x0, y0, x1, y1, dxdy, dydx, direction});
}

void Raster::Deposit(const Edge& edge, int from, int to, int bandTop) {
  const double top = std::max({edge.y0, static_cast<double>(from), 0.0});
  const double bottom = std::min({edge.y1, static_cast<double>(to), static_cast<double>(mHeight)});
  if (top >= bottom) return;
  const auto width = static_cast<double>(mWidth);
  const double xTop = edge.x0 + edge.dxdy * (top - edge.y0);
  const double xBottom = edge.x0 + edge.dxdy * (bottom - edge.y0);
  const double left = std::min(xTop, xBottom);
  const double right = std::max(xTop, xBottom);
  mFirstWord = std::min(mFirstWord, Floor(std::clamp(left, 0.0, width)) >> 6);
  mLastWord = std::max(mLastWord, (Ceil(std::clamp(right, 0.0, width)) + 1) >> 6);
  const int y = Floor(top);
  const auto band = static_cast<std::size_t>(y - bandTop);
  float* row = mAcc + 2 * band * mAccStride;
  std::uint64_t* bits = mTouched + band * mWords;
  const int* hidden = mHidden.data() + 2 * static_cast<std::size_t>(y);
  const bool inside = left >= 0 && right <= width;
  const bool hiding = y < mHiddenBottom && Ceil(bottom) > mHiddenTop;
  if (inside && hiding) {
    DepositRows<false, true>(edge, top, bottom, width, row, bits, hidden);
  } else if (inside) {
    DepositRows<false, false>(edge, top, bottom, width, row, bits, hidden);
  } else if (hiding) {
    DepositRows<true, true>(edge, top, bottom, width, row, bits, hidden);
  } else {
    DepositRows<true, false>(edge, top, bottom, width, row, bits, hidden);
  }
}

// The edge's piece in each row it crosses, deposited, and the cells changed
// marked in the row's bits.
template <bool kClamp, bool kHidden>
void Raster::DepositRows(const Edge& edge, double top, double bottom, double width, float* row,
                         std::uint64_t* bits, const int* hidden) const {
  double x = edge.x0 + edge.dxdy * (top - edge.y0);
  double y0 = top;
  for (int y = Floor(top); y0 < bottom; ++y, row += 2 * mAccStride, bits += mWords, hidden += 2) {
    const double y1 = std::min(static_cast<double>(y + 1), bottom);
    const double next = edge.x0 + edge.dxdy * (y1 - edge.y0);
    auto d = static_cast<float>(y1 - y0) * edge.direction;
    y0 = y1;
    double x0 = std::min(x, next);
    double x1 = std::max(x, next);
    x = next;
    if constexpr (kClamp) {
      // What lies left of the picture covers every pixel of the row right of
      // it: its share of the piece's height goes to the first cell, for its
      // pixel and every one after. What lies right of it covers none, and
      // goes to the cell past the last pixel, where a run along the row ends.
      // The shares are the parts of the piece's width out there, as x runs
      // evenly with y along it.
      if (x0 < 0.0 || x1 > width) {
        const auto share = [&](double from, double to) {
          return x1 > x0 ? d * static_cast<float>((to - from) / (x1 - x0)) : d;
        };
        const auto outside = [&](std::size_t cell, float part) {
          row[2 * cell] += part;
          row[2 * cell + 1] += part;
          bits[cell >> 6] |= std::uint64_t{1} << (cell & 63);
        };
        if (x0 < 0.0) outside(0, x1 <= 0.0 ? d : share(x0, std::min(x1, 0.0)));
        if (x1 > width) {
          outside(static_cast<std::size_t>(mWidth),
                  x0 >= width ? d : share(std::max(x0, width), x1));
        }
        if (x1 <= 0.0 || x0 >= width) continue;
        const double from = std::max(x0, 0.0);
        const double to = std::min(x1, width);
        d = share(from, to);
        x0 = from;
        x1 = to;
      }
    }
    if constexpr (kHidden) {
      // Where nothing of it will show, only what it adds to the pixels after.
      if (x0 >= hidden[0] && x1 <= hidden[1]) {
        const int last = hidden[1] - 1;
        row[2 * static_cast<std::size_t>(last) + 1] += d;
        bits[last >> 6] |= std::uint64_t{1} << (last & 63);
        continue;
      }
    }
    // The row's height over its width: unless clamped, the edge's slope, so
    // the division is done once per edge.
    const auto [x0i, x1i] = DepositPiece(row, x0, x1, d, [&] {
      if constexpr (kClamp) {
        return d * static_cast<float>(1.0 / (x1 - x0));
      } else {
        return static_cast<float>(edge.dydx) * edge.direction;
      }
    });
    // Cells x0i to x1i - 1 changed: mostly one.
    if (x1i - x0i == 1) {
      bits[x0i >> 6] |= std::uint64_t{1} << (x0i & 63);
      continue;
    }
    const int w0 = x0i >> 6;
    const int w1 = (x1i - 1) >> 6;
    const std::uint64_t low = ~std::uint64_t{0} << (x0i & 63);
    const std::uint64_t high = ~std::uint64_t{0} >> (63 - ((x1i - 1) & 63));
    if (w0 == w1) {
      bits[w0] |= low & high;
    } else {
      bits[w0] |= low;
      for (int w = w0 + 1; w < w1; ++w)
        bits[w] = ~std::uint64_t{0};
      bits[w1] |= high;
    }
  }
}

template <bool kKeep>
void Raster::PaintRows(int top, int bottom, std::uint32_t solid) {
  std::uint64_t* bits = mTouched;
  float* cells = mAcc;
  auto* row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<uchar*>(mPixels) + top * mStride);
  const int* hidden = mHidden.data() + 2 * static_cast<std::size_t>(top);
  const std::uint64_t spread = Spread(solid);
  for (int y = top; y < bottom; ++y, bits += mWords, cells += 2 * mAccStride, hidden += 2,
           row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<uchar*>(row) + mStride)) {
    // Between cells with changes the coverage is what the edges left of them
    // add up to: a run filled whole.
    const int hideFrom = hidden[0];
    const int hideTo = hidden[1];
    float sum = 0;
    std::uint32_t cover = 0;
    int runFrom = 0;
    for (int w = mFirstWord; w <= mLastWord; ++w) {
      std::uint64_t word = bits[w];
      bits[w] = 0;
      while (word != 0) {
        // A cluster of changed cells side by side: where an edge crosses.
        // Adding its lowest bit clears the lowest run of ones and sets the bit
        // above it (none past the top).
        const std::uint64_t above = word + (word & (~word + 1));
        const int first = std::countr_zero(word);
        const int count = std::countr_zero(above) - first;
        word &= above;
        const int from = w * 64 + first;
        if (from > runFrom && cover > 0) {
          PaintAround(row, runFrom, std::min(from, mWidth), hideFrom, hideTo, solid, cover);
          if constexpr (kKeep) Keep(y, runFrom, std::min(from, mWidth), cover, true);
        }
        const int to = from + count;
        for (int x = from; x < to; ++x) {
          float* cell = cells + 2 * static_cast<std::size_t>(x);
          const float here = sum + cell[0];
          sum += cell[1];
          cell[0] = 0;
          cell[1] = 0;
          // Without a branch: which way it would go is hard to foretell here.
          if (x < mWidth) row[x] = Blend(row[x], spread, CoverOf(here));
          if constexpr (kKeep) {
            if (x < mWidth) Keep(y, x, x + 1, CoverOf(here), false);
          }
        }
        cover = CoverOf(sum);
        runFrom = to;
      }
    }
  }
}

// A chart's rim and hole are the same whatever its data: what painting one
// of them covered, kept with what decided it, paints it again in a fraction of
// the time.
struct Raster::Kept {
  double shape[10];  // the boxes (the inner one's, or zeros) and the origin
  bool ring;
  int width, height;
  qsizetype stride;
  std::vector<int> hidden;  // the hidden spans in the ellipse's rows
  // Pixels by their offset from the first, each painted once: single ones
  // where the curve crosses, and runs of one coverage.
  struct Cell {
    std::uint32_t offset, cover;
  };
  struct Run {
    std::uint32_t offset, length, cover;
  };
  std::vector<Cell> cells;
  std::vector<Run> runs;
  std::vector<QPointF> outline;  // an outline's points, for one kept by FillOutline
  std::uint64_t hash = 0;        // of the outline and the picture

  // The same ellipse in the same place in a picture of the same size,
  // exactly: the same doubles paint the same pixels.
  bool SameShape(const Kept& other) const {
    return std::equal(std::begin(shape), std::end(shape), std::begin(other.shape)) &&
           ring == other.ring && width == other.width && height == other.height &&
           stride == other.stride;
  }
};

// Kept shapes found by their hash; the least recently painted go once the
// rest hold more than the budget.
struct Raster::KeptStore {
  std::list<Kept> items;  // the most recently painted first
  std::unordered_multimap<std::uint64_t, std::list<Kept>::iterator> index;
  std::size_t pieces = 0;

  template <typename Same>
  const Kept* Find(std::uint64_t hash, Same same) {
    for (auto [at, end] = index.equal_range(hash); at != end; ++at) {
      if (!same(*at->second)) continue;
      items.splice(items.begin(), items, at->second);
      return &*at->second;
    }
    return nullptr;
  }

  void Add(Kept&& kept) {
    const std::size_t size = kept.cells.size() + kept.runs.size();
    if (size >= kKeptPieces) return;  // too many to keep
    items.push_front(std::move(kept));
    index.emplace(items.front().hash, items.begin());
    pieces += size;
    while (pieces > kKeptBudget || items.size() > kKeptMost) {
      const auto last = std::prev(items.end());
      for (auto [at, end] = index.equal_range(last->hash); at != end; ++at) {
        if (at->second != last) continue;
        index.erase(at);
        break;
      }
      pieces -= last->cells.size() + last->runs.size();
      items.pop_back();
    }
  }
};

Raster::KeptStore& Raster::KeptEllipses() {
  thread_local KeptStore kept;
  return kept;
}

Raster::KeptStore& Raster::KeptOutlines() {
  thread_local KeptStore kept;
  return kept;
}

void Raster::ForgetKept() {
  KeptEllipses() = {};
  KeptOutlines() = {};
}

void Raster::Keep(int y, int from, int to, std::uint32_t cover, bool run) {
  const auto put = [&](int a, int b) {
    if (a >= b) return;
    const auto offset = static_cast<std::uint32_t>(static_cast<qsizetype>(y) * (mStride / 4) + a);
    if (b - a == 1) {
      mKept->cells.push_back({offset, cover});
    } else {
      mKept->runs.push_back({offset, static_cast<std::uint32_t>(b - a), cover});
    }
  };
  if (cover == 0 || mKept->cells.size() + mKept->runs.size() >= kKeptPieces) return;
  if (!run) return put(from, to);
  // Split where PaintAround splits it.
  const int hideFrom = mHidden[2 * static_cast<std::size_t>(y)];
  const int hideTo = mHidden[2 * static_cast<std::size_t>(y) + 1];
  if (to > hideFrom && from < hideTo) {
    put(from, std::min(to, hideFrom));
    put(std::max(from, hideTo), to);
  } else {
    put(from, to);
  }
}

// An axis-aligned ellipse relative to the picture's first pixel.
struct Raster::Oval {
  double cx, cy, a, b;
  // The longest chord across a row that strays no more than 0.05 px from the
  // curve, as the outlines' corners do (a chord of length l strays about
  // l^2 / 8r where the curve bends with radius r, b^2 / a at the tightest):
  // its length squared.
  double longest2;

  Oval(const QRectF& box, QPointF origin)
      : cx(box.center().x() - origin.x()),
        cy(box.center().y() - origin.y()),
        a(box.width() / 2),
        b(box.height() / 2),
        longest2(0.4 * std::min(a, b) * std::min(a, b) / std::max(a, b)) {}
  bool Spans(double top, double bottom) const { return top >= cy - b && bottom <= cy + b; }
  bool Meets(double top, double bottom) const { return bottom > cy - b && top < cy + b; }
  // Half the width at `y`; rows are painted top down, so a row's top is the
  // last row's bottom, whose width is kept.
  double HalfWidth(double y) const {
    if (y == lastY) return lastHalf;
    const double t = (y - cy) * inverseB;
    lastY = y;
    lastHalf = a * std::sqrt(std::max(0.0, 1.0 - t * t));
    return lastHalf;
  }

 private:
  double inverseB = 1.0 / b;
  mutable double lastY = std::numeric_limits<double>::quiet_NaN();
  mutable double lastHalf = 0;
};

bool Raster::PaintOvalRow(int y, const Oval& outer, const Oval* inner, std::uint32_t solid) {
  const double top = y;
  const double bottom = top + 1.0;
  struct Chord {
    double from, to;  // where it crosses the row's top and bottom
    float direction;  // what it adds to the coverage right of it
  };
  Chord chords[4];
  int count = 0;
  // The sides of an oval crossing the whole row, one chord each.
  const auto sides = [&](const Oval& oval, float left) {
    const double halfTop = oval.HalfWidth(top);
    const double halfBottom = oval.HalfWidth(bottom);
    const double across = halfTop - halfBottom;
    if (!oval.Spans(top, bottom) || across * across + 1.0 > oval.longest2) return false;
    chords[count++] = {oval.cx - halfTop, oval.cx - halfBottom, left};
    chords[count++] = {oval.cx + halfTop, oval.cx + halfBottom, -left};
    return true;
  };
  if (!sides(outer, 1.0f)) return false;
  if (inner != nullptr && inner->Meets(top, bottom) && !sides(*inner, -1.0f)) return false;
  // The cells each chord passes, as an edge across one row deposits them, in
  // the band's first row of cells (all zero between fills): a thin ring's
  // chords may share pixels where it runs nearly level.
  struct Range {
    int from, to;  // [from, to)
  };
  Range ranges[4];
  float* cells = mAcc;
  for (int i = 0; i < count; ++i) {
    const double x0 = std::min(chords[i].from, chords[i].to);
    const double x1 = std::max(chords[i].from, chords[i].to);
    if (!(x0 >= 0) || !(x1 < mWidth)) {  // the picture's edges are the outlines' to mind
      for (int j = 0; j < i; ++j)
        std::fill(cells + 2 * static_cast<std::size_t>(ranges[j].from),
                  cells + 2 * static_cast<std::size_t>(ranges[j].to), 0.0f);
      return false;
    }
    const float d = chords[i].direction;
    const auto [from, to] =
        DepositPiece(cells, x0, x1, d, [&] { return d * static_cast<float>(1.0 / (x1 - x0)); });
    ranges[i] = {from, to};
  }
  // Walked as Fill walks a row, left to right (an inner oval's side may reach
  // past its outer's), the cells of chords that meet or overlap together,
  // runs between.
  for (int i = 1; i < count; ++i) {
    for (int j = i; j > 0 && ranges[j].from < ranges[j - 1].from; --j)
      std::swap(ranges[j], ranges[j - 1]);
  }
  auto* row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<uchar*>(mPixels) + y * mStride);
  const int hideFrom = mHidden[2 * static_cast<std::size_t>(y)];
  const int hideTo = mHidden[2 * static_cast<std::size_t>(y) + 1];
  const std::uint64_t spread = Spread(solid);
  const bool kept = mKept != nullptr;
  float sum = 0;
  std::uint32_t cover = 0;
  int runFrom = 0;
  for (int i = 0; i < count;) {
    const int from = ranges[i].from;
    int to = ranges[i].to;
    for (++i; i < count && ranges[i].from <= to; ++i)
      to = std::max(to, ranges[i].to);
    if (from > runFrom && cover > 0) {
      PaintAround(row, runFrom, from, hideFrom, hideTo, solid, cover);
      if (kept) Keep(y, runFrom, from, cover, true);
    }
    for (int x = from; x < to; ++x) {
      float* cell = cells + 2 * static_cast<std::size_t>(x);
      const float here = sum + cell[0];
      sum += cell[1];
      cell[0] = 0;
      cell[1] = 0;
      row[x] = Blend(row[x], spread, CoverOf(here));
      if (kept) Keep(y, x, x + 1, CoverOf(here), false);
    }
    cover = CoverOf(sum);
    runFrom = to;
  }
  return true;
}

void Raster::FillEllipse(const QRectF& box, const std::optional<QRectF>& inner, QRgb colour) {
  const auto finite = [](const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
  };
  if (!finite(box) || (inner && !finite(*inner)) || !(box.width() > 0) || !(box.height() > 0)) {
    return;  // nothing to paint, as the outline of such an ellipse covers nothing
  }
  const std::uint32_t solid = 0xFF000000u | (colour & 0x00FFFFFFu);
  const bool ring = inner && inner->width() > 0 && inner->height() > 0;
  const std::optional<QRectF> hole = ring ? inner : std::nullopt;
  const auto height = static_cast<double>(mHeight);
  const double cy = box.center().y() - mOrigin.y();
  const int top = static_cast<int>(std::clamp(std::floor(cy - box.height() / 2), 0.0, height));
  const int bottom = static_cast<int>(std::clamp(std::ceil(cy + box.height() / 2), 0.0, height));
  const auto hidden = [&](const Kept& k) {
    const int* rows = mHidden.data() + 2 * static_cast<std::ptrdiff_t>(top);
    return k.hidden.size() == 2 * static_cast<std::size_t>(bottom - top) &&
           (k.hidden.empty() ||  // no rows: no array to compare
            std::memcmp(k.hidden.data(), rows, k.hidden.size() * sizeof(int)) == 0);
  };
  KeptStore& kept = KeptEllipses();
  Kept key{
      {box.x(), box.y(), box.width(), box.height(), hole ? hole->x() : 0.0, hole ? hole->y() : 0.0,
       hole ? hole->width() : 0.0, hole ? hole->height() : 0.0, mOrigin.x(), mOrigin.y()},
      ring,
      mWidth,
      mHeight,
      mStride,
      {},
      {},
      {},
      {},
      0};
  Mix mix;
  for (const double v : key.shape)
    mix(v);
  mix(static_cast<std::uint64_t>(ring));
  mix(static_cast<std::uint64_t>(mStride));
  key.hash = mix.hash;
  if (const Kept* found =
          kept.Find(key.hash, [&](const Kept& k) { return k.SameShape(key) && hidden(k); })) {
    return PaintKept(*found, solid);
  }
  // Offsets in 32 bits: of pictures up to 16 GB.
  if (static_cast<double>(mHeight) * static_cast<double>(mStride) > 16e9) {
    return PaintEllipse(box, hole, top, bottom, solid);
  }
  Kept fresh = key;
  fresh.hidden.assign(mHidden.begin() + 2 * static_cast<std::ptrdiff_t>(top),
                      mHidden.begin() + 2 * static_cast<std::ptrdiff_t>(bottom));
  mKept = &fresh;
  PaintEllipse(box, hole, top, bottom, solid);
  mKept = nullptr;
  kept.Add(std::move(fresh));
}

void Raster::PaintKept(const Kept& kept, std::uint32_t solid) {
  std::size_t i = 0;
#if defined(__SSE2__)
  // Four cells at a time, a channel a 16-bit lane (as Blend computes it,
  // no lane overflows: 255 * (256 - c) + 255 * c < 65536). Each pixel is
  // kept once, so the four are independent.
  const Kept::Cell* cells = kept.cells.data();
  const __m128i zero = _mm_setzero_si128();
  const __m128i colour = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(solid)), zero);
  const __m128i full = _mm_set1_epi16(256);
  for (; i + 4 <= kept.cells.size(); i += 4) {
    std::uint32_t* at[4];
    for (int k = 0; k < 4; ++k)
      at[k] = mPixels + cells[i + static_cast<std::size_t>(k)].offset;
    const __m128i pixels = _mm_setr_epi32(static_cast<int>(*at[0]), static_cast<int>(*at[1]),
                                          static_cast<int>(*at[2]), static_cast<int>(*at[3]));
    const __m128i covers = _mm_setr_epi16(
        static_cast<short>(cells[i].cover), static_cast<short>(cells[i + 1].cover),
        static_cast<short>(cells[i + 2].cover), static_cast<short>(cells[i + 3].cover), 0, 0, 0, 0);
    const __m128i spread = _mm_unpacklo_epi16(covers, covers);  // c0 c0 c1 c1 c2 c2 c3 c3
    const __m128i cover01 = _mm_unpacklo_epi32(spread, spread);
    const __m128i cover23 = _mm_unpackhi_epi32(spread, spread);
    const auto blend = [&](__m128i under, __m128i cover) {
      return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(under, _mm_sub_epi16(full, cover)),
                                          _mm_mullo_epi16(colour, cover)),
                            8);
    };
    const __m128i low = blend(_mm_unpacklo_epi8(pixels, zero), cover01);
    const __m128i high = blend(_mm_unpackhi_epi8(pixels, zero), cover23);
    const __m128i mixed = _mm_packus_epi16(low, high);
    *at[0] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(mixed));
    *at[1] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(mixed, 1)));
    *at[2] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(mixed, 2)));
    *at[3] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(mixed, 3)));
  }
#endif
  const std::uint64_t spread = Spread(solid);
  for (; i < kept.cells.size(); ++i) {
    const Kept::Cell& cell = kept.cells[i];
    mPixels[cell.offset] = Blend(mPixels[cell.offset], spread, cell.cover);
  }
  for (const Kept::Run& run : kept.runs)
    PaintRun(mPixels + run.offset, mPixels + run.offset + run.length, solid, run.cover);
}

void Raster::PaintEllipse(const QRectF& box, const std::optional<QRectF>& inner, int top,
                          int bottom, std::uint32_t solid) {
  const Oval outer(box, mOrigin);
  const bool ring = inner.has_value();
  const std::optional<Oval> hole = ring ? std::optional<Oval>(Oval(*inner, mOrigin)) : std::nullopt;
  // The rows left to the outlines, as runs [from, to).
  std::vector<std::pair<int, int>> left;
  for (int y = top; y < bottom; ++y) {
    if (PaintOvalRow(y, outer, hole ? &*hole : nullptr, solid)) continue;
    if (!left.empty() && left.back().second == y) {
      left.back().second = y + 1;
    } else {
      left.emplace_back(y, y + 1);
    }
  }
  if (left.empty()) return;
  // The outlines' edges within those rows only.
  const auto clipped = [&](const std::vector<QPointF>& outline) {
    for (std::size_t i = 0; i < outline.size(); ++i) {
      const QPointF& p = outline[i];
      const QPointF& q = outline[i + 1 < outline.size() ? i + 1 : 0];
      if (p.y() == q.y()) continue;
      const auto at = [&](double y) {
        return QPointF(p.x() + (q.x() - p.x()) * (y - p.y()) / (q.y() - p.y()), y);
      };
      for (const auto& [from, to] : left) {
        const double low = std::max(std::min(p.y(), q.y()), from + mOrigin.y());
        const double high = std::min(std::max(p.y(), q.y()), to + mOrigin.y());
        if (low >= high) continue;
        if (p.y() < q.y()) {
          AddLine(at(low), at(high));
        } else {
          AddLine(at(high), at(low));
        }
      }
    }
  };
  clipped(EllipseOutline(box, false));
  if (ring) clipped(EllipseOutline(*inner, true));
  Fill(solid);
}

std::vector<QPointF> Raster::EllipseOutline(const QRectF& box, bool hole) {
  const double radius = std::max(box.width(), box.height()) / 2;
  const double step = 2.0 * std::acos(std::max(0.0, 1.0 - 0.05 / std::max(radius, 0.05)));
  const int n = static_cast<int>(std::clamp(std::ceil(2 * 3.14159265358979 / step), 8.0, 4096.0));
  const double turn = 2 * 3.14159265358979 / n * (hole ? -1 : 1);
  const double c = std::cos(turn);
  const double s = std::sin(turn);
  const QPointF centre = box.center();
  std::vector<QPointF> points(static_cast<std::size_t>(n));
  double u = 1;  // cos and sin of the point's angle, turned on by one step each time
  double v = 0;
  for (QPointF& p : points) {
    p = QPointF(centre.x() + box.width() / 2 * u, centre.y() + box.height() / 2 * v);
    const double w = u * c - v * s;
    v = u * s + v * c;
    u = w;
  }
  return points;
}

void Raster::Hide(const Disc& disc) {
  if (disc.centre == mHiddenDisc.centre && disc.radius == mHiddenDisc.radius) return;
  mHiddenDisc = disc;
  const auto spanOf = [&](int y) { return mHidden.data() + 2 * static_cast<std::size_t>(y); };
  for (int y = mHiddenTop; y < mHiddenBottom; ++y) {
    spanOf(y)[0] = std::numeric_limits<int>::max();
    spanOf(y)[1] = std::numeric_limits<int>::min();
  }
  mHiddenTop = mHiddenBottom = 0;
  // A pixel whose centre lies a pixel inside the disc is wholly inside it,
  // and inside the outline that stands for the disc (0.05 px within).
  const double radius = disc.radius - 1.0;
  const QPointF centre = disc.centre - mOrigin;
  if (!(radius > 0) || !std::isfinite(radius) || !std::isfinite(centre.x()) ||
      !std::isfinite(centre.y())) {
    return;
  }
  // A chart hides the same discs chart after chart: worked out once for the
  // last two, on this thread.
  struct Spans {
    QPointF centre;
    double radius = 0;
    int width = 0, height = 0;
    int top = 0, bottom = 0, firstWord = 0, lastWord = 0;
    std::vector<int> spans;  // [from, to) for each row in [top, bottom)
  };
  thread_local Spans known[2];
  const auto same = [&](const Spans& k) {
    return k.centre == centre && k.radius == radius && k.width == mWidth && k.height == mHeight;
  };
  if (!same(known[0]) && same(known[1])) std::swap(known[0], known[1]);
  Spans& found = known[0];
  if (!same(found)) {
    std::swap(known[0], known[1]);
    found.centre = centre;
    found.radius = radius;
    found.width = mWidth;
    found.height = mHeight;
    const auto width = static_cast<double>(mWidth);
    const auto height = static_cast<double>(mHeight);
    found.top = static_cast<int>(std::clamp(std::floor(centre.y() - radius), 0.0, height));
    found.bottom = static_cast<int>(std::clamp(std::ceil(centre.y() + radius), 0.0, height));
    found.spans.assign(2 * static_cast<std::size_t>(found.bottom - found.top), 0);
    // The words of the cells that edges within will carry to.
    int leftmost = mWidth;
    int rightmost = 0;
    for (int y = found.top; y < found.bottom; ++y) {
      int* span = found.spans.data() + 2 * static_cast<std::size_t>(y - found.top);
      span[0] = std::numeric_limits<int>::max();  // none
      span[1] = std::numeric_limits<int>::min();
      const double dy = y + 0.5 - centre.y();
      if (!(radius * radius > dy * dy)) continue;
      const double half = std::sqrt(radius * radius - dy * dy);
      // The pixels whose centres lie within: left of the picture, one fewer.
      const int from = Floor(std::clamp(centre.x() - half - 0.5, 0.0, width)) + 1;
      const int to = Ceil(std::clamp(centre.x() + half - 0.5, 0.0, width));
      if (from >= to) continue;
      span[0] = from;
      span[1] = to;
      leftmost = std::min(leftmost, to - 1);
      rightmost = std::max(rightmost, to - 1);
    }
    found.firstWord = leftmost >> 6;
    found.lastWord = rightmost >> 6;
  }
  mHiddenTop = found.top;
  mHiddenBottom = found.bottom;
  std::copy(found.spans.begin(), found.spans.end(), spanOf(found.top));
  mHiddenFirstWord = found.firstWord;
  mHiddenLastWord = found.lastWord;
}

void Raster::FillRect(const QRect& area, QRgb colour) {
  const std::uint32_t solid = 0xFF000000u | (colour & 0x00FFFFFFu);
  const QRect local = area.translated(-mOrigin.toPoint()) & QRect(0, 0, mWidth, mHeight);
  for (int y = local.top(); y <= local.bottom(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<uchar*>(mPixels) + y * mStride);
    const int* hidden = mHidden.data() + 2 * static_cast<std::size_t>(y);
    PaintAround(row, local.left(), local.right() + 1, hidden[0], hidden[1], solid, 256);
  }
}

void Raster::FillEvenOdd(QRgb colour) {
  mEvenOdd = true;
  Fill(colour);
  mEvenOdd = false;
}

void Raster::Fill(QRgb colour) {
  const std::uint32_t solid = 0xFF000000u | (colour & 0x00FFFFFFu);
  // The edges by the band they start in: counted, then placed.
  const auto bands = static_cast<std::size_t>((mHeight + mBandRows - 1) / mBandRows);
  const auto bandOf = [&](const Edge& edge) {
    return static_cast<std::size_t>(Floor(std::max(edge.y0, 0.0)) >> mBandShift);
  };
  mBandStart.assign(bands + 1, 0);
  for (const Edge& edge : mEdges)
    ++mBandStart[bandOf(edge) + 1];
  for (std::size_t b = 0; b < bands; ++b)
    mBandStart[b + 1] += mBandStart[b];
  mOrder.resize(mEdges.size());
  for (std::size_t e = 0; e < mEdges.size(); ++e)
    mOrder[mBandStart[bandOf(mEdges[e])]++] = e;  // each band's start moves to its end
  mActive.clear();
  std::size_t next = 0;
  for (std::size_t b = 0; b < bands && (next < mEdges.size() || !mActive.empty()); ++b) {
    for (; next < mBandStart[b]; ++next)
      mActive.push_back(mOrder[next]);
    if (mActive.empty()) continue;
    const int top = static_cast<int>(b) * mBandRows;
    const int bottom = std::min(top + mBandRows, mHeight);
    if (top < mHiddenBottom && bottom > mHiddenTop) {
      // Edges within take their carry to a hidden span's last cell: the walk
      // along the row must reach it.
      mFirstWord = std::min(mFirstWord, mHiddenFirstWord);
      mLastWord = std::max(mLastWord, mHiddenLastWord);
    }
    // Each edge in the band; those that end in it leave.
    std::size_t kept = 0;
    for (const std::size_t e : mActive) {
      Deposit(mEdges[e], top, bottom, top);
      if (mEdges[e].y1 > bottom) mActive[kept++] = e;
    }
    mActive.resize(kept);
    if (mKept != nullptr) {
      PaintRows<true>(top, bottom, solid);
    } else {
      PaintRows<false>(top, bottom, solid);
    }
    mFirstWord = static_cast<int>(mWords);
    mLastWord = -1;
  }
  mEdges.clear();
}

void Raster::FillOutline(const std::vector<QPointF>& points, QRgb colour) {
  Flush();
  const auto plain = [&] {
    AddOutline(points);
    Fill(colour);
  };
  if (!mEdges.empty() || points.size() < 3 || points.size() > kKeptOutlinePoints) return plain();
  double left = points.front().x(), right = left, top = points.front().y(), bottom = top;
  Mix mix;
  mix(mOrigin.x());
  mix(mOrigin.y());
  for (const QPointF& p : points) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
    mix(p.x());
    mix(p.y());
  }
  // Small, wholly within the picture (no edge clamped to its sides) and
  // clear of the hidden disc (nothing cut or skipped): then what it covers
  // depends on its points alone.
  const QRectF box = QRectF(QPointF(left, top), QPointF(right, bottom)).translated(-mOrigin);
  const double reach = mHiddenDisc.radius;
  const QRectF disc(mHiddenDisc.centre - mOrigin - QPointF(reach, reach),
                    QSizeF(2 * reach, 2 * reach));
  if (!std::isfinite(box.width()) || !std::isfinite(box.height()) || !(box.left() >= 0) ||
      !(box.top() >= 0) || !(box.right() + 1 <= mWidth) || !(box.bottom() + 1 <= mHeight) ||
      box.width() > kKeptOutlineSide || box.height() > kKeptOutlineSide ||
      (reach > 0 && disc.adjusted(-2, -2, 2, 2).intersects(box.adjusted(-1, -1, 1, 1)))) {
    return plain();
  }
  const std::uint32_t solid = 0xFF000000u | (colour & 0x00FFFFFFu);
  mix(static_cast<std::uint64_t>(mStride));
  const std::uint64_t hash = mix.hash;
  KeptStore& kept = KeptOutlines();
  if (const Kept* found = kept.Find(hash, [&](const Kept& k) {
        return k.width == mWidth && k.height == mHeight && k.stride == mStride &&
               k.shape[8] == mOrigin.x() && k.shape[9] == mOrigin.y() && k.outline == points;
      })) {
    return PaintKept(*found, solid);
  }
  Kept fresh{{0, 0, 0, 0, 0, 0, 0, 0, mOrigin.x(), mOrigin.y()},
             false,
             mWidth,
             mHeight,
             mStride,
             {},
             {},
             {},
             points,
             hash};
  mKept = &fresh;
  AddOutline(points);
  Fill(colour);
  mKept = nullptr;
  kept.Add(std::move(fresh));
}

namespace {

// The pixels of the painter's device the rasteriser may write, if any.
std::optional<QRect> RasterArea(QPainter& painter) {
  QPaintEngine* engine = painter.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster || painter.hasClipping() ||
      painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
      painter.opacity() != 1.0 || painter.deviceTransform().type() > QTransform::TxScale) {
    return std::nullopt;
  }
  // A widget's painter paints into its window's backing store.
  QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device->devType() != QInternal::Image) return std::nullopt;
  const auto* image = static_cast<const QImage*>(device);
  if ((image->format() != QImage::Format_ARGB32_Premultiplied &&
       image->format() != QImage::Format_RGB32) ||
      !image->isDetached()) {
    return std::nullopt;
  }
  QRect area = image->rect();
  const QRegion clip = engine->systemClip();  // a widget's part of the window
  if (!clip.isEmpty()) {
    if (clip.rectCount() != 1) return std::nullopt;
    area &= clip.boundingRect();
  }
  if (area.isEmpty()) return std::nullopt;
  return area;
}

}  // namespace

std::optional<Raster> RasterFor(QPainter& painter) {
  const std::optional<QRect> area = RasterArea(painter);
  if (!area) return std::nullopt;
  auto* image = static_cast<QImage*>(painter.paintEngine()->paintDevice());
  uchar* first = image->bits() + area->top() * image->bytesPerLine() +
                 static_cast<qsizetype>(area->left()) * 4;
  return Raster(reinterpret_cast<std::uint32_t*>(first), area->width(), area->height(),
                image->bytesPerLine(), area->topLeft());
}

bool CanRaster(QPainter& painter) {
  return RasterArea(painter).has_value();
}

}  // namespace xamlpie::detail
