// Translation of OLE colour values into RGB, and the source of system colours
// that the translation uses where the platform has none of its own.
//
// Threading: the system-colour source is process-wide state without locks. Set
// it and translate colours from one thread (the user-interface thread).

#ifndef XAMLPIE_SYSTEMCOLORS_H_
#define XAMLPIE_SYSTEMCOLORS_H_

#include <cstdint>
#include <functional>

#include "xamlpie/xamlpie_export.h"

namespace xamlpie {

/// A colour in the OLE encoding. Highest byte 0: red, green and blue in the
/// lower three bytes, red lowest. Highest byte 0x80: the lowest byte is the
/// index of a system colour (5 window background, 0x0F button face, 0x12 button
/// text).
using ColorValue = std::uint32_t;

/// An RGB value: red in the lowest byte, green next, blue next, highest byte 0.
using RgbValue = std::uint32_t;

/// System-colour indices run from 0 to SystemColorCount - 1.
inline constexpr int SystemColorCount = 31;

/// Returns the RGB value for a system-colour index, or is empty to fall back to
/// the default scheme.
using SystemColorSource = std::function<RgbValue(int index)>;

/// The colour of system-colour index `index` in Windows' default scheme
/// (window background FFFFFF, button face F0F0F0, button text 000000, ...).
/// Returns 0 for an index outside 0 to SystemColorCount - 1.
XAMLPIE_EXPORT RgbValue DefaultSystemColor(int index) noexcept;

/// Replaces the process-wide system-colour source; an empty source restores the
/// default scheme. The source is called only with indices from 0 to
/// SystemColorCount - 1; the highest byte of what it returns is ignored.
/// On Windows the platform's own colours are used and the source is not called.
XAMLPIE_EXPORT void SetSystemColorSource(SystemColorSource source);

/// Translates an OLE colour value into RGB, as OleTranslateColor does without a
/// palette: a plain RGB value comes back unchanged, a system colour as its
/// current RGB value, and any value the translation rejects as 0 (black).
/// Exceptions thrown by a custom source reach the caller.
XAMLPIE_EXPORT RgbValue TranslateOleColor(ColorValue color);

}  // namespace xamlpie

#endif  // XAMLPIE_SYSTEMCOLORS_H_
