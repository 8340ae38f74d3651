// Reading a caption: pugixml takes the text apart, and the checks here keep
// it as strict as XML's well-formedness rules wherever the result could
// differ: a document that is not well-formed XML is not a chart.

#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "TextMeasure.h"
#include "xamlpie/MarkupScene.h"

namespace xamlpie {
namespace {

using namespace std::string_view_literals;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

// Whole numbers are nearly all that a chart holds, so they are read here;
// anything else takes from_chars.
std::optional<double> ParseNumber(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::size_t sign = !text.empty() && (negative || text.front() == '+') ? 1 : 0;
  if (text.size() > sign && text.size() - sign <= 9) {
    int whole = 0;
    std::size_t at = sign;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      whole = whole * 10 + (text[at] - '0');
    }
    if (at == text.size()) {
      double value = negative ? -whole : whole;
      if (std::fabs(value) > kMarkupCoordinateLimit) return std::nullopt;
      return value;
    }
  }
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || std::fabs(value) > kMarkupCoordinateLimit) return std::nullopt;
  return value;
}

// The whole number that eight characters start with, read all at once:
// how many digits it has (8: perhaps more) and, below eight, its value.
struct Digits {
  int count;
  std::uint32_t value;
};
Digits LeadingDigits(const char* at) {
  std::uint64_t chunk = 0;  // the first character lowest
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&chunk, at, sizeof chunk);
  } else {
    for (int i = 0; i < 8; ++i)
      chunk |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
  }
  // Each character less '0': a digit's value, else something of at least 10
  // or with its top bit set (a borrow or carry only reaches the characters
  // after the first that is not a digit, which do not count).
  const std::uint64_t digits = chunk - 0x3030303030303030u;
  const std::uint64_t others = (digits | (digits + 0x7676767676767676u)) & 0x8080808080808080u;
  const int count = others == 0 ? 8 : std::countr_zero(others) / 8;
  if (count == 0 || count == 8) return {count, 0};
  if (count <= 4) {  // nearly all of a chart's: half the steps
    auto v = static_cast<std::uint32_t>(digits) << (8 * (4 - count));
    v = ((v * 10) + (v >> 8)) & 0x00FF00FFu;
    v = ((v * 100) + (v >> 16)) & 0x3FFFu;
    return {count, v};
  }
  // The digits to the top, as an eight-digit number with leading zeros,
  // combined in pairs, fours and eights.
  std::uint64_t v = digits << (8 * (8 - count));
  v = ((v * 10) + (v >> 8)) & 0x00FF00FF00FF00FFu;
  v = ((v * 100) + (v >> 16)) & 0x0000FFFF0000FFFFu;
  v = (v * 10000) + (v >> 32);
  return {count, static_cast<std::uint32_t>(v & 0xFFFFFFFFu)};
}

bool IsSeparator(char c) {
  return c == ',' || IsSpace(c);
}

// "x,y x,y ...": numbers separated by commas and white space, in pairs.
std::optional<QPolygonF> ParsePoints(std::string_view text) {
  // Numbers take a character and a separator each: room for every point.
  QPolygonF points((static_cast<qsizetype>(text.size()) + 1) / 4 + 1);
  QPointF* point = points.data();
  double x = 0;
  bool haveX = false;
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    if (IsSeparator(*at)) {
      ++at;
      continue;
    }
    const char* start = at;
    const bool negative = *at == '-';
    if (negative) ++at;
    double value = 0;
    // Whole numbers of up to seven digits, by far the most common, are read
    // eight characters at a time; the rest, and the last few characters,
    // one by one.
    const Digits whole = end - at >= 8 ? LeadingDigits(at) : Digits{0, 0};
    if (whole.count > 0 && whole.count < 8 && whole.value <= kMarkupCoordinateLimit &&
        IsSeparator(at[whole.count])) {
      at += whole.count + 1;  // and the separator after it
      const auto magnitude = static_cast<std::int64_t>(whole.value);
      value = static_cast<double>(negative ? -magnitude : magnitude);
    } else {
      while (at < end && !IsSeparator(*at))
        ++at;
      const std::optional<double> other =
          ParseNumber(std::string_view(start, static_cast<std::size_t>(at - start)));
      if (!other) return std::nullopt;
      value = *other;
    }
    if (haveX) *point++ = QPointF(x, value);
    x = value;
    haveX = !haveX;
  }
  if (haveX) return std::nullopt;  // a lone x without its y
  points.resize(point - points.data());
  return points;
}

int HexDigit(char32_t u) {
  if (u >= '0' && u <= '9') return static_cast<int>(u - '0');
  if (u >= 'a' && u <= 'f') return static_cast<int>(u - 'a' + 10);
  if (u >= 'A' && u <= 'F') return static_cast<int>(u - 'A' + 10);
  return -1;
}

QColor ParseColor(std::string_view text) {
  if (text.empty() || text.front() != '#') {
    // Names only: QColor would also take forms such as "#RRRGGGBBB".
    const bool letter = !text.empty() && ((text.front() >= 'a' && text.front() <= 'z') ||
                                          (text.front() >= 'A' && text.front() <= 'Z'));
    if (!letter) return {};
    return QColor::fromString(QLatin1StringView(text.data(), static_cast<qsizetype>(text.size())));
  }
  const std::size_t digits = text.size() - 1;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (HexDigit(static_cast<char32_t>(text[i])) < 0) return {};
  }
  const std::size_t width = digits <= 4 ? 1 : 2;
  const bool alpha = digits == 4 || digits == 8;
  if (digits != 3 && digits != 4 && digits != 6 && digits != 8) return {};
  // One field of `width` digits; a one-digit field is doubled.
  const auto field = [&](std::size_t index) {
    int value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value = value * 16 + HexDigit(static_cast<char32_t>(text[1 + index * width + i]));
    }
    return width == 1 ? value * 17 : value;
  };
  const std::size_t first = alpha ? 1 : 0;
  return QColor(field(first), field(first + 1), field(first + 2), alpha ? field(0) : 255);
}

// Writes `c` as UTF-8 to `to`, which has room for four bytes; returns how
// many it took.
std::size_t EncodeUtf8(char32_t c, char* to) {
  if (c < 0x80) {
    to[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    to[0] = static_cast<char>(0xC0 | (c >> 6));
    to[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    to[0] = static_cast<char>(0xE0 | (c >> 12));
    to[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    to[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  to[0] = static_cast<char>(0xF0 | (c >> 18));
  to[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  to[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  to[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

void AppendUtf8(std::string& out, char32_t c) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(c, bytes));
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// A caption as UTF-8 for pugixml; nothing when it holds a character XML does
// not allow (a control character, U+FFFE, U+FFFF, half a surrogate pair).
std::optional<std::string> ToUtf8(const QString& text) {
  const auto* at = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* end = at + text.size();
  // A byte for each unit, as long as they are ASCII; grown at the first
  // that is not.
  std::string out(static_cast<std::size_t>(text.size()), '\0');
  std::size_t length = 0;
  while (at < end) {
#if defined(__SSE2__)
    // Markup is nearly all printable ASCII: eight units checked and
    // narrowed at a time (0x20 to 0x7F, compared as signed 16-bit lanes).
    for (; end - at >= 8; at += 8, length += 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_set1_epi16(0x1F)),
                                              _mm_cmplt_epi16(units, _mm_set1_epi16(0x80)));
      if (_mm_movemask_epi8(printable) != 0xFFFF) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out.data() + length),
                       _mm_packus_epi16(units, units));
    }
    if (at == end) break;
#endif
    char32_t c = *at++;
    if (c >= 0x20 && c < 0x80) {
      out[length++] = static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (at == end || *at < 0xDC00 || *at > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (*at++ - 0xDC00);
    }
    if (!IsXmlChar(c)) return std::nullopt;
    // Room for this one and three bytes for each unit after it.
    const std::size_t room = length + 4 + 3 * static_cast<std::size_t>(end - at);
    if (c >= 0x80 && out.size() < room) out.resize(room);
    length += EncodeUtf8(c, out.data() + length);
  }
  out.resize(length);
  return out;
}

// The value of an attribute or a piece of text with its references replaced:
// the five predefined entities and character references. Nothing for any
// other '&', or for a '<' in an attribute value.
class Decoder {
 public:
  // Whether the document holds a '&' at all: charts seldom do, and then no
  // value needs a look for one.
  explicit Decoder(bool references) : mReferences(references) {}

  std::optional<std::string_view> operator()(std::string_view raw, bool attribute) {
    if (!mReferences || raw.find('&') == std::string_view::npos) {
      if (attribute && raw.find('<') != std::string_view::npos) return std::nullopt;
      return raw;
    }
    mScratch.clear();
    for (std::size_t at = 0; at < raw.size();) {
      const char c = raw[at];
      if (c == '<' && attribute) return std::nullopt;
      if (c != '&') {
        mScratch += c;
        ++at;
        continue;
      }
      const std::size_t semicolon = raw.find(';', at);
      if (semicolon == std::string_view::npos) return std::nullopt;
      const std::string_view name = raw.substr(at + 1, semicolon - at - 1);
      at = semicolon + 1;
      if (name == "amp"sv) {
        mScratch += '&';
      } else if (name == "lt"sv) {
        mScratch += '<';
      } else if (name == "gt"sv) {
        mScratch += '>';
      } else if (name == "apos"sv) {
        mScratch += '\'';
      } else if (name == "quot"sv) {
        mScratch += '"';
      } else if (name.size() >= 2 && name.front() == '#') {
        const bool hex = name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        std::uint32_t code = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            !IsXmlChar(code)) {
          return std::nullopt;
        }
        AppendUtf8(mScratch, code);
      } else {
        return std::nullopt;  // an entity nobody declared
      }
    }
    return std::string_view(mScratch);
  }

  // A value already found good.
  std::string_view Checked(std::string_view raw) { return *(*this)(raw, false); }

 private:
  bool mReferences;
  std::string mScratch;
};

QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The node after `node` in document order within `root`'s subtree, or none:
// a walk without recursion, so that deep nesting costs no stack.
pugi::xml_node NextInTree(pugi::xml_node node, const pugi::xml_node& root) {
  if (node.first_child()) return node.first_child();
  while (node && node != root && !node.next_sibling())
    node = node.parent();
  if (!node || node == root) return {};
  return node.next_sibling();
}

// An attribute's name and its value as written.
struct Attribute {
  std::string_view name;
  std::string_view value;
};

// What pugixml lets through and XML does not: a document type declaration (and
// with it entity tricks), more than one root, text beside the root, the same
// attribute twice, a bad reference or a '<' in a value. Each element goes to
// `each` with its attributes as soon as they are found good, so that they
// are read once; the document may still turn out bad after it.
template <class Each>
bool WellFormed(const pugi::xml_document& document, Decoder& decode, Each each) {
  int roots = 0;
  std::unordered_set<std::string_view> seen;
  std::vector<Attribute> attributes;
  for (pugi::xml_node node = document.first_child(); node;) {
    switch (node.type()) {
      case pugi::node_doctype:
        return false;
      case pugi::node_element: {
        if (node.parent() == document) ++roots;
        attributes.clear();
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
          const Attribute attribute{a.name(), a.value()};
          if (!decode(attribute.value, true)) return false;
          attributes.push_back(attribute);
        }
        constexpr std::size_t kFew = 16;  // comparing each pair is cheaper than hashing
        const std::size_t count = attributes.size();
        if (count > kFew) {
          seen.clear();
          for (const Attribute& attribute : attributes) {
            if (!seen.insert(attribute.name).second) return false;
          }
        } else {
          for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = i + 1; j < count; ++j) {
              if (attributes[i].name == attributes[j].name) return false;
            }
          }
        }
        each(node, attributes);
        break;
      }
      case pugi::node_pcdata:
        if (node.parent() == document && !Trim(node.value()).empty()) return false;
        if (!decode(node.value(), false)) return false;
        break;
      default:
        break;
    }
    node = NextInTree(node, document);
  }
  return roots == 1;
}

// What one element says before it becomes a shape: its offset and size are
// applied last, since attributes come in any order.
struct Reading {
  MarkupShape shape;
  QPointF offset;
  QSizeF size{-1, -1};     // negative: not given
  double fontSize = 12.0;  // when none is written
  QString family;
  bool hasText = false;
};

std::optional<QFont::Weight> ParseWeight(std::string_view value) {
  static constexpr std::pair<std::string_view, QFont::Weight> kWeights[] = {
      {"Thin", QFont::Thin},
      {"ExtraLight", QFont::ExtraLight},
      {"UltraLight", QFont::ExtraLight},
      {"Light", QFont::Light},
      {"Normal", QFont::Normal},
      {"Regular", QFont::Normal},
      {"Medium", QFont::Medium},
      {"SemiBold", QFont::DemiBold},
      {"DemiBold", QFont::DemiBold},
      {"Bold", QFont::Bold},
      {"ExtraBold", QFont::ExtraBold},
      {"UltraBold", QFont::ExtraBold},
      {"Black", QFont::Black},
      {"Heavy", QFont::Black},
  };
  const QLatin1StringView v(Trim(value).data(), static_cast<qsizetype>(Trim(value).size()));
  for (const auto& [name, weight] : kWeights) {
    if (v.compare(QLatin1StringView(name.data(), static_cast<qsizetype>(name.size())),
                  Qt::CaseInsensitive) == 0) {
      return weight;
    }
  }
  return std::nullopt;
}

std::optional<Qt::Alignment> ParseAlignment(std::string_view value) {
  static constexpr std::pair<std::string_view, Qt::AlignmentFlag> kAlignments[] = {
      {"Left", Qt::AlignLeft},
      {"Right", Qt::AlignRight},
      {"Center", Qt::AlignHCenter},
      {"Justify", Qt::AlignJustify}};
  const std::string_view v = Trim(value);
  for (const auto& [name, alignment] : kAlignments) {
    if (QLatin1StringView(v.data(), static_cast<qsizetype>(v.size()))
            .compare(QLatin1StringView(name.data(), static_cast<qsizetype>(name.size())),
                     Qt::CaseInsensitive) == 0) {
      return alignment;
    }
  }
  return std::nullopt;
}

// One attribute of a shape; false when its value does not parse.
bool ApplyAttribute(Reading& r, std::string_view name, std::string_view value) {
  MarkupShape& shape = r.shape;
  const auto number = [&](double& target) {
    const std::optional<double> parsed = ParseNumber(Trim(value));
    if (parsed) target = *parsed;
    return parsed.has_value();
  };
  const auto length = [&](double& target) { return number(target) && target >= 0; };
  const auto colour = [&](QColor& target) {
    target = ParseColor(Trim(value));
    return target.isValid();
  };
  using Kind = MarkupShape::Kind;
  const Kind kind = shape.kind;
  const bool text = kind == Kind::Text;
  const bool boxed = kind == Kind::Ellipse || kind == Kind::Rectangle;

  if (name == "Tag"sv) {
    shape.tag = ToQString(value);
    return true;
  }
  if (name == "ToolTip"sv) {
    shape.toolTip = ToQString(value);
    return true;
  }
  if (name == "AutomationProperties.Name"sv) {
    shape.accessibleName = ToQString(value);
    return true;
  }
  if (name == "Canvas.Left"sv) return number(r.offset.rx());
  if (name == "Canvas.Top"sv) return number(r.offset.ry());
  if (text) {
    if (name == "Text"sv) {
      shape.text = ToQString(value);
      r.hasText = true;
      return true;
    }
    if (name == "Foreground"sv) return colour(shape.fill);
    if (name == "FontSize"sv) {
      return number(r.fontSize) && r.fontSize > 0 && r.fontSize <= kMarkupFontSizeLimit;
    }
    if (name == "FontFamily"sv) {
      r.family = ToQString(Trim(value));
      return true;
    }
    if (name == "FontWeight"sv) {
      const std::optional<QFont::Weight> weight = ParseWeight(value);
      if (weight) shape.font.setWeight(*weight);
      return weight.has_value();
    }
    if (name == "TextAlignment"sv) {
      const std::optional<Qt::Alignment> alignment = ParseAlignment(value);
      if (alignment) shape.alignment = *alignment;
      return alignment.has_value();
    }
    if (name == "Width"sv) return length(r.size.rwidth());
    return true;
  }
  if (name == "Fill"sv) return kind == Kind::Line || colour(shape.fill);
  if (name == "Stroke"sv) return colour(shape.stroke);
  if (name == "StrokeThickness"sv) return length(shape.strokeThickness);
  if (kind == Kind::Polygon && name == "Points"sv) {
    std::optional<QPolygonF> points = ParsePoints(value);
    if (points) shape.points = std::move(*points);
    return points.has_value();
  }
  if (boxed && name == "Width"sv) return length(r.size.rwidth());
  if (boxed && name == "Height"sv) return length(r.size.rheight());
  if (kind == Kind::Rectangle && name == "RadiusX"sv) return length(shape.radiusX);
  if (kind == Kind::Rectangle && name == "RadiusY"sv) return length(shape.radiusY);
  if (kind == Kind::Line) {
    QLineF& line = shape.line;
    double v = 0;
    if (name == "X1"sv) return number(v) && (line.setP1({v, line.y1()}), true);
    if (name == "Y1"sv) return number(v) && (line.setP1({line.x1(), v}), true);
    if (name == "X2"sv) return number(v) && (line.setP2({v, line.y2()}), true);
    if (name == "Y2"sv) return number(v) && (line.setP2({line.x2(), v}), true);
  }
  return true;  // unknown attributes are not ours to judge
}

// "x,y": a point, as a brush's StartPoint and the like are written.
std::optional<QPointF> ParsePoint(std::string_view text) {
  const std::optional<QPolygonF> points = ParsePoints(text);
  if (!points || points->size() != 1) return std::nullopt;
  return points->front();
}

// A Fill or Stroke property element's one brush: a SolidColorBrush sets
// `colour`; a gradient sets `gradient` and `colour` to its first stop's. A
// brush with no stops paints nothing. False for what does not parse, or
// what is not relative to the shape's box.
bool ReadBrush(const pugi::xml_node& property, Decoder& decode, QColor& colour,
               std::optional<MarkupGradient>& gradient) {
  pugi::xml_node brush;
  for (pugi::xml_node child = property.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    if (brush) return false;  // a property holds one value
    brush = child;
  }
  if (!brush) return false;
  const std::string_view kind = LocalName(brush.name());
  const bool solid = kind == "SolidColorBrush"sv;
  MarkupGradient g;
  if (kind == "RadialGradientBrush"sv) {
    g.kind = MarkupGradient::Kind::Radial;
  } else if (kind != "LinearGradientBrush"sv && !solid) {
    return false;
  }
  double opacity = 1.0;
  QColor solidColour(Qt::black);
  for (pugi::xml_attribute a = brush.first_attribute(); a; a = a.next_attribute()) {
    const std::optional<std::string_view> raw = decode(a.value(), true);
    if (!raw) return false;
    const std::string_view name = a.name();
    const std::string_view value = Trim(*raw);
    const auto point = [&](QPointF& target) {
      const std::optional<QPointF> parsed = ParsePoint(value);
      if (parsed) target = *parsed;
      return parsed.has_value();
    };
    const auto number = [&](double& target) {
      const std::optional<double> parsed = ParseNumber(value);
      if (parsed) target = *parsed;
      return parsed.has_value();
    };
    bool good = true;
    if (name == "Opacity"sv) {
      good = number(opacity);
    } else if (solid && name == "Color"sv) {
      solidColour = ParseColor(value);
      good = solidColour.isValid();
    } else if (name == "StartPoint"sv) {
      good = point(g.start);
    } else if (name == "EndPoint"sv) {
      good = point(g.end);
    } else if (name == "Center"sv) {
      good = point(g.center);
    } else if (name == "GradientOrigin"sv) {
      good = point(g.origin);
    } else if (name == "RadiusX"sv) {
      good = number(g.radiusX) && g.radiusX >= 0;
    } else if (name == "RadiusY"sv) {
      good = number(g.radiusY) && g.radiusY >= 0;
    } else if (name == "MappingMode"sv) {
      good = value == "RelativeToBoundingBox"sv;
    } else if (name == "SpreadMethod"sv) {
      good = value == "Pad"sv;
    }
    if (!good) return false;
  }
  opacity = std::clamp(opacity, 0.0, 1.0);
  const auto faded = [&](QColor c) {
    c.setAlpha(static_cast<int>(std::lround(c.alpha() * opacity)));
    return c;
  };
  if (solid) {
    colour = faded(solidColour);
    gradient.reset();
    return true;
  }
  // The stops, wherever they stand under the brush (GradientStops may wrap
  // them), in the order of their offsets; an offset past either end is at it.
  for (pugi::xml_node node = brush.first_child(); node; node = NextInTree(node, brush)) {
    if (node.type() != pugi::node_element || LocalName(node.name()) != "GradientStop"sv) continue;
    QColor stop(Qt::black);
    double offset = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      const std::optional<std::string_view> raw = decode(a.value(), true);
      if (!raw) return false;
      const std::string_view name = a.name();
      if (name == "Color"sv) {
        stop = ParseColor(Trim(*raw));
        if (!stop.isValid()) return false;
      } else if (name == "Offset"sv) {
        const std::optional<double> parsed = ParseNumber(Trim(*raw));
        if (!parsed) return false;
        offset = std::clamp(*parsed, 0.0, 1.0);
      }
    }
    g.stops.append({offset, faded(stop)});
  }
  std::stable_sort(
      g.stops.begin(), g.stops.end(),
      [](const QGradientStop& a, const QGradientStop& b) { return a.first < b.first; });
  if (g.stops.isEmpty()) {
    colour = QColor(0, 0, 0, 0);
    gradient.reset();
    return true;
  }
  colour = g.stops.front().second;
  gradient = std::move(g);
  return true;
}

// Fill and Stroke written as property elements, <Polygon.Fill> and the like;
// other property elements are not ours. False for a brush that does not
// parse.
bool ReadPropertyElements(const pugi::xml_node& element, MarkupShape& shape, Decoder& decode) {
  const std::string_view own = LocalName(element.name());
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view name = LocalName(child.name());
    if (name.size() <= own.size() + 1 || name.substr(0, own.size()) != own ||
        name[own.size()] != '.') {
      continue;
    }
    const std::string_view property = name.substr(own.size() + 1);
    const bool text = shape.kind == MarkupShape::Kind::Text;
    if (property == "Fill"sv && !text && shape.kind != MarkupShape::Kind::Line) {
      if (!ReadBrush(child, decode, shape.fill, shape.fillGradient)) return false;
    } else if (property == "Stroke"sv && !text) {
      if (!ReadBrush(child, decode, shape.stroke, shape.strokeGradient)) return false;
    }
  }
  return true;
}

void MeasureText(Reading& r) {
  detail::PlaceText(r.shape, r.offset, r.fontSize, r.family, r.size.width());
}

// An element whose attributes were found good; its content is read here
// for the first time.
std::optional<MarkupShape> ReadShape(const pugi::xml_node& element,
                                     const std::vector<Attribute>& attributes,
                                     MarkupShape::Kind kind, Decoder& decode) {
  Reading r;
  r.shape.kind = kind;
  if (kind == MarkupShape::Kind::Text) r.shape.fill = QColor(Qt::black);
  for (const Attribute& attribute : attributes) {
    if (!ApplyAttribute(r, attribute.name, decode.Checked(attribute.value))) return std::nullopt;
  }
  MarkupShape& shape = r.shape;
  if (!ReadPropertyElements(element, shape, decode)) return std::nullopt;
  switch (kind) {
    case MarkupShape::Kind::Polygon:
      shape.points.translate(r.offset);
      break;
    case MarkupShape::Kind::Line: {
      shape.line.translate(r.offset);
      const QLineF& l = shape.line;
      for (double v : {l.x1(), l.y1(), l.x2(), l.y2()}) {
        if (std::fabs(v) > kMarkupCoordinateLimit) return std::nullopt;
      }
      break;
    }
    case MarkupShape::Kind::Text:
      if (!r.hasText) {
        // Inline content such as <Run> is not ours to lay out; its text is kept.
        std::string content;
        for (pugi::xml_node node = element.first_child(); node;) {
          if (node.type() == pugi::node_pcdata) {
            const std::optional<std::string_view> piece = decode(node.value(), false);
            if (!piece) return std::nullopt;  // and the document is no chart
            content += *piece;
          } else if (node.type() == pugi::node_cdata) {
            content += node.value();
          }
          node = NextInTree(node, element);
        }
        shape.text = ToQString(content);
      }
      MeasureText(r);
      break;
    default:
      shape.box =
          QRectF(r.offset, QSizeF(std::max(r.size.width(), 0.0), std::max(r.size.height(), 0.0)));
      break;
  }
  return std::move(r.shape);
}

}  // namespace

namespace detail {

// A TextBlock's font and layout box: Canvas.Left/Top is its top-left corner,
// Width (or the text's own width) its width, one line per line of text.
void PlaceText(MarkupShape& shape, QPointF at, double fontSize, const QString& family,
               double width) {
  if (!family.isEmpty()) shape.font.setFamilies({family});
  shape.font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontSize))));
  PlaceTextBox(shape, at, fontSize, width);
}

void PlaceTextBox(MarkupShape& shape, QPointF at, double fontSize, double width) {
  if (QGuiApplication::instance() == nullptr) {
    // Fonts need the application; without one, a box of about the right size.
    const double w = width >= 0 ? width : 0.6 * fontSize * static_cast<double>(shape.text.size());
    shape.box = QRectF(at, QSizeF(w, fontSize * 4.0 / 3.0));
    return;
  }
  const QRectF natural = TextBoundingRect(shape.font, QRectF(0, 0, 1.0e6, 1.0e6),
                                          Qt::AlignLeft | Qt::AlignTop, shape.text);
  shape.box = QRectF(at, QSizeF(width >= 0 ? width : natural.width(),
                                std::max(natural.height(), TextHeight(shape.font))));
}

}  // namespace detail

QColor ParseMarkupColor(QStringView text) {
  const QByteArray utf8 = text.toUtf8();
  return ParseColor(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::optional<MarkupScene> ParseMarkup(const QString& text) {
  std::optional<std::string> utf8 = ToUtf8(text);
  if (!utf8) return std::nullopt;
  // pugixml drops text outside the root element; XML allows none.
  const std::string_view whole = Trim(*utf8);
  if (whole.empty() || whole.front() != '<' || whole.back() != '>') return std::nullopt;
  const bool references = whole.find('&') != std::string_view::npos;  // read before pugixml writes
  pugi::xml_document document;
  // References are decoded here, strictly; pugixml would pass unknown ones.
  constexpr unsigned kOptions = pugi::parse_cdata | pugi::parse_eol | pugi::parse_doctype;
  const pugi::xml_parse_result result =
      document.load_buffer_inplace(utf8->data(), utf8->size(), kOptions, pugi::encoding_utf8);
  if (!result) return std::nullopt;
  Decoder decode(references);
  const pugi::xml_node root = document.document_element();
  if (LocalName(root.name()) != "Canvas"sv) return std::nullopt;

  MarkupScene scene;
  // Room for a chart's shapes at once, so that none is moved; past that the
  // vector grows as it goes.
  constexpr std::size_t kAtOnce = 256;
  std::size_t elements = 0;
  for (pugi::xml_node child = root.first_child(); child && elements < kAtOnce;
       child = child.next_sibling()) {
    elements += child.type() == pugi::node_element ? 1 : 0;
  }
  scene.shapes.reserve(elements);
  using Kind = MarkupShape::Kind;
  static constexpr std::pair<std::string_view, Kind> kElements[] = {
      {"Polygon", Kind::Polygon}, {"Ellipse", Kind::Ellipse}, {"Rectangle", Kind::Rectangle},
      {"Line", Kind::Line},       {"TextBlock", Kind::Text},
  };
  const auto read = [&](const pugi::xml_node& element, const std::vector<Attribute>& attributes) {
    if (element.parent() != root) return;
    const std::string_view name = LocalName(element.name());
    for (const auto& [known, kind] : kElements) {
      if (name != known) continue;
      std::optional<MarkupShape> shape = ReadShape(element, attributes, kind, decode);
      if (shape) scene.shapes.push_back(std::move(*shape));
    }
  };
  if (!WellFormed(document, decode, read)) return std::nullopt;
  return scene;
}

}  // namespace xamlpie
