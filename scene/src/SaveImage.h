// A picture written to a file, as the label, the view and the Qt Quick items
// save theirs.

#ifndef XAMLPIE_SAVEIMAGE_H_
#define XAMLPIE_SAVEIMAGE_H_

#include <QSize>
#include <QString>
#include <functional>

class QImage;
class QMimeData;
class QPainter;

namespace xamlpie::detail {

// Paints a picture `size` logical pixels large into `fileName`: SVG or PDF
// (vector shapes and text) by its suffix, else any image format Qt writes
// (PNG...) at `ratio` device pixels a pixel. The file is written beside and renamed over the old
// one only when complete. False, with why in `error`, where it cannot be.
bool SaveImage(const QString& fileName, QSize size, qreal ratio, const QString& title,
               const QString& description, const std::function<void(QPainter&)>& paint,
               QString* error);

// What a chart puts on the clipboard: its picture (as PNG and as an image)
// and its data as text. The caller owns it until it hands it to the
// clipboard.
QMimeData* ChartMimeData(const QImage& picture, const QString& table);

}  // namespace xamlpie::detail

#endif  // XAMLPIE_SAVEIMAGE_H_
