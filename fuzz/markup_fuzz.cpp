// Arbitrary bytes as a label's caption: read, laid out and painted, as it is
// and stretched.

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
  label->setStretch(xamlpie::Stretch::None);
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  label->render(&image);  // straight into the image
  label->render(&image);  // from the picture kept
  // Scaled, at twice the pixels, at an offset.
  label->setStretch(xamlpie::Stretch::Fill);
  QImage larger(QSize(80, 72) * 2, QImage::Format_ARGB32_Premultiplied);
  larger.setDevicePixelRatio(2);
  label->render(&larger, QPoint(9, 5));
  return 0;
}
