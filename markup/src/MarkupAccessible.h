// What screen readers see of a MarkupLabel.

#ifndef XAMLPIE_MARKUPACCESSIBLE_H_
#define XAMLPIE_MARKUPACCESSIBLE_H_

namespace xamlpie {

// Registers the accessible interfaces of MarkupLabel with Qt; once is enough.
void InstallAccessibility();

}  // namespace xamlpie

#endif  // XAMLPIE_MARKUPACCESSIBLE_H_
