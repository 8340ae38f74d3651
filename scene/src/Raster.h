// A small scanline rasteriser for what charts are made of: filled outlines
// with exact-area antialiasing, composited source-over in one opaque colour
// onto 32-bit pixels whose alpha is opaque. Qt's general antialiased
// rasteriser costs several times as much for these shapes.

#ifndef XAMLPIE_RASTER_H_
#define XAMLPIE_RASTER_H_

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QRgb>
#include <cstdint>
#include <optional>
#include <vector>

class QColor;
class QPainter;
class QString;

namespace xamlpie::detail {

class Raster {
 public:
  // Pixels: `width` x `height`, `stride` bytes a row, ARGB32 (premultiplied
  // or not: only opaque colours are written); the first of them is the
  // device's pixel `origin`.
  Raster(std::uint32_t* pixels, int width, int height, qsizetype stride, QPoint origin = {});

  // Adds a closed outline in device pixels. Outlines added before one Fill
  // combine by the non-zero rule: a hole is an outline turning the other way.
  // What lies well inside the disc hidden when it is added may be left out:
  // a shape painted later must cover that disc even if it is no longer
  // hidden when they are filled.
  void AddOutline(const std::vector<QPointF>& points);
  // Paints what the outlines cover in an opaque colour and forgets them.
  void Fill(QRgb colour);
  // The same by the even-odd rule: where outlines overlap an even number
  // of times, nothing.
  void FillEvenOdd(QRgb colour);

  // Fill for one outline alone, after Flush. Small ones clear of the hidden
  // disc are kept, as ellipses are, and painted from what they covered when
  // the same points come again in the same picture, whatever the colour.
  void FillOutline(const std::vector<QPointF>& points, QRgb colour);

  // Outlines of one colour and one turning direction in a row are filled
  // together, so where they touch or overlap no seam shows: the fans of one
  // slice. Flush fills what is pending.
  void AddPending(const std::vector<QPointF>& points, QRgb colour, bool clockwise);
  void Flush();

  // Fills the ellipse inscribed in `box` (device pixels) in an opaque
  // colour, or with `inner` the ring between it and the ellipse inscribed in
  // `inner`, a box inside `box` about the same centre: what Fill gives for
  // their outlines, in less time. Each row where one straight chord stands
  // for each side closely enough is painted at once; the others are left to
  // the outlines. Outlines added before must have been filled.
  void FillEllipse(const QRectF& box, const std::optional<QRectF>& inner, QRgb colour);
  // Ellipses painted are kept as the pixels they covered and how much (up
  // to a budget, on this thread), and painted from those when the same one in the
  // same place comes again, whatever its colour; this forgets them.
  static void ForgetKept();
  // The ellipse inscribed in `box` as an outline close enough that no pixel
  // can tell: clockwise on screen or, for a hole, the other way.
  static std::vector<QPointF> EllipseOutline(const QRectF& box, bool hole);

  // Fills the pixels of `area` (device pixels) in an opaque colour, but for
  // those the hidden disc covers.
  void FillRect(const QRect& area, QRgb colour);

  struct Disc {
    QPointF centre;
    double radius = 0;
  };
  // A disc in device pixels that an opaque shape painted later covers: what
  // lies wholly inside it need not be painted. A radius of 0: none.
  void Hide(const Disc& disc);
  const Disc& Hidden() const { return mHiddenDisc; }

 private:
  struct Edge {
    double x0, y0, x1, y1;  // y0 < y1
    double dxdy;
    double dydx;      // its size: how far the edge rises for a pixel across
    float direction;  // 1 downward, -1 upward
  };
  void AddLine(const QPointF& a, const QPointF& b);
  // The outline with what lies deep in the hidden disc cut off, in `cut`;
  // false where there is nothing to cut.
  bool CutHidden(const std::vector<QPointF>& points, std::vector<QPointF>& cut) const;
  // An ellipse's coverage, kept to paint it again in another colour.
  struct Kept;
  struct KeptStore;
  static KeptStore& KeptEllipses();
  static KeptStore& KeptOutlines();
  void PaintKept(const Kept& kept, std::uint32_t solid);
  // Pixels [from, to) of row `y` painted at one coverage: cells where edges
  // cross (`run` false) or a run between them, which skips what is hidden.
  void Keep(int y, int from, int to, std::uint32_t cover, bool run);
  void PaintEllipse(const QRectF& box, const std::optional<QRectF>& inner, int top, int bottom,
                    std::uint32_t solid);
  struct Oval;
  // Paints row `y` of an ellipse or ring where chords stand for its sides;
  // false, with nothing painted, where they do not.
  bool PaintOvalRow(int y, const Oval& outer, const Oval* inner, std::uint32_t solid);
  // Deposits the part of `edge` within rows [from, to) into the band's cells.
  void Deposit(const Edge& edge, int from, int to, int bandTop);
  template <bool kClamp, bool kHidden>
  void DepositRows(const Edge& edge, double top, double bottom, double width, float* row,
                   std::uint64_t* bits, const int* hidden) const;
  // Paints rows [top, bottom), the band's, from their cells; with `kKeep`
  // also keeps what they cover.
  template <bool kKeep>
  void PaintRows(int top, int bottom, std::uint32_t solid);

  std::uint32_t CoverOf(float sum) const;

  std::uint32_t* mPixels;
  bool mEvenOdd = false;
  QPointF mOrigin;
  int mWidth;
  int mHeight;
  qsizetype mStride;
  std::vector<Edge> mEdges;
  std::vector<std::size_t> mActive;
  std::vector<std::size_t> mOrder;      // edges by band
  std::vector<std::size_t> mBandStart;  // where each band's edges end in mOrder
  // A band of rows at a time, small enough to stay in the nearest cache:
  // width + 2 cells a row of two floats (what the edges add to the cell's
  // pixel, and to every pixel after it), all zero between bands, and a bit
  // per cell with a change, so that the runs between them are filled whole.
  // Kept per thread, since charts are many.
  int mBandRows;
  int mBandShift;
  std::size_t mAccStride;
  std::size_t mWords;
  float* mAcc;
  std::uint64_t* mTouched;
  int mFirstWord;  // the first and last word with a bit set in the band
  int mLastWord = -1;
  // What the hidden disc covers wholly: in each row the pixels [from, to),
  // a pair for each row of the picture (from > to: none), in the rows
  // [mHiddenTop, mHiddenBottom), and within words [mHiddenFirstWord,
  // mHiddenLastWord] of a row's bits.
  Disc mHiddenDisc;
  std::vector<int> mHidden;
  int mHiddenTop = 0;
  int mHiddenBottom = 0;
  int mHiddenFirstWord = 0;
  int mHiddenLastWord = 0;
  // While an ellipse is painted, where what it paints is kept.
  Kept* mKept = nullptr;
  bool mPending = false;
  QRgb mPendingColour = 0;
  bool mPendingClockwise = false;
};

// The rasteriser for what a painter paints, when it paints straight into
// pixels the rasteriser can write: an image of 32-bit pixels (a picture of
// ours, or a window's backing store) with no clip but one rectangle and an
// axis-aligned transform. Device coordinates go to it unchanged.
std::optional<Raster> RasterFor(QPainter& painter);
bool CanRaster(QPainter& painter);

}  // namespace xamlpie::detail

namespace xamlpie {
struct MarkupScene;
namespace detail {

// PaintMarkup over `background`, which fills `area` (device pixels, within
// what the painter paints) first: the rasteriser, which the painter must
// allow, leaves out what an opaque shape painted later covers wholly.
void PaintMarkupOver(QPainter& painter, const MarkupScene& scene, const QRect& area,
                     const QColor& background, const QString& highlight);

}  // namespace detail
}  // namespace xamlpie

#endif  // XAMLPIE_RASTER_H_
