#include "TextMeasure.h"

#include <QFontMetricsF>
#include <QHash>
#include <QSizeF>

namespace xamlpie::detail {
namespace {

struct Key {
  QFont font;
  QString text;
  int flags;  // -1 for an advance, -2 for the font's height
  QSizeF room;
  bool operator==(const Key& other) const {
    return flags == other.flags && room == other.room && text == other.text && font == other.font;
  }
};

size_t qHash(const Key& key, size_t seed) noexcept {
  return qHashMulti(seed, key.font, key.text, key.flags, key.room.width(), key.room.height());
}

// Per thread, as fonts are measured wherever pictures are made; bounded, as
// texts come and go with the data: when full it starts again, which costs
// one frame's measuring.
constexpr qsizetype kMostTexts = 1024;

QHash<Key, QRectF>& Cache() {
  thread_local QHash<Key, QRectF> cache;
  if (cache.size() >= kMostTexts) cache.clear();
  return cache;
}

}  // namespace

QRectF TextBoundingRect(const QFont& font, const QRectF& rect, int flags, const QString& text) {
  QHash<Key, QRectF>& cache = Cache();
  Key key{font, text, flags, rect.size()};
  auto found = cache.constFind(key);
  if (found == cache.constEnd()) {
    found = cache.insert(
        key, QFontMetricsF(font).boundingRect(QRectF(QPointF(0, 0), rect.size()), flags, text));
  }
  return found->translated(rect.topLeft());
}

double TextAdvance(const QFont& font, const QString& text) {
  QHash<Key, QRectF>& cache = Cache();
  Key key{font, text, -1, QSizeF()};
  auto found = cache.constFind(key);
  if (found == cache.constEnd()) {
    found = cache.insert(key, QRectF(0, 0, QFontMetricsF(font).horizontalAdvance(text), 0));
  }
  return found->width();
}

double TextHeight(const QFont& font) {
  QHash<Key, QRectF>& cache = Cache();
  Key key{font, QString(), -2, QSizeF()};
  auto found = cache.constFind(key);
  if (found == cache.constEnd()) {
    found = cache.insert(key, QRectF(0, 0, 0, QFontMetricsF(font).height()));
  }
  return found->height();
}

}  // namespace xamlpie::detail
