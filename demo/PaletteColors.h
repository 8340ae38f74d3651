#ifndef XAMLPIE_DEMO_PALETTECOLORS_H_
#define XAMLPIE_DEMO_PALETTECOLORS_H_

namespace xamlpie {

// Makes system colours follow the application palette, the desktop's colour
// scheme as Qt sees it, the way they follow the scheme on Windows.
void FollowApplicationPalette();

}  // namespace xamlpie

#endif  // XAMLPIE_DEMO_PALETTECOLORS_H_
