// xamlpie-playground: build any chart and copy its markup.
//
//   xamlpie-playground [FILE.json]                       open the window
//   xamlpie-playground --screenshot FILE [--load JSON]   write the window to FILE (PNG)
//   xamlpie-playground --markup ...                       open on the markup's tab

#include <QApplication>
#include <QStringList>
#include <QTabWidget>
#include <iostream>

#include "PlaygroundWindow.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/PieView.h"

int main(int argc, char** argv) {
  QString screenshot;
  QString load;
  bool markup = false;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == u"--screenshot" && i + 1 < argc) {
      screenshot = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == u"--markup") {
      markup = true;
    } else if (arg == u"--load" && i + 1 < argc) {
      load = QString::fromLocal8Bit(argv[++i]);
    } else if (!arg.startsWith(u'-') && load.isEmpty()) {
      load = arg;
    } else if (!arg.startsWith(u"-platform")) {
      std::cerr << "usage: " << argv[0] << " [--screenshot FILE] [--markup] [[--load] FILE.json]\n";
      return 2;
    }
  }
  // A screenshot needs no screen.
  if (!screenshot.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  xamlpie::FollowApplicationPalette();
  xamlpie::PlaygroundWindow window;
  window.setReportToStandardError(!screenshot.isEmpty());
  if (!load.isEmpty() && !window.Load(load) && !screenshot.isEmpty()) return 1;
  if (markup) window.tabPictures->setCurrentWidget(window.lblChart);
  // A screenshot shows the chart, not the first frame of its sweep.
  if (!screenshot.isEmpty()) window.pieView->setAnimationDuration(0);
  if (!screenshot.isEmpty()) {
    window.show();
    QCoreApplication::processEvents();
    if (!window.grab().save(screenshot, "PNG")) {
      std::cerr << "xamlpie-playground: cannot write " << screenshot.toStdString() << '\n';
      return 1;
    }
    std::cout << screenshot.toStdString() << '\n';
    return 0;
  }
  window.show();
  return QApplication::exec();
}
