// Draws the README's pictures of the optional chart features:
//   xamlpie-gallery DIR   writes DIR/labels.png, DIR/doughnut.png, DIR/other.png,
//                         DIR/gauge.png, DIR/rings.png, DIR/gaps.png, DIR/sunburst.png,
//                         DIR/pieview.png (a table and a PieView sharing a model),
//                         DIR/pieview-sunburst.png (a tree view and a PieView of 3 levels),
//                         DIR/pieview-dark.png (on a dark desktop),
//                         DIR/pieview-legend.png (40 slices in columns),
//                         DIR/pieview-rtl.png (a right-to-left desktop),
//                         DIR/pieview-patterns.png (hatches over the colours),
//                         DIR/pieview-shaded.png (shaded slices, one grown under the pointer),
//                         DIR/pieview-rose.png (a wind rose: reach by a second value)

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>
#include <iostream>

#include "xamlpie/MarkupLabel.h"
#include "xamlpie/PieView.h"
#include "xamlpie/cXAMLPieChart.h"

namespace {

using xamlpie::cXAMLPieChart;
using xamlpie::ToColorValue;

// A calm palette that survives greyscale and the common colour blindnesses.
const QColor kColours[] = {QColor(0x4E, 0x79, 0xA7), QColor(0xF2, 0x8E, 0x2B),
                           QColor(0xE1, 0x57, 0x59), QColor(0x76, 0xB7, 0xB2),
                           QColor(0x59, 0xA1, 0x4F), QColor(0xED, 0xC9, 0x48),
                           QColor(0xB0, 0x7A, 0xA1), QColor(0xFF, 0x9D, 0xA7)};

void Add(cXAMLPieChart& chart, std::int32_t share, int colour, const char* name) {
  chart.AddDataItem(share, ToColorValue(kColours[colour]), name);
}

// A chart at (margin, margin), `size` across, from 12 o'clock clockwise, as
// people read pies.
cXAMLPieChart Chart(std::int32_t margin, std::int32_t size) {
  cXAMLPieChart chart;
  chart.MarginLeft(margin);
  chart.MarginTop(margin);
  chart.Size(size);
  chart.StartAngle(90);
  chart.Clockwise(true);
  return chart;
}

// A widget at twice the pixels, as a 2x screen shows it.
bool SaveWidget(const QString& dir, const char* name, QWidget& widget) {
  QImage image(widget.size() * 2, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  widget.render(&image);
  const QString path = QDir(dir).filePath(QString::fromLatin1(name));
  if (!image.save(path)) return false;
  std::cout << path.toStdString() << '\n';
  return true;
}

bool Save(const QString& dir, const char* name, const cXAMLPieChart& chart, QSize size) {
  xamlpie::MarkupLabel label;
  label.setBackColor(0x00FFFFFF);
  label.setCaption(QString::fromStdString(chart.XAML()));
  label.resize(size);
  return SaveWidget(dir, name, label);
}

// The README's example: a table and a chart view on one model and one
// selection, Food selected in both and Savings hidden from its legend.
bool SaveView(const QString& dir) {
  QStandardItemModel model(0, 2);
  model.setHorizontalHeaderLabels({QStringLiteral("Item"), QStringLiteral("Spent")});
  const char* names[] = {"Rent", "Food", "Transport", "Savings", "Leisure"};
  const double spent[] = {1200, 640.5, 310, 250, 182.25};
  for (int i = 0; i < 5; ++i) {
    auto* value = new QStandardItem;
    value->setData(spent[i], Qt::EditRole);
    model.appendRow({new QStandardItem(QString::fromLatin1(names[i])), value});
  }
  QWidget window;
  auto* table = new QTableView;
  table->setModel(&model);
  table->horizontalHeader()->setStretchLastSection(true);
  auto* view = new xamlpie::PieView;
  view->setAnimationDuration(0);
  view->chart().DoughnutWidth(50);  // of the chart's Size, 200: a quarter of the pie
  view->chart().SliceLabels(xamlpie::LabelStyle::Percent);
  view->chart().CenterText("Budget");
  view->setModel(&model);
  auto* selection = new QItemSelectionModel(&model, &window);
  table->setSelectionModel(selection);
  view->setSelectionModel(selection);
  table->selectRow(1);
  view->setSliceVisible(3, false);
  auto* layout = new QHBoxLayout(&window);
  layout->addWidget(table, 2);
  layout->addWidget(view, 3);
  window.resize(640, 300);
  window.ensurePolished();
  layout->activate();
  return SaveWidget(dir, "pieview.png", window);
}

// A tree model in a tree view and as a sunburst: groups inside, their
// parts and the parts of those outward; a group's empty cell counts its
// parts.
bool SaveSunburstView(const QString& dir) {
  QStandardItemModel model(0, 2);
  model.setHorizontalHeaderLabels({QStringLiteral("Item"), QStringLiteral("Spent")});
  const auto row = [](const char* name, double spent) {
    auto* value = new QStandardItem;
    if (spent >= 0) value->setData(spent, Qt::EditRole);
    return QList<QStandardItem*>{new QStandardItem(QString::fromLatin1(name)), value};
  };
  const QList<QStandardItem*> home = row("Home", -1);
  home[0]->appendRow(row("Rent", 950));
  home[0]->appendRow(row("Power", 250));
  const QList<QStandardItem*> food = row("Food", -1);
  const QList<QStandardItem*> shop = row("Shop", -1);
  shop[0]->appendRow(row("Bread", 120));
  shop[0]->appendRow(row("Fruit", 180));
  shop[0]->appendRow(row("Deli", 120));
  food[0]->appendRow(shop);
  food[0]->appendRow(row("Market", 220.5));
  const QList<QStandardItem*> out = row("Out", -1);
  out[0]->appendRow(row("Travel", 310));
  out[0]->appendRow(row("Films", 182.25));
  for (const auto& group : {home, food, out})
    model.appendRow(group);
  QWidget window;
  auto* tree = new QTreeView;
  tree->setModel(&model);
  tree->expandAll();
  tree->header()->setStretchLastSection(true);
  tree->setColumnWidth(0, 130);
  auto* view = new xamlpie::PieView;
  view->setAnimationDuration(0);
  view->setLevels(3);
  view->setHoleSize(0.3);
  view->setSliceGap(1.5);
  view->setLabels(xamlpie::PieView::Name);
  view->setCenterText(QStringLiteral("2024"));
  view->setModel(&model);
  auto* layout = new QHBoxLayout(&window);
  layout->addWidget(tree, 2);
  layout->addWidget(view, 3);
  window.resize(640, 320);
  window.ensurePolished();
  layout->activate();
  return SaveWidget(dir, "pieview-sunburst.png", window);
}

// The view as users meet it first: on a dark desktop, and with many slices.
bool SaveDesktops(const QString& dir) {
  xamlpie::PieView dark;
  QPalette palette = dark.palette();
  palette.setColor(QPalette::Window, QColor(0x2D, 0x2D, 0x30));
  palette.setColor(QPalette::WindowText, QColor(0xE6, 0xE6, 0xE6));
  dark.setPalette(palette);
  dark.setAnimationDuration(0);
  dark.setHoleSize(0.5);
  dark.setLabels(xamlpie::PieView::NameAndPercent);
  dark.setLabelsOutside(true);
  dark.setStartAngle(90);
  dark.setClockwise(true);
  dark.setSlices({{QStringLiteral("Rent"), 1200, {}},
                  {QStringLiteral("Food"), 640.5, {}},
                  {QStringLiteral("Transport"), 310, {}},
                  {QStringLiteral("Savings"), 250, {}},
                  {QStringLiteral("Leisure"), 182.25, {}}});
  dark.resize(480, 260);

  xamlpie::PieView many;
  many.setAnimationDuration(0);
  many.setStartAngle(90);
  many.setClockwise(true);
  QList<xamlpie::PieSlice> slices;
  for (int i = 0; i < 40; ++i) {
    slices.append({QStringLiteral("Region %1").arg(i + 1), 40.0 - i * 0.8, {}});
  }
  many.setSlices(slices);
  many.resize(480, 260);

  // A right-to-left desktop: names in Hebrew and Arabic, and one long one.
  xamlpie::PieView rtl;
  rtl.setAnimationDuration(0);
  rtl.setLayoutDirection(Qt::RightToLeft);
  rtl.setHoleSize(0.45);
  rtl.setLabels(xamlpie::PieView::NameAndPercent);
  rtl.setLabelsOutside(true);
  rtl.setLegendFormat(QStringLiteral("{name}: {value}"));
  rtl.setSlices({{QStringLiteral("\u05E9\u05DB\u05E8 \u05D3\u05D9\u05E8\u05D4"), 1200, {}},
                 {QStringLiteral("\u0627\u0644\u0625\u064A\u062C\u0627\u0631"), 640, {}},
                 {QStringLiteral("Administrative and general expenses"), 310, {}},
                 {QStringLiteral("\u05D7\u05E1\u05DB\u05D5\u05E0\u05D5\u05EA"), 250, {}}});
  rtl.resize(480, 260);

  // Hatches for readers who cannot tell the colours apart.
  xamlpie::PieView hatched;
  hatched.setAnimationDuration(0);
  hatched.setHoleSize(0.4);
  hatched.setPatterns(true);
  hatched.setStartAngle(90);
  hatched.setClockwise(true);
  QList<xamlpie::PieSlice> eight;
  const char* const names[] = {"North",  "South",   "East",  "West",
                               "Centre", "Islands", "Coast", "Hills"};
  for (int i = 0; i < 8; ++i)
    eight.append({QString::fromLatin1(names[i]), 30.0 - i * 3, {}});
  hatched.setSlices(eight);
  hatched.resize(480, 260);

  // Shaded slices, the pointer on one of them: it grows out.
  xamlpie::PieView shaded;
  shaded.setAnimationDuration(0);
  shaded.setHoleSize(0.45);
  shaded.setGradient(xamlpie::PieView::RadialSlices);
  shaded.setHoverExpand(10);
  shaded.setLabels(xamlpie::PieView::Percent);
  shaded.setSlices({{QStringLiteral("Rent"), 1200, {}},
                    {QStringLiteral("Groceries"), 450, {}},
                    {QStringLiteral("Transport"), 180, {}},
                    {QStringLiteral("Savings"), 600, {}},
                    {QStringLiteral("Leisure"), 300, {}}});
  shaded.resize(480, 260);
  for (int y = 0; y < 260; y += 4) {
    const QPointF at(140, y);
    if (shaded.sliceAt(at) != 1) continue;
    QMouseEvent move(QEvent::MouseMove, at, shaded.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&shaded, &move);
    break;
  }
  // A wind rose: eight directions of equal angle, each reaching out by how
  // often the wind blows from it.
  xamlpie::PieView rose;
  rose.setAnimationDuration(0);
  rose.setLabels(xamlpie::PieView::Name);
  rose.setStartAngle(90 + 22);  // north up, its slice centred on it
  rose.setClockwise(true);
  rose.setSliceGap(2);
  rose.setGradient(xamlpie::PieView::RadialSlices);
  rose.setLegend(false);
  const char* const directions[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
  const double often[] = {9, 6, 4, 7, 12, 16, 10, 5};
  QList<xamlpie::PieSlice> winds;
  for (int i = 0; i < 8; ++i)
    winds.append({QString::fromLatin1(directions[i]), 1, {}, often[i]});
  rose.setSlices(winds);
  rose.resize(480, 260);
  return SaveWidget(dir, "pieview-rose.png", rose) && SaveWidget(dir, "pieview-dark.png", dark) &&
         SaveWidget(dir, "pieview-legend.png", many) && SaveWidget(dir, "pieview-rtl.png", rtl) &&
         SaveWidget(dir, "pieview-patterns.png", hatched) &&
         SaveWidget(dir, "pieview-shaded.png", shaded);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " DIR\n";
    return 2;
  }
  QApplication app(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[1]);

  cXAMLPieChart labels = Chart(10, 220);  // a labelled pie with a legend
  Add(labels, 38, 0, "Rent");
  Add(labels, 22, 1, "Food");
  Add(labels, 15, 2, "Transport");
  Add(labels, 13, 3, "Savings");
  Add(labels, 12, 4, "Leisure");
  labels.SliceLabels(xamlpie::LabelStyle::Percent);
  labels.Legend(true);

  cXAMLPieChart doughnut = Chart(20, 220);  // centre text and an exploded slice
  doughnut.DoughnutWidth(55);
  doughnut.BackgroundColor(0x00FFFFFF);
  Add(doughnut, 46, 0, "Done");
  Add(doughnut, 31, 1, "In progress");
  Add(doughnut, 23, 2, "Blocked");
  doughnut.Explode(2, 12);
  doughnut.SliceLabels(xamlpie::LabelStyle::Percent);
  doughnut.CenterText("Tasks");

  cXAMLPieChart other = Chart(10, 200);  // small slices folded into "Other", labels outside
  const char* browsers[] = {"Chrome", "Safari",  "Edge", "Firefox",
                            "Opera",  "Samsung", "UC",   "Yandex"};
  const std::int32_t shares[] = {62, 19, 7, 5, 3, 2, 1, 1};
  for (int i = 0; i < 8; ++i)
    Add(other, shares[i], i, browsers[i]);
  other.GroupBelow(4, ToColorValue(QColor(0x9C, 0x9C, 0x9C)), "Other");
  other.SliceLabels(xamlpie::LabelStyle::NameAndPercent);
  other.LabelsOutside(true);

  cXAMLPieChart gauge = Chart(10, 240);  // a gauge of values: the top half, value labels
  gauge.StartAngle(180);
  gauge.SweepAngle(180);
  gauge.DoughnutWidth(70);
  gauge.BackgroundColor(0x00FFFFFF);
  const double spend[] = {1200.0, 640.5, 310.0, 182.25};
  const char* budget[] = {"Rent", "Food", "Transport", "Leisure"};
  for (int i = 0; i < 4; ++i)
    gauge.AddValue(spend[i], ToColorValue(kColours[i]), budget[i]);
  gauge.SliceLabels(xamlpie::LabelStyle::Percent);
  gauge.LabelFormat("{percent} %");
  gauge.PercentDecimals(1);
  gauge.Legend(true);
  gauge.LegendFormat("{name}: {value}");
  gauge.ValueDecimals(2);
  gauge.GroupSeparator(",");
  gauge.CenterText("Spent");

  cXAMLPieChart rings = Chart(10, 220);  // nested rings: spending, and where it went
  rings.DoughnutWidth(50);
  rings.SliceGap(2);
  const double groups[] = {1200.0, 640.5, 492.25};
  const char* groupNames[] = {"Home", "Food", "Out"};
  for (int i = 0; i < 3; ++i)
    rings.AddValue(groups[i], ToColorValue(kColours[i]), groupNames[i]);
  rings.AddRing(45);
  const double parts[] = {950.0, 250.0, 420.0, 220.5, 310.0, 182.25};
  const char* partNames[] = {"Rent", "Power", "Shop", "Market", "Travel", "Films"};
  for (int i = 0; i < 6; ++i)
    rings.AddValue(parts[i], ToColorValue(kColours[i / 2].lighter(130 + 25 * (i % 2))),
                   partNames[i]);
  rings.SliceLabels(xamlpie::LabelStyle::Name);
  rings.Legend(true);
  rings.LegendFormat("{name} {value}");

  // A sunburst: spending by group inside, then its parts, then the parts of
  // two of those; groups and "Shop" count what they hold, and "Travel" is
  // only partly itemised.
  cXAMLPieChart sunburst = Chart(10, 240);
  sunburst.DoughnutWidth(30);
  sunburst.SliceGap(1.5);
  struct Node {
    const char* name;
    double value;
    std::int32_t parent;  // as added
    int colour;
    int shade;  // 0 the group's colour, lighter further out
  };
  const Node nodes[] = {
      {"Bread", 120, 7, 1, 2},   {"Fruit", 180, 7, 1, 3},     {"Deli", 120, 7, 1, 4},
      {"Train", 190, 9, 2, 2},   {"Bus", 60, 9, 2, 3},        {"Rent", 950, 11, 0, 1},
      {"Power", 250, 11, 0, 2},  {"Shop", 0, 12, 1, 1},       {"Market", 220.5, 12, 1, 2},
      {"Travel", 310, 13, 2, 1}, {"Films", 182.25, 13, 2, 2}, {"Home", 0, -1, 0, 0},
      {"Food", 0, -1, 1, 0},     {"Out", 0, -1, 2, 0}};
  for (std::int32_t i = 0; i < 14; ++i) {
    if (i == 5 || i == 11) sunburst.AddRing(30);
    const Node& n = nodes[i];
    sunburst.AddValue(n.value, ToColorValue(kColours[n.colour].lighter(100 + 18 * n.shade)),
                      n.name);
  }
  for (std::int32_t i = 0; i < 14; ++i) {
    if (nodes[i].parent >= 0) sunburst.Parent(i, nodes[i].parent);
  }
  sunburst.SliceLabels(xamlpie::LabelStyle::Name);
  sunburst.MinLabelAngle(12);
  sunburst.CenterText("2024");

  cXAMLPieChart gaps = Chart(10, 220);  // gaps and rounded corners, value labels
  gaps.DoughnutWidth(70);
  gaps.SliceGap(5);
  gaps.CornerRadius(8);
  const double hours[] = {7.5, 4.5, 2.0, 1.5, 8.5};
  const char* tasks[] = {"Work", "Family", "Sport", "Reading", "Sleep"};
  for (int i = 0; i < 5; ++i)
    gaps.AddValue(hours[i], ToColorValue(kColours[i + 3]), tasks[i]);
  gaps.SliceLabels(xamlpie::LabelStyle::Percent);
  gaps.LabelFormat("{value} h");
  gaps.ValueDecimals(1);
  gaps.CenterText("24 h");

  const bool ok =
      Save(dir, "labels.png", labels, {400, 240}) && Save(dir, "gauge.png", gauge, {440, 140}) &&
      Save(dir, "doughnut.png", doughnut, {260, 260}) &&
      Save(dir, "other.png", other, {420, 220}) && Save(dir, "rings.png", rings, {370, 240}) &&
      Save(dir, "gaps.png", gaps, {240, 240}) && Save(dir, "sunburst.png", sunburst, {260, 260}) &&
      SaveView(dir) && SaveSunburstView(dir) && SaveDesktops(dir);
  return ok ? 0 : 1;
}
