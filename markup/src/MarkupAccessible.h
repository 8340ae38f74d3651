// What screen readers see of a MarkupLabel.

#ifndef XAMLPIE_MARKUPACCESSIBLE_H_
#define XAMLPIE_MARKUPACCESSIBLE_H_

class QAccessibleInterface;

namespace xamlpie {

class PieView;

// Registers the accessible interfaces of MarkupLabel and PieView with Qt;
// once is enough.
void InstallAccessibility();

// The accessible interface that speaks for a row's slice (a child of the
// chart, or in a tree of its parent slice); null when none does (the slice
// is hidden or draws nothing).
QAccessibleInterface* AccessibleSlice(PieView& view, int row);

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPACCESSIBLE_H_
