// The writer the markup is built with, and what text in markup needs.

#ifndef XAMLPIE_MARKUPWRITER_H_
#define XAMLPIE_MARKUPWRITER_H_

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace xamlpie::detail {

// Collects the markup in a small buffer and hands it to the text in large
// pieces: the text is mostly short numbers, and appending each of them to a
// std::string costs more than writing it.
class MarkupWriter {
 public:
  explicit MarkupWriter(std::string& out) : mOut(out) {}

  // Writes what is buffered; call it before using the text.
  void Flush() {
    mOut.append(mBuffer.data(), mLength);
    mLength = 0;
  }

  template <std::size_t N>
  void Put(const char (&text)[N]) {
    Put(std::string_view(text, N - 1));
  }

  void Put(std::string_view text) {
    if (text.size() > kCapacity / 2) {
      Flush();
      mOut.append(text);
      return;
    }
    Room(text.size());
    char* at = mBuffer.data() + mLength;
    if (text.size() <= 16) {
      // Most pieces are a few characters: a call to memcpy costs more.
      for (const char c : text)
        *at++ = c;
    } else {
      std::memcpy(at, text.data(), text.size());
    }
    mLength += text.size();
  }

  void Int(std::int32_t value) {
    Room(kIntChars);
    mLength = End(WriteInt(At(), value));
  }

  // "x,y ": points make up nearly all of the text.
  void Point(std::int32_t x, std::int32_t y) {
    Room(kPointChars);
    mLength += FormatPoint(At(), x, y);
  }

  // The most a point's text takes.
  static constexpr std::size_t kPointChars = 24;
  // Writes "x,y " to `at`, which has room for kPointChars; returns its length.
  static std::size_t FormatPoint(char* at, std::int32_t x, std::int32_t y) {
    char* end = WriteInt(at, x);
    *end++ = ',';
    end = WriteInt(end, y);
    *end++ = ' ';
    return static_cast<std::size_t>(end - at);
  }
  // A point's text written before: all kPointChars of `text` are copied,
  // `length` of them kept.
  void PutPoint(const char* text, std::size_t length) {
    Room(kPointChars);
    std::memcpy(At(), text, kPointChars);
    mLength += length;
  }

  // " x,y" to a hundredth, as fixed-point text with two decimals of the
  // values rounded to hundredths would say it; false, writing nothing, for
  // a value of 1e13 or more (or not a number), which that text must say.
  bool DecimalPoint(double x, double y) {
    Room(kDecimalPointChars);
    const std::size_t length = FormatDecimalPoint(At(), x, y);
    mLength += length;
    return length > 0;
  }
  // The most such a point's text takes.
  static constexpr std::size_t kDecimalPointChars = 2 + 2 * 20;
  // Writes it to `at`, which has room for kDecimalPointChars; returns its
  // length, 0 where DecimalPoint would write nothing.
  static std::size_t FormatDecimalPoint(char* at, double x, double y) {
    const double sx = x * 100.0;
    const double sy = y * 100.0;
    if (!(std::abs(sx) < 1e15 && std::abs(sy) < 1e15)) return 0;
    char* end = at;
    *end++ = ' ';
    end = WriteHundredths(end, Round(sx));
    *end++ = ',';
    end = WriteHundredths(end, Round(sy));
    return static_cast<std::size_t>(end - at);
  }

  // Text as an attribute value between apostrophes: markup characters as
  // entities, anything outside printable ASCII as a character reference, so
  // the markup stays ASCII and no text can end the attribute. UTF-8 is
  // decoded; a byte that is no part of a valid sequence, and a control
  // character XML cannot carry, becomes U+FFFD.
  void Text(std::string_view utf8);

 private:
  static constexpr std::size_t kCapacity = 4096;
  static constexpr std::size_t kIntChars = 11;  // any 32-bit value, sign included
  static_assert(kPointChars >= 2 * kIntChars + 2);

  // Hundredths below 1e15 in magnitude as "-123.45": the double nearest
  // k / 100 prints with two decimals as k / 100, its error far below half a
  // hundredth.
  static char* WriteHundredths(char* at, std::int64_t hundredths) {
    if (hundredths < 0) *at++ = '-';
    const std::uint64_t magnitude = hundredths < 0 ? 0 - static_cast<std::uint64_t>(hundredths)
                                                   : static_cast<std::uint64_t>(hundredths);
    const std::uint64_t whole = magnitude / 100;
    const auto cents = static_cast<std::uint32_t>(magnitude % 100);
    if (whole < 1000) {  // nearly every coordinate
      at = WriteInt(at, static_cast<std::int32_t>(whole));
    } else {
      at = std::to_chars(at, at + 16, whole).ptr;
    }
    *at++ = '.';
    *at++ = static_cast<char>('0' + cents / 10);
    *at++ = static_cast<char>('0' + cents % 10);
    return at;
  }
  // Halves away from zero, as std::round, for |v| below 2^52: the part
  // after the point is exact there.
  static std::int64_t Round(double v) {
    const auto whole = static_cast<std::int64_t>(v);
    const double rest = v - static_cast<double>(whole);
    // Without branches: which way a coordinate rounds is a coin toss.
    return whole + static_cast<std::int64_t>(rest >= 0.5) - static_cast<std::int64_t>(rest <= -0.5);
  }

  static char* WriteInt(char* at, std::int32_t value) {
    // Coordinates are nearly all below 1,000: written without a loop.
    const auto small = static_cast<std::uint32_t>(value);
    if (small >= 1000) return std::to_chars(at, at + kIntChars, value).ptr;
    const char hundreds = static_cast<char>('0' + small / 100);
    const char tens = static_cast<char>('0' + small / 10 % 10);
    const char ones = static_cast<char>('0' + small % 10);
    if (small >= 100) *at++ = hundreds;
    if (small >= 10) *at++ = tens;
    *at++ = ones;
    return at;
  }
  char* At() { return mBuffer.data() + mLength; }
  std::size_t End(const char* at) const { return static_cast<std::size_t>(at - mBuffer.data()); }
  void Room(std::size_t chars) {
    if (mLength + chars > kCapacity) Flush();
  }

  std::string& mOut;
  std::array<char, kCapacity> mBuffer;
  std::size_t mLength = 0;
};

// Calls `each` with every code point of UTF-8 text; U+FFFD for a byte that
// is no part of a valid sequence (overlong forms and surrogates included).
template <typename Each>
void ForEachCodePoint(std::string_view utf8, Each each) {
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t length = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      length = 1;
      point = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      point = lead & 0x1Fu;
      least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      point = lead & 0x0Fu;
      least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      point = lead & 0x07u;
      least = 0x10000;
    }
    bool valid = length > 0 && at + length <= utf8.size();
    for (std::size_t i = 1; valid && i < length; ++i) {
      const auto next = static_cast<unsigned char>(utf8[at + i]);
      valid = (next & 0xC0u) == 0x80u;
      point = (point << 6) | (next & 0x3Fu);
    }
    if (valid && (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))) {
      valid = false;
    }
    if (!valid) {
      each(U'\uFFFD');
      ++at;  // resynchronise on the next byte
      continue;
    }
    each(point);
    at += length;
  }
}

// How many characters a reader sees in UTF-8 text.
inline std::int64_t CodePointCount(std::string_view utf8) {
  std::int64_t count = 0;
  ForEachCodePoint(utf8, [&](char32_t) { ++count; });
  return count;
}

}  // namespace xamlpie::detail

#endif  // XAMLPIE_MARKUPWRITER_H_
