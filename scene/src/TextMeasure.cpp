#include "TextMeasure.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QSizeF>
#include <QTextLayout>
#include <algorithm>
#include <memory>

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

template <typename Value>
QHash<Key, Value>& Cache() {
  thread_local QHash<Key, Value> cache;
  if (cache.size() >= kMostTexts) cache.clear();
  return cache;
}

// Shaped text holds on to the font engines, which go with the application:
// the main thread's lines are let go before they do.
QHash<Key, std::shared_ptr<QTextLayout>>& Lines() {
  static const bool registered = [] {
    qAddPostRoutine([] { Cache<std::shared_ptr<QTextLayout>>().clear(); });
    return true;
  }();
  static_cast<void>(registered);
  return Cache<std::shared_ptr<QTextLayout>>();
}

// Longer text is seldom drawn twice and would keep much memory.
constexpr qsizetype kLongestKept = 256;

bool OneLine(const QString& text) {
  return std::none_of(text.begin(), text.end(), [](QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x9C || u == 0x2028 || u == 0x2029;
  });
}

}  // namespace

QRectF TextBoundingRect(const QFont& font, const QRectF& rect, int flags, const QString& text) {
  QHash<Key, QRectF>& cache = Cache<QRectF>();
  Key key{font, text, flags, rect.size()};
  auto found = cache.constFind(key);
  if (found == cache.constEnd()) {
    found = cache.insert(
        key, QFontMetricsF(font).boundingRect(QRectF(QPointF(0, 0), rect.size()), flags, text));
  }
  return found->translated(rect.topLeft());
}

double TextAdvance(const QFont& font, const QString& text) {
  QHash<Key, QRectF>& cache = Cache<QRectF>();
  Key key{font, text, -1, QSizeF()};
  auto found = cache.constFind(key);
  if (found == cache.constEnd()) {
    found = cache.insert(key, QRectF(0, 0, QFontMetricsF(font).horizontalAdvance(text), 0));
  }
  return found->width();
}

double TextHeight(const QFont& font) {
  QHash<Key, QRectF>& cache = Cache<QRectF>();
  Key key{font, QString(), -2, QSizeF()};
  auto found = cache.constFind(key);
  if (found == cache.constEnd()) {
    found = cache.insert(key, QRectF(0, 0, 0, QFontMetricsF(font).height()));
  }
  return found->height();
}

QString ElidedText(const QFont& font, const QString& text, Qt::TextElideMode mode, double width) {
  thread_local QHash<Key, QString> elided;
  if (elided.size() >= kMostTexts) elided.clear();
  const Key key{font, text, -3 - static_cast<int>(mode), QSizeF(width, 0)};
  auto found = elided.constFind(key);
  if (found == elided.constEnd()) {
    found = elided.insert(key, QFontMetricsF(font).elidedText(text, mode, width));
  }
  return *found;
}

const QTextLayout* ShapedLine(const QFont& font, const QString& text,
                              Qt::LayoutDirection direction) {
  if (text.isEmpty() || text.size() > kLongestKept || !OneLine(text)) return nullptr;
  QHash<Key, std::shared_ptr<QTextLayout>>& lines = Lines();
  const Key key{font, text, -10 - static_cast<int>(direction), QSizeF()};
  auto found = lines.constFind(key);
  if (found == lines.constEnd()) {
    // drawText lays a line out in a width it cannot reach, left aligned,
    // and moves it into its box by its natural width.
    auto line = std::make_shared<QTextLayout>(text, font);
    QTextOption option;
    option.setTextDirection(direction);
    option.setAlignment(Qt::AlignLeft);
    option.setWrapMode(QTextOption::ManualWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    line->setTextOption(option);
    line->setCacheEnabled(true);
    line->beginLayout();
    QTextLine only = line->createLine();
    only.setLineWidth(0x01000000);
    only.setPosition(QPointF(0, 0));
    line->endLayout();
    found = lines.insert(key, line);
  }
  return found->get();
}

}  // namespace xamlpie::detail
