#include "xamlpie/Colors.h"

#include <QGuiApplication>
#include <QList>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "xamlpie/PieSlice.h"
#include "xamlpie/SystemColors.h"

namespace xamlpie {
namespace {

struct Role {
  int index;
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// The system colours that have a counterpart in Qt's palette; the rest keep
// Windows' defaults.
constexpr Role kRoles[] = {
    {4, QPalette::Active, QPalette::Window},            // menu
    {5, QPalette::Active, QPalette::Base},              // window background
    {6, QPalette::Active, QPalette::Shadow},            // window frame
    {7, QPalette::Active, QPalette::WindowText},        // menu text
    {8, QPalette::Active, QPalette::Text},              // window text
    {12, QPalette::Active, QPalette::Dark},             // application workspace
    {13, QPalette::Active, QPalette::Highlight},        // highlight
    {14, QPalette::Active, QPalette::HighlightedText},  // highlighted text
    {15, QPalette::Active, QPalette::Button},           // button face
    {16, QPalette::Active, QPalette::Dark},             // button shadow
    {17, QPalette::Disabled, QPalette::Text},           // grey text
    {18, QPalette::Active, QPalette::ButtonText},       // button text
    {20, QPalette::Active, QPalette::Light},            // button highlight
    {21, QPalette::Active, QPalette::Shadow},           // 3D dark shadow
    {22, QPalette::Active, QPalette::Midlight},         // 3D light
    {23, QPalette::Active, QPalette::ToolTipText},      // tooltip text
    {24, QPalette::Active, QPalette::ToolTipBase},      // tooltip background
    {26, QPalette::Active, QPalette::Link},             // hot-tracked item
    {29, QPalette::Active, QPalette::Highlight},        // menu highlight
    {30, QPalette::Active, QPalette::Window},           // menu bar
};

RgbValue FromPalette(int index) {
  for (const Role& r : kRoles) {
    if (r.index != index) continue;
    const QColor c = QGuiApplication::palette().color(r.group, r.role);
    return static_cast<RgbValue>(c.red()) | static_cast<RgbValue>(c.green()) << 8 |
           static_cast<RgbValue>(c.blue()) << 16;
  }
  return DefaultSystemColor(index);
}

}  // namespace

QColor OleColorToQColor(ColorValue color) noexcept {
  RgbValue rgb = 0;
  try {
    rgb = TranslateOleColor(color);
  } catch (...) {  // painting must not throw
  }
  return QColor(static_cast<int>(rgb & 0xFFu), static_cast<int>((rgb >> 8) & 0xFFu),
                static_cast<int>((rgb >> 16) & 0xFFu));
}

ColorValue ToColorValue(const QColor& color) noexcept {
  if (!color.isValid()) return 0;
  const QColor rgb = color.toRgb();
  return static_cast<ColorValue>(rgb.red()) | static_cast<ColorValue>(rgb.green()) << 8 |
         static_cast<ColorValue>(rgb.blue()) << 16;
}

void FollowApplicationPalette() {
  SetSystemColorSource(FromPalette);
}

QList<QColor> DefaultPalette() {
  return {QColor(0x00, 0x72, 0xB2), QColor(0xE6, 0x9F, 0x00), QColor(0x00, 0x9E, 0x73),
          QColor(0xCC, 0x79, 0xA7), QColor(0x56, 0xB4, 0xE9), QColor(0xD5, 0x5E, 0x00),
          QColor(0xF0, 0xE4, 0x42), QColor(0x99, 0x99, 0x99)};
}

double Contrast(const QColor& a, const QColor& b) noexcept {
  const auto luminance = [](const QColor& c) {
    const auto channel = [](double v) {
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace xamlpie
