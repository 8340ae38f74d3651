// Qt Designer's plugin: PieView and MarkupLabel in the widget box, under
// "xamlpie", with their properties in the property editor and a preview
// that shows a chart.

#ifndef XAMLPIE_DESIGNER_XAMLPIEWIDGETS_H_
#define XAMLPIE_DESIGNER_XAMLPIEWIDGETS_H_

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <functional>

namespace xamlpie::designer {

// One widget as Designer sees it; the two differ only in these strings and
// in how a new one is made.
class Widget : public QObject, public QDesignerCustomWidgetInterface {
  Q_OBJECT
  Q_INTERFACES(QDesignerCustomWidgetInterface)

 public:
  // `make` makes a widget; `inDesigner` says whether it is for Designer's
  // form (with sample data to show the options at work) or for a program
  // loading the form (QUiLoader), which gets a plain one.
  Widget(QString className, QString header, QString toolTip, QString domXml,
         std::function<QWidget*(QWidget*, bool inDesigner)> make, QObject* parent);

  QString name() const override { return mClassName; }
  QString group() const override { return QStringLiteral("xamlpie"); }
  QString toolTip() const override { return mToolTip; }
  QString whatsThis() const override { return mToolTip; }
  QString includeFile() const override { return mHeader; }
  QIcon icon() const override;
  bool isContainer() const override { return false; }
  QWidget* createWidget(QWidget* parent) override { return mMake(parent, mInDesigner); }
  bool isInitialized() const override { return mInitialized; }
  void initialize(QDesignerFormEditorInterface* core) override {
    mInitialized = true;
    mInDesigner = core != nullptr;
  }
  QString domXml() const override { return mDomXml; }

 private:
  QString mClassName;
  QString mHeader;
  QString mToolTip;
  QString mDomXml;
  std::function<QWidget*(QWidget*, bool)> mMake;
  bool mInitialized = false;
  bool mInDesigner = false;
};

class Widgets : public QObject, public QDesignerCustomWidgetCollectionInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
  Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

 public:
  explicit Widgets(QObject* parent = nullptr);
  QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return mWidgets; }

 private:
  QList<QDesignerCustomWidgetInterface*> mWidgets;
};

}  // namespace xamlpie::designer

#endif  // XAMLPIE_DESIGNER_XAMLPIEWIDGETS_H_
