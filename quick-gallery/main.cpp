// xamlpie-quick-gallery: the QML charts live on one model a table edits.
//
//   xamlpie-quick-gallery                  open the window
//   xamlpie-quick-gallery --screenshot F   write the window to F (PNG) and quit

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTimer>
#include <iostream>

int main(int argc, char** argv) {
  QString screenshot;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == u"--screenshot" && i + 1 < argc) {
      screenshot = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == u"-platform" && i + 1 < argc) {
      ++i;  // Qt's own
    } else {
      std::cerr << "usage: " << argv[0] << " [--screenshot FILE]\n";
      return 2;
    }
  }
  // A screenshot needs no screen.
  if (!screenshot.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
  }
  QGuiApplication app(argc, argv);
  QQmlApplicationEngine engine;
  // The module beside the program, installed or built; Qt's own places too.
  engine.addImportPath(
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(XAMLPIE_QML_FROM_BIN)));
  if (QDir(QStringLiteral(XAMLPIE_BUILD_QML_DIR)).exists()) {
    engine.addImportPath(QStringLiteral(XAMLPIE_BUILD_QML_DIR));
  }
  engine.setInitialProperties({{QStringLiteral("animation"), screenshot.isEmpty() ? 600 : 0}});
  engine.load(QUrl(QStringLiteral("qrc:/qt/qml/XamlpieGallery/Main.qml")));
  if (engine.rootObjects().isEmpty()) return 1;
  if (screenshot.isEmpty()) return app.exec();
  auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
  QTimer::singleShot(300, &app, [&] {
    const QImage image = window->grabWindow();
    if (!image.save(screenshot, "PNG")) {
      std::cerr << "xamlpie-quick-gallery: cannot write " << screenshot.toStdString() << '\n';
      app.exit(1);
      return;
    }
    std::cout << screenshot.toStdString() << '\n';
    app.exit(0);
  });
  return app.exec();
}
