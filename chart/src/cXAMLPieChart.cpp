#include "xamlpie/cXAMLPieChart.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string_view>

#include "checked.h"

namespace xamlpie {

namespace checked {
void ThrowOverflow() {
  throw OverflowError();
}
}  // namespace checked

OverflowError::OverflowError() : std::overflow_error("Overflow") {}
OverflowError::~OverflowError() = default;

namespace {

// The markup's pi. Changing it moves rim points by a pixel here and there.
constexpr double kPi = 3.141592653238;

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

TrigCache& Trig() {
  thread_local TrigCache cache;
  return cache;
}

}  // namespace

// Collects the markup in a small buffer and hands it to the text in large
// pieces: the text is mostly short numbers, and appending each of them to a
// std::string costs more than writing it.
class detail::MarkupWriter {
 public:
  explicit MarkupWriter(std::string& out) : mOut(out) {}

  // Writes what is buffered; call it before using the text.
  void Flush() {
    mOut.append(mBuffer.data(), mLength);
    mLength = 0;
  }

  template <std::size_t N>
  void Put(const char (&text)[N]) {
    Put(std::string_view(text, N - 1));
  }

  void Put(std::string_view text) {
    if (text.size() > kCapacity / 2) {
      Flush();
      mOut.append(text);
      return;
    }
    Room(text.size());
    std::memcpy(mBuffer.data() + mLength, text.data(), text.size());
    mLength += text.size();
  }

  void Int(std::int32_t value) {
    Room(kIntChars);
    mLength = End(WriteInt(At(), value));
  }

  // "x,y ": points make up nearly all of the text.
  void Point(std::int32_t x, std::int32_t y) {
    Room(2 * kIntChars + 2);
    char* at = WriteInt(At(), x);
    *at++ = ',';
    at = WriteInt(at, y);
    *at++ = ' ';
    mLength = End(at);
  }

 private:
  static constexpr std::size_t kCapacity = 4096;
  static constexpr std::size_t kIntChars = 11;  // any 32-bit value, sign included

  static char* WriteInt(char* at, std::int32_t value) {
    return std::to_chars(at, at + kIntChars, value).ptr;
  }
  char* At() { return mBuffer.data() + mLength; }
  std::size_t End(const char* at) const { return static_cast<std::size_t>(at - mBuffer.data()); }
  void Room(std::size_t chars) {
    if (mLength + chars > kCapacity) Flush();
  }

  std::string& mOut;
  std::array<char, kCapacity> mBuffer;
  std::size_t mLength = 0;
};

namespace {

// Rough size of the markup, so that the text of a usual chart is allocated
// once; past the cap the string grows as it needs to, since a share that
// overflows would have the whole estimate allocated for nothing.
std::size_t EstimateLength(const std::vector<DataItem>& items) {
  constexpr double kCap = 1 << 16;
  double chars = 256.0;
  for (const DataItem& item : items) {
    chars += 96.0;
    if (item.Percent > 0) chars += static_cast<double>(item.Percent) * 3.6 * 8.0;
    if (chars > kCap) return static_cast<std::size_t>(kCap);
  }
  return static_cast<std::size_t>(chars);
}

}  // namespace

void cXAMLPieChart::BackgroundColor(ColorValue pColor) noexcept {
  mBackgroundColor = pColor;
}

void cXAMLPieChart::DoughnutWidth(std::int32_t pWidth) noexcept {
  if (pWidth >= 0) mDoughnutWidth = pWidth;
}

void cXAMLPieChart::AddDataItem(std::int32_t Percent, ColorValue Color) {
  if (mItems.size() >= static_cast<std::size_t>(checked::kMax)) checked::ThrowOverflow();
  DataItem item{ColorToHex(Color), Percent};
  mItems.push_back(std::move(item));  // strong guarantee: the string's move cannot throw
}

void cXAMLPieChart::Clear() noexcept {
  mItems.clear();
}

RgbValue cXAMLPieChart::TranslateColor(ColorValue color) {
  return TranslateOleColor(color);
}

std::string cXAMLPieChart::ColorToHex(ColorValue color) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const RgbValue rgb = TranslateColor(color);
  std::string text(6, '0');
  for (std::size_t i = 0; i < 3; ++i) {
    const std::uint32_t component = (rgb >> (8 * i)) & 0xFFu;
    text[2 * i] = kDigits[component >> 4];
    text[2 * i + 1] = kDigits[component & 0xFu];
  }
  return text;
}

bool cXAMLPieChart::SliceXAML(detail::MarkupWriter& out, std::int32_t Percent,
                              std::int32_t StartPercent, const std::string& Color) const {
  std::int32_t startAngle = 0;
  if (StartPercent > 0) {
    startAngle = checked::Round(static_cast<double>(checked::Mul(StartPercent, 360)) / 100.0);
  }
  const std::int32_t endAngle = checked::Round(
      static_cast<double>(checked::Mul(Percent, 360)) / 100.0 + static_cast<double>(startAngle));
  // A negative share covers no degree; a lone "' />" would break the document.
  if (startAngle > endAngle) return false;

  const std::int32_t centre = mSize / 2;
  const double radius = static_cast<double>(mSize) / 2.0 - 1.5;
  const auto centreF = static_cast<double>(centre);
  TrigCache& trig = Trig();

  std::int32_t pointCount = 0;
  std::int32_t angle = startAngle;
  while (angle <= endAngle) {
    if (pointCount > 100) {
      pointCount = 0;
      out.Put("' />\r\n");
      // The next fan starts one degree back, so neighbouring fans share an edge.
      angle = checked::Sub(angle, 2);
    }
    if (pointCount == 0) {
      out.Put("<Polygon Canvas.Left='");
      out.Int(mMarginLeft);
      out.Put("' Canvas.Top='");
      out.Int(mMarginTop);
      out.Put("' Fill='#");
      out.Put(Color);
      out.Put("' Stroke='#");
      out.Put(Color);
      out.Put("' Points='");
      out.Point(centre, centre);
    }
    const TrigCache::CosSin cs = trig.Get(angle);
    out.Point(checked::Floor(radius * cs.cos + centreF), checked::Floor(centreF - radius * cs.sin));
    pointCount = checked::Add(pointCount, 1);
    angle = checked::Add(angle, 1);
  }
  out.Put("' />");
  return true;
}

std::string cXAMLPieChart::XAML() const {
  std::string text;
  text.reserve(EstimateLength(mItems));
  detail::MarkupWriter out(text);
  out.Put("<Canvas>\r\n");

  std::int32_t runningTotal = 0;
  for (const DataItem& item : mItems) {
    if (SliceXAML(out, item.Percent, runningTotal, item.Color)) out.Put("\r\n");
    runningTotal = checked::Add(runningTotal, item.Percent);
  }

  const std::int32_t outline = checked::Sub(mSize, 1);
  out.Put("<Ellipse Canvas.Left='");
  out.Int(mMarginLeft);
  out.Put("' Canvas.Top='");
  out.Int(mMarginTop);
  out.Put("' Stroke='#000000' StrokeThickness='2' Width='");
  out.Int(outline);
  out.Put("' Height='");
  out.Int(outline);
  out.Put("' />");

  if (mDoughnutWidth >= 1) {
    const std::int32_t left = checked::Add(mMarginLeft, mDoughnutWidth);
    const std::int32_t top = checked::Add(mMarginTop, mDoughnutWidth);
    const std::int32_t hole = checked::Sub(mSize, checked::Mul(2, mDoughnutWidth));
    out.Put("<Ellipse Canvas.Left='");
    out.Int(left);
    out.Put("' Canvas.Top='");
    out.Int(top);
    out.Put("' Stroke='#000000' StrokeThickness='2' Fill='#");
    out.Put(ColorToHex(mBackgroundColor));
    out.Put("' Width='");
    out.Int(hole);
    out.Put("' Height='");
    out.Int(hole);
    out.Put("' />");
  }

  out.Put("\r\n</Canvas>");
  out.Flush();
  return text;
}

}  // namespace xamlpie
