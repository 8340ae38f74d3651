// A QML chart in a C++ host: `import Xamlpie` from where the package put the
// module, and the item used from C++ through its type.

#include <xamlpie/quick/PieChart.h>

#include <QGuiApplication>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
  qputenv("QT_QUICK_BACKEND", "software");
  QGuiApplication app(argc, argv);
  QQuickView view;
  view.resize(400, 300);
  view.engine()->addImportPath(QStringLiteral(CONSUMER_QML_IMPORT_PATH));
  QQmlComponent component(view.engine());
  component.setData("import Xamlpie\nPieChart { width: 400; height: 300 }", QUrl());
  const std::unique_ptr<QObject> created(component.create());
  auto* chart = qobject_cast<xamlpie::quick::PieChart*>(created.get());
  if (chart == nullptr) {
    std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
    return 1;
  }
  chart->setParentItem(view.contentItem());
  chart->setAnimationDuration(0);
  chart->setModel(
      QVariantList{QVariantMap{{"name", "Orange"}, {"value", 1}, {"color", "#ff8000"}}});
  view.show();
  QTimer::singleShot(200, &app, &QCoreApplication::quit);
  app.exec();
  const QImage image = view.grabWindow();
  const QColor centre = image.pixelColor(image.width() * 150 / 400, image.height() / 2);
  std::printf("quick %d slice(s), centre %s\n", chart->count(), qPrintable(centre.name()));
  return chart->count() == 1 && centre == QColor(255, 128, 0) ? 0 : 1;
}
