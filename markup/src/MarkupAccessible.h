// What screen readers see of a MarkupLabel.

#ifndef XAMLPIE_MARKUPACCESSIBLE_H_
#define XAMLPIE_MARKUPACCESSIBLE_H_

namespace xamlpie {

class PieView;

// Registers the accessible interfaces of MarkupLabel and PieView with Qt;
// once is enough.
void InstallAccessibility();

// The accessible child that speaks for a row's slice, -1 when none does
// (the slice is hidden or draws nothing).
int AccessibleChild(const PieView& view, int row);

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPACCESSIBLE_H_
