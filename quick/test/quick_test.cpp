// The QML items through a real window and real events: what reaches the
// pixels, what clicks and keys say, what a screen reader is told, and that
// the item's pictures are the widget's.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "xamlpie/Colors.h"
#include "xamlpie/PieView.h"
#include "xamlpie/quick/PieChart.h"

namespace xamlpie::test {
namespace {

const QColor kColours[] = {QColor(230, 20, 20), QColor(20, 160, 20), QColor(20, 20, 230)};

// A window showing QML that imports Xamlpie; its root item is `chart`.
struct Scene {
  explicit Scene(const QString& body) {
    view.engine()->addImportPath(QStringLiteral(XAMLPIE_QML_DIR));
    file = dir.filePath(QStringLiteral("main.qml"));
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(("import QtQuick\nimport Xamlpie\n" + body).toUtf8());
    out.close();
    view.setSource(QUrl::fromLocalFile(file));
    EXPECT_EQ(view.status(), QQuickView::Ready) << qPrintable(body);
    for (const QQmlError& e : view.errors())
      ADD_FAILURE() << e.toString().toStdString();
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    chart =
        view.rootObject() != nullptr ? view.rootObject()->findChild<quick::PieChart*>() : nullptr;
    if (chart == nullptr) chart = qobject_cast<quick::PieChart*>(view.rootObject());
    EXPECT_NE(chart, nullptr);
  }
  QImage Grab() {
    // A frame after whatever changed.
    QTest::qWait(20);
    return view.grabWindow();
  }
  QTemporaryDir dir;
  QString file;
  QQuickView view;
  quick::PieChart* chart = nullptr;
};

// The share of slice pixels each test colour takes, left of x = `right`.
std::vector<double> Shares(const QImage& image, double right) {
  std::vector<double> counts(std::size(kColours), 0.0);
  double total = 0;
  const qreal ratio = image.devicePixelRatio();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < std::min(image.width(), static_cast<int>(right * ratio)); ++x) {
      const QColor c = image.pixelColor(x, y);
      for (std::size_t k = 0; k < std::size(kColours); ++k) {
        if (std::abs(c.red() - kColours[k].red()) + std::abs(c.green() - kColours[k].green()) +
                std::abs(c.blue() - kColours[k].blue()) <
            8) {
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

void ExpectShares(const QImage& image, const std::vector<double>& values, const char* what) {
  double sum = 0;
  for (const double v : values)
    sum += v;
  const std::vector<double> shares = Shares(image, 300);  // the legend lies right of the pie
  for (std::size_t k = 0; k < values.size(); ++k)
    EXPECT_NEAR(shares[k], values[k] / sum, 0.02) << what << ", colour " << k;
}

const char* const kListModel = R"(
Item {
  width: 400; height: 300
  ListModel {
    id: slices
    ListElement { name: "Red"; value: 50; color: "#e61414" }
    ListElement { name: "Green"; value: 30; color: "#14a014" }
    ListElement { name: "Blue"; value: 20; color: "#1414e6" }
  }
  function setValue(i, v) { slices.setProperty(i, "value", v) }
  function removeAt(i) { slices.remove(i) }
  PieChart { objectName: "chart"; anchors.fill: parent; model: slices; animationDuration: 0 }
}
)";

TEST(PieChart, ModelsReachThePixels) {
  Scene list(QString::fromUtf8(kListModel));
  ExpectShares(list.Grab(), {50, 30, 20}, "a ListModel");
  QObject* root = list.view.rootObject();
  QMetaObject::invokeMethod(root, "setValue", Q_ARG(QVariant, 0), Q_ARG(QVariant, 10));
  ExpectShares(list.Grab(), {10, 30, 20}, "a value changed");
  QMetaObject::invokeMethod(root, "removeAt", Q_ARG(QVariant, 1));
  EXPECT_EQ(list.chart->count(), 2);
  const std::vector<double> shares = Shares(list.Grab(), 300);
  EXPECT_NEAR(shares[0], 10.0 / 30, 0.02);
  EXPECT_NEAR(shares[1], 0, 0.005) << "the removed row";
  EXPECT_NEAR(shares[2], 20.0 / 30, 0.02);

  // An array of objects, with roles of its own; a bad value is left out.
  Scene array(QStringLiteral(R"(
PieChart {
  width: 400; height: 300; animationDuration: 0
  valueRole: "amount"
  model: [{name: "Red", amount: 1, color: "#e61414"}, {name: "Green", amount: 3, color: "#14a014"},
          {name: "Blue", amount: "lots", color: "#1414e6"}]
}
)"));
  ExpectShares(array.Grab(), {1, 3, 0}, "an array");
  // Options as properties reach the picture: a hole shows the background.
  array.chart->setProperty("holeSize", 0.5);
  array.chart->setProperty("backgroundColor", QColor(Qt::white));
  const QImage holed = array.Grab();
  EXPECT_EQ(holed.pixelColor(holed.width() * 150 / 400, holed.height() / 2), QColor(Qt::white))
      << "the middle of the hole";

  // A rose: slices of equal angles reach out by their radius role.
  Scene rose(QStringLiteral(R"(
PieChart {
  width: 400; height: 300; animationDuration: 0; radiusRole: "reach"
  model: [{name: "Red", value: 1, reach: 4, color: "#e61414"},
          {name: "Green", value: 1, reach: 1, color: "#14a014"},
          {name: "Blue", value: 1, reach: 2, color: "#1414e6"}]
}
)"));
  ExpectShares(rose.Grab(), {4, 1, 2}, "a rose by area");
  ASSERT_TRUE(rose.chart->setProperty("radiusScale", quick::PieChart::RadiusByLength));
  ExpectShares(rose.Grab(), {16, 1, 4}, "a rose by length");
}

TEST(PieChart, ClicksAndKeysGiveTheirSignals) {
  Scene scene(QString::fromUtf8(kListModel));
  quick::PieChart& chart = *scene.chart;
  QSignalSpy clicked(&chart, &quick::PieChart::sliceClicked);
  QSignalSpy hovered(&chart, &quick::PieChart::sliceHovered);
  QSignalSpy activated(&chart, &quick::PieChart::sliceActivated);
  QSignalSpy visibility(&chart, &quick::PieChart::sliceVisibilityChanged);
  scene.Grab();
  // A point in each slice, found as the pointer finds it.
  QPoint inSlice[3];
  for (int y = 10; y < 290; y += 4) {
    for (int x = 10; x < 300; x += 4) {
      const int index = chart.indexAt(x, y);
      if (index >= 0 && index < 3 && inSlice[index].isNull()) inSlice[index] = QPoint(x, y);
    }
  }
  for (const QPoint& p : inSlice)
    ASSERT_FALSE(p.isNull());
  QTest::mouseMove(&scene.view, inSlice[1]);
  QTest::mouseClick(&scene.view, Qt::LeftButton, {}, inSlice[1]);
  ASSERT_EQ(clicked.count(), 1);
  EXPECT_EQ(clicked[0][0].toInt(), 1);
  ASSERT_FALSE(hovered.isEmpty());
  EXPECT_EQ(hovered.last()[0].toInt(), 1);
  EXPECT_EQ(chart.toolTip(), QStringLiteral("Green: 30 (30 %)"));
  EXPECT_TRUE(chart.hasActiveFocus()) << "a click gives the keyboard to the chart";
  // The keyboard walks on from the clicked slice; Space activates.
  QTest::keyClick(&scene.view, Qt::Key_Right);
  EXPECT_EQ(chart.currentIndex(), 2);
  QTest::keyClick(&scene.view, Qt::Key_Home);
  QTest::keyClick(&scene.view, Qt::Key_Space);
  ASSERT_EQ(activated.count(), 1);
  EXPECT_EQ(activated[0][0].toInt(), 0);
  // Shift+Space hides it and the others share the pie; again shows it. The
  // pointer leaves the slices, which it would light.
  QTest::mouseMove(&scene.view, QPoint(395, 5));
  EXPECT_EQ(chart.hoveredIndex(), -1);
  EXPECT_TRUE(chart.toolTip().isEmpty());
  QTest::keyClick(&scene.view, Qt::Key_Space, Qt::ShiftModifier);
  ASSERT_EQ(visibility.count(), 1);
  EXPECT_FALSE(chart.isSliceVisible(0));
  ExpectShares(scene.Grab(), {0, 30, 20}, "the first hidden");
  chart.setSliceVisible(0, true);
  ExpectShares(scene.Grab(), {50, 30, 20}, "shown again");
  // A click on a legend entry (the rightmost thing of its slice's) hides
  // its slice.
  QPoint entry;
  for (int x = 398; x > 200 && entry.isNull(); x -= 2) {
    for (int y = 10; y < 290 && entry.isNull(); y += 2) {
      if (chart.indexAt(x, y) == 2) entry = QPoint(x, y);
    }
  }
  ASSERT_FALSE(entry.isNull()) << "the third legend entry";
  QTest::mouseMove(&scene.view, entry);
  EXPECT_EQ(chart.pointerPosition(), QPointF(entry));
  EXPECT_EQ(chart.toolTip(), QStringLiteral("Blue (click to hide)"));
  QTest::mouseClick(&scene.view, Qt::LeftButton, {}, entry);
  // The pointer stays; what it is on says what the click did.
  EXPECT_EQ(chart.toolTip(), QStringLiteral("Blue (hidden: click to show)"));
  ASSERT_EQ(visibility.count(), 3);
  EXPECT_EQ(visibility.last()[0].toInt(), 2);
  EXPECT_FALSE(visibility.last()[1].toBool());
  EXPECT_EQ(clicked.count(), 1) << "a legend click is not a slice click";
}

// Markup drawn as the label draws it, stretched, and saved.
TEST(MarkupView, DrawsStretchesAndSaves) {
  Scene scene(QStringLiteral(R"(
Rectangle {
  width: 300; height: 100; color: "white"
  MarkupView {
    objectName: "markup"; anchors.fill: parent; stretch: MarkupView.Uniform
    caption: "<Canvas><Ellipse Canvas.Left='10' Canvas.Top='10' Width='50' Height='50' Fill='#0000FF' AutomationProperties.Name='Blue' Tag='1' /></Canvas>"
  }
  PieChart { width: 0; height: 0 }
}
)"));
  auto* view = scene.view.rootObject()->findChild<QQuickItem*>(QStringLiteral("markup"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->property("description").toString(), QStringLiteral("Blue"));
  const QImage image = scene.Grab();
  // Uniform: the 50-pixel disc fills the 100-pixel height, centred.
  EXPECT_EQ(image.pixelColor(150, 50), QColor(0, 0, 255));
  EXPECT_EQ(image.pixelColor(150, 3), QColor(0, 0, 255));
  EXPECT_EQ(image.pixelColor(90, 50), QColor(Qt::white)) << "left of the disc";
  // Saved as PNG at twice the pixels and as SVG; an unknown format is refused.
  const QString png = scene.dir.filePath(QStringLiteral("markup.png"));
  bool saved = false;
  QMetaObject::invokeMethod(view, "saveImage", Q_RETURN_ARG(bool, saved),
                            Q_ARG(QUrl, QUrl::fromLocalFile(png)), Q_ARG(qreal, 2.0));
  EXPECT_TRUE(saved);
  EXPECT_EQ(QImage(png).size(), QSize(600, 200));
  const QString svg = scene.dir.filePath(QStringLiteral("markup.svg"));
  QMetaObject::invokeMethod(view, "saveImage", Q_RETURN_ARG(bool, saved),
                            Q_ARG(QUrl, QUrl::fromLocalFile(svg)), Q_ARG(qreal, 1.0));
  EXPECT_TRUE(saved);
  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("<svg"));
  QMetaObject::invokeMethod(view, "saveImage", Q_RETURN_ARG(bool, saved),
                            Q_ARG(QUrl, QUrl::fromLocalFile(scene.dir.filePath("m.nope"))),
                            Q_ARG(qreal, 1.0));
  EXPECT_FALSE(saved);
}

// The first interface of a role below `from`, depth first.
QAccessibleInterface* Find(QAccessibleInterface* from, QAccessible::Role role) {
  for (int i = 0; from != nullptr && i < from->childCount(); ++i) {
    QAccessibleInterface* child = from->child(i);
    if (child != nullptr && child->role() == role) return child;
    if (QAccessibleInterface* below = Find(child, role)) return below;
  }
  return nullptr;
}

TEST(PieChart, ScreenReadersGetOneChildPerSlice) {
  Scene scene(QString::fromUtf8(kListModel));
  // Found from the window down, as a screen reader walks it.
  QAccessibleInterface* chart =
      Find(QAccessible::queryAccessibleInterface(&scene.view), QAccessible::Chart);
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart, QAccessible::queryAccessibleInterface(scene.chart));
  EXPECT_EQ(chart->role(), QAccessible::Chart);
  ASSERT_EQ(chart->childCount(), 3);
  EXPECT_EQ(chart->child(0)->text(QAccessible::Name), QStringLiteral("Red, 50, 50 percent"));
  EXPECT_EQ(chart->child(2)->text(QAccessible::Name), QStringLiteral("Blue, 20, 20 percent"));
  EXPECT_TRUE(chart->text(QAccessible::Name).startsWith(QStringLiteral("Chart: Red, 50")));
  const QRect slice = chart->child(1)->rect();
  EXPECT_TRUE(chart->rect().contains(slice));
  EXPECT_EQ(chart->childAt(slice.center().x(), slice.center().y()) != nullptr, true);
  scene.chart->forceActiveFocus();
  scene.chart->setCurrentIndex(1);
  EXPECT_EQ(chart->focusChild(), chart->child(1));
  EXPECT_TRUE(chart->child(1)->state().focused);
  // Sorted smallest first, the children follow the picture; the keyboard's
  // slice is still the child named for it.
  scene.chart->setProperty("sortSlices", quick::PieChart::Ascending);
  EXPECT_EQ(chart->child(0)->text(QAccessible::Name), QStringLiteral("Blue, 20, 20 percent"));
  ASSERT_NE(chart->focusChild(), nullptr);
  EXPECT_EQ(chart->focusChild()->text(QAccessible::Name), QStringLiteral("Green, 30, 30 percent"));
  scene.chart->setCurrentIndex(0);
  EXPECT_EQ(chart->focusChild(), chart->child(2));
  EXPECT_TRUE(chart->child(2)->state().focused);
  EXPECT_FALSE(chart->child(0)->state().focused);
  // The numbers as a table, in the model's order.
  QAccessibleTableInterface* table = chart->tableInterface();
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("Red"));
  EXPECT_EQ(table->cellAt(2, 1)->text(QAccessible::Name), QStringLiteral("20"));
  EXPECT_EQ(table->cellAt(1, 2)->text(QAccessible::Name), QStringLiteral("30"));

  // A tree's slices as a tree: the top rows under the chart, their
  // children under them.
  QStandardItemModel tree;
  tree.setItemRoleNames({{Qt::DisplayRole, "name"}, {Qt::UserRole, "value"}});
  const auto item = [](const char* name, double value) {
    auto* made = new QStandardItem(QString::fromLatin1(name));
    made->setData(value, Qt::UserRole);
    return made;
  };
  QStandardItem* food = item("Food", 0);
  food->appendRow(item("Bread", 2));
  food->appendRow(item("Fruit", 3));
  tree.appendRow(food);
  tree.appendRow(item("Rent", 5));
  scene.chart->setProperty("sortSlices", quick::PieChart::Unsorted);
  scene.chart->setProperty("model", QVariant::fromValue<QObject*>(&tree));
  scene.chart->setProperty("levels", 2);
  ASSERT_EQ(chart->childCount(), 2);
  QAccessibleInterface* foodPart = chart->child(0);
  EXPECT_TRUE(foodPart->text(QAccessible::Name).startsWith(QStringLiteral("Food")));
  EXPECT_EQ(foodPart->role(), QAccessible::TreeItem);
  ASSERT_EQ(foodPart->childCount(), 2);
  EXPECT_TRUE(foodPart->child(1)->text(QAccessible::Name).startsWith(QStringLiteral("Fruit")));
  EXPECT_EQ(foodPart->child(1)->parent(), foodPart);
  EXPECT_EQ(foodPart->indexOfChild(foodPart->child(1)), 1);
  EXPECT_EQ(chart->child(1)->childCount(), 0);
  scene.chart->setCurrentIndex(3);  // Fruit
  ASSERT_NE(chart->focusChild(), nullptr);
  EXPECT_EQ(chart->focusChild(), foodPart->child(1));
}

// The item and the widget make their pictures in one place: the same pixels
// for the same data, at ratios 1 and 2.
TEST(PieChart, PicturesAreTheWidgets) {
  Scene scene(QString::fromUtf8(kListModel));
  // The item takes its window's colour, the widget the palette's.
  scene.view.setColor(QGuiApplication::palette().color(QPalette::Window));
  scene.chart->setProperty("labels", quick::PieChart::Percent);
  scene.chart->setProperty("holeSize", 0.4);
  scene.chart->setProperty("legendPosition", quick::PieChart::LegendLeft);
  // Room kept for a hovered slice to grow into, on both alike.
  ASSERT_TRUE(scene.chart->setProperty("hoverExpand", 10));
  ASSERT_TRUE(scene.chart->setProperty("gradient", quick::PieChart::RadialSlices));
  PieView widget;
  widget.setLegendPosition(PieView::LegendLeft);
  widget.setHoverExpand(10);
  widget.setGradient(PieView::RadialSlices);
  widget.setAnimationDuration(0);
  widget.resize(400, 300);
  widget.chart().SliceLabels(LabelStyle::Percent);
  widget.chart().DoughnutWidth(60);  // 0.6 of a radius of 100
  widget.setSlices({{QStringLiteral("Red"), 50, kColours[0]},
                    {QStringLiteral("Green"), 30, kColours[1]},
                    {QStringLiteral("Blue"), 20, kColours[2]}});
  QFont font = QGuiApplication::font();
  widget.setFont(font);
  // The window's own frame at its ratio (ctest runs this test again with
  // QT_SCALE_FACTOR=2), and the item's saved picture at the other.
  const qreal window = scene.view.effectiveDevicePixelRatio();
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == u"2") {
    EXPECT_EQ(window, 2.0);
  }
  for (const qreal ratio : {window, window == 1.0 ? 2.0 : 1.0}) {
    QImage ours(QSize(400, 300) * ratio, QImage::Format_ARGB32_Premultiplied);
    ours.setDevicePixelRatio(ratio);
    {
      QPainter painter(&ours);
      widget.render(&painter);
    }
    QImage item;
    if (ratio == window) {
      item = scene.Grab().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
      const QString file = scene.dir.filePath(QStringLiteral("chart.png"));
      ASSERT_TRUE(scene.chart->saveImage(QUrl::fromLocalFile(file), ratio));
      item = QImage(file).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    ASSERT_EQ(item.size(), ours.size()) << "at " << ratio;
    int differ = 0;
    for (int y = 0; y < ours.height(); ++y) {
      for (int x = 0; x < ours.width(); ++x)
        differ += ours.pixel(x, y) != item.pixel(x, y) ? 1 : 0;
    }
    EXPECT_EQ(differ, 0) << "at " << ratio << (ratio == window ? " (the window)" : " (saved)");
  }
}

// On a dark window the chart is no light box: it takes the window's colour
// (and follows a new one), and its outline and legend text read there.
TEST(PieChart, TakesItsWindowsColour) {
  Scene scene(QString::fromUtf8(kListModel));
  for (const QColor& window : {QColor(0x2D, 0x2D, 0x30), QColor(0xFA, 0xFA, 0xF0)}) {
    scene.view.setColor(window);
    const QImage image = scene.Grab();
    const qreal ratio = image.devicePixelRatio();
    EXPECT_EQ(image.pixelColor((QPointF(2, 2) * ratio).toPoint()), window)
        << window.name().toStdString();
    // The best contrast any pixel off the slices has with the window: the
    // outline's and the legend text's.
    double best = 1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        bool slice = false;
        for (const QColor& k : kColours) {
          slice = slice || std::abs(c.red() - k.red()) + std::abs(c.green() - k.green()) +
                                   std::abs(c.blue() - k.blue()) <
                               60;
        }
        if (!slice) best = std::max(best, Contrast(c, window));
      }
    }
    EXPECT_GE(best, 4.5) << window.name().toStdString();
  }
  // A new application palette (a theme, the desktop's scheme) reaches the
  // picture: on the dark window, its window text where that reads.
  scene.view.setColor(QColor(0x2D, 0x2D, 0x30));
  const QImage before = scene.Grab();
  const QPalette original = QGuiApplication::palette();
  QPalette dark = original;
  dark.setColor(QPalette::WindowText, QColor(0xFF, 0xC0, 0x40));
  QGuiApplication::setPalette(dark);
  const QImage after = scene.Grab();
  QGuiApplication::setPalette(original);
  int amber = 0;
  for (int y = 0; y < after.height(); ++y) {
    for (int x = 0; x < after.width(); ++x)
      amber += after.pixelColor(x, y) == QColor(0xFF, 0xC0, 0x40) ? 1 : 0;
  }
  EXPECT_GT(amber, 20) << "the outline and legend text in the new window text";
  EXPECT_NE(before, after);
}

}  // namespace
}  // namespace xamlpie::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
  QApplication app(argc, argv);
  // Views write numbers as their locale does: the tests' is the same on
  // every machine.
  QLocale::setDefault(QLocale::c());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
