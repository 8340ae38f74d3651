// The Designer plugin as Designer and QUiLoader use it: the widgets it
// offers, what they make, and a form with their properties set.

#include <gtest/gtest.h>

#include <QDomDocument>
#include <QFile>
#include <QImage>
#include <QPluginLoader>
#include <QUiLoader>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <memory>

#include "xamlpie/MarkupLabel.h"
#include "xamlpie/PieView.h"

namespace xamlpie::test {
namespace {

TEST(Designer, PluginOffersBothWidgets) {
  QPluginLoader loader(QStringLiteral(XAMLPIE_PLUGIN_DIR "/designer/libxamlpie-designer.so"));
  ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
  auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(loader.instance());
  ASSERT_NE(collection, nullptr);
  QStringList names;
  for (QDesignerCustomWidgetInterface* widget : collection->customWidgets()) {
    names.append(widget->name());
    EXPECT_EQ(widget->includeFile(),
              widget->name().replace(QStringLiteral("::"), QStringLiteral("/")) + ".h");
    EXPECT_FALSE(widget->icon().isNull()) << widget->name().toStdString();
    // Designer reads the widget box entry from this: a form with one widget
    // of the class.
    QDomDocument dom;
    ASSERT_TRUE(dom.setContent(widget->domXml())) << widget->name().toStdString();
    EXPECT_EQ(dom.documentElement()
                  .firstChildElement(QStringLiteral("widget"))
                  .attribute(QStringLiteral("class")),
              widget->name());
    // Made for a program (no Designer core): no sample data.
    widget->initialize(nullptr);
    std::unique_ptr<QWidget> made(widget->createWidget(nullptr));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(QString::fromLatin1(made->metaObject()->className()), widget->name());
    // It looks as a widget made by hand does.
    std::unique_ptr<QWidget> plain;
    if (widget->name() == u"xamlpie::PieView") {
      plain = std::make_unique<PieView>();
    } else {
      plain = std::make_unique<MarkupLabel>();
    }
    made->resize(200, 150);
    plain->resize(200, 150);
    EXPECT_EQ(made->grab().toImage(), plain->grab().toImage()) << widget->name().toStdString();
  }
  EXPECT_EQ(names, (QStringList{QStringLiteral("xamlpie::PieView"),
                                QStringLiteral("xamlpie::MarkupLabel")}));
}

TEST(Designer, FormLoadsWithItsProperties) {
  QUiLoader loader;
  loader.clearPluginPaths();
  loader.addPluginPath(QStringLiteral(XAMLPIE_PLUGIN_DIR "/designer"));
  EXPECT_TRUE(loader.availableWidgets().contains(QStringLiteral("xamlpie::PieView")));
  QFile form(QStringLiteral(XAMLPIE_FORM));
  ASSERT_TRUE(form.open(QIODevice::ReadOnly));
  std::unique_ptr<QWidget> widget(loader.load(&form));
  ASSERT_NE(widget, nullptr) << loader.errorString().toStdString();
  // The plugin carries its own copy of the widgets' static library, so its
  // widgets are read through their properties, not cast to our PieView.
  auto* view = widget->findChild<QWidget*>(QStringLiteral("pieView"));
  ASSERT_NE(view, nullptr);
  EXPECT_STREQ(view->metaObject()->className(), "xamlpie::PieView");
  EXPECT_EQ(view->property("holeSize").toDouble(), 0.5);
  EXPECT_EQ(view->property("centerText").toString(), QStringLiteral("Budget"));
  EXPECT_EQ(view->property("labels").toInt(), PieView::NameAndPercent);
  EXPECT_EQ(view->property("startAngle").toInt(), 90);
  EXPECT_TRUE(view->property("clockwise").toBool());
  EXPECT_EQ(view->property("outlineColor").value<QColor>(), QColor(51, 102, 153));
  auto* label = widget->findChild<QWidget*>(QStringLiteral("markupLabel"));
  ASSERT_NE(label, nullptr);
  EXPECT_STREQ(label->metaObject()->className(), "xamlpie::MarkupLabel");
  EXPECT_TRUE(label->property("hoverHighlight").toBool());
}

}  // namespace
}  // namespace xamlpie::test
