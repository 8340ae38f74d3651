// The order a chart's slices were added in, read back from their Tags, so
// that what is read out follows it rather than the order they are painted
// in (a pulled-out slice last, an outer ring's slices before an inner's).

#ifndef XAMLPIE_SLICEPLACE_H_
#define XAMLPIE_SLICEPLACE_H_

#include <QList>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

namespace xamlpie::detail {

// A slice's place from its Tag: "2" is the outer ring's third slice (ring 0,
// index 2), "1.2" the third of ring 1, the first ring inside it. None for a
// Tag that is no such place.
inline std::optional<std::pair<int, int>> SlicePlace(const QString& tag) {
  const QList<QStringView> parts = QStringView(tag).split(u'.');
  if (parts.size() > 2) return std::nullopt;
  int numbers[2] = {0, 0};
  for (qsizetype i = 0; i < parts.size(); ++i) {
    bool ok = false;
    numbers[2 - parts.size() + i] = parts[i].toInt(&ok);
    if (!ok) return std::nullopt;
  }
  return std::pair{numbers[0], numbers[1]};
}

// Sorts items by their Tags' places, ring by ring from the outer, each ring
// in the order added; leaves them as they are unless every Tag is a place.
template <typename T, typename TagOf>
void SortBySlicePlace(std::vector<T>& items, TagOf tagOf) {
  std::vector<std::pair<int, int>> places;
  for (const T& item : items) {
    const auto place = SlicePlace(tagOf(item));
    if (!place) return;
    places.push_back(*place);
  }
  std::vector<std::size_t> order(items.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return places[a] < places[b]; });
  std::vector<T> sorted;
  sorted.reserve(items.size());
  for (const std::size_t i : order)
    sorted.push_back(std::move(items[i]));
  items = std::move(sorted);
}

}  // namespace xamlpie::detail

#endif  // XAMLPIE_SLICEPLACE_H_
