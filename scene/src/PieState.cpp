#include "PieState.h"

#include <QAbstractItemModel>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string_view>

#include "DrawingScene.h"
#include "Hatch.h"
#include "Raster.h"
#include "TextMeasure.h"
#include "xamlpie/Colors.h"

namespace xamlpie::detail {

namespace {

constexpr double kMargin = 6;        // round everything
constexpr double kLegendGap = 16;    // between the pie and its legend
constexpr double kSwatch = 12;       // a legend entry's square
constexpr double kSmallestPie = 24;  // below this the labels, then the legend, give way
constexpr double kPullShare = 0.1;   // of the radius, for a selected slice
constexpr double kMostExpand = 100;  // pixels a hovered slice may move out

// Text as an attribute value between apostrophes.
QString Escaped(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'&':
        out += QStringLiteral("&amp;");
        break;
      case u'<':
        out += QStringLiteral("&lt;");
        break;
      case u'>':
        out += QStringLiteral("&gt;");
        break;
      case u'\'':
        out += QStringLiteral("&apos;");
        break;
      case u'"':
        out += QStringLiteral("&quot;");
        break;
      default:
        // XML has no place for other control characters.
        out += c.unicode() < 0x20 && c != u'\t' ? QChar(0xFFFD) : c;
    }
  }
  return out;
}

QString Hex(const QColor& colour) {
  return colour.name(QColor::HexRgb).toUpper();
}

// A slice as one picture shows it.
struct Drawn {
  int row;  // -1: a row gone, shrinking away
  QString name;
  double value;  // 0: not drawn
  QColor colour;
  double pull;                // 0 to 1 of the selected slice's pull
  double grow;                // 0 to 1 of the hovered slice's
  bool listed;                // has a legend entry (rows do, slices shrinking away do not)
  bool hidden;                // its entry greyed
  int hatch = 0;              // the hatch over it: 0 none
  double radius = -1;         // a rose's radius value; negative: to the rim
  int parentRow = -1;         // a tree's: the row of the slice it is a child of
  int level = 0;              // a tree's: 0 its top rows
  QGradientStops gradient{};  // shades its slice from its start to its rim
};

QString SliceName(const QString& name, int row) {
  return name.isEmpty() ? PieState::tr("Slice %1").arg(row + 1) : name;
}

}  // namespace

struct PieState::Frame {
  std::vector<Drawn> slices;
  double sweep = 1;  // of the arc, while sweeping in
  double turn = 0;   // degrees the arc starts on from its start angle
};

namespace {

// The picture of a frame at a size: a chart made for it, with its own
// legend, the text at the font's size, nothing past the edges.
struct Picture {
  Drawing chart;                    // the chart, where it is drawn
  std::vector<MarkupShape> legend;  // the view's own legend, drawn after it
  MarkupScene scene;                // both, to paint
};

// Text, leaders and the outline on the view's background where the chart
// has no colour of its own for them: the palette's window text where it
// reads there (4.5:1, as WCAG asks of text), else black or white, whichever
// reads better.
QColor TextOn(const QPalette& palette) {
  const QColor back = palette.color(QPalette::Window);
  const QColor text = palette.color(QPalette::WindowText);
  if (Contrast(text, back) >= 4.5) return text;
  return Contrast(Qt::black, back) >= Contrast(Qt::white, back) ? QColor(Qt::black)
                                                                : QColor(Qt::white);
}

// A shaded slice's stops made the row's own, spread from where the slice
// starts to its rim; a row without any is flat unless the chart shades.
void Regrade(Shape& shape, const QGradientStops* stops, const cXAMLPieChart& options) {
  if (stops == nullptr) {
    if (options.Shading() == SliceShading::Flat) shape.shade.reset();
    return;
  }
  const double from = shape.shade->stops.empty() ? 0.0 : shape.shade->stops.front().first;
  shape.shade->stops.clear();
  for (const auto& [offset, colour] : *stops) {
    const QRgb rgba = colour.rgba();
    shape.shade->stops.emplace_back(
        from + (1 - from) * std::clamp(offset, 0.0, 1.0),
        Rgba{static_cast<std::uint8_t>(qRed(rgba)), static_cast<std::uint8_t>(qGreen(rgba)),
             static_cast<std::uint8_t>(qBlue(rgba)), static_cast<std::uint8_t>(qAlpha(rgba))});
  }
}

// Whether a row's colour is translucent.
bool KeepsAlpha(const std::vector<Drawn>& slices) {
  return std::any_of(slices.begin(), slices.end(),
                     [](const Drawn& d) { return d.row >= 0 && d.colour.alpha() < 255; });
}

// Moves a drawing by whole pixels.
void Translate(Drawing& drawing, double dx, double dy) {
  for (Shape& shape : drawing.shapes) {
    shape.origin.x += dx;
    shape.origin.y += dy;
    if (shape.kind == ShapeKind::Line) {
      for (Point& p : shape.points) {
        p.x += dx;
        p.y += dy;
      }
    }
    shape.box.x += dx;
    shape.box.y += dy;
    if (shape.shade) {
      shape.shade->centre.x += dx;
      shape.shade->centre.y += dy;
    }
  }
}

// A translucent colour from the model is drawn translucent. The chart
// takes opaque colours only, so its slices get their alpha here; a slice
// made of fans that share an edge becomes one polygon, and its stroke (in
// its own colour, to cover seams that one polygon does not have) goes, so
// that no pixel of it is blended twice.
void KeepAlpha(Drawing& drawing, const std::vector<Drawn>& slices) {
  QHash<int, int> alphaOf;  // by row, of the translucent ones
  for (const Drawn& d : slices) {
    if (d.row >= 0 && d.colour.alpha() < 255) alphaOf.insert(d.row, d.colour.alpha());
  }
  if (alphaOf.isEmpty()) return;
  std::vector<Shape> kept;
  kept.reserve(drawing.shapes.size());
  for (Shape& shape : drawing.shapes) {
    const auto alpha = alphaOf.constFind(shape.index);
    if (shape.role != Role::Slice || alpha == alphaOf.cend()) {
      kept.push_back(std::move(shape));
      continue;
    }
    const bool ownStroke = shape.stroke == shape.fill;
    shape.fill.a = static_cast<std::uint8_t>(*alpha);
    if (ownStroke) shape.stroke = kNoColor;
    Shape* last = kept.empty() ? nullptr : &kept.back();
    const bool fan = shape.precision == Precision::Whole && shape.points.size() > 1;
    if (fan && last != nullptr && last->role == Role::Slice && last->index == shape.index &&
        last->precision == Precision::Whole && last->origin == shape.origin &&
        last->points.size() > 2) {
      // The next fan of the slice: its rim from where the last one's ends
      // (it may start a degree back), its centre left out.
      const Point end = last->points.back();
      const Point beforeEnd = last->points[last->points.size() - 2];
      std::size_t from = 1;
      while (from < shape.points.size() &&
             (shape.points[from] == end || shape.points[from] == beforeEnd)) {
        ++from;
      }
      last->points.insert(last->points.end(),
                          shape.points.begin() + static_cast<std::ptrdiff_t>(from),
                          shape.points.end());
      continue;
    }
    kept.push_back(std::move(shape));
  }
  drawing.shapes = std::move(kept);
}

// A name as it goes into a text of the view's direction: where it holds
// letters of the other direction, isolated in its own (FIRST STRONG
// ISOLATE ... POP DIRECTIONAL ISOLATE), so that "שכר דירה: 11 %" keeps
// its number after the name in a left-to-right view.
std::string Isolated(const QString& name, bool rtl) {
  const bool other = std::any_of(name.begin(), name.end(), [rtl](QChar c) {
    const QChar::Direction d = c.direction();
    return rtl ? d == QChar::DirL : d == QChar::DirR || d == QChar::DirAL;
  });
  if (!other) return name.toStdString();
  return (QChar(0x2068) + name + QChar(0x2069)).toStdString();
}

// Takes out of UTF-8 text the isolates (U+2066 to U+2069) Isolated puts in.
void WithoutIsolates(std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 2 < text.size() && text[i] == '\xE2' && text[i + 1] == '\x81' &&
        text[i + 2] >= '\xA6' && text[i + 2] <= '\xA9') {
      i += 2;
      continue;
    }
    text[out++] = text[i];
  }
  text.resize(out);
}

// Where the legend goes and how much of it: whole beside the pie (in as
// many columns as half the width holds) or below it (in as many as the
// width holds), auto below in a tall view, else beside, else below where
// beside it fits not. Where it does not fit whole, names are elided and the
// entries that do not fit make one "+N more"; below the pie it then takes
// at most half the height.
enum class Place { None, Right, Below, Left, Above };

struct LegendPlan {
  Place place = Place::None;
  double width = 0;  // the whole legend's
  double height = 0;
  double cell = 0;  // an entry's width, the gap after it included
  int columns = 1;
  int rows = 0;
  int shown = 0;     // entries listed by name
  bool down = true;  // entries fill a column before the next
};

constexpr double kColumnGap = 16;

LegendPlan PlanLegend(LegendPlace position, bool rtl, const QRectF& area, int entries,
                      double widest, double row, double charWidth, bool labelsOutside) {
  if (entries == 0 || position == LegendPlace::None) return {};
  const double entry = kSwatch + 6 + std::ceil(widest) + 2;
  // A grid of at most `width` by `height`, entries as wide as `entry` or
  // cut to the width; empty where not even one fits.
  const auto grid = [&](double width, double height, bool down) {
    LegendPlan plan;
    const double minimum = std::min(entry, kSwatch + 6 + charWidth * 4);
    const double one = std::min(entry, width);
    if (one < minimum || height < row) return plan;
    const int wide = std::max(1, static_cast<int>((width + kColumnGap) / (one + kColumnGap)));
    const int high = static_cast<int>(height / row);
    plan.columns = std::min(wide, down ? (entries + high - 1) / high : entries);
    plan.rows = std::min(high, (entries + plan.columns - 1) / plan.columns);
    const int room = plan.columns * plan.rows;
    plan.shown = room >= entries ? entries : room - 1;
    plan.cell = one + kColumnGap;
    plan.width = plan.columns * plan.cell - kColumnGap;
    plan.height = plan.rows * row;
    plan.down = down;
    return plan;
  };
  const bool tall = area.height() > area.width();
  // Whole: no entry left out or cut short, and the pie keeps half the
  // smaller side. Beside the pie in half the width, or one column as wide
  // as its names.
  const double keep = std::max(kSmallestPie, std::floor(std::min(area.width(), area.height()) / 2));
  LegendPlan beside = grid(std::floor(area.width() / 2), area.height(), true);
  bool besideFits = beside.shown == entries && beside.cell - kColumnGap >= entry &&
                    area.width() - beside.width - kLegendGap >= keep;
  if (!besideFits && entries * row <= area.height() && area.width() - entry - kLegendGap >= keep) {
    beside = grid(entry, area.height(), true);
    besideFits = true;
  }
  if (!besideFits) beside = grid(std::floor(area.width() / 2), area.height(), true);
  LegendPlan below = grid(area.width(), area.height() - kLegendGap - keep, false);
  const bool belowFits = below.shown == entries && below.cell - kColumnGap >= entry;
  bool across = position == LegendPlace::Right || position == LegendPlace::Left;
  if (position == LegendPlace::Auto) {
    across = besideFits && !(belowFits && tall);
    // Outside labels need the pie's room wide, a column either side: where
    // both fit, the legend goes where it leaves the larger such room.
    if (besideFits && belowFits && labelsOutside) {
      across = std::min((area.width() - beside.width - kLegendGap) / 2, area.height()) >=
               std::min(area.width() / 2, area.height() - below.height - kLegendGap);
    }
    if (!besideFits && !belowFits) across = !tall && beside.shown > 0;
  }
  if (!across && !belowFits) {
    // Cut short below the pie: half the height at most.
    below = grid(area.width(), std::floor(area.height() / 2) - kLegendGap, false);
  }
  LegendPlan plan = across ? beside : below;
  if (plan.rows == 0) return {};
  // Auto, the legend follows the text: on the left of a right-to-left view.
  const bool left = position == LegendPlace::Left || (position == LegendPlace::Auto && rtl);
  plan.place = across ? (left ? Place::Left : Place::Right)
                      : (position == LegendPlace::Top ? Place::Above : Place::Below);
  return plan;
}

// The order a frame's slices go into the chart: a flat chart's as they
// are; a tree's level by level from the deepest, each with its parent's
// place in the frame and its top row's.
struct Tree {
  int levels = 1;
  std::vector<std::size_t> sliceOf;    // per chart item
  std::vector<std::size_t> itemOf;     // per slice
  std::vector<int> parentOf;           // per slice: its parent's slice, -1 none
  std::vector<std::size_t> topOf;      // per slice: its top row's slice
  std::vector<std::size_t> ringStart;  // per ring: its first item
};

// The row of a slice that stands for a parent's children left out: it
// takes their angle and draws nothing.
constexpr int kCounted = -2;

// A tree's slices without the children narrower than a pixel along a rim of
// `reach` pixels over an arc of `degrees` (the chart leaves those out at any
// size within it), each parent's such children made one slice of their sum
// that draws nothing, so that the others keep their angles; empty when none
// is left out.
std::vector<Drawn> LeaveOutHairlines(const std::vector<Drawn>& slices, double degrees,
                                     double reach) {
  const std::size_t n = slices.size();
  if (n < 2 || !(reach > 0)) return {};
  QHash<int, std::size_t> slotOf;  // each row's slice
  for (std::size_t k = 0; k < n; ++k) {
    if (slices[k].row >= 0) slotOf.insert(slices[k].row, k);
  }
  std::vector<int> parentOf(n, -1);
  bool tree = false;
  for (std::size_t k = 0; k < n; ++k) {
    const auto found = slotOf.constFind(slices[k].parentRow);
    if (slices[k].level > 0 && found != slotOf.cend()) {
      if (*found >= k) return {};  // parents come before their children
      parentOf[k] = static_cast<int>(*found);
      tree = true;
    }
  }
  if (!tree) return {};
  // What each stands for (a parent's empty value its children's), and its
  // width along a rim of `reach`, from the top rows out.
  std::vector<double> own(n, 0.0);
  std::vector<double> children(n, 0.0);
  double total = 0;
  for (std::size_t k = n; k-- > 0;) {
    own[k] = slices[k].value > 0 ? slices[k].value : children[k];
    if (parentOf[k] >= 0) {
      children[static_cast<std::size_t>(parentOf[k])] += own[k];
    } else {
      total += own[k];
    }
  }
  if (!(total > 0)) return {};
  std::vector<double> pixels(n, 0.0);
  const double whole = degrees / 360.0 * 2 * M_PI * reach;
  for (std::size_t k = 0; k < n; ++k) {
    if (parentOf[k] < 0) {
      pixels[k] = whole * own[k] / total;
      continue;
    }
    const auto p = static_cast<std::size_t>(parentOf[k]);
    const double over = std::max(slices[p].value, children[p]);
    pixels[k] = over > 0 ? pixels[p] * own[k] / over : 0.0;
  }
  // A little short of a pixel, so that rounding never leaves out one the
  // chart would draw.
  constexpr double kHairline = 0.9;
  std::vector<bool> out(n, false);
  std::size_t left = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (parentOf[k] < 0) continue;
    const auto p = static_cast<std::size_t>(parentOf[k]);
    if (out[p] || pixels[k] < kHairline) {
      out[k] = true;
      ++left;
    }
  }
  if (left == 0) return {};
  // Each run of siblings left out becomes one slice where it lay, so that
  // those after it keep their angles.
  std::vector<Drawn> kept;
  kept.reserve(n - left);
  int run = -1;  // the parent whose run kept.back() counts
  for (std::size_t k = 0; k < n; ++k) {
    const int p = parentOf[k];
    if (!out[k]) {
      kept.push_back(slices[k]);
      run = -1;
      continue;
    }
    if (out[static_cast<std::size_t>(p)]) continue;  // within one left out
    if (run == p) {
      kept.back().value += own[k];
      continue;
    }
    Drawn rest = slices[k];
    rest.row = kCounted;
    rest.name.clear();
    rest.value = own[k];
    rest.listed = false;
    rest.hatch = 0;
    rest.radius = -1;
    rest.gradient.clear();
    kept.push_back(std::move(rest));
    run = p;
  }
  // Every level keeps a slice, so that the rings keep their widths.
  int deepest = 0;
  int deepestKept = 0;
  for (const Drawn& d : slices)
    deepest = std::max(deepest, d.level);
  for (const Drawn& d : kept)
    deepestKept = std::max(deepestKept, d.level);
  if (deepestKept < deepest) return {};
  return kept;
}

Tree PlanTree(const std::vector<Drawn>& slices) {
  Tree tree;
  const std::size_t n = slices.size();
  tree.itemOf.resize(n);
  tree.parentOf.assign(n, -1);
  tree.topOf.resize(n);
  QHash<int, std::size_t> slotOfRow;
  for (std::size_t i = 0; i < n; ++i) {
    tree.levels = std::max(tree.levels, slices[i].level + 1);
    if (slices[i].row >= 0) slotOfRow.insert(slices[i].row, i);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const auto found = slotOfRow.constFind(slices[i].parentRow);
    if (slices[i].level > 0 && found != slotOfRow.cend())
      tree.parentOf[i] = static_cast<int>(*found);
  }
  for (std::size_t i = 0; i < n; ++i) {
    // Each parent is a level above its child: the walk ends.
    std::size_t top = i;
    while (tree.parentOf[top] >= 0)
      top = static_cast<std::size_t>(tree.parentOf[top]);
    tree.topOf[i] = top;
  }
  for (int level = tree.levels - 1; level >= 0; --level) {
    tree.ringStart.push_back(tree.sliceOf.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (slices[i].level != level) continue;
      tree.itemOf[i] = tree.sliceOf.size();
      tree.sliceOf.push_back(i);
    }
  }
  return tree;
}

Picture Compose(const cXAMLPieChart& options, const std::vector<Drawn>& all, double sweep,
                double turn, bool reservePull, double expand, QSizeF size, const QFont& font,
                const QPalette& palette, LegendPlace position, Qt::LayoutDirection direction,
                const QLocale& locale) {
  const bool rtl = direction == Qt::RightToLeft;
  // Numbers as the view's locale writes them, unless the chart's
  // separators were set to other than theirs by default.
  const cXAMLPieChart plain;
  const bool localised = options.DecimalSeparator() == plain.DecimalSeparator() &&
                         options.GroupSeparator() == plain.GroupSeparator();
  const auto localise = [&](cXAMLPieChart& chart) {
    if (!localised) return;
    chart.DecimalSeparator(locale.decimalPoint().toStdString());
    chart.GroupSeparator(locale.numberOptions() & QLocale::OmitGroupSeparator
                             ? std::string()
                             : locale.groupSeparator().toStdString());
  };
  const cXAMLPieChart defaults;
  const ColorValue textColour = options.TextColor() != defaults.TextColor()
                                    ? options.TextColor()
                                    : ToColorValue(TextOn(palette));
  const ColorValue outlineColour = options.OutlineColor() != defaults.OutlineColor()
                                       ? options.OutlineColor()
                                       : ToColorValue(TextOn(palette));
  const double fontPixels =
      options.FontSize() != 12 ? options.FontSize() : std::max(QFontInfo(font).pixelSize(), 1);
  QFont textFont = font;
  textFont.setPixelSize(static_cast<int>(fontPixels));
  const QFontMetricsF metrics(textFont);
  const QRectF area = QRectF(QPointF(0, 0), size).adjusted(kMargin, kMargin, -kMargin, -kMargin);

  // The legend: beside the pie, or below it in a view taller than wide,
  // where it fits whole; where it does not, names are elided to the room
  // and the entries that do not fit make one "+N more", which lists them.
  // An entry says its row's name, or what the legend format makes of it.
  // Rows folded into "Other" give their entries to it, listed last.
  std::vector<QString> says(all.size());
  std::vector<bool> listed(all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    says[i] = all[i].name;
    listed[i] = all[i].listed;
  }
  double pull = 0;
  for (const Drawn& d : all)
    pull = std::max(pull, d.pull);
  // Room kept for a selected slice's pull, and for a hovered one's growth.
  const bool reserveSelected = pull > 0 || reservePull;
  const bool reserve = reserveSelected || expand > 0;
  QString other;  // "Other"'s entry, if the chart draws one
  if (!options.LegendFormat().empty() || options.GroupBelow() > 0) {
    // The all as the picture's chart has them, the place kept for a
    // pull included, so that the same fold into "Other".
    cXAMLPieChart numbers = options;
    numbers.Clear();
    localise(numbers);
    // A tree's children count nothing towards its top rows' numbers.
    for (const Drawn& d : all)
      numbers.AddValue(d.level > 0 ? 0.0 : d.value, 0,
                       d.level > 0 ? std::string() : Isolated(d.name, rtl));
    if (reserve) numbers.AddValue(0, 0);
    const std::vector<std::string> texts = numbers.LegendTexts();
    if (texts.size() > all.size() + (reserve ? 1 : 0)) {
      other = QString::fromStdString(texts.back());
    }
    for (std::size_t i = 0; i < all.size() && i < texts.size(); ++i) {
      if (!texts[i].empty()) says[i] = QString::fromStdString(texts[i]);
      // Folded into "Other", a row is listed there, if "Other" is.
      const bool folded =
          texts[i].empty() && all[i].value > 0 && !all[i].hidden && !all[i].name.isEmpty();
      if (folded && !other.isEmpty()) listed[i] = false;
    }
  }
  double widest = other.isEmpty() ? 0 : TextAdvance(textFont, other);
  int entries = other.isEmpty() ? 0 : 1;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!listed[i]) continue;
    widest = std::max(widest, TextAdvance(textFont, says[i]));
    ++entries;
  }
  const double row = std::max(metrics.lineSpacing(), kSwatch + 4);
  const LegendPlan legend =
      PlanLegend(position, rtl, area, entries, widest, row, metrics.averageCharWidth(),
                 options.LabelsOutside() && options.SliceLabels() != LabelStyle::None);
  const Place place = legend.place;
  const double legendWidth = legend.width;
  const double legendHeight = legend.height;
  const int shown = legend.shown;
  const double nameWidth = legend.cell - kColumnGap - kSwatch - 6 - 2;
  QRectF pie = area;
  if (place == Place::Right) pie.setRight(area.right() - legendWidth - kLegendGap);
  if (place == Place::Left) pie.setLeft(area.left() + legendWidth + kLegendGap);
  if (place == Place::Below) pie.setBottom(area.bottom() - legendHeight - kLegendGap);
  if (place == Place::Above) pie.setTop(area.top() + legendHeight + kLegendGap);

  // The pie as large as its room allows, its text at its own size: grown
  // text (outside labels) takes room from the pie, and labels that leave it
  // less than the smallest pie give way.
  // Outside labels as wide as leaves the pie half the smaller side of its
  // room: longer ones are cut short, or give way, before the pie does.
  const double keep =
      std::max<double>(kSmallestPie, std::floor(std::min(pie.width(), pie.height()) / 2));
  const double keepPull = (reserveSelected ? kPullShare * keep / 2 : 0) + expand;
  const auto labelWidth = static_cast<std::int32_t>(
      std::max(1.0, std::floor((pie.width() - keep) / 2 - 18 - 2 * keepPull)));
  // A tree's levels are rings, its top rows innermost: the chart's items
  // go in ring by ring from the outermost (the deepest level). Each
  // slice's item, and each item's slice.
  // Slices narrower than a pixel along the largest rim the room allows are
  // never drawn: a tree's many are counted, not handed to the chart one by one.
  const std::vector<Drawn> kept =
      LeaveOutHairlines(all, options.SweepAngle() * sweep, std::min(pie.width(), pie.height()) / 2);
  const std::vector<Drawn>& slices = kept.empty() ? all : kept;
  const Tree tree = PlanTree(slices);
  // Rows with colours of their own to shade through: the chart shades
  // every slice, and those without are made flat again unless it shades.
  QHash<int, const QGradientStops*> gradientOf;
  for (const Drawn& d : slices) {
    if (d.row >= 0 && !d.gradient.isEmpty()) gradientOf.insert(d.row, &d.gradient);
  }
  // Fitted with every slice pulled as far as a slice can be, so that the pie
  // keeps its place and size whichever are pulled.
  const auto make = [&](int diameter, bool labels, QPointF at, bool fitting) {
    cXAMLPieChart chart = options;
    chart.Clear();
    chart.Legend(false);
    localise(chart);
    chart.Size(diameter);
    chart.MarginLeft(static_cast<std::int32_t>(std::lround(at.x())));
    chart.MarginTop(static_cast<std::int32_t>(std::lround(at.y())));
    chart.FontSize(static_cast<std::int32_t>(fontPixels));
    chart.FontFamily(textFont.family().toStdString());
    chart.MeasureText(
        [fonts = std::make_shared<std::vector<std::pair<int, QFont>>>(),
         family = textFont.family()](std::string_view text, std::int32_t pixels, bool bold) {
          // A chart asks in a size or two, again and again: each font made once.
          const int key = std::max(1, pixels) * 2 + (bold ? 1 : 0);
          auto found = std::find_if(fonts->begin(), fonts->end(),
                                    [&](const auto& made) { return made.first == key; });
          if (found == fonts->end()) {
            QFont font;  // as the markup's text is read and drawn
            font.setFamilies({family});
            font.setPixelSize(std::max(1, pixels));
            if (bold) font.setWeight(QFont::Bold);
            found = fonts->emplace(fonts->end(), key, font);
          }
          return TextAdvance(found->second,
                             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        });
    if (!labels) chart.SliceLabels(LabelStyle::None);
    if (!gradientOf.isEmpty()) chart.Shading(SliceShading::Radial);
    if (options.LabelsOutside()) {
      chart.LabelWidth(options.LabelWidth() > 0 ? std::min(options.LabelWidth(), labelWidth)
                                                : labelWidth);
    }
    // The hole and the place a pulled-out slice leaves are the view's own
    // background, unless a colour of their own was set.
    if (options.BackgroundColor() == defaults.BackgroundColor()) {
      chart.BackgroundColor(ToColorValue(palette.color(QPalette::Window)));
    }
    chart.TextColor(textColour);
    chart.OutlineColor(outlineColour);
    if (options.DoughnutWidth() > 0 && options.Size() > 0) {
      chart.DoughnutWidth(std::max<std::int32_t>(
          1, static_cast<std::int32_t>(std::lround(static_cast<double>(options.DoughnutWidth()) *
                                                   diameter / options.Size()))));
    }
    // Fitted whole and unturned, so that the pie stands where it ends
    // while its arc opens.
    if (sweep < 1 && !fitting) {
      chart.SweepAngle(std::max(1, static_cast<int>(std::lround(options.SweepAngle() * sweep))));
    }
    if (turn != 0 && !fitting) {
      // On along the slices' direction while a drilled-into slice opens.
      const auto by = static_cast<std::int32_t>(std::lround(turn));
      chart.StartAngle(options.StartAngle() + (options.Clockwise() ? -by : by));
    }
    const auto reach = static_cast<std::int32_t>(std::lround(kPullShare * diameter / 2));
    const double farthest = (reserveSelected ? reach : 0) + expand;
    // A slice that is the whole pie has nowhere to be pulled from.
    const bool whole = std::count_if(slices.begin(), slices.end(), [](const Drawn& d) {
                         return (d.listed && !d.hidden) || d.value > 0;
                       }) < 2;
    // A tree's rings of even width from the hole (or the centre) to the rim.
    std::int32_t ringWidth = 1;
    if (tree.levels > 1) {
      const double rim = diameter / 2.0 - 1.0;
      const double hole = chart.DoughnutWidth() > 0 ? rim - chart.DoughnutWidth() : 0.0;
      ringWidth = std::max<std::int32_t>(
          1, static_cast<std::int32_t>(std::floor((rim - hole) / tree.levels)));
      if (chart.DoughnutWidth() > 0) chart.DoughnutWidth(ringWidth);
    }
    for (std::size_t item = 0; item < tree.sliceOf.size(); ++item) {
      const std::size_t i = tree.sliceOf[item];
      if (item > 0 && slices[i].level != slices[tree.sliceOf[item - 1]].level) {
        chart.AddRing(ringWidth);
      }
      const auto at = static_cast<std::int32_t>(item);
      chart.AddValue(slices[i].value, ToColorValue(slices[i].colour),
                     Isolated(slices[i].name, rtl));
      // A tree's children move with their top row.
      const Drawn& top = slices[tree.topOf[i]];
      const double pixels = fitting && reserve ? farthest
                            : whole            ? 0.0
                                               : top.pull * reach + top.grow * expand;
      chart.Explode(at, static_cast<std::int32_t>(std::lround(pixels)));
      if (slices[i].radius >= 0) chart.RadiusValue(at, slices[i].radius);
    }
    for (std::size_t i = 0; i < slices.size(); ++i) {
      const int parent = tree.parentOf[i];
      if (parent >= 0) {
        chart.Parent(static_cast<std::int32_t>(tree.itemOf[i]),
                     static_cast<std::int32_t>(tree.itemOf[static_cast<std::size_t>(parent)]));
      }
    }
    // Room for the farthest pull kept whether or not a slice is pulled
    // now, so the pie stands still while one moves: a slice of nothing,
    // pulled that far, draws nothing and keeps the room.
    if (reserve) {
      chart.AddValue(0, 0);
      chart.Explode(static_cast<std::int32_t>(slices.size()),
                    static_cast<std::int32_t>(std::lround(farthest)));
    }
    return chart;
  };
  // The slices are drawn in the frame's order; what points at one names
  // its row, and a row gone is no one's.
  const auto draw = [&](int diameter, bool labels, QPointF at, bool fitting) {
    Drawing drawing = make(diameter, labels, at, fitting).Draw();
    for (Shape& shape : drawing.shapes) {
      if (shape.index < 0) continue;
      // An item by its ring and place there, as the tree put it in.
      const std::size_t item = tree.levels > 1 && shape.ring >= 0 && shape.ring < tree.levels
                                   ? tree.ringStart[static_cast<std::size_t>(shape.ring)] +
                                         static_cast<std::size_t>(shape.index)
                                   : static_cast<std::size_t>(shape.index);
      const std::size_t i = item < tree.sliceOf.size() ? tree.sliceOf[item] : slices.size();
      shape.ring = 0;  // a row is its slice's whole name
      shape.index = i < slices.size() ? slices[i].row : -1;
      // A row gone says nothing; "Other" keeps its tooltip but stands for
      // no row to a screen reader. Names are read without isolates.
      if (shape.index < 0) {
        if (i < slices.size()) shape.toolTip.clear();
        shape.name.clear();
      }
      WithoutIsolates(shape.name);
      if (shape.shade && !gradientOf.isEmpty())
        Regrade(shape, gradientOf.value(shape.index), options);
    }
    std::erase_if(drawing.shapes, [](const Shape& shape) { return shape.index == kCounted; });
    return drawing;
  };
  bool labels = options.SliceLabels() != LabelStyle::None;
  int diameter = static_cast<int>(std::floor(std::min(pie.width(), pie.height())));
  QRectF taken;
  Picture picture;
  for (int attempt = 0; attempt < 6; ++attempt) {
    picture.scene.shapes.clear();
    picture.chart = draw(diameter, labels, {}, true);
    AddToScene(picture.scene, picture.chart);
    taken = SceneBounds(picture.scene);
    const double over = std::max(taken.width() - pie.width(), taken.height() - pie.height());
    if (over <= 0) break;
    const int smaller = diameter - static_cast<int>(std::ceil(over));
    if (smaller < kSmallestPie && labels) {
      labels = false;  // labels give way before the pie does
      diameter = static_cast<int>(std::floor(std::min(pie.width(), pie.height())));
      continue;
    }
    diameter = std::max(smaller, 4);
  }
  // Centred in its room, on whole pixels.
  const QPointF at = pie.center() - taken.center();
  const QPointF offset(std::round(at.x()), std::round(at.y()));
  const bool moved = !reserve && !(sweep < 1) && turn == 0;
  if (moved) {
    // The picture is the one fitted, moved by whole pixels: the chart at
    // that margin draws the same.
    Translate(picture.chart, offset.x(), offset.y());
  } else {
    picture.chart = draw(diameter, labels, at, false);
  }
  KeepAlpha(picture.chart, slices);
  const bool hatched =
      std::any_of(slices.begin(), slices.end(), [](const Drawn& d) { return d.hatch > 0; });
  if (hatched) {
    QHash<int, int> hatchOf;
    for (const Drawn& d : slices)
      hatchOf.insert(d.row, d.hatch);
    AddHatches(picture.chart, [&](int row) { return row < 0 ? 0 : hatchOf.value(row); });
  }
  // A high-contrast desktop (its text and window 20:1 apart or more: black
  // and white, where an ordinary light one is 18:1) gets a bolder outline.
  const bool bold =
      Contrast(palette.color(QPalette::Window), palette.color(QPalette::WindowText)) >= 20;
  if (bold) {
    for (Shape& shape : picture.chart.shapes) {
      if (shape.role == Role::Outline || shape.role == Role::Hole) shape.strokeWidth *= 1.75;
    }
  }
  if (moved && !KeepsAlpha(slices) && !hatched && !bold && gradientOf.isEmpty()) {
    for (MarkupShape& shape : picture.scene.shapes) {
      shape.points.translate(offset);
      shape.box.translate(offset);
      shape.line.translate(offset);
    }
  } else {
    picture.scene.shapes.clear();
    AddToScene(picture.scene, picture.chart);
  }

  if (place != Place::None) {
    const QRectF drawn = taken.translated(offset);
    double left = 0;
    double top = 0;
    if (place == Place::Right || place == Place::Left) {
      left = place == Place::Right
                 ? std::min(drawn.right() + kLegendGap, area.right() - legendWidth)
                 : std::max(drawn.left() - kLegendGap - legendWidth, area.left());
      top = area.top() + (area.height() - legendHeight) / 2;
    } else {
      left = area.left() + (area.width() - legendWidth) / 2;
      top = place == Place::Below
                ? std::min(drawn.bottom() + kLegendGap, area.bottom() - legendHeight)
                : std::max(drawn.top() - kLegendGap - legendHeight, area.top());
    }
    // The k-th entry's cell of the grid.
    const auto cellAt = [&](int k) {
      int column = legend.down ? k / legend.rows : k % legend.columns;
      if (rtl) column = legend.columns - 1 - column;  // read from the right
      const int line = legend.down ? k % legend.rows : k / legend.columns;
      return QPointF(left + column * legend.cell, top + line * row);
    };
    const QColor text = OleColorToQColor(textColour);
    const QColor grey = palette.color(QPalette::Disabled, QPalette::WindowText);
    // Text from `edge`: its left, or in a right-to-left view its right.
    const auto addText = [&](double edge, double top, const QString& label, const QColor& colour,
                             const QString& tag, const QString& tip) {
      MarkupShape shape;
      shape.kind = MarkupShape::Kind::Text;
      shape.text = label;
      shape.fill = colour;
      shape.tag = tag;
      shape.toolTip = tip;
      const double width = std::ceil(TextAdvance(textFont, label)) + 2;
      PlaceText(shape, {rtl ? edge - width : edge, top}, fontPixels, textFont.family(), width);
      picture.legend.push_back(std::move(shape));
    };
    const double cellWidth = legend.cell - kColumnGap;
    QStringList more;  // the names of the entries left out
    int placed = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
      const Drawn& d = all[i];
      if (!listed[i]) continue;
      if (placed >= shown) {
        more.append(says[i]);
        continue;
      }
      const auto [x, y] = cellAt(placed++);
      // Elided in the middle: names that differ only at their end stay apart.
      const QString name = TextAdvance(textFont, says[i]) <= nameWidth
                               ? says[i]
                               : ElidedText(textFont, says[i], Qt::ElideMiddle, nameWidth);
      const QString tag = QStringLiteral("L%1").arg(d.row);
      const QString tip = d.hidden ? PieState::tr("%1 (hidden: click to show)").arg(d.name)
                                   : PieState::tr("%1 (click to hide)").arg(d.name);
      MarkupShape swatch;
      swatch.kind = MarkupShape::Kind::Rectangle;
      // Swatch first in the reading direction.
      const double swatchLeft = rtl ? x + cellWidth - kSwatch : x;
      swatch.box = QRectF(swatchLeft, y + (row - kSwatch) / 2, kSwatch, kSwatch);
      swatch.radiusX = swatch.radiusY = 2;
      swatch.fill = d.hidden ? grey.lighter(130) : d.colour;
      swatch.stroke = d.hidden ? grey : text;
      swatch.tag = tag;
      swatch.toolTip = tip;
      const QRectF inside = swatch.box.adjusted(1, 1, -1, -1);  // within its edge
      picture.legend.push_back(std::move(swatch));
      if (d.hatch > 0 && !d.hidden) {
        for (const QPolygonF& marks : HatchWithin(d.hatch, QPolygonF(inside))) {
          MarkupShape mark;
          mark.kind = MarkupShape::Kind::Polygon;
          mark.points = marks;
          mark.fill = HatchColour(d.colour);
          mark.tag = tag;
          mark.toolTip = tip;
          picture.legend.push_back(std::move(mark));
        }
      }
      addText(rtl ? swatchLeft - 6 : x + kSwatch + 6, y + (row - metrics.height()) / 2, name,
              d.hidden ? grey : text, tag, tip);
    }
    // "Other": in its slice's colour, saying what it holds; it stands for
    // no row, so pointing at it hides nothing.
    const auto folded = std::find_if(
        picture.chart.shapes.begin(), picture.chart.shapes.end(), [](const Shape& shape) {
          return shape.role == Role::Slice && shape.index < 0 && !shape.toolTip.empty();
        });
    if (!other.isEmpty() && folded != picture.chart.shapes.end()) {
      const QString tip = QString::fromStdString(folded->toolTip);
      if (placed >= shown) {
        more.append(other);
      } else {
        const auto [x, y] = cellAt(placed++);
        MarkupShape swatch;
        swatch.kind = MarkupShape::Kind::Rectangle;
        const double swatchLeft = rtl ? x + cellWidth - kSwatch : x;
        swatch.box = QRectF(swatchLeft, y + (row - kSwatch) / 2, kSwatch, kSwatch);
        swatch.radiusX = swatch.radiusY = 2;
        swatch.fill = QColor(folded->fill.r, folded->fill.g, folded->fill.b);
        swatch.stroke = text;
        swatch.tag = QStringLiteral("L*");
        swatch.toolTip = tip;
        picture.legend.push_back(std::move(swatch));
        const QString name = TextAdvance(textFont, other) <= nameWidth
                                 ? other
                                 : ElidedText(textFont, other, Qt::ElideMiddle, nameWidth);
        addText(rtl ? swatchLeft - 6 : x + kSwatch + 6, y + (row - metrics.height()) / 2, name,
                text, QStringLiteral("L*"), tip);
      }
    }
    if (!more.isEmpty()) {
      // Where the rest went: their number, and their names in its tooltip.
      const QString label = ElidedText(textFont, PieState::tr("+%1 more").arg(more.size()),
                                       Qt::ElideRight, cellWidth);
      const QPointF at = cellAt(shown);
      addText(rtl ? at.x() + cellWidth : at.x(), at.y() + (row - metrics.height()) / 2, label, text,
              QStringLiteral("L+"), more.join(QStringLiteral(", ")));
    }
    picture.scene.shapes.insert(picture.scene.shapes.end(), picture.legend.begin(),
                                picture.legend.end());
  }
  return picture;
}

}  // namespace

PieState::PieState() : mData(std::make_unique<PieData>()) {
  mOptions.Size(200);
  // A view's legend is its own, beside or below the pie, and on unless the
  // chart's Legend option is turned off.
  mOptions.Legend(true);
  mAnimation = new QVariantAnimation(this);
  mAnimation->setStartValue(0.0);
  mAnimation->setEndValue(1.0);
  connect(mAnimation, &QVariantAnimation::valueChanged, this, &PieState::Update);
  connect(mData.get(), &PieData::Changed, this, &PieState::DataChanged);
}

PieState::~PieState() = default;

void PieState::Update() {
  mStale = true;
  emit Changed();
}

void PieState::SetAnimationDuration(int milliseconds) {
  mDuration = std::max(milliseconds, 0);
}

void PieState::SetLegend(bool on) {
  mOptions.Legend(on);
  Update();
}

void PieState::SetPatterns(bool on) {
  if (on == mPatterns) return;
  mPatterns = on;
  mStale = true;
  Update();
}

void PieState::SetLegendPosition(LegendPlace place) {
  if (place == mLegendPlace) return;
  mLegendPlace = place;
  mStale = true;
  Update();
}

void PieState::SetHoverHighlight(bool on) {
  mHoverHighlight = on;
  Update();
}

void PieState::SetHoverExpand(double pixels) {
  // As far as makes sense on a screen; no number is none.
  pixels = std::isfinite(pixels) ? std::clamp(pixels, 0.0, kMostExpand) : 0.0;
  if (pixels == mHoverExpand) return;
  mHoverExpand = pixels;
  Retarget();
}

// The frame shown now: each row's value and pull between where the
// animation started and where it goes.
PieState::Frame PieState::Shown() const {
  const double t = mAnimation->state() == QAbstractAnimation::Running
                       ? mEasing.valueForProgress(mAnimation->currentValue().toDouble())
                       : 1.0;
  const auto between = [t](double a, double b) { return a + (b - a) * t; };
  Frame frame;
  frame.sweep = between(mSweepFrom, mSweepTo);
  frame.turn = between(mTurnFrom, 0.0);
  // The rows as the entries know them: when the model has just changed,
  // still as they were.
  // Hatches go with the palette's colours: by the slice's place in it.
  QHash<std::uint64_t, std::size_t> slotOf;
  if (mPatterns) {
    const std::vector<std::uint64_t>& ids = mData->Ids();
    const std::vector<std::size_t>& places = mData->Slots();
    for (std::size_t i = 0; i < ids.size() && i < places.size(); ++i)
      slotOf.insert(ids[i], places[i]);
  }
  for (const Entry& e : mEntries) {
    const bool row = e.row >= 0 && static_cast<std::size_t>(e.row) < mRows.size();
    const PieSlice& slice = row ? mRows[static_cast<std::size_t>(e.row)] : e.gone;
    const auto slot = slotOf.constFind(e.id);
    frame.slices.push_back(
        {row ? e.row : -1, row ? SliceName(slice.name, e.row) : slice.name,
         std::max(between(e.from, e.to), 0.0), slice.color, between(e.pullFrom, e.pullTo),
         between(e.growFrom, e.growTo), row, row && mHidden.contains(e.id),
         slot == slotOf.constEnd() ? 0 : 1 + static_cast<int>(*slot % (kHatchKinds - 1))});
    // A reach given on one side only is not animated: it is there at once.
    Drawn& d = frame.slices.back();
    d.radius =
        e.radiusFrom >= 0 && e.radiusTo >= 0 ? between(e.radiusFrom, e.radiusTo) : e.radiusTo;
    d.gradient = slice.gradient;
    if (row && static_cast<std::size_t>(e.row) < mRowParents.size()) {
      d.parentRow = mRowParents[static_cast<std::size_t>(e.row)];
      d.level = mRowLevels[static_cast<std::size_t>(e.row)];
      d.listed = d.level == 0;  // the legend lists a tree's top rows
    }
  }
  return frame;
}

// New data: each row moves from what it shows now to its new value, found
// by who it is, not where; rows that are gone shrink away where they were.
void PieState::DataChanged() {
  // A new root (or the old one gone with its rows): a new set of slices.
  const QModelIndex root = mData->Root();
  const bool newRoot = QModelIndex(mShownRoot) != root || mBelowTop != root.isValid();
  if (newRoot) {
    mShownRoot = root;
    mBelowTop = root.isValid();
    mCurrent = -1;
  }
  const auto announce = qScopeGuard([&] {
    if (!newRoot) return;
    emit CurrentChanged(mCurrent);
    emit RootChanged();
  });
  const Frame now = Shown();
  const std::vector<PieSlice>& rows = mData->Slices();
  const std::vector<std::uint64_t>& ids = mData->Ids();
  if (mCurrent >= Count()) {
    mCurrent = Count() - 1;
    emit CurrentChanged(mCurrent);
  }
  if (mHovered >= Count()) mHovered = -1;
  QHash<std::uint64_t, int> rowOf;
  for (std::size_t r = 0; r < ids.size(); ++r)
    rowOf.insert(ids[r], static_cast<int>(r));
  // What each row shows now, and the rows gone: after the row that came
  // before them, or first.
  std::vector<Entry> entries(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    entries[r].id = ids[r];
    entries[r].row = static_cast<int>(r);
  }
  std::vector<std::vector<Entry>> goneAfter(rows.size() + 1);
  int before = -1;
  for (std::size_t k = 0; k < mEntries.size() && k < now.slices.size(); ++k) {
    const Entry& old = mEntries[k];
    const auto found = rowOf.constFind(old.id);
    if (old.row >= 0 && found != rowOf.cend()) {
      Entry& e = entries[static_cast<std::size_t>(*found)];
      e.from = now.slices[k].value;
      e.pullFrom = now.slices[k].pull;
      e.growFrom = now.slices[k].grow;
      e.radiusFrom = now.slices[k].radius;
      before = *found;
      continue;
    }
    // A gone child has no parent to shrink within: it goes at once.
    if (!(now.slices[k].value > 0) || now.slices[k].level > 0) continue;
    Entry gone;
    gone.id = old.id;
    gone.gone = {now.slices[k].name, 0, now.slices[k].colour};
    gone.from = now.slices[k].value;
    gone.radiusFrom = gone.radiusTo = now.slices[k].radius;
    const int after = before + 1;  // 0: first
    goneAfter[static_cast<std::size_t>(after)].push_back(std::move(gone));
  }
  mRows = rows;
  mRowParents = mData->Parents();
  mRowLevels = mData->Depths();
  mEntries.clear();
  for (std::size_t r = 0; r <= rows.size(); ++r) {
    for (Entry& gone : goneAfter[r])
      mEntries.push_back(std::move(gone));
    if (r < rows.size()) mEntries.push_back(entries[r]);
  }
  mSweepFrom = now.sweep;
  mTurnFrom = now.turn;
  if (newRoot) OpenFrom(now, std::exchange(mOpening, -1));
  SelectionChanged();  // sets the targets and starts the animation
}

// Drilled down into a slice that shows now: its rows start where they lie
// in it, the arc as wide as they take of it and turned on to where it
// starts, and open to the whole arc; what lay round it goes at once.
void PieState::OpenFrom(const Frame& now, int row) {
  // What each slice stands for: its value, or a parent's empty one its
  // children's; slices come after their parents.
  const std::size_t n = now.slices.size();
  std::vector<double> own(n, 0.0);
  std::vector<double> children(n, 0.0);
  QHash<int, std::size_t> slotOf;  // each row's slice
  for (std::size_t k = 0; k < n; ++k) {
    if (now.slices[k].row >= 0) slotOf.insert(now.slices[k].row, k);
  }
  std::vector<int> parentOf(n, -1);
  for (std::size_t k = 0; k < n; ++k) {
    const int parent = now.slices[k].parentRow;
    if (parent >= 0 && slotOf.contains(parent))
      parentOf[k] = static_cast<int>(slotOf.value(parent));
  }
  double total = 0;
  for (std::size_t k = n; k-- > 0;) {
    own[k] = now.slices[k].value > 0 ? now.slices[k].value : children[k];
    if (parentOf[k] >= 0) {
      children[static_cast<std::size_t>(parentOf[k])] += own[k];
    } else {
      total += own[k];
    }
  }
  if (row < 0 || !slotOf.contains(row) || !(total > 0)) return;
  // A slice's start and width as fractions of the arc, from its top row's
  // down: each a part of its parent's, over the larger of the parent's
  // value and its children's.
  const auto span = [&](auto&& self, std::size_t k) -> std::pair<double, double> {
    const int parent = parentOf[k];
    double before = 0;
    for (std::size_t o = 0; o < k; ++o) {
      if (parentOf[o] == parent) before += own[o];
    }
    if (parent < 0) return {before / total, own[k] / total};
    const auto p = static_cast<std::size_t>(parent);
    const auto [start, width] = self(self, p);
    const double over = std::max(now.slices[p].value, children[p]);
    if (!(over > 0)) return {start, 0.0};
    return {start + width * before / over, width * own[k] / over};
  };
  const std::size_t k = slotOf.value(row);
  const auto [start, width] = span(span, k);
  const double filled = children[k] > 0 ? width * children[k] / std::max(own[k], children[k]) : 0;
  if (!(filled > 0) || !(filled < 1)) return;
  mSweepFrom = filled * now.sweep;
  mTurnFrom = start * now.sweep * mOptions.SweepAngle();
  std::erase_if(mEntries, [](const Entry& e) { return e.row < 0; });
}

void PieState::Retarget() {
  const Frame now = Shown();
  for (std::size_t k = 0; k < mEntries.size() && k < now.slices.size(); ++k) {
    mEntries[k].from = now.slices[k].value;
    mEntries[k].pullFrom = now.slices[k].pull;
    mEntries[k].growFrom = now.slices[k].grow;
    mEntries[k].radiusFrom = now.slices[k].radius;
  }
  mSweepFrom = now.sweep;
  mTurnFrom = now.turn;
  SelectionChanged();
}

void PieState::SelectionChanged() {
  const std::vector<PieSlice>& rows = mData->Slices();
  const QAbstractItemModel* model = mData->Model();
  const bool byRow = mData->Orientation() == Qt::Vertical;
  for (Entry& e : mEntries) {
    e.to = 0;
    e.pullTo = 0;
    e.growTo = 0;
    if (e.row < 0 || static_cast<std::size_t>(e.row) >= rows.size()) continue;
    const int row = e.row;
    const PieSlice& slice = rows[static_cast<std::size_t>(row)];
    if (IsSliceVisible(row) && std::isfinite(slice.value)) e.to = slice.value;
    e.radiusTo = slice.radius.value_or(-1.0);
    if (mSelection && model != nullptr && mSelection->model() == model) {
      // Any selected cell of the row: a table selects cells unless told to
      // select rows.
      const bool selected = byRow ? mSelection->rowIntersectsSelection(row, QModelIndex())
                                  : mSelection->columnIntersectsSelection(row, QModelIndex());
      if (selected) e.pullTo = 1.0;
    }
    if (mHoverExpand > 0 && row == mHovered) e.growTo = 1.0;
  }
  Animate();
}

void PieState::Animate() {
  mAnimation->stop();
  if (!mShownOnce || mDuration == 0) {
    // Nothing to move from: the picture is at its goal (a chart not yet
    // shown sweeps in when it is).
    std::erase_if(mEntries, [](const Entry& e) { return e.row < 0; });
    for (Entry& e : mEntries) {
      e.from = e.to;
      e.pullFrom = e.pullTo;
      e.growFrom = e.growTo;
      e.radiusFrom = e.radiusTo;
    }
    mSweepFrom = mSweepTo;
    mTurnFrom = 0;
  } else {
    mAnimation->setDuration(mDuration);
    mAnimation->start();
  }
  Update();
}

void PieState::Show() {
  if (mShownOnce) return;
  mShownOnce = true;
  if (mDuration > 0) {
    // The first picture sweeps in from the start angle.
    mSweepFrom = 0;
    mSweepTo = 1;
    mAnimation->setDuration(mDuration);
    mAnimation->start();
  }
}

void PieState::SetSliceVisible(int row, bool visible) {
  if (row < 0 || row >= Count() || IsSliceVisible(row) == visible) return;
  // What shows now does not depend on visibility, only where it goes.
  const std::uint64_t id = mData->Ids()[static_cast<std::size_t>(row)];
  if (visible) {
    mHidden.remove(id);
  } else {
    mHidden.insert(id);
  }
  Retarget();
  emit SliceVisibilityChanged(row, visible);
}

bool PieState::IsSliceVisible(int row) const {
  return row < 0 || row >= Count() ||
         !mHidden.contains(mData->Ids()[static_cast<std::size_t>(row)]);
}

void PieState::SetSelectionModel(QItemSelectionModel* selection) {
  if (mSelection) disconnect(mSelection, nullptr, this, nullptr);
  mSelection = selection;
  if (selection != nullptr) {
    connect(selection, &QItemSelectionModel::selectionChanged, this, &PieState::Retarget);
  }
  SelectionChanged();
}

void PieState::SetCurrent(int row) {
  row = Count() == 0 ? -1 : std::clamp(row, 0, Count() - 1);
  if (row == mCurrent) return;
  mCurrent = row;
  emit Changed();
  emit CurrentChanged(row);
}

void PieState::Hover(int row) {
  if (row == mHovered) return;
  mHovered = row;
  // The highlight is painted over the picture, which stays; a growing
  // slice moves, from where it is now.
  if (mHoverExpand > 0) Retarget();
  if (mHoverHighlight) emit Changed();
  emit SliceHovered(row);
}

void PieState::SetLook(QSizeF size, const QFont& font, const QPalette& palette,
                       Qt::LayoutDirection direction, const QLocale& locale) {
  // A size that is no number, or past what any screen or page holds, is
  // drawn as the largest that is.
  static constexpr double kLargest = 1048576.0;
  const auto bounded = [](double v) {
    return std::isfinite(v) ? std::clamp(v, 0.0, kLargest) : 0.0;
  };
  size = QSizeF(bounded(size.width()), bounded(size.height()));
  if (size == mSize && font == mFont && palette == mPalette && direction == mDirection &&
      locale == mLocale) {
    return;
  }
  mDirection = direction;
  mLocale = locale;
  mSize = size;
  mFont = font;
  mPalette = palette;
  mStale = true;
}

const MarkupScene* PieState::Scene() const {
  if (mStale || !mScene || mOptions.Revision() != mRevision) {
    mRevision = mOptions.Revision();
    Frame frame = Shown();
    if (!mOptions.Legend()) {
      for (Drawn& d : frame.slices)
        d.listed = false;
    }
    // Below a tree's top, the path there is the centre text, unless the
    // chart says something of its own.
    const cXAMLPieChart* options = &mOptions;
    cXAMLPieChart withPath;
    if (mData->Root().isValid() && mOptions.CenterText().empty()) {
      QStringList path;
      for (QModelIndex at = mData->Root(); at.isValid(); at = at.parent())
        path.prepend(at.siblingAtColumn(mData->NameColumn()).data().toString());
      withPath = mOptions;
      withPath.CenterText(path.join(QStringLiteral(" \u203A ")).toStdString());
      options = &withPath;
    }
    Picture picture =
        Compose(*options, frame.slices, frame.sweep, frame.turn, mSelection != nullptr,
                mHoverExpand, mSize, mFont, mPalette, mLegendPlace, mDirection, mLocale);
    mChart = std::move(picture.chart);
    mLegend = std::move(picture.legend);
    mScene = std::move(picture.scene);
    mStale = mAnimation->state() == QAbstractAnimation::Running;
  }
  return mScene ? &*mScene : nullptr;
}

QString PieState::Markup() const {
  Scene();
  QString markup = QString::fromStdString(WriteXAML(mChart));
  QString legend;
  for (const MarkupShape& shape : mLegend) {
    if (shape.kind == MarkupShape::Kind::Polygon) {
      QStringList points;
      for (const QPointF& p : shape.points)
        points.append(QStringLiteral("%1,%2").arg(p.x(), 0, 'f', 2).arg(p.y(), 0, 'f', 2));
      legend += QStringLiteral("\r\n<Polygon Points='%1' Fill='%2' Tag='%3' ToolTip='%4' />")
                    .arg(points.join(u' '), shape.fill.name(QColor::HexArgb).toUpper(), shape.tag,
                         Escaped(shape.toolTip));
    } else if (shape.kind == MarkupShape::Kind::Rectangle) {
      legend += QStringLiteral(
                    "\r\n<Rectangle Canvas.Left='%1' Canvas.Top='%2' Width='%3' Height='%4' "
                    "RadiusX='%5' RadiusY='%5' Fill='%6' Stroke='%7' StrokeThickness='1' Tag='%8' "
                    "ToolTip='%9' />")
                    .arg(shape.box.x())
                    .arg(shape.box.y())
                    .arg(shape.box.width())
                    .arg(shape.box.height())
                    .arg(shape.radiusX)
                    .arg(Hex(shape.fill), Hex(shape.stroke), shape.tag, Escaped(shape.toolTip));
    } else {
      legend += QStringLiteral(
                    "\r\n<TextBlock Canvas.Left='%1' Canvas.Top='%2' Width='%3' FontSize='%4' "
                    "FontFamily='%5' Foreground='%6' Text='%7' Tag='%8' ToolTip='%9' />")
                    .arg(shape.box.x())
                    .arg(shape.box.y())
                    .arg(shape.box.width())
                    .arg(shape.font.pixelSize())
                    .arg(Escaped(shape.font.family()), Hex(shape.fill), Escaped(shape.text),
                         shape.tag, Escaped(shape.toolTip));
    }
  }
  markup.insert(markup.lastIndexOf(QStringLiteral("\r\n</Canvas>")), legend);
  return markup;
}

int PieState::SliceAt(QPointF point, bool* legend) const {
  if (legend != nullptr) *legend = false;
  const MarkupScene* scene = Scene();
  if (scene == nullptr) return -1;
  for (std::size_t i = scene->shapes.size(); i-- > 0;) {
    const MarkupShape& shape = scene->shapes[i];
    if (shape.tag.isEmpty() || !ShapeContains(shape, point)) continue;
    const bool entry = shape.tag.startsWith(u'L');
    bool ok = false;
    const int row = (entry ? shape.tag.mid(1) : shape.tag).toInt(&ok);
    if (!ok || row < 0 || row >= Count()) continue;
    if (legend != nullptr) *legend = entry;
    return row;
  }
  return -1;
}

QString PieState::ToolTipAt(QPointF point) const {
  const MarkupScene* scene = Scene();
  if (scene == nullptr) return {};
  for (std::size_t i = scene->shapes.size(); i-- > 0;) {
    const MarkupShape& shape = scene->shapes[i];
    if (!shape.toolTip.isEmpty() && ShapeContains(shape, point)) return shape.toolTip;
  }
  return {};
}

QStringList PieState::Names(QList<int>* rows) const {
  QStringList names;
  if (rows != nullptr) rows->clear();
  QList<int> order;
  if (const MarkupScene* scene = Scene()) {
    for (const MarkupShape& shape : scene->shapes) {
      if (!shape.accessibleName.isEmpty() && !names.contains(shape.accessibleName)) {
        names.append(shape.accessibleName);
        order.append(shape.tag.toInt());
      }
    }
  }
  // A tree is read from its top rows out, as its rows are numbered; the
  // picture draws its outer rings first.
  if (mData->Levels() > 1) {
    std::vector<std::pair<int, QString>> byRow;
    for (qsizetype i = 0; i < names.size(); ++i)
      byRow.emplace_back(order[i], names[i]);
    std::stable_sort(byRow.begin(), byRow.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    names.clear();
    order.clear();
    for (const auto& [row, name] : byRow) {
      order.append(row);
      names.append(name);
    }
  }
  if (rows != nullptr) *rows = order;
  return names;
}

std::vector<DataRow> PieState::DataRows() const {
  const std::vector<PieSlice>& slices = mData->Slices();
  double total = 0;
  for (std::size_t i = 0; i < slices.size(); ++i) {
    const double value = slices[i].value;
    if (IsSliceVisible(static_cast<int>(i)) && std::isfinite(value) && value > 0) total += value;
  }
  std::vector<DataRow> rows;
  rows.reserve(slices.size());
  for (std::size_t i = 0; i < slices.size(); ++i) {
    const double value = slices[i].value;
    const bool valid = std::isfinite(value) && value >= 0;
    const bool shown = IsSliceVisible(static_cast<int>(i));
    DataRow row{SliceName(slices[i].name, static_cast<int>(i)), {}, {}, !shown};
    if (valid) row.value = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (valid && total > 0 && shown) {
      row.percent = QString::number(value / total * 100, 'f', mOptions.PercentDecimals());
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

QString PieState::DataTable() const {
  QString table = tr("Name\tValue\tPercent\n");
  const std::vector<PieSlice>& slices = mData->Slices();
  const std::vector<DataRow> rows = DataRows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    // The row's own name (none: none), without a tab or line break that
    // would split its row.
    QString name = slices[i].name;
    name.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    table += name + QLatin1Char('\t') + rows[i].value + QLatin1Char('\t') + rows[i].percent +
             QLatin1Char('\n');
  }
  return table;
}

void PieState::Paint(QPainter& painter, QSizeF area, bool focused) const {
  const MarkupScene* scene = Scene();
  // Text takes the view's direction, not its first letter's.
  const Qt::LayoutDirection direction = painter.layoutDirection();
  painter.setLayoutDirection(mDirection);
  const auto restore = qScopeGuard([&] { painter.setLayoutDirection(direction); });
  const QColor back = mPalette.color(QPalette::Window);
  const QString highlight =
      mHoverHighlight && mHovered >= 0 ? QString::number(mHovered) : QString();
  const QRectF bounds(QPointF(0, 0), area);
  const QRectF device = painter.deviceTransform().mapRect(bounds);
  const QRect pixels = device.toRect();
  if (scene != nullptr && QRectF(pixels) == device && CanRaster(painter)) {
    PaintMarkupOver(painter, *scene, pixels, back, highlight);
  } else {
    painter.fillRect(bounds, back);
    if (scene != nullptr) PaintMarkup(painter, *scene, highlight);
  }
  // The keyboard's slice: ringed along what shows of it (an opaque disc
  // drawn over it, a doughnut's hole, is cut away), in the palette's
  // highlight two pixels wide over a band in black or white, whichever
  // stands out from the highlight, so that it reads on any slice colour and
  // on the background; a hidden slice's legend entry instead.
  if (!focused || mCurrent < 0 || scene == nullptr) return;
  QPainterPath ring;
  ring.setFillRule(Qt::WindingFill);
  const QString tag = QString::number(mCurrent);
  const QString entry = QStringLiteral("L%1").arg(mCurrent);
  QPainterPath covered;
  for (const MarkupShape& shape : scene->shapes) {
    if (shape.tag == tag && shape.kind == MarkupShape::Kind::Polygon) {
      ring.addPolygon(shape.points);
      ring.closeSubpath();
    } else if (!ring.isEmpty() && shape.kind == MarkupShape::Kind::Ellipse && shape.tag.isEmpty() &&
               shape.fill.isValid() && shape.fill.alpha() == 255) {
      covered.addEllipse(shape.box);
    }
  }
  if (!covered.isEmpty()) ring = ring.subtracted(covered);
  if (ring.isEmpty()) {
    QRectF box;
    for (const MarkupShape& shape : scene->shapes) {
      if (shape.tag == entry) box |= shape.box;
    }
    if (!box.isEmpty()) ring.addRoundedRect(box.adjusted(-3, -2, 3, 2), 3, 3);
  } else {
    ring = ring.simplified();
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  const QColor ringColour = mPalette.color(QPalette::Highlight);
  const QColor band = Contrast(ringColour, Qt::black) >= Contrast(ringColour, Qt::white)
                          ? QColor(Qt::black)
                          : QColor(Qt::white);
  painter.setPen(QPen(band, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(ring);
  painter.setPen(QPen(ringColour, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(ring);
}

void PieState::SetRootIndex(const QModelIndex& root) {
  if (QModelIndex(mShownRoot) == root || (!root.isValid() && !mData->Root().isValid())) return;
  // A slice shown now opens to be the whole.
  mOpening = -1;
  for (int row = 0; row < Count() && root.isValid(); ++row) {
    if (mData->IndexOf(row) == root) mOpening = row;
  }
  mData->SetRoot(root);
}

bool PieState::Up() {
  const QModelIndex root = mData->Root();
  if (!root.isValid()) return false;
  SetRootIndex(root.parent());
  return true;
}

bool PieState::Press(QPointF point, bool toggle) {
  bool legend = false;
  const int row = SliceAt(point, &legend);
  // Beside every slice (the hole, the background): up a level.
  if (row < 0) return Up();
  mCurrent = row;
  if (legend) {
    SetSliceVisible(row, !IsSliceVisible(row));
    return true;
  }
  emit SliceClicked(row);
  // A tree's slice with rows under it fills the circle with them.
  if (mData->Levels() > 1 && mData->HasChildren(row)) {
    SetRootIndex(mData->IndexOf(row));
    return true;
  }
  QAbstractItemModel* model = mData->Model();
  if (mSelection && model != nullptr && mSelection->model() == model) {
    const bool byRow = mData->Orientation() == Qt::Vertical;
    const QModelIndex index = mData->IndexOf(row);
    const auto how = toggle ? QItemSelectionModel::Toggle : QItemSelectionModel::ClearAndSelect;
    mSelection->setCurrentIndex(
        index, how | (byRow ? QItemSelectionModel::Rows : QItemSelectionModel::Columns));
  }
  return true;
}

bool PieState::Key(int key, Qt::KeyboardModifiers modifiers) {
  if ((key == Qt::Key_Backspace || key == Qt::Key_Escape) && Up()) return true;
  const int count = Count();
  if (count == 0) return false;
  if (TreeKey(key)) return true;
  switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Down:
      SetCurrent(mCurrent < 0 ? 0 : (mCurrent + 1) % count);
      return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
      SetCurrent(mCurrent <= 0 ? count - 1 : mCurrent - 1);
      return true;
    case Qt::Key_Home:
      SetCurrent(0);
      return true;
    case Qt::Key_End:
      SetCurrent(count - 1);
      return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (mCurrent < 0) return false;
      // On a hidden slice (ringed in the legend), or with Shift: as a click
      // on its legend entry.
      if (!IsSliceVisible(mCurrent) || (modifiers & Qt::ShiftModifier)) {
        SetSliceVisible(mCurrent, !IsSliceVisible(mCurrent));
      } else if (mData->Levels() > 1 && mData->HasChildren(mCurrent)) {
        SetRootIndex(mData->IndexOf(mCurrent));
      } else {
        emit SliceActivated(mCurrent);
      }
      return true;
    default:
      return false;
  }
}

// In a tree, Left and Right walk the keyboard's ring round its own ring,
// Home and End to that ring's ends; Down (or Page Down) goes out to its
// first child, Up (or Page Up) in to its parent.
bool PieState::TreeKey(int key) {
  const std::vector<int>& parents = mData->Parents();
  const std::vector<int>& depths = mData->Depths();
  const auto count = static_cast<std::size_t>(Count());
  if (mData->Levels() < 2 || parents.size() != count || depths.size() != count) return false;
  const auto at = static_cast<std::size_t>(std::max(mCurrent, 0));
  std::vector<int> ring;  // the current slice's level, in the order drawn
  for (std::size_t i = 0; i < count; ++i) {
    if (depths[i] == depths[at]) ring.push_back(static_cast<int>(i));
  }
  const auto place = static_cast<std::size_t>(
      std::find(ring.begin(), ring.end(), static_cast<int>(at)) - ring.begin());
  switch (key) {
    case Qt::Key_Right:
      SetCurrent(mCurrent < 0 ? ring.front() : ring[(place + 1) % ring.size()]);
      return true;
    case Qt::Key_Left:
      SetCurrent(mCurrent < 0 ? ring.back() : ring[(place + ring.size() - 1) % ring.size()]);
      return true;
    case Qt::Key_Home:
      SetCurrent(ring.front());
      return true;
    case Qt::Key_End:
      SetCurrent(ring.back());
      return true;
    case Qt::Key_Down:
    case Qt::Key_PageDown: {
      const auto child = std::find(parents.begin(), parents.end(), static_cast<int>(at));
      SetCurrent(child != parents.end() ? static_cast<int>(child - parents.begin())
                                        : static_cast<int>(at));
      return true;
    }
    case Qt::Key_Up:
    case Qt::Key_PageUp:
      SetCurrent(parents[at] >= 0 ? parents[at] : static_cast<int>(at));
      return true;
    default:
      return false;
  }
}

void PieState::FocusIn() {
  if (mCurrent < 0 && Count() > 0) mCurrent = 0;
  emit Changed();
}

}  // namespace xamlpie::detail
