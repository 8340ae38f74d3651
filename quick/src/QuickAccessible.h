// The chart item for screen readers: a Chart with one child per slice,
// named with its numbers as the widget's are.

#ifndef XAMLPIE_QUICK_QUICKACCESSIBLE_H_
#define XAMLPIE_QUICK_QUICKACCESSIBLE_H_

namespace xamlpie::quick {

void InstallAccessibility();

}  // namespace xamlpie::quick

#endif  // XAMLPIE_QUICK_QUICKACCESSIBLE_H_
