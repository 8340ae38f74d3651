// Arbitrary bytes as a label's caption: read, laid out and painted.

#include <QApplication>
#include <QImage>
#include <cstddef>
#include <cstdint>

#include "xamlpie/MarkupLabel.h"

namespace {
xamlpie::MarkupLabel* label = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(*argc, *argv);
  label = new xamlpie::MarkupLabel;
  label->resize(64, 64);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString caption =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  label->setCaption(caption);
  (void)label->sizeHint();
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  label->render(&image);
  return 0;
}
