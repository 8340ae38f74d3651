// The chart view bound to data, driven through real events: what reaches the
// picture, what the user can do with it, and what it says.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <sstream>

#include "Hatch.h"
#include "pixels.h"
#include "xamlpie/Colors.h"
#include "xamlpie/PieView.h"

namespace xamlpie::test {
namespace {

const QColor kColours[] = {QColor(230, 20, 20), QColor(20, 160, 20), QColor(20, 20, 230),
                           QColor(200, 200, 20)};

// A model of names (with their colours) and values.
void Fill(QStandardItemModel& model, const std::vector<double>& values) {
  model.clear();
  model.setColumnCount(2);
  for (std::size_t i = 0; i < values.size(); ++i) {
    auto* name = new QStandardItem(QStringLiteral("Slice %1").arg(i));
    name->setData(kColours[i % std::size(kColours)], Qt::DecorationRole);
    auto* value = new QStandardItem;
    value->setData(values[i], Qt::EditRole);
    model.appendRow({name, value});
  }
}

// The share of the picture's slice pixels each of the test colours takes,
// the legend's swatches left out.
std::vector<double> Shares(PieView& view, qreal ratio = 1) {
  const QImage image = Render(view, ratio);
  QRectF legend;
  const std::optional<MarkupScene> scene = ParseMarkup(view.markup());
  for (const MarkupShape& shape : scene ? scene->shapes : std::vector<MarkupShape>{}) {
    if (shape.tag.startsWith(u'L')) legend |= shape.box.adjusted(-2, -2, 2, 2);
  }
  std::vector<double> counts(std::size(kColours), 0.0);
  double total = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (legend.contains(QPointF(x + 0.5, y + 0.5) / ratio)) continue;
      const QColor c = image.pixelColor(x, y);
      for (std::size_t k = 0; k < std::size(kColours); ++k) {
        if (DistanceToBlend(c, kColours[k], kColours[k]) < 6) {
          counts[k] += 1;
          total += 1;
        }
      }
    }
  }
  for (double& c : counts)
    c = total > 0 ? c / total : 0;
  return counts;
}

void ExpectShares(PieView& view, const std::vector<double>& values, const std::string& what) {
  double sum = 0;
  for (const double v : values)
    sum += v;
  for (const qreal ratio : {1.0, 2.0}) {
    const std::vector<double> shares = Shares(view, ratio);
    for (std::size_t k = 0; k < std::size(kColours); ++k) {
      const double expected = k < values.size() ? values[k] / sum : 0.0;
      EXPECT_NEAR(shares[k], expected, 0.02) << what << ", colour " << k << " at " << ratio;
    }
  }
}

PieView* MakeView(QAbstractItemModel* model) {
  auto* view = new PieView;
  view->setAnimationDuration(0);
  view->resize(400, 300);
  view->setModel(model);
  return view;
}

TEST(PieView, ModelChangesReachThePicture) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  ExpectShares(*view, {50, 30, 20}, "as filled");

  model.item(0, 1)->setData(10.0, Qt::EditRole);  // dataChanged
  ExpectShares(*view, {10, 30, 20}, "a value changed");
  auto* name = new QStandardItem(QStringLiteral("New"));
  name->setData(kColours[3], Qt::DecorationRole);
  auto* value = new QStandardItem;
  value->setData(40.0, Qt::EditRole);
  model.appendRow({name, value});  // rowsInserted
  ExpectShares(*view, {10, 30, 20, 40}, "a row added");
  model.removeRow(1);  // rowsRemoved: blue and yellow move up a row
  std::vector<double> shares = Shares(*view);
  EXPECT_NEAR(shares[0], 10.0 / 70, 0.02);
  EXPECT_NEAR(shares[1], 0.0, 0.005);
  EXPECT_NEAR(shares[2], 20.0 / 70, 0.02);
  EXPECT_NEAR(shares[3], 40.0 / 70, 0.02);
  model.moveRow(QModelIndex(), 2, QModelIndex(), 0);  // rowsMoved: the colours go with the rows
  shares = Shares(*view);
  EXPECT_NEAR(shares[3], 40.0 / 70, 0.02);
  Fill(model, {25, 25, 25, 25});  // modelReset
  ExpectShares(*view, {25, 25, 25, 25}, "reset");

  // Through a proxy that filters rows.
  QSortFilterProxyModel proxy;
  proxy.setSourceModel(&model);
  proxy.setFilterKeyColumn(0);
  view->setModel(&proxy);
  proxy.setFilterRegularExpression(QStringLiteral("Slice [02]"));
  shares = Shares(*view);
  EXPECT_NEAR(shares[0], 0.5, 0.02);
  EXPECT_NEAR(shares[2], 0.5, 0.02);
  EXPECT_NEAR(shares[1] + shares[3], 0.0, 0.005);

  // Columns as slices.
  QStandardItemModel wide(2, 3);
  for (int c = 0; c < 3; ++c) {
    wide.setData(wide.index(0, c), QStringLiteral("C%1").arg(c));
    wide.setData(wide.index(0, c), kColours[c], Qt::DecorationRole);
    wide.setData(wide.index(1, c), 10.0 * (c + 1));
  }
  // A model or selection deleted under the view leaves it empty, not dangling.
  {
    auto* gone = new QStandardItemModel;
    Fill(*gone, {1, 2});
    auto* selection = new QItemSelectionModel(gone);
    view->setModel(gone);
    view->setSelectionModel(selection);
    delete selection;
    delete gone;
    EXPECT_TRUE(view->slices().isEmpty());
    EXPECT_FALSE(view->markup().isEmpty());
    QTest::keyClick(view.get(), Qt::Key_Right);
  }

  PieView columns;
  columns.setAnimationDuration(0);
  columns.resize(400, 300);
  columns.setOrientation(Qt::Horizontal);
  columns.setModel(&wide);
  ExpectShares(columns, {10, 20, 30}, "columns");
}

// The warnings given while it lives.
class Warnings {
 public:
  Warnings() { mPrevious = qInstallMessageHandler(&Warnings::Take); }
  ~Warnings() { qInstallMessageHandler(mPrevious); }
  Warnings(const Warnings&) = delete;
  Warnings& operator=(const Warnings&) = delete;
  static QStringList& All() {
    static QStringList all;
    return all;
  }

 private:
  static void Take(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg) All().append(message);
  }
  QtMessageHandler mPrevious;
};

TEST(PieView, BadValuesAreMissingSlicesReportedOnce) {
  Warnings warnings;
  Warnings::All().clear();
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  model.item(1, 1)->setData(QStringLiteral("lots"), Qt::EditRole);
  std::unique_ptr<PieView> view(MakeView(&model));
  ExpectShares(*view, {50, 0, 20}, "a bad cell");
  model.item(0, 1)->setData(60.0, Qt::EditRole);  // no second warning for row 1
  model.item(2, 1)->setData(-5.0, Qt::EditRole);
  model.item(2, 1)->setData(std::nan(""), Qt::EditRole);  // still bad: not again
  ExpectShares(*view, {60, 0, 0}, "two bad cells");
  ASSERT_EQ(Warnings::All().size(), 2) << Warnings::All().join(u'\n').toStdString();
  EXPECT_TRUE(Warnings::All()[0].contains(QStringLiteral("row 1: \"lots\"")));
  EXPECT_TRUE(Warnings::All()[1].contains(QStringLiteral("row 2: \"-5\"")));

  view->setSlices({{QStringLiteral("a"), 1, kColours[0]}, {QStringLiteral("b"), 3, kColours[1]}});
  EXPECT_EQ(view->model(), nullptr);
  ExpectShares(*view, {1, 3}, "slices without a model");
}

// A rose's slices reach out by their radius column: by area a slice's
// pixels grow with its radius value, by length with its square. A bad
// radius is a missing slice, reported as a bad value is.
TEST(PieView, RoseSlicesReachByTheirRadius) {
  Warnings warnings;
  Warnings::All().clear();
  QStandardItemModel model;
  Fill(model, {25, 25, 25, 25});
  const double radii[] = {4, 1, 4, 1};
  for (int row = 0; row < 4; ++row) {
    auto* radius = new QStandardItem;
    radius->setData(radii[row], Qt::EditRole);
    model.setItem(row, 2, radius);
  }
  std::unique_ptr<PieView> view(MakeView(&model));
  view->setRadiusColumn(2);
  EXPECT_EQ(view->radiusColumn(), 2);
  ExpectShares(*view, {4, 1, 4, 1}, "by area");
  view->setRadiusScale(PieView::RadiusByLength);
  EXPECT_EQ(view->chart().RadiusScaling(), RadiusScale::Linear);
  ExpectShares(*view, {16, 1, 16, 1}, "by length");
  model.item(1, 2)->setData(QStringLiteral("far"), Qt::EditRole);
  ExpectShares(*view, {16, 0, 16, 1}, "a bad radius");
  ASSERT_EQ(Warnings::All().size(), 1);
  EXPECT_TRUE(Warnings::All()[0].contains(QStringLiteral("row 1")))
      << Warnings::All()[0].toStdString();
  model.item(1, 2)->setData(QVariant(), Qt::EditRole);
  ExpectShares(*view, {16, 16, 16, 1}, "an empty radius reaches the rim");
  view->setRadiusColumn(-1);
  ExpectShares(*view, {25, 25, 25, 25}, "a plain chart again");

  view->setSlices({{QStringLiteral("a"), 1, kColours[0], 2.0},
                   {QStringLiteral("b"), 1, kColours[1], 1.0},
                   {QStringLiteral("c"), 2, kColours[2], std::nullopt},
                   {QStringLiteral("d"), 1, kColours[3], -1.0}});
  // c reaches the rim as the largest would; d is missing. By length, with
  // the largest given (2) at the rim: areas of angle x reach squared.
  ExpectShares(*view, {1 * 4.0, 1 * 1.0, 2 * 4.0, 0}, "slices without a model");
}

// A tree model as a sunburst: every child lies within its parent's angle,
// found by pointing at it; a parent with an empty value counts its
// children, and fewer levels show fewer rings.
TEST(PieView, TreesDrawEveryChildWithinItsParent) {
  const auto row = [](const char* name, double value) {
    auto* cell = new QStandardItem;
    if (value >= 0) cell->setData(value, Qt::EditRole);
    return QList<QStandardItem*>{new QStandardItem(QString::fromUtf8(name)), cell};
  };
  QStandardItemModel model;
  model.setColumnCount(2);
  const QList<QStandardItem*> home = row("Home", -1);
  home[0]->appendRow(row("Rent", 950));
  home[0]->appendRow(row("Power", 250));
  const QList<QStandardItem*> food = row("Food", -1);
  const QList<QStandardItem*> shop = row("Shop", -1);
  for (const auto& [name, value] : {std::pair{"Bread", 120.0}, {"Fruit", 180.0}, {"Deli", 120.0}})
    shop[0]->appendRow(row(name, value));
  food[0]->appendRow(shop);
  food[0]->appendRow(row("Market", 220.5));
  const QList<QStandardItem*> out = row("Out", 700);  // more than its children
  out[0]->appendRow(row("Travel", 310));
  out[0]->appendRow(row("Films", 182.25));
  for (const auto& top : {home, food, out})
    model.appendRow(top);

  std::unique_ptr<PieView> view(MakeView(&model));
  view->resize(480, 360);
  view->setHoleSize(0.25);
  EXPECT_EQ(view->slices().size(), 3);
  view->setLevels(3);
  EXPECT_EQ(view->levels(), 3);
  ASSERT_EQ(view->slices().size(), 12);
  EXPECT_EQ(view->slices().at(0).value, 0) << "a parent's empty value";
  EXPECT_TRUE(view->description().contains(QStringLiteral("Home, 1")))
      << view->description().toStdString();
  // The picture's centre: the middle of the top rows, which ring the hole.
  QRectF top;
  for (const MarkupShape& shape : view->shapes()) {
    if (shape.kind == MarkupShape::Kind::Polygon &&
        (shape.tag == u"0" || shape.tag == u"1" || shape.tag == u"2")) {
      top |= shape.points.boundingRect();
    }
  }
  const QPointF centre = top.center();
  int children = 0;
  for (int slice = 3; slice < 12; ++slice) {
    // Its middle: the mean direction of its points from the centre, halfway
    // between their nearest and farthest.
    QPointF sum;
    double nearest = 1e9;
    double farthest = 0;
    for (const MarkupShape& shape : view->shapes()) {
      if (shape.kind != MarkupShape::Kind::Polygon || shape.tag != QString::number(slice)) continue;
      for (const QPointF& p : shape.points) {
        const QPointF d = p - centre;
        const double r = std::hypot(d.x(), d.y());
        if (r < 1) continue;
        sum += d / r;
        nearest = std::min(nearest, r);
        farthest = std::max(farthest, r);
      }
    }
    ASSERT_GT(farthest, 0) << "slice " << slice;
    const QPointF middle = centre + sum / std::hypot(sum.x(), sum.y()) * (nearest + farthest) / 2;
    const QModelIndex child = view->indexAt(middle);
    ASSERT_TRUE(child.isValid()) << "slice " << slice;
    EXPECT_EQ(view->sliceAt(middle), slice);
    // Inwards from it, the next slice met is its parent.
    QModelIndex inner;
    for (int step = 1; step < 50 && !inner.isValid(); ++step) {
      const QModelIndex at = view->indexAt(middle + (centre - middle) * (step / 50.0));
      if (at.isValid() && at != child) inner = at;
    }
    EXPECT_EQ(inner, child.parent()) << child.data().toString().toStdString();
    ++children;
  }
  EXPECT_EQ(children, 9);

  // Screen readers get the slices as a tree: the top rows under the chart,
  // each slice's children under it, in the picture's order.
  QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(view.get());
  ASSERT_NE(reader, nullptr);
  ASSERT_EQ(reader->childCount(), 3);
  QAccessibleInterface* foodPart = reader->child(1);
  ASSERT_NE(foodPart, nullptr);
  EXPECT_TRUE(foodPart->text(QAccessible::Name).startsWith(QStringLiteral("Food")));
  EXPECT_EQ(foodPart->role(), QAccessible::TreeItem);
  EXPECT_EQ(foodPart->parent(), reader);
  ASSERT_EQ(foodPart->childCount(), 2);
  QAccessibleInterface* shopPart = foodPart->child(0);
  EXPECT_TRUE(shopPart->text(QAccessible::Name).startsWith(QStringLiteral("Shop")));
  EXPECT_EQ(shopPart->parent(), foodPart);
  EXPECT_EQ(foodPart->indexOfChild(foodPart->child(1)), 1);
  EXPECT_EQ(reader->indexOfChild(shopPart), -1) << "not the chart's own child";
  ASSERT_EQ(shopPart->childCount(), 3);
  EXPECT_TRUE(shopPart->child(2)->text(QAccessible::Name).startsWith(QStringLiteral("Deli")));
  EXPECT_EQ(shopPart->child(2)->childCount(), 0);
  EXPECT_EQ(reader->child(0)->childCount(), 2) << "Home: Rent and Power";

  // The keyboard: Left and Right round a ring, Down out to a first child,
  // Up in to the parent; a slice without the one asked for stays.
  view->setCurrentSlice(1);  // Food
  int expected = 1;
  for (const auto& [key, slice] : {std::pair{Qt::Key_Down, 5},  // Shop
                                   {Qt::Key_Down, 9},           // Bread
                                   {Qt::Key_Right, 10},         // Fruit
                                   {Qt::Key_Left, 9},
                                   {Qt::Key_Left, 11},  // Deli: round its ring only
                                   {Qt::Key_Up, 5},
                                   {Qt::Key_Right, 6},  // Market
                                   {Qt::Key_Down, 6},   // has no rows under it
                                   {Qt::Key_PageUp, 1},
                                   {Qt::Key_Up, 1},  // a top row
                                   {Qt::Key_Left, 0},
                                   {Qt::Key_End, 2},
                                   {Qt::Key_PageDown, 7}}) {
    QTest::keyClick(view.get(), key);
    EXPECT_EQ(view->currentSlice(), slice) << "from " << expected << " by key " << key;
    expected = slice;
  }

  // Down into a slice with rows under it by click, Enter or setRootIndex;
  // up by Escape, a click beside the slices, or a model reset.
  QSignalSpy roots(view.get(), &PieView::rootIndexChanged);
  const QPoint onFood = [&] {
    for (int y = 0; y < view->height(); y += 3)
      for (int x = 0; x < view->width(); x += 3)
        if (view->sliceAt(QPointF(x, y)) == 1) return QPoint(x, y);
    return QPoint();
  }();
  // The slices' points, and the centre of the top rows (which ring the
  // hole) in the picture at the end.
  const auto points = [&](const std::function<bool(const QString&)>& which) {
    std::vector<QPointF> out;
    for (const MarkupShape& shape : view->shapes()) {
      if (shape.kind == MarkupShape::Kind::Polygon && which(shape.tag))
        out.insert(out.end(), shape.points.begin(), shape.points.end());
    }
    return out;
  };
  const auto angles = [](const std::vector<QPointF>& at, QPointF about) {
    std::vector<double> out;
    for (const QPointF& p : at) {
      if (std::hypot(p.x() - about.x(), p.y() - about.y()) > 20)
        out.push_back(std::atan2(p.y() - about.y(), p.x() - about.x()) * 180 / M_PI);
    }
    return out;
  };
  const auto any = [](const QString& tag) { return !tag.isEmpty(); };
  const std::vector<double> foodAngles =
      angles(points([](const QString& tag) { return tag == u"1"; }), centre);
  ASSERT_FALSE(foodAngles.empty());
  view->show();  // a view not shown yet has nothing to move from
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  view->setAnimationDuration(60000);
  view->setAnimationEasing(QEasingCurve::Linear);
  view->setRootIndex(model.index(1, 0));
  const std::vector<QPointF> opening = points(any);
  view->setAnimationDuration(0);
  view->setRootIndex(QModelIndex());
  view->setRootIndex(model.index(1, 0));
  const std::vector<QPointF> opened = points(any);
  QRectF tops;
  for (const MarkupShape& shape : view->shapes()) {
    if (shape.kind == MarkupShape::Kind::Polygon && (shape.tag == u"0" || shape.tag == u"1"))
      tops |= shape.points.boundingRect();
  }
  // Whether one set of angles lies within another's span (3 degrees spare).
  const auto within = [](const std::vector<double>& inner, const std::vector<double>& outer) {
    double sin = 0;
    double cos = 0;
    for (const double d : outer) {
      sin += std::sin(d * M_PI / 180);
      cos += std::cos(d * M_PI / 180);
    }
    const double middle = std::atan2(sin, cos) * 180 / M_PI;
    const auto off = [&](double d) { return std::remainder(d - middle, 360.0); };
    double low = 0;
    double high = 0;
    for (const double d : outer) {
      low = std::min(low, off(d));
      high = std::max(high, off(d));
    }
    return !inner.empty() && std::all_of(inner.begin(), inner.end(), [&](double d) {
      return off(d) >= low - 3 && off(d) <= high + 3;
    });
  };
  EXPECT_TRUE(within(angles(opening, tops.center()), foodAngles))
      << "a drill-down's first frame lies where its slice was";
  EXPECT_FALSE(within(angles(opened, tops.center()), foodAngles)) << "and its last, all round";
  view->setRootIndex(QModelIndex());
  roots.clear();
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, onFood);
  EXPECT_EQ(view->rootIndex(), model.index(1, 0));
  ASSERT_EQ(roots.size(), 1);
  EXPECT_EQ(view->slices().size(), 5) << "Shop and Market, and Shop's three";
  EXPECT_TRUE(view->description().startsWith(QStringLiteral("Chart: Shop")))
      << view->description().toStdString();
  EXPECT_TRUE(view->markup().contains(QStringLiteral("Food"))) << "the path in the middle";
  QTest::keyClick(view.get(), Qt::Key_Escape);
  EXPECT_FALSE(view->rootIndex().isValid());
  EXPECT_EQ(view->slices().size(), 12);
  view->setCurrentSlice(1);
  QTest::keyClick(view.get(), Qt::Key_Return);
  EXPECT_EQ(view->rootIndex(), model.index(1, 0));
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_FALSE(view->rootIndex().isValid());
  view->setRootIndex(model.index(0, 0));
  EXPECT_EQ(view->slices().size(), 2);
  EXPECT_EQ(roots.size(), 5);
  model.setRowCount(model.rowCount());  // no change, no signal
  EXPECT_EQ(roots.size(), 5);
  QStandardItemModel other;
  view->setModel(&other);
  EXPECT_FALSE(view->rootIndex().isValid());
  EXPECT_EQ(roots.size(), 6) << "a new model is the top again";
  view->setModel(&model);
  view->setLevels(2);
  EXPECT_EQ(view->slices().size(), 9);
  model.removeRow(1);  // a parent and its children go
  EXPECT_EQ(view->slices().size(), 6);
  view->setLevels(1);
  EXPECT_EQ(view->slices().size(), 2);
  // A reset while the drill-down still moves lands on the top level.
  view->setLevels(2);
  view->setAnimationDuration(20000);
  view->setRootIndex(model.index(0, 0));
  EXPECT_TRUE(view->rootIndex().isValid());
  model.clear();
  EXPECT_FALSE(view->rootIndex().isValid());
  EXPECT_EQ(view->slices().size(), 0);
  EXPECT_FALSE(Render(*view).isNull());
}

// Leaves too thin to draw are left out of a big tree, and still take their
// angle: the gaps they leave lie where they were, among their siblings.
TEST(PieView, ThinLeavesKeepTheirPlace) {
  QStandardItemModel model;
  model.setColumnCount(2);
  const auto row = [](const QString& name, double value) {
    auto* cell = new QStandardItem;
    if (value > 0) cell->setData(value, Qt::EditRole);
    return QList<QStandardItem*>{new QStandardItem(name), cell};
  };
  QList<QStandardItem*> top = row(QStringLiteral("All"), 0);
  for (int big = 0; big < 3; ++big) {
    top[0]->appendRow(row(QStringLiteral("Big %1").arg(big), 1000));
    for (int k = 0; big < 2 && k < 5000; ++k)
      top[0]->appendRow(row(QStringLiteral("Thin %1").arg(k), 0.01));
  }
  model.appendRow(top);
  std::unique_ptr<PieView> view(MakeView(&model));
  view->setLevels(2);
  ASSERT_EQ(view->slices().size(), 1 + 3 + 10000);
  QRectF whole;
  for (const MarkupShape& shape : view->shapes()) {
    if (shape.kind == MarkupShape::Kind::Polygon && shape.tag == u"0")
      whole |= shape.points.boundingRect();
  }
  ASSERT_FALSE(whole.isEmpty());
  // Round the outer ring a quarter degree at a time: what each step meets.
  const double radius = whole.width() / 2 * 1.5;  // outside the top ring
  std::map<int, int> steps;                       // by slice, -1 none
  std::vector<int> met;                           // in turn, each once
  for (int step = 0; step < 360 * 4; ++step) {
    const double angle = step / 4.0 * M_PI / 180;
    const QPointF at = whole.center() + QPointF(std::cos(angle), -std::sin(angle)) * radius;
    const int slice = view->sliceAt(at);
    ++steps[slice];
    if (met.empty() || met.back() != slice) met.push_back(slice);
  }
  if (met.size() > 1 && met.front() == met.back()) met.pop_back();  // round to the start
  // A gap after each of the first two, wherever the circle was started.
  const auto first = std::find(met.begin(), met.end(), 1);
  ASSERT_NE(first, met.end());
  std::rotate(met.begin(), first, met.end());
  EXPECT_EQ(met, (std::vector<int>{1, -1, 5002, -1, 10003}));
  // Big ones of 1,000 and two runs of 5,000 of 0.01 in 3,100: 116.1
  // degrees each, and gaps of 5.8 between them.
  for (const int big : {1, 5002, 10003}) {
    EXPECT_NEAR(steps[big], 116.1 * 4, 8) << "slice " << big;
  }
  EXPECT_NEAR(steps[-1], 2 * 5.8 * 4, 10) << "the thin ones' gaps";
  EXPECT_EQ(steps.size(), 4u) << "no thin one drawn";
}

TEST(PieView, AMidAnimationFrameLiesBetween) {
  QStandardItemModel model;
  Fill(model, {50, 50});
  PieView view;
  view.resize(400, 300);
  view.setModel(&model);
  view.setAnimationDuration(20000);
  view.setAnimationEasing(QEasingCurve::Linear);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  // Sweeping in, the slices share a part of the circle: no whole outline.
  EXPECT_FALSE(view.markup().contains(QStringLiteral("<Ellipse")));
  view.setAnimationDuration(0);  // the sweep in ends at once
  model.item(0, 1)->setData(55.0, Qt::EditRole);
  EXPECT_TRUE(view.markup().contains(QStringLiteral("<Ellipse")));
  model.item(0, 1)->setData(60.0, Qt::EditRole);
  view.setAnimationDuration(20000);
  model.item(0, 1)->setData(150.0, Qt::EditRole);  // from 60:50 towards 150:50
  QTest::qWait(300);
  const double red = Shares(view)[0];
  EXPECT_GT(red, 60.0 / 110 + 0.001);
  EXPECT_LT(red, 0.75 - 0.01);
}

// Rows are known by who they are: a removed row's own slice shrinks away
// where it was, the rows after it keep their palette colours, and an
// inserted row takes a colour none of them has.
TEST(PieView, SlicesFollowTheirRows) {
  QStandardItemModel model(0, 2);
  for (const auto& [name, value] : {std::pair{"A", 30.0}, {"B", 30.0}, {"C", 20.0}, {"D", 20.0}}) {
    auto* v = new QStandardItem;
    v->setData(value, Qt::EditRole);
    model.appendRow({new QStandardItem(QString::fromLatin1(name)), v});
  }
  PieView view;
  view.resize(400, 300);
  view.setAnimationDuration(0);
  view.setModel(&model);
  // Each slice's fill and place in paint order, from the markup the view shows.
  struct Slice {
    QString tag;
    QColor fill;
  };
  const auto slices = [&] {
    std::vector<Slice> out;
    const std::optional<MarkupScene> scene = ParseMarkup(view.markup());
    for (const MarkupShape& shape : scene->shapes) {
      if (shape.kind != MarkupShape::Kind::Polygon || shape.tag.startsWith(u'L')) continue;
      if (out.empty() || out.back().tag != shape.tag || out.back().fill != shape.fill)
        out.push_back({shape.tag, shape.fill});
    }
    return out;
  };
  const std::vector<Slice> before = slices();
  ASSERT_EQ(before.size(), 4u);
  view.setAnimationDuration(20000);
  view.setAnimationEasing(QEasingCurve::Linear);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.setAnimationDuration(0);
  model.item(0, 1)->setData(31.0, Qt::EditRole);  // the sweep in ends
  view.setAnimationDuration(20000);
  model.removeRow(1);  // B
  QTest::qWait(300);
  const std::vector<Slice> during = slices();
  ASSERT_EQ(during.size(), 4u) << "A, B shrinking, C, D";
  EXPECT_EQ(during[0].tag, QStringLiteral("0"));
  EXPECT_EQ(during[0].fill, before[0].fill) << "A";
  EXPECT_TRUE(during[1].tag.isEmpty()) << "B is no row now";
  EXPECT_EQ(during[1].fill, before[1].fill) << "B shrinks in its own colour, where it was";
  EXPECT_EQ(during[2].tag, QStringLiteral("1"));
  EXPECT_EQ(during[2].fill, before[2].fill) << "C keeps its colour";
  EXPECT_EQ(during[3].tag, QStringLiteral("2"));
  EXPECT_EQ(during[3].fill, before[3].fill) << "D keeps its colour";

  view.setAnimationDuration(0);
  model.insertRow(
      0, {new QStandardItem(QStringLiteral("E")), new QStandardItem(QStringLiteral("10"))});
  const std::vector<Slice> after = slices();
  ASSERT_EQ(after.size(), 4u) << "E, A, C, D; B gone";
  for (std::size_t i = 1; i < 4; ++i)
    EXPECT_EQ(after[i].fill, during[i == 1 ? 0 : i].fill) << "row " << i;
  for (const Slice& other : before)
    EXPECT_NE(after[0].fill, other.fill) << "E takes a colour of its own";

  // A translucent colour from the model is blended: half red over the
  // window's white is pink, with no seam between the slice's fans.
  QPalette white = view.palette();
  white.setColor(QPalette::Window, Qt::white);
  view.setPalette(white);
  model.item(1, 0)->setData(QColor(255, 0, 0, 128), Qt::DecorationRole);
  const QImage blended = Render(view);
  int pink = 0;
  int red = 0;
  for (int y = 0; y < blended.height(); ++y) {
    for (int x = 0; x < blended.width(); ++x) {
      const QColor c = blended.pixelColor(x, y);
      pink += DistanceToBlend(c, QColor(255, 127, 127), QColor(255, 127, 127)) < 4 ? 1 : 0;
      red += c.red() > 200 && c.green() < 100 ? 1 : 0;
    }
  }
  EXPECT_GT(pink, 2000);
  EXPECT_EQ(red, 0) << "drawn opaque, or blended twice somewhere";

  // A gradient brush shades its slice through its stops, from the hole to
  // the rim, and its swatch takes the rim's colour; a plain brush is its
  // colour; the other slices stay flat.
  QLinearGradient greenToBlue(0, 0, 1, 0);
  greenToBlue.setColorAt(0, QColor(0, 255, 0));
  greenToBlue.setColorAt(1, QColor(0, 0, 255));
  model.item(1, 0)->setData(QBrush(greenToBlue), Qt::DecorationRole);
  model.item(2, 0)->setData(QBrush(QColor(255, 0, 255)), Qt::DecorationRole);
  const QImage shaded = Render(view);
  int green = 0;
  int blue = 0;
  int magenta = 0;
  for (int y = 0; y < shaded.height(); ++y) {
    for (int x = 0; x < shaded.width(); ++x) {
      const QColor c = shaded.pixelColor(x, y);
      green += c.green() > 170 && c.red() < 40 && c.blue() < 85 ? 1 : 0;
      blue += c.blue() > 170 && c.red() < 40 && c.green() < 85 ? 1 : 0;
      magenta += c == QColor(255, 0, 255) ? 1 : 0;
    }
  }
  EXPECT_GT(green, 100) << "the stop at the hole";
  EXPECT_GT(blue, 100) << "the stop at the rim";
  EXPECT_GT(magenta, 2000);
  const std::optional<MarkupScene> drawn = ParseMarkup(view.markup());
  ASSERT_TRUE(drawn);
  int gradients = 0;
  for (const MarkupShape& shape : drawn->shapes) {
    gradients += shape.fillGradient ? 1 : 0;
    if (shape.tag == QStringLiteral("L1") && shape.kind == MarkupShape::Kind::Rectangle) {
      EXPECT_EQ(shape.fill, QColor(0, 0, 255)) << "the swatch";
    }
    if (shape.fillGradient) {
      EXPECT_EQ(shape.tag, QStringLiteral("1")) << "only its slice is shaded";
    }
  }
  EXPECT_GT(gradients, 0) << "the markup has the gradient too";
}

// The centre of the legend entry of a row.
QPoint Entry(PieView& view, int row) {
  const std::optional<MarkupScene> scene = ParseMarkup(view.markup());
  for (const MarkupShape& shape : scene->shapes) {
    if (shape.tag == QStringLiteral("L%1").arg(row) && shape.kind == MarkupShape::Kind::Rectangle)
      return shape.box.center().toPoint();
  }
  return {};
}

TEST(PieView, LegendHidesAndShowsSlices) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  QSignalSpy visibility(view.get(), &PieView::sliceVisibilityChanged);
  const QPoint entry = Entry(*view, 1);
  ASSERT_FALSE(entry.isNull());
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, entry);
  EXPECT_FALSE(view->isSliceVisible(1));
  ASSERT_EQ(visibility.size(), 1);
  EXPECT_EQ(visibility[0][0].toInt(), 1);
  EXPECT_FALSE(visibility[0][1].toBool());
  ExpectShares(*view, {50, 0, 20}, "green hidden");
  // Its entry is still there, greyed: clicked again, the slice is back.
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, Entry(*view, 1));
  EXPECT_TRUE(view->isSliceVisible(1));
  ExpectShares(*view, {50, 30, 20}, "green shown");
  view->setSliceVisible(0, false);
  ExpectShares(*view, {0, 30, 20}, "red hidden by call");
  EXPECT_EQ(visibility.size(), 3);
  // The chart's legend format is what the entries say, of what they show.
  view->setLegendFormat(QStringLiteral("{name} = {value} ({percent} %)"));
  QStringList entries;
  for (const MarkupShape& shape : view->shapes()) {
    if (shape.kind == MarkupShape::Kind::Text && shape.tag.startsWith(u'L')) entries << shape.text;
  }
  EXPECT_EQ(entries,
            QStringList({QStringLiteral("Slice 0 = 0 (0 %)"), QStringLiteral("Slice 1 = 30 (60 %)"),
                         QStringLiteral("Slice 2 = 20 (40 %)")}));
}

TEST(PieView, KeyboardWalksTheSlices) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  view->show();
  view->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  QSignalSpy activated(view.get(), &PieView::sliceActivated);
  EXPECT_EQ(view->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  QTest::keyClick(view.get(), Qt::Key_Right);
  EXPECT_EQ(view->currentSlice(), 1);
  QTest::keyClick(view.get(), Qt::Key_End);
  EXPECT_EQ(view->currentSlice(), 2);
  QTest::keyClick(view.get(), Qt::Key_Right);  // round to the first
  EXPECT_EQ(view->currentSlice(), 0);
  QTest::keyClick(view.get(), Qt::Key_Left);
  EXPECT_EQ(view->currentSlice(), 2);
  QTest::keyClick(view.get(), Qt::Key_Home);
  QTest::keyClick(view.get(), Qt::Key_Space);
  QTest::keyClick(view.get(), Qt::Key_Return);
  ASSERT_EQ(activated.size(), 2);
  EXPECT_EQ(activated[0][0].toInt(), 0);
  // Shift+Space hides the slice; Space on a hidden one shows it again.
  QTest::keyClick(view.get(), Qt::Key_Space, Qt::ShiftModifier);
  EXPECT_FALSE(view->isSliceVisible(0));
  QTest::keyClick(view.get(), Qt::Key_Space);
  EXPECT_TRUE(view->isSliceVisible(0));
  EXPECT_EQ(activated.size(), 2);
  // Rows gone under the keyboard's slice: it stays on one that is there.
  QTest::keyClick(view.get(), Qt::Key_End);
  model.removeRows(1, 2);
  QTest::keyClick(view.get(), Qt::Key_Return);
  EXPECT_EQ(activated.last()[0].toInt(), 0);
  // The ring is drawn in the palette's highlight round the slice.
  QPalette palette = view->palette();
  palette.setColor(QPalette::Highlight, QColor(255, 0, 255));
  view->setPalette(palette);
  for (const qreal ratio : {1.0, 2.0}) {
    const QImage image = Render(*view, ratio);
    int ringed = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x)
        ringed +=
            DistanceToBlend(image.pixelColor(x, y), QColor(255, 0, 255), QColor(255, 0, 255)) < 60;
    }
    EXPECT_GT(ringed, 200 * ratio) << "at " << ratio;
  }

  // In a doughnut the ring follows the ring segment: nothing in the hole,
  // and beside the highlight a band that stands out from the slice.
  Fill(model, {50, 30, 20});
  view->setHoleSize(0.5);
  view->setCurrentSlice(0);
  view->setHoverHighlight(false);
  for (const qreal ratio : {1.0, 2.0}) {
    const QImage ringed = Render(*view, ratio);
    view->clearFocus();
    const QImage plain = Render(*view, ratio);
    view->setFocus();
    QRectF pie;
    for (const MarkupShape& shape : view->shapes()) {
      if (shape.tag == u"0" || shape.tag == u"1" || shape.tag == u"2") {
        pie |= shape.points.boundingRect();
      }
    }
    const QPointF centre = pie.center();
    const double hole = pie.width() / 4;  // half the radius
    int inHole = 0;
    int changed = 0;
    double bestOnSlice = 1;
    for (int y = 0; y < ringed.height(); ++y) {
      for (int x = 0; x < ringed.width(); ++x) {
        if (ringed.pixel(x, y) == plain.pixel(x, y)) continue;
        ++changed;
        const QPointF at = QPointF(x + 0.5, y + 0.5) / ratio;
        if (QLineF(at, centre).length() < hole - 3) ++inHole;
        if (plain.pixelColor(x, y) == kColours[0]) {
          bestOnSlice = std::max(bestOnSlice, Contrast(ringed.pixelColor(x, y), kColours[0]));
        }
      }
    }
    EXPECT_GT(changed, 200 * ratio) << "at " << ratio;
    EXPECT_EQ(inHole, 0) << "ring pixels in the hole at " << ratio;
    EXPECT_GE(bestOnSlice, 3.0) << "at " << ratio;
  }
}

TEST(PieView, PointingAndSelectionGoBothWays) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  QTableView table;
  table.setModel(&model);
  QItemSelectionModel selection(&model);
  table.setSelectionModel(&selection);
  view->setSelectionModel(&selection);
  view->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  QSignalSpy clicked(view.get(), &PieView::sliceClicked);
  QSignalSpy hovered(view.get(), &PieView::sliceHovered);

  // Where each slice is: the middle of its pixels.
  const auto middleOf = [&](int k) {
    const QImage image = Render(*view);
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width() * 2 / 3; ++x) {
        if (DistanceToBlend(image.pixelColor(x, y), kColours[k], kColours[k]) < 6) {
          sx += x;
          sy += y;
          n += 1;
        }
      }
    }
    return QPointF(sx / n, sy / n);
  };
  const QPointF green = middleOf(1);
  const QImage before = Render(*view);
  QTest::mouseMove(view.get(), green.toPoint());
  ASSERT_GE(hovered.size(), 1);
  EXPECT_EQ(hovered.last()[0].toInt(), 1);
  // Hovering changes the hovered slice's pixels and nothing else: a lighter
  // green over the same picture.
  const QImage lit = Render(*view);
  int changed = 0;
  int elsewhere = 0;
  for (int y = 0; y < lit.height(); ++y) {
    for (int x = 0; x < lit.width(); ++x) {
      if (lit.pixel(x, y) == before.pixel(x, y)) continue;
      ++changed;
      const QColor was = before.pixelColor(x, y);
      // The slice's own pixels, and its antialiased rim over whatever lies beside.
      elsewhere += was.green() > was.red() && was.green() > was.blue() ? 0 : 1;
    }
  }
  EXPECT_GT(changed, 500);
  EXPECT_LT(elsewhere, changed / 20) << "of " << changed << " pixels changed";
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, green.toPoint());
  ASSERT_EQ(clicked.size(), 1);
  EXPECT_EQ(clicked[0][0].toInt(), 1);
  EXPECT_TRUE(selection.isRowSelected(1, {}));
  EXPECT_FALSE(selection.isRowSelected(0, {}));
  QTest::mouseMove(view.get(), QPoint(2, 2));  // off the slices, none drawn lighter
  EXPECT_EQ(hovered.last()[0].toInt(), -1);
  // Selected, the slice is pulled out: its middle moves away from the rest.
  const QPointF pulled = middleOf(1);
  EXPECT_GT(QLineF(green, pulled).length(), 3);
  // The table selects, the chart follows; Ctrl adds.
  table.selectRow(0);
  EXPECT_FALSE(selection.isRowSelected(1, {}));
  EXPECT_LT(QLineF(middleOf(1), green).length(), 1.5) << "green back in place";
  QTest::mouseClick(view.get(), Qt::LeftButton, Qt::ControlModifier, middleOf(2).toPoint());
  EXPECT_TRUE(selection.isRowSelected(0, {}));
  EXPECT_TRUE(selection.isRowSelected(2, {}));
  // A table whose selection is of cells: one selected cell pulls its slice.
  selection.clearSelection();
  const QPointF still = middleOf(1);
  selection.select(model.index(1, 1), QItemSelectionModel::ClearAndSelect);
  EXPECT_GT(QLineF(middleOf(1), still).length(), 3) << "a cell of row 1 selected";

  // Growing on hover: the slice under the pointer moves out by about the
  // pixels asked, the others stay; it goes back when the pointer leaves.
  selection.clearSelection();
  view->setHoverExpand(6);
  view->setHoverHighlight(false);  // its colour as it was, to find it by
  const QPointF red = middleOf(0);
  const QPointF blue = middleOf(2);
  // The pie's centre: its slices' middles weighted by their shares.
  const QPointF centre = 0.5 * red + 0.3 * middleOf(1) + 0.2 * blue;
  QTest::mouseMove(view.get(), red.toPoint());
  ASSERT_EQ(hovered.last()[0].toInt(), 0);
  const QPointF grown = middleOf(0);
  EXPECT_NEAR(QLineF(red, grown).length(), 6, 1.5) << "red moved out";
  EXPECT_GT(QLineF(grown, centre).length(), QLineF(red, centre).length()) << "away from the rest";
  EXPECT_LT(QLineF(middleOf(2), blue).length(), 0.5) << "blue stays";
  QTest::mouseMove(view.get(), QPoint(2, 2));
  EXPECT_LT(QLineF(middleOf(0), red).length(), 0.5) << "red back in place";
  // As far as it may go, it is still whole: nothing reaches the border.
  for (const auto& [asked, kept] : {std::pair{-5.0, 0.0}, std::pair{qQNaN(), 0.0},
                                    std::pair{1e9, 100.0}, std::pair{100.0, 100.0}}) {
    view->setHoverExpand(asked);
    EXPECT_EQ(view->hoverExpand(), kept) << "asked " << asked;
  }
  QTest::mouseMove(view.get(), middleOf(0).toPoint());
  ASSERT_EQ(hovered.last()[0].toInt(), 0);
  const QImage far = Render(*view);
  const QColor back = view->palette().color(QPalette::Window);
  int border = 0;
  for (int x = 0; x < far.width(); ++x)
    border += (far.pixelColor(x, 0) != back) + (far.pixelColor(x, far.height() - 1) != back);
  for (int y = 0; y < far.height(); ++y)
    border += (far.pixelColor(0, y) != back) + (far.pixelColor(far.width() - 1, y) != back);
  EXPECT_EQ(border, 0) << "pixels of the chart on the view's border";
  EXPECT_GT(QLineF(middleOf(0), red).length(), 20) << "red far out";
}

TEST(PieView, NothingIsClippedAtAnySize) {
  QStandardItemModel model;
  Fill(model, {40, 25, 20, 10, 3, 2});
  for (int r = 0; r < model.rowCount(); ++r)
    model.item(r, 0)->setText(QStringLiteral("A rather long name %1").arg(r));
  for (const bool outside : {false, true}) {
    for (const QSize size : {QSize(120, 90), QSize(160, 300), QSize(400, 300), QSize(300, 500),
                             QSize(900, 200), QSize(2000, 1500)}) {
      std::unique_ptr<PieView> view(MakeView(&model));
      view->chart().SliceLabels(LabelStyle::NameAndPercent);
      view->chart().LabelsOutside(outside);
      view->chart().DoughnutWidth(40);
      view->resize(size);
      const std::optional<MarkupScene> scene = ParseMarkup(view->markup());
      ASSERT_TRUE(scene);
      const QRectF bounds = SceneBounds(*scene);
      EXPECT_TRUE(QRectF(view->rect()).contains(bounds))
          << size.width() << "x" << size.height() << (outside ? " outside" : "") << ": "
          << bounds.left() << "," << bounds.top() << " " << bounds.width() << "x"
          << bounds.height();
      // The pie takes the room the legend leaves: at least half its smaller side.
      QRectF pie;
      QRectF legend;
      for (const MarkupShape& shape : scene->shapes) {
        if (shape.tag.startsWith(u'L')) legend |= shape.box;
        if (shape.kind == MarkupShape::Kind::Ellipse) pie |= shape.box;
      }
      const double roomWidth = legend.left() > pie.right() ? legend.left() : size.width();
      const double roomHeight = legend.top() > pie.bottom() ? legend.top() : size.height();
      EXPECT_GE(pie.width(), 0.5 * std::min(roomWidth, roomHeight) - 12)
          << size.width() << "x" << size.height();
      // A view taller than wide has its legend below the pie.
      if (size.height() > size.width() && size.width() >= 160) {
        double legendTop = 1e9;
        for (const MarkupShape& shape : scene->shapes) {
          if (shape.tag.startsWith(u'L')) legendTop = std::min(legendTop, shape.box.top());
        }
        EXPECT_GT(legendTop, size.height() / 2.0) << size.width() << "x" << size.height();
      }
    }
  }
}

// What a screen reader gets: a chart with a child per slice, named with its
// numbers, the focus on the child the keyboard is on. (The focus event that
// tells it so needs a running accessibility bridge, which the offscreen
// platform has not.)
TEST(PieView, ScreenReadersFollowTheKeyboard) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  view->show();
  view->activateWindow();
  view->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  ASSERT_TRUE(view->hasFocus());
  QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(view.get());
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->role(), QAccessible::Chart);
  ASSERT_EQ(chart->childCount(), 3);
  EXPECT_EQ(chart->child(1)->text(QAccessible::Name), QStringLiteral("Slice 1, 30, 30 percent"));
  EXPECT_TRUE(chart->text(QAccessible::Name).contains(QStringLiteral("Slice 2, 20, 20 percent")));

  QTest::keyClick(view.get(), Qt::Key_End);
  ASSERT_NE(chart->focusChild(), nullptr);
  EXPECT_EQ(chart->focusChild()->text(QAccessible::Name),
            QStringLiteral("Slice 2, 20, 20 percent"));
  QTest::keyClick(view.get(), Qt::Key_Left);
  EXPECT_EQ(chart->focusChild(), chart->child(1));
  EXPECT_TRUE(chart->child(1)->state().focused);
  EXPECT_FALSE(chart->child(2)->state().focused);

  // The numbers as a table as well: a row a slice, a hidden one marked.
  view->setSliceVisible(2, false);
  QAccessibleTableInterface* table = chart->tableInterface();
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 3);
  ASSERT_EQ(table->columnCount(), 3);
  EXPECT_EQ(table->columnDescription(2), QStringLiteral("Percent"));
  const auto cell = [&](int row, int column) {
    QAccessibleInterface* c = table->cellAt(row, column);
    return c != nullptr ? c->text(QAccessible::Name) : QStringLiteral("(none)");
  };
  EXPECT_EQ(cell(0, 0), QStringLiteral("Slice 0"));
  EXPECT_EQ(cell(1, 1), QStringLiteral("30"));
  EXPECT_EQ(cell(1, 2), QStringLiteral("38")) << "of the shown total, as the view says";
  EXPECT_EQ(cell(2, 2), QStringLiteral("hidden"));
  EXPECT_EQ(table->cellAt(3, 0), nullptr);
  QAccessibleTableCellInterface* place = table->cellAt(2, 1)->tableCellInterface();
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->rowIndex(), 2);
  EXPECT_EQ(place->columnIndex(), 1);
  EXPECT_EQ(place->table(), chart);
  model.removeRow(0);
  EXPECT_EQ(table->rowCount(), 2);
  EXPECT_EQ(cell(0, 0), QStringLiteral("Slice 1"));
}

// Each option as a property reaches the chart and says so once; a value the
// chart refuses changes nothing and says nothing; a change made through
// chart() reads back through the property.
TEST(PieView, OptionsAreProperties) {
  PieView view;
  QSignalSpy changed(&view, &PieView::chartChanged);
  struct Case {
    const char* name;
    QVariant value;
    std::function<bool(const cXAMLPieChart&)> holds;
  };
  const Case cases[] = {
      {"holeSize", 0.5, [](const cXAMLPieChart& c) { return c.DoughnutWidth() * 4 == c.Size(); }},
      {"startAngle", 90, [](const cXAMLPieChart& c) { return c.StartAngle() == 90; }},
      {"sweepAngle", 180, [](const cXAMLPieChart& c) { return c.SweepAngle() == 180; }},
      {"clockwise", true, [](const cXAMLPieChart& c) { return c.Clockwise(); }},
      {"labels", QVariant::fromValue(PieView::NameAndPercent),
       [](const cXAMLPieChart& c) { return c.SliceLabels() == LabelStyle::NameAndPercent; }},
      {"labelsOutside", true, [](const cXAMLPieChart& c) { return c.LabelsOutside(); }},
      {"minLabelAngle", 5, [](const cXAMLPieChart& c) { return c.MinLabelAngle() == 5; }},
      {"labelFormat", QStringLiteral("{name}"),
       [](const cXAMLPieChart& c) { return c.LabelFormat() == "{name}"; }},
      {"legendFormat", QStringLiteral("{name} = {value}"),
       [](const cXAMLPieChart& c) { return c.LegendFormat() == "{name} = {value}"; }},
      {"centerText", QStringLiteral("Budget \u20ac"),
       [](const cXAMLPieChart& c) { return c.CenterText() == "Budget \u20ac"; }},
      {"emptyText", QStringLiteral("None"),
       [](const cXAMLPieChart& c) { return c.EmptyText() == "None"; }},
      {"sortSlices", QVariant::fromValue(PieView::Ascending),
       [](const cXAMLPieChart& c) { return c.SortSlices() == SortOrder::Ascending; }},
      {"sliceGap", 2.5, [](const cXAMLPieChart& c) { return c.SliceGap() == 2.5; }},
      {"cornerRadius", 4.0, [](const cXAMLPieChart& c) { return c.CornerRadius() == 4.0; }},
      {"gradient", QVariant::fromValue(PieView::RadialSlices),
       [](const cXAMLPieChart& c) { return c.Shading() == SliceShading::Radial; }},
      {"percentDecimals", 1, [](const cXAMLPieChart& c) { return c.PercentDecimals() == 1; }},
      {"valueDecimals", 2, [](const cXAMLPieChart& c) { return c.ValueDecimals() == 2; }},
      {"decimalPoint", QStringLiteral(","),
       [](const cXAMLPieChart& c) { return c.DecimalSeparator() == ","; }},
      {"groupSeparator", QStringLiteral(" "),
       [](const cXAMLPieChart& c) { return c.GroupSeparator() == " "; }},
      {"outlineColor", QColor(0x33, 0x66, 0x99),
       [](const cXAMLPieChart& c) { return c.OutlineColor() == 0x996633u; }},
      {"textColor", QColor(Qt::white),
       [](const cXAMLPieChart& c) { return c.TextColor() == 0xFFFFFFu; }},
      {"legendPosition", QVariant::fromValue(PieView::LegendLeft),
       [](const cXAMLPieChart& c) { return c.Legend(); }},
  };
  for (const Case& c : cases) {
    changed.clear();
    ASSERT_TRUE(view.setProperty(c.name, c.value)) << c.name;
    EXPECT_TRUE(c.holds(view.chart())) << c.name;
    EXPECT_EQ(view.property(c.name), c.value) << c.name;
    EXPECT_EQ(changed.count(), 1) << c.name;
    view.setProperty(c.name, c.value);
    EXPECT_EQ(changed.count(), 1) << c.name << " set again";
  }
  changed.clear();
  view.setProperty("legend", false);
  EXPECT_FALSE(view.legend());
  EXPECT_EQ(view.legendPosition(), PieView::NoLegend);
  EXPECT_EQ(changed.count(), 1);
  view.setLegendPosition(PieView::LegendTop);
  EXPECT_TRUE(view.legend());
  EXPECT_EQ(changed.count(), 2);

  // Out of range: the chart's setters ignore these, and so the view.
  for (const auto& [name, value] : std::vector<std::pair<const char*, QVariant>>{
           {"sweepAngle", 0}, {"percentDecimals", 9}, {"sliceGap", -1.0}}) {
    changed.clear();
    const QVariant before = view.property(name);
    view.setProperty(name, value);
    EXPECT_EQ(view.property(name), before) << name;
    EXPECT_EQ(changed.count(), 0) << name;
  }
  view.chart().StartAngle(45);
  EXPECT_EQ(view.startAngle(), 45);
  view.chart().DoughnutWidth(0);
  EXPECT_EQ(view.holeSize(), 0.0);
}

// Saved as the label saves, PDF included; Ctrl+C puts the picture and the
// numbers on the clipboard.
TEST(PieView, SavesAndCopies) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  view->setSliceVisible(1, false);
  QTemporaryDir dir;
  QString error;
  const QString png = dir.filePath(QStringLiteral("view.png"));
  const QString pdf = dir.filePath(QStringLiteral("view.pdf"));
  ASSERT_TRUE(view->saveImage(png, 2.0, &error)) << error.toStdString();
  ASSERT_TRUE(view->saveImage(pdf, 1.0, &error)) << error.toStdString();
  EXPECT_EQ(QImage(png).size(), QSize(800, 600));
  EXPECT_EQ(PdfPages(pdf), (std::vector<QSizeF>{QSizeF(300, 225)}));
  EXPECT_FALSE(PdfHasImages(pdf));
  EXPECT_FALSE(view->saveImage(dir.filePath(QStringLiteral("view.xyz")), 1.0, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("xyz"))) << error.toStdString();

  view->show();
  view->activateWindow();
  view->setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  EXPECT_TRUE(copied->hasFormat(QStringLiteral("image/png")))
      << copied->formats().join(u' ').toStdString();
  EXPECT_TRUE(copied->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(copied->imageData()).size(), QSize(400, 300));
  // The hidden slice keeps its row and value, without a share.
  EXPECT_EQ(copied->text(), QStringLiteral("Name\tValue\tPercent\nSlice 0\t50\t71\n"
                                           "Slice 1\t30\t\nSlice 2\t20\t29\n"));
}

// With no colours of its own set, the chart's text, leaders and outline
// are the palette's window text where that reads on the window colour, else
// black or white; they follow a new palette; the legend is the chart's
// option.
TEST(PieView, FollowsThePaletteAndItsLegendOption) {
  QStandardItemModel model;
  Fill(model, {50, 30, 20});
  std::unique_ptr<PieView> view(MakeView(&model));
  view->setLabelsOutside(true);
  view->setLabels(PieView::NameAndPercent);
  view->setCenterText(QStringLiteral("Total"));
  view->setHoleSize(0.5);
  struct Case {
    QColor window, text, expected;
  };
  const Case cases[] = {
      {QColor(0x2D, 0x2D, 0x30), QColor(0xE6, 0xE6, 0xE6), QColor(0xE6, 0xE6, 0xE6)},  // dark
      {QColor(0xEF, 0xEF, 0xEF), QColor(Qt::black), QColor(Qt::black)},                // light
      {QColor(0x20, 0x20, 0x20), QColor(0x40, 0x40, 0x40), QColor(Qt::white)},         // unreadable
  };
  for (const Case& c : cases) {
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, c.window);
    palette.setColor(QPalette::WindowText, c.text);
    view->setPalette(palette);  // live, as a theme change
    const QString markup = view->markup();
    const QString hex = c.expected.name().toUpper();
    EXPECT_TRUE(markup.contains(QStringLiteral("Foreground='%1' Text='Slice 0'").arg(hex)))
        << hex.toStdString() << " legend text";
    EXPECT_TRUE(markup.contains(QStringLiteral("Stroke='%1'").arg(hex))) << hex.toStdString();
    EXPECT_TRUE(markup.contains(QStringLiteral("Foreground='%1' Text='Total'").arg(hex)))
        << hex.toStdString() << " centre text";
  }
  // A colour of its own stays.
  view->setTextColor(QColor(0x12, 0x34, 0x56));
  EXPECT_TRUE(view->markup().contains(QStringLiteral("Foreground='#123456' Text='Total'")));

  ASSERT_TRUE(view->markup().contains(QStringLiteral("Tag='L0'")));
  view->chart().Legend(false);
  view->update();
  EXPECT_FALSE(view->legend());
  EXPECT_FALSE(view->markup().contains(QStringLiteral("Tag='L0'")));
  view->setLegend(true);
  EXPECT_TRUE(view->chart().Legend());
}

// A legend that does not fit whole is still there: names elided to its
// room, and the entries with no room left one "+N more" that lists them;
// never over the pie, never past the view's edge.
TEST(PieView, LegendNeverVanishes) {
  struct Case {
    int slices;
    QString name;
    QSize size;
    bool more;
    bool elided;
  };
  const QString longName = QStringLiteral("Administrative and general expenses %1");
  const Case cases[] = {{40, QStringLiteral("Item %1"), {600, 400}, false, false},
                        {200, QStringLiteral("Item %1"), {600, 400}, true, false},
                        {5, longName, {250, 400}, false, true},
                        {40, longName, {160, 120}, true, true},
                        {3, QStringLiteral("A%1"), {400, 300}, false, false}};
  for (const Case& c : cases) {
    QList<PieSlice> slices;
    for (int i = 0; i < c.slices; ++i)
      slices.append({c.name.arg(i), 1.0 + i % 7, QColor()});
    PieView view;
    view.setAnimationDuration(0);
    view.resize(c.size);
    view.setSlices(slices);
    const std::string what = std::to_string(c.slices) + " at " + std::to_string(c.size.width());
    QRectF pie;
    QRectF legend;
    QString moreTip;
    bool elided = false;
    int entries = 0;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag.startsWith(u'L')) {
        legend |= shape.box;
        if (shape.tag == u"L+") moreTip = shape.toolTip;
        if (shape.kind == MarkupShape::Kind::Text && shape.tag != u"L+") {
          ++entries;
          elided = elided || shape.text.contains(QChar(0x2026));
        }
      } else if (shape.kind == MarkupShape::Kind::Polygon) {
        pie |= shape.points.boundingRect();
      }
    }
    EXPECT_GT(entries, 0) << what;
    EXPECT_EQ(!moreTip.isEmpty(), c.more) << what;
    if (c.more) {
      // The tooltip names every slice left out.
      EXPECT_EQ(moreTip.count(u',') + 1 + entries, c.slices) << what;
    }
    EXPECT_EQ(elided, c.elided) << what;
    EXPECT_FALSE(legend.intersects(pie)) << what;
    EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(c.size)).contains(legend)) << what;
  }
}

// The legend on the side asked for, whole where it fits, else cut short with
// "+N more"; the pie on the other side of it.
TEST(PieView, LegendGoesWhereAsked) {
  struct Case {
    PieView::LegendPosition position;
    int slices;
    QSize size;
    QString side;  // where the legend lies from the pie; empty: no legend
    bool more;
  };
  const Case cases[] = {{PieView::AutoLegend, 5, {400, 300}, QStringLiteral("right"), false},
                        {PieView::AutoLegend, 5, {300, 400}, QStringLiteral("below"), false},
                        {PieView::LegendRight, 5, {300, 400}, QStringLiteral("right"), false},
                        {PieView::LegendLeft, 5, {400, 300}, QStringLiteral("left"), false},
                        {PieView::LegendBottom, 5, {400, 300}, QStringLiteral("below"), false},
                        {PieView::LegendTop, 5, {400, 300}, QStringLiteral("above"), false},
                        {PieView::LegendTop, 40, {400, 300}, QStringLiteral("above"), true},
                        {PieView::LegendTop, 200, {400, 300}, QStringLiteral("above"), true},
                        {PieView::LegendLeft, 200, {400, 300}, QStringLiteral("left"), true},
                        {PieView::NoLegend, 5, {400, 300}, QString(), false}};
  for (const Case& c : cases) {
    QList<PieSlice> slices;
    for (int i = 0; i < c.slices; ++i)
      slices.append({QStringLiteral("Item %1").arg(i), 1.0 + i % 7, QColor()});
    PieView view;
    view.setAnimationDuration(0);
    view.resize(c.size);
    view.setLegendPosition(c.position);
    view.setSlices(slices);
    const std::string what = QVariant::fromValue(c.position).toString().toStdString() + " " +
                             std::to_string(c.slices) + " at " + std::to_string(c.size.width());
    QRectF pie;
    QRectF legend;
    bool more = false;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag.startsWith(u'L')) {
        legend |= shape.box;
        more = more || shape.tag == u"L+";
      } else if (shape.kind == MarkupShape::Kind::Polygon) {
        pie |= shape.points.boundingRect();
      }
    }
    EXPECT_EQ(more, c.more) << what;
    EXPECT_TRUE(legend.isNull() || QRectF(view.rect()).contains(legend)) << what;
    const QString side = legend.isNull()                ? QString()
                         : legend.left() >= pie.right() ? QStringLiteral("right")
                         : legend.right() <= pie.left() ? QStringLiteral("left")
                         : legend.top() >= pie.bottom() ? QStringLiteral("below")
                         : legend.bottom() <= pie.top() ? QStringLiteral("above")
                                                        : QStringLiteral("over the pie");
    EXPECT_EQ(side, c.side) << what;
  }
}

// Long names outside the pie: each label cut short in its column, its percent
// kept, before the pie gives up its room.
TEST(PieView, LongOutsideLabelsLeaveThePieItsRoom) {
  const QString names[] = {QStringLiteral("Administrative and general expenses"),
                           QStringLiteral("Research and development"),
                           QStringLiteral("Sales and marketing expenses"),
                           QStringLiteral("Depreciation and amortisation"),
                           QStringLiteral("Interest and similar charges"),
                           QStringLiteral("Other operating expenses"),
                           QStringLiteral("Taxes on income and profits")};
  const double values[] = {3000, 2200, 1500, 1200, 900, 700, 500};
  struct Case {
    QSize size;
    const char* format;
    int labels;  // at least this many
  };
  const Case cases[] = {{{900, 500}, "{name}: {value} ({percent} %)", 7},
                        {{420, 400}, "", 4},
                        {{505, 850}, "", 7},
                        {{1600, 1200}, "{name}: {value} ({percent} %)", 7},
                        {{160, 120}, "", 0}};
  for (const Case& c : cases) {
    QList<PieSlice> slices;
    for (std::size_t i = 0; i < std::size(names); ++i)
      slices.append({names[i], values[i], QColor()});
    PieView view;
    view.setAnimationDuration(0);
    view.resize(c.size);
    view.chart().SliceLabels(LabelStyle::NameAndPercent);
    view.chart().LabelsOutside(true);
    view.chart().LabelFormat(c.format);
    view.setSlices(slices);
    const std::string what = std::to_string(c.size.width()) + "x" + std::to_string(c.size.height());
    QRectF pie;
    QRectF legend;
    std::vector<QRectF> labels;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag.startsWith(u'L')) {
        legend |= shape.box;
      } else if (shape.kind == MarkupShape::Kind::Polygon) {
        pie |= shape.points.boundingRect();
      } else if (shape.kind == MarkupShape::Kind::Text) {
        EXPECT_TRUE(shape.text.contains(u" %")) << what << ": " << shape.text.toStdString();
        const double width = QFontMetricsF(shape.font).horizontalAdvance(shape.text);
        const QRectF box =
            shape.alignment & Qt::AlignRight
                ? QRectF(shape.box.right() - width, shape.box.top(), width, shape.box.height())
                : QRectF(shape.box.topLeft(), QSizeF(width, shape.box.height()));
        EXPECT_TRUE(QRectF(view.rect()).contains(box)) << what << ": " << shape.text.toStdString();
        EXPECT_FALSE(box.intersects(pie)) << what << ": " << shape.text.toStdString();
        for (const QRectF& other : labels)
          EXPECT_FALSE(box.intersects(other)) << what << ": " << shape.text.toStdString();
        labels.push_back(box);
      }
    }
    EXPECT_GE(static_cast<int>(labels.size()), c.labels) << what;
    const double roomWidth = legend.left() > pie.right() ? legend.left() : c.size.width();
    const double roomHeight = legend.top() > pie.bottom() ? legend.top() : c.size.height();
    EXPECT_GE(pie.width(), 0.5 * std::min(roomWidth, roomHeight) - 12) << what;
  }
}

// A right-to-left name keeps its number after it in a left-to-right view
// ("الإيجار: 3000", not "3000 :الإيجار"), and a right-to-left view reads
// from the right: legend on the left, each swatch right of its text. Drawn
// as the parts would be, one after the other in reading order.
TEST(PieView, RightToLeftNamesKeepTheirOrder) {
  const QString arabic = QStringLiteral("\u0627\u0644\u0625\u064A\u062C\u0627\u0631");
  const QString hebrew = QStringLiteral("\u05E9\u05DB\u05E8 \u05D3\u05D9\u05E8\u05D4");
  struct Case {
    Qt::LayoutDirection direction;
    QString name;
    QString latin;      // a name in the other script
    QStringList parts;  // what is seen, left to right
  };
  const Case cases[] = {
      {Qt::LeftToRight, arabic, QStringLiteral("Food"), {arabic, QStringLiteral(": 3000")}},
      {Qt::LeftToRight, hebrew, QStringLiteral("Food"), {hebrew, QStringLiteral(": 3000")}},
      {Qt::RightToLeft,
       QStringLiteral("Rent"),
       arabic,
       {QStringLiteral("3000 :"), QStringLiteral("Rent")}},
  };
  for (const Case& c : cases) {
    PieView view;
    view.setAnimationDuration(0);
    view.resize(500, 300);
    view.setLayoutDirection(c.direction);
    view.setLabels(PieView::NameAndPercent);
    view.setLegendFormat(QStringLiteral("{name}: {value}"));
    view.setSlices({{c.name, 3000, QColor(200, 60, 60)}, {c.latin, 1000, QColor(60, 60, 200)}});
    const std::string what = c.name.toStdString();
    const MarkupShape* entry = nullptr;
    QRectF swatch;
    QRectF pie;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag == u"L0" && shape.kind == MarkupShape::Kind::Text) entry = &shape;
      if (shape.tag == u"L0" && shape.kind == MarkupShape::Kind::Rectangle) swatch = shape.box;
      if (shape.kind == MarkupShape::Kind::Polygon) pie |= shape.points.boundingRect();
    }
    ASSERT_NE(entry, nullptr) << what;
    const bool rtl = c.direction == Qt::RightToLeft;
    EXPECT_EQ(swatch.left() > entry->box.left(), rtl) << what << ": the swatch comes first";
    EXPECT_EQ(swatch.right() < pie.left(), rtl) << what << ": the legend is on the reading side";

    const QImage drawn = Render(view);
    QImage expected(drawn.size(), drawn.format());
    expected.fill(view.palette().color(QPalette::Window));
    {
      QPainter painter(&expected);
      painter.setFont(entry->font);
      painter.setPen(entry->fill);
      double x = entry->box.left();
      for (const QString& part : c.parts) {
        painter.drawText(QRectF(x, entry->box.top(), 1000, entry->box.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, part);
        x += QFontMetricsF(entry->font).horizontalAdvance(part);
      }
    }
    const QRect box = entry->box.toAlignedRect();
    int inked = 0;
    int differ = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor a = drawn.pixelColor(x, y);
        const QColor b = expected.pixelColor(x, y);
        inked += b != view.palette().color(QPalette::Window) ? 1 : 0;
        differ += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) > 120 ? 1 : 0;
      }
    }
    EXPECT_GT(inked, 40) << what;
    EXPECT_LT(differ, inked / 10) << what << ": " << differ << " of " << inked;
  }
}

// Slices folded into "Other" give it their legend entries, and a selected
// slice that is the whole doughnut stays where it is (one hole, no place
// cleared behind it).
TEST(PieView, OtherAndAWholeSliceAreDrawnOnce) {
  for (const QSize size : {QSize(400, 300), QSize(200, 150), QSize(300, 500)}) {
    PieView view;
    view.setAnimationDuration(0);
    view.resize(size);
    view.chart().GroupBelow(5, 0x9C9C9C, "Other");
    view.setHoleSize(0.5);
    view.setCenterText(QStringLiteral("Operating expenses in total 2024"));
    view.setSlices({{QStringLiteral("Rent"), 40, QColor()},
                    {QStringLiteral("Food"), 30, QColor()},
                    {QStringLiteral("Fun"), 20, QColor()},
                    {QStringLiteral("Misc"), 7, QColor()},
                    {QStringLiteral("Tiny one"), 2, QColor()},
                    {QStringLiteral("Tiny two"), 1, QColor()}});
    const std::string what = std::to_string(size.width()) + "x" + std::to_string(size.height());
    QStringList entries;
    QString otherTip;
    for (const MarkupShape& shape : view.shapes()) {
      EXPECT_TRUE(QRectF(view.rect())
                      .contains(shape.kind == MarkupShape::Kind::Polygon
                                    ? shape.points.boundingRect()
                                    : shape.box))
          << what;
      if (shape.tag.startsWith(u'L') && shape.kind == MarkupShape::Kind::Text) {
        entries.append(shape.text);
        if (shape.tag == u"L*") otherTip = shape.toolTip;
      }
    }
    EXPECT_EQ(entries.join(u','), QStringLiteral("Rent,Food,Fun,Misc,Other")) << what;
    EXPECT_TRUE(otherTip.contains(QStringLiteral("Tiny one, Tiny two"))) << what;
    // To a screen reader "Other" is no row.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&view)->childCount(), 4) << what;
    // "Other" is pointed at as what it is, and hides no row.
    bool legend = false;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag == u"L*") {
        EXPECT_EQ(view.sliceAt(shape.box.center(), &legend), -1) << what;
      }
    }
  }

  // With a selection, the legend lists what the picture draws: the room
  // kept for a pull folds into "Other" with the one small slice.
  {
    QStandardItemModel rows;
    Fill(rows, {60, 38, 2});
    std::unique_ptr<PieView> shared(MakeView(&rows));
    shared->chart().GroupBelow(5, 0x9C9C9C, "Other");
    QItemSelectionModel picked(&rows);
    shared->setSelectionModel(&picked);
    bool drawn = false;
    bool listed = false;
    for (const MarkupShape& shape : shared->shapes()) {
      drawn = drawn || (shape.tag == u"2" && shape.kind == MarkupShape::Kind::Polygon);
      listed = listed || (shape.tag == u"L2");
    }
    EXPECT_EQ(listed, drawn) << "slice 2 listed as it is drawn";
  }

  QStandardItemModel model;
  Fill(model, {10});
  std::unique_ptr<PieView> view(MakeView(&model));
  view->setHoleSize(0.5);
  QItemSelectionModel selection(&model);
  view->setSelectionModel(&selection);
  const auto ellipses = [&] {
    std::vector<QRectF> boxes;
    int cleared = 0;
    for (const MarkupShape& shape : view->shapes()) {
      if (shape.kind == MarkupShape::Kind::Ellipse) boxes.push_back(shape.box);
      if (shape.kind == MarkupShape::Kind::Polygon && shape.tag.isEmpty()) ++cleared;
    }
    EXPECT_EQ(cleared, 0);
    return boxes;
  };
  const std::vector<QRectF> before = ellipses();
  selection.select(model.index(0, 0), QItemSelectionModel::Select);
  EXPECT_EQ(ellipses(), before) << "the rim and the hole's edge stay where they were";
}

// With patterns, slices of one colour are told apart by their marks: each
// slice and its swatch carry marks of a kind of their own, within them; a
// hidden slice's swatch has none, and without patterns nothing has.
TEST(PieView, PatternsTellSlicesApart) {
  QList<PieSlice> slices;
  for (int i = 0; i < 8; ++i)
    slices.append({QStringLiteral("Same %1").arg(i), 10, QColor(120, 120, 120)});
  PieView view;
  view.setAnimationDuration(0);
  view.resize(500, 360);
  view.setHoleSize(0.3);
  view.setSlices(slices);
  const QColor fill(120, 120, 120);
  const auto marksOf = [&](const QString& tag) {
    std::vector<const MarkupShape*> marks;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag == tag && shape.kind == MarkupShape::Kind::Polygon && shape.fill != fill)
        marks.push_back(&shape);
    }
    return marks;
  };
  EXPECT_TRUE(marksOf(QStringLiteral("0")).empty()) << "patterns are off by default";
  view.setPatterns(true);
  view.setSliceVisible(7, false);
  std::set<std::pair<std::set<long>, long>> kinds;  // directions and width of the marks
  for (int i = 0; i < 7; ++i) {
    const QString tag = QString::number(i);
    const std::vector<const MarkupShape*> marks = marksOf(tag);
    ASSERT_GT(marks.size(), 3u) << "slice " << i;
    QPainterPath slice;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag == tag && shape.fill == fill) slice.addPolygon(shape.points);
    }
    slice.setFillRule(Qt::WindingFill);
    std::set<long> directions;
    std::vector<double> widths;
    for (const MarkupShape* mark : marks) {
      const QRectF box = mark->points.boundingRect();
      EXPECT_TRUE(slice.controlPointRect().adjusted(-1, -1, 1, 1).contains(box)) << i;
      double area = 0;
      QPointF longest;
      for (qsizetype k = 0; k < mark->points.size(); ++k) {
        const QPointF a = mark->points[k];
        const QPointF b = mark->points[(k + 1) % mark->points.size()];
        area += (a.x() * b.y() - b.x() * a.y()) / 2;
        if (QPointF::dotProduct(b - a, b - a) > QPointF::dotProduct(longest, longest))
          longest = b - a;
      }
      const double length = std::hypot(longest.x(), longest.y());
      if (length < 6) continue;  // a dot, or a stripe's cut end
      directions.insert(
          std::lround(std::fmod(std::atan2(longest.y(), longest.x()) * 180 / M_PI + 180, 180) /
                      15) %
          12);
      widths.push_back(std::fabs(area) / length);
    }
    std::sort(widths.begin(), widths.end());
    kinds.insert({directions, widths.empty() ? 0 : std::lround(widths[widths.size() / 2])});
    const std::vector<const MarkupShape*> swatch = marksOf(QStringLiteral("L") + tag);
    EXPECT_FALSE(swatch.empty()) << "swatch " << i;
  }
  EXPECT_EQ(kinds.size(), 7u) << "each slice's marks a kind of their own";
  EXPECT_TRUE(marksOf(QStringLiteral("L7")).empty()) << "a hidden slice's swatch is plain";
  // Marks are bounded: none over a place past measure.
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(detail::Hatch(7, QRectF(0, 0, inf, inf)).isEmpty());
  EXPECT_TRUE(detail::Hatch(7, QRectF(0, 0, 1e7, 1e7)).isEmpty());
  EXPECT_FALSE(detail::Hatch(7, QRectF(0, 0, 100, 100)).isEmpty());
}

// Real data on real desktops: names of every script and length, from one
// slice to two hundred, sizes from a dashboard tile to a full screen, light,
// dark and high-contrast palettes, both directions, centre texts from none
// to forty characters, labels inside and out. A sample each run (all of it
// with XAMLPIE_MATRIX=all): nothing leaves the widget, no text runs over
// another, the legend is there, the pie keeps its share, text on the
// window's colour reads.
TEST(PieView, RealDesktops) {
  const QStringList names[] = {
      {QStringLiteral("Rent"), QStringLiteral("Food"), QStringLiteral("Fun")},
      {QStringLiteral("Administrative and general expenses"),
       QStringLiteral("Research and development"), QStringLiteral("Sales and marketing")},
      {QStringLiteral("\u5BB6\u8CC3"), QStringLiteral("\u98DF\u8CBB"),
       QStringLiteral("\u4EA4\u901A\u8CBB")},
      {QStringLiteral("\u0627\u0644\u0625\u064A\u062C\u0627\u0631"),
       QStringLiteral("\u0627\u0644\u0637\u0639\u0627\u0645"),
       QStringLiteral("\u0627\u0644\u0646\u0642\u0644")},
      {QStringLiteral("\u05E9\u05DB\u05E8 \u05D3\u05D9\u05E8\u05D4"),
       QStringLiteral("\u05D0\u05D5\u05DB\u05DC"), QStringLiteral("Q3 \u05D3\u05D5\u05D7")},
      {QStringLiteral("Caf\u00E9 \u2615"), QStringLiteral("\U0001F3E0 Home"),
       QStringLiteral("Mixed \u05D0 b")}};
  const int counts[] = {1, 3, 8, 40, 200};
  const QSize sizes[] = {{120, 90}, {160, 120}, {400, 300}, {300, 500}, {900, 500}, {1600, 1200}};
  struct Look {
    QColor window;
    QColor text;
  };
  const Look looks[] = {{QColor(0xEF, 0xEF, 0xEF), QColor(Qt::black)},
                        {QColor(0x2D, 0x2D, 0x30), QColor(0xE6, 0xE6, 0xE6)},
                        {QColor(Qt::black), QColor(Qt::white)}};
  const QString centres[] = {QString(), QStringLiteral("Budget"),
                             QStringLiteral("Operating expenses in total for 2024")};
  const bool all = qEnvironmentVariable("XAMLPIE_MATRIX") == u"all";
  const int total = static_cast<int>(std::size(names) * std::size(counts) * std::size(sizes) *
                                     std::size(looks) * 2 * std::size(centres) * 2);
  std::mt19937 pick(20261209);
  for (int n = 0; n < (all ? total : 60); ++n) {
    int k = all ? n : std::uniform_int_distribution(0, total - 1)(pick);
    const auto take = [&k](int count) {
      const int at = k % count;
      k /= count;
      return at;
    };
    const QStringList& kind = names[take(static_cast<int>(std::size(names)))];
    const int count = counts[take(static_cast<int>(std::size(counts)))];
    const QSize size = sizes[take(static_cast<int>(std::size(sizes)))];
    const Look look = looks[take(static_cast<int>(std::size(looks)))];
    const bool rtl = take(2) == 1;
    const QString centre = centres[take(static_cast<int>(std::size(centres)))];
    const bool outside = take(2) == 1;
    QList<PieSlice> slices;
    for (int i = 0; i < count; ++i) {
      slices.append({kind[i % kind.size()] + (i >= kind.size() ? QString::number(i) : QString()),
                     1.0 + (i * 37) % 11, QColor()});
    }
    PieView view;
    view.setAnimationDuration(0);
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, look.window);
    palette.setColor(QPalette::WindowText, look.text);
    view.setPalette(palette);
    view.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    view.setHoleSize(centre.isEmpty() ? 0.0 : 0.5);
    view.setCenterText(centre);
    view.setLabels(PieView::NameAndPercent);
    view.setLabelsOutside(outside);
    view.resize(size);
    view.setSlices(slices);
    std::ostringstream what;
    what << kind.front().toStdString() << " x" << count << " at " << size.width() << "x"
         << size.height() << (rtl ? " rtl" : "") << (outside ? " outside" : "") << " centre '"
         << centre.toStdString() << "' on " << look.window.name().toStdString();

    QRectF pie;
    QRectF entries;
    std::vector<std::pair<QRectF, QString>> texts;
    bool legend = false;
    for (const MarkupShape& shape : view.shapes()) {
      QRectF box = shape.kind == MarkupShape::Kind::Polygon ? shape.points.boundingRect()
                   : shape.kind == MarkupShape::Kind::Line
                       ? QRectF(shape.line.p1(), shape.line.p2()).normalized()
                       : shape.box;
      if (shape.kind == MarkupShape::Kind::Text) {
        // Where its glyphs go: its advance, placed as its alignment says.
        const double width = QFontMetricsF(shape.font).horizontalAdvance(shape.text);
        const double left = shape.alignment & Qt::AlignRight     ? box.right() - width
                            : shape.alignment & Qt::AlignHCenter ? box.center().x() - width / 2
                                                                 : box.left();
        box = QRectF(left, box.top(), width, QFontMetricsF(shape.font).height());
        texts.emplace_back(box, shape.text);
        legend = legend || shape.tag.startsWith(u'L');
        const bool overSlice =
            !shape.tag.startsWith(u'L') && !outside && shape.font.bold() == false;
        if (!overSlice) {
          EXPECT_GE(Contrast(shape.fill, look.window), 4.5)
              << what.str() << ": " << shape.text.toStdString();
        }
      } else if (shape.kind == MarkupShape::Kind::Polygon && !shape.tag.startsWith(u'L')) {
        pie |= box;
      }
      if (shape.tag.startsWith(u'L')) entries |= box;
      const QRectF room = QRectF(view.rect()).adjusted(-0.5, -0.5, 0.5, 0.5);
      EXPECT_TRUE(room.contains(box.topLeft()) && room.contains(box.bottomRight()))
          << what.str() << ": a shape leaves the widget at " << box.left() << "," << box.top()
          << " " << box.width() << "x" << box.height();
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        const QRectF overlap = texts[i].first.intersected(texts[j].first);
        EXPECT_FALSE(overlap.width() > 1 && overlap.height() > 2)
            << what.str() << ": '" << texts[i].second.toStdString() << "' over '"
            << texts[j].second.toStdString() << "'";
      }
    }
    EXPECT_TRUE(legend) << what.str() << ": no legend";
    // A high-contrast desktop's outline is bolder.
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.kind == MarkupShape::Kind::Ellipse && shape.stroke.isValid()) {
        EXPECT_EQ(shape.strokeThickness, look.window == Qt::black ? 3.5 : 2.0) << what.str();
      }
    }
    // The pie keeps half the smaller side of the room its legend leaves.
    const double roomWidth = entries.left() >= pie.right()   ? entries.left()
                             : entries.right() <= pie.left() ? size.width() - entries.right()
                                                             : size.width();
    const double roomHeight = entries.top() >= pie.bottom()   ? entries.top()
                              : entries.bottom() <= pie.top() ? size.height() - entries.bottom()
                                                              : size.height();
    EXPECT_GE(pie.width(), 0.5 * std::min(roomWidth, roomHeight) - 16) << what.str();
  }
}

// Numbers are written as the view's locale writes them, unless the chart's
// separators say otherwise.
TEST(PieView, NumbersFollowTheLocale) {
  struct Case {
    QLocale locale;
    const char* group;  // the chart's, "" as by default
    QString entry;
  };
  const Case cases[] = {
      {QLocale::c(), "", QStringLiteral("A: 1234.5")},
      {QLocale(QLocale::German, QLocale::Germany), "", QStringLiteral("A: 1.234,5")},
      {QLocale(QLocale::English, QLocale::UnitedStates), "", QStringLiteral("A: 1,234.5")},
      {QLocale(QLocale::German, QLocale::Germany), " ", QStringLiteral("A: 1 234.5")}};
  for (const Case& c : cases) {
    PieView view;
    view.setAnimationDuration(0);
    view.resize(400, 300);
    view.setLocale(c.locale);
    view.setLegendFormat(QStringLiteral("{name}: {value}"));
    view.chart().ValueDecimals(1);
    view.chart().GroupSeparator(c.group);
    view.setSlices({{QStringLiteral("A"), 1234.5, QColor()}, {QStringLiteral("B"), 10, QColor()}});
    QString entry;
    for (const MarkupShape& shape : view.shapes()) {
      if (shape.tag == u"L0" && shape.kind == MarkupShape::Kind::Text) entry = shape.text;
    }
    EXPECT_EQ(entry, c.entry) << c.locale.name().toStdString() << " '" << c.group << "'";
  }
}

}  // namespace
}  // namespace xamlpie::test
