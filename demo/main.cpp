// xamlpie-demo: the chart component's demo window.
//
//   xamlpie-demo                                  open the window
//   xamlpie-demo --screenshot FILE [--doughnut]   write the window as it first
//                                                 appears to FILE (PNG) and exit

#include <QApplication>
#include <QCheckBox>
#include <QStringList>
#include <cstring>
#include <iostream>
#include <string>

#include "Form1.h"
#include "xamlpie/MarkupLabel.h"

namespace {

struct Options {
  const char* screenshot = nullptr;
  bool doughnut = false;
  bool valid = true;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      options.screenshot = argv[++i];
    } else if (std::strcmp(argv[i], "--doughnut") == 0) {
      options.doughnut = true;
    } else if (argv[i][0] == '-' && std::strncmp(argv[i], "-platform", 9) != 0) {
      options.valid = false;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  if (!options.valid || (options.doughnut && !options.screenshot)) {
    std::cerr << "usage: " << argv[0] << " [--screenshot FILE [--doughnut]]\n";
    return 2;
  }
  // A screenshot needs no screen.
  if (options.screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }

  QApplication app(argc, argv);
  xamlpie::FollowApplicationPalette();
  xamlpie::Form1 form;

  if (options.screenshot) {
    if (options.doughnut) form.chkDoughnut->click();
    if (!form.grab().save(QString::fromLocal8Bit(options.screenshot), "PNG")) {
      std::cerr << "xamlpie-demo: cannot write " << options.screenshot << '\n';
      return 1;
    }
    std::cout << options.screenshot << '\n';
    return 0;
  }
  form.show();
  return QApplication::exec();
}
