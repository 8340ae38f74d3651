#include "xamlpie/SystemColors.h"

#include <array>
#include <utility>

#ifdef _WIN32
#include <olectl.h>
#include <windows.h>
#endif

namespace xamlpie {
namespace {

constexpr RgbValue Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

// Windows' default colour scheme, by system-colour index.
constexpr std::array<RgbValue, SystemColorCount> kDefaultScheme = {
    Rgb(200, 200, 200),  //  0 scroll bar
    Rgb(0, 0, 0),        //  1 desktop
    Rgb(153, 180, 209),  //  2 active caption
    Rgb(191, 205, 219),  //  3 inactive caption
    Rgb(240, 240, 240),  //  4 menu
    Rgb(255, 255, 255),  //  5 window background
    Rgb(100, 100, 100),  //  6 window frame
    Rgb(0, 0, 0),        //  7 menu text
    Rgb(0, 0, 0),        //  8 window text
    Rgb(0, 0, 0),        //  9 caption text
    Rgb(180, 180, 180),  // 10 active border
    Rgb(244, 247, 252),  // 11 inactive border
    Rgb(171, 171, 171),  // 12 application workspace
    Rgb(0, 120, 215),    // 13 highlight
    Rgb(255, 255, 255),  // 14 highlighted text
    Rgb(240, 240, 240),  // 15 button face
    Rgb(160, 160, 160),  // 16 button shadow
    Rgb(109, 109, 109),  // 17 grey text
    Rgb(0, 0, 0),        // 18 button text
    Rgb(0, 0, 0),        // 19 inactive caption text
    Rgb(255, 255, 255),  // 20 button highlight
    Rgb(105, 105, 105),  // 21 3D dark shadow
    Rgb(227, 227, 227),  // 22 3D light
    Rgb(0, 0, 0),        // 23 tooltip text
    Rgb(255, 255, 225),  // 24 tooltip background
    Rgb(0, 0, 0),        // 25 unused
    Rgb(0, 102, 204),    // 26 hot-tracked item
    Rgb(185, 209, 234),  // 27 active caption gradient
    Rgb(215, 228, 242),  // 28 inactive caption gradient
    Rgb(51, 153, 255),   // 29 menu highlight
    Rgb(240, 240, 240),  // 30 menu bar
};

SystemColorSource& Source() {
  static SystemColorSource source;
  return source;
}

}  // namespace

RgbValue DefaultSystemColor(int index) noexcept {
  if (index < 0 || index >= SystemColorCount) return 0;
  return kDefaultScheme[static_cast<std::size_t>(index)];
}

void SetSystemColorSource(SystemColorSource source) {
  Source() = std::move(source);
}

#ifdef _WIN32

RgbValue TranslateOleColor(ColorValue color) {
  COLORREF rgb = 0;
  // A rejected value leaves rgb at 0, which is the black we want for it.
  (void)OleTranslateColor(static_cast<OLE_COLOR>(color), nullptr, &rgb);
  return static_cast<RgbValue>(rgb);
}

#else

RgbValue TranslateOleColor(ColorValue color) {
  const std::uint32_t kind = color >> 24;
  if (kind == 0x00) return color;
  if (kind == 0x80) {
    const std::uint32_t index = color & 0x00FFFFFFu;
    if (index >= static_cast<std::uint32_t>(SystemColorCount)) return 0;
    const int i = static_cast<int>(index);
    const SystemColorSource& source = Source();
    return (source ? source(i) : DefaultSystemColor(i)) & 0x00FFFFFFu;
  }
  return 0;
}

#endif

}  // namespace xamlpie
