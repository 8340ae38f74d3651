// A chart for screen readers: the label is a Chart named by its description,
// with one child per Tag that has an AutomationProperties.Name, so Orca
// (AT-SPI) and Narrator (UI Automation) can walk the slices. A text caption is
// static text.

#include "MarkupAccessible.h"

#include "SlicePlace.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <type_traits>
#include <vector>

#include "DataTableAccessible.h"
#include "PartAccessible.h"
#include "PieState.h"
#include "SlicePlace.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/PieView.h"

namespace xamlpie {

namespace detail {
struct PieViewAccess {
  static std::vector<DataRow> Rows(const PieView& view) { return view.State().DataRows(); }
  static std::vector<int> ParentRows(const PieView& view) { return view.State().ParentRows(); }
};
}  // namespace detail

namespace {

struct Part {
  QString tag;
  QString name;
  QRectF bounds;  // canvas coordinates, every shape of the Tag
};

QRectF ShapeBounds(const MarkupShape& shape) {
  switch (shape.kind) {
    case MarkupShape::Kind::Polygon:
      return shape.points.boundingRect();
    case MarkupShape::Kind::Line:
      return QRectF(shape.line.p1(), shape.line.p2()).normalized();
    default:
      return shape.box;
  }
}

// What the accessible interfaces need of the widgets they speak for.
template <typename W>
struct Source;

template <>
struct Source<MarkupLabel> {
  static const std::vector<MarkupShape>& Shapes(const MarkupLabel& w) { return w.shapes(); }
  static QTransform Transform(const MarkupLabel& w) { return w.canvasTransform(); }
  static QString TagAt(const MarkupLabel& w, QPointF point) {
    const int shape = w.ShapeAt(point);
    return shape < 0 ? QString() : w.shapes()[static_cast<std::size_t>(shape)].tag;
  }
  static bool Chart(const MarkupLabel& w) { return w.showsMarkup(); }
  static bool Focused(const MarkupLabel&, const QString&) { return false; }
  static std::vector<int> ParentRows(const MarkupLabel&) { return {}; }
};

template <>
struct Source<PieView> {
  static const std::vector<MarkupShape>& Shapes(const PieView& w) { return w.shapes(); }
  static QTransform Transform(const PieView&) { return {}; }
  static QString TagAt(const PieView& w, QPointF point) {
    const int row = w.sliceAt(point);
    return row < 0 ? QString() : QString::number(row);
  }
  static bool Chart(const PieView&) { return true; }
  static bool Focused(const PieView& w, const QString& tag) {
    return w.hasFocus() && w.currentSlice() >= 0 && tag == QString::number(w.currentSlice());
  }
  static std::vector<int> ParentRows(const PieView& w) {
    return detail::PieViewAccess::ParentRows(w);
  }
};

template <typename W>
std::vector<Part> Parts(const W& widget) {
  std::vector<Part> parts;
  for (const MarkupShape& shape : Source<W>::Shapes(widget)) {
    // A legend entry shares its slice's Tag but not its name: it points at
    // the slice, it is not part of it.
    if (shape.tag.isEmpty() || shape.accessibleName.isEmpty()) continue;
    auto part =
        std::find_if(parts.begin(), parts.end(), [&](const Part& p) { return p.tag == shape.tag; });
    if (part == parts.end()) {
      parts.push_back({shape.tag, shape.accessibleName, ShapeBounds(shape)});
    } else {
      part->bounds |= ShapeBounds(shape);
    }
  }
  // A label's chart is read out in the order its slices were added, as its
  // description is; a view's in its picture's order, which the keyboard
  // walks.
  if constexpr (std::is_same_v<W, MarkupLabel>) {
    detail::SortBySlicePlace(parts, [](const Part& p) { return p.tag; });
  }
  return parts;
}

// Per part, the part it lies under in a tree chart (-1: the chart).
template <typename W>
std::vector<int> PartParents(const W& widget, const std::vector<Part>& parts) {
  const std::vector<int> parentRows = Source<W>::ParentRows(widget);
  if (parentRows.empty()) return std::vector<int>(parts.size(), -1);
  std::vector<int> rows;
  for (const Part& part : parts) {
    bool ok = false;
    const int row = part.tag.toInt(&ok);
    rows.push_back(ok ? row : -1);
  }
  return detail::PartParents(rows, parentRows);
}

template <typename W>
class LabelAccessible;

template <typename W>
class SliceAccessible : public detail::PartAccessible {
 public:
  SliceAccessible(W* label, int index) : mLabel(label), mIndex(index) {}

  bool isValid() const override { return Current() != nullptr; }
  QWindow* window() const override { return mLabel ? mLabel->window()->windowHandle() : nullptr; }
  // In a tree, the slice it lies in, and the slices in it.
  QAccessibleInterface* parent() const override;
  int childCount() const override { return static_cast<int>(Children().size()); }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessible::Role role() const override {
    return mLabel && !Source<W>::ParentRows(*mLabel).empty() ? QAccessible::TreeItem
                                                             : QAccessible::ListItem;
  }
  QString text(QAccessible::Text t) const override {
    const std::vector<Part> parts = mLabel ? Parts(*mLabel) : std::vector<Part>();
    if (mIndex >= static_cast<int>(parts.size())) return {};
    return t == QAccessible::Name ? parts[static_cast<std::size_t>(mIndex)].name : QString();
  }
  QRect rect() const override {
    if (!mLabel) return {};
    const std::vector<Part> parts = Parts(*mLabel);
    if (mIndex >= static_cast<int>(parts.size())) return {};
    const QRect local = Source<W>::Transform(*mLabel)
                            .mapRect(parts[static_cast<std::size_t>(mIndex)].bounds)
                            .toAlignedRect();
    return QRect(mLabel->mapToGlobal(local.topLeft()), local.size());
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    state.invisible = !mLabel || !mLabel->isVisible();
    if (mLabel) {
      const std::vector<Part> parts = Parts(*mLabel);
      state.focusable = true;
      state.focused = mIndex < static_cast<int>(parts.size()) &&
                      Source<W>::Focused(*mLabel, parts[static_cast<std::size_t>(mIndex)].tag);
    }
    return state;
  }

 private:
  const W* Current() const {
    if (!mLabel || mIndex >= static_cast<int>(Parts(*mLabel).size())) return nullptr;
    return mLabel.data();
  }
  std::vector<int> Children() const {
    if (!mLabel) return {};
    return detail::PartChildren(PartParents(*mLabel, Parts(*mLabel)), mIndex);
  }
  LabelAccessible<W>* Chart() const {
    return mLabel ? dynamic_cast<LabelAccessible<W>*>(
                        QAccessible::queryAccessibleInterface(mLabel.data()))
                  : nullptr;
  }

  QPointer<W> mLabel;
  int mIndex;
};

template <typename W>
class LabelAccessible : public QAccessibleWidget {
 public:
  explicit LabelAccessible(W* label) : QAccessibleWidget(label, QAccessible::Chart) {}

  // A view's numbers as a table too.
  void* interface_cast(QAccessible::InterfaceType type) override {
    if constexpr (std::is_same_v<W, PieView>) {
      if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(&mTable);
      }
    }
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::Role role() const override {
    return Source<W>::Chart(*Label()) ? QAccessible::Chart : QAccessible::StaticText;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      const QString own = QAccessibleWidget::text(t);  // setAccessibleName wins
      return own.isEmpty() ? Label()->description() : own;
    }
    return QAccessibleWidget::text(t);
  }
  // The slices (a tree's top ones).
  int childCount() const override { return static_cast<int>(Under(-1).size()); }
  QAccessibleInterface* child(int index) const override {
    const std::vector<int> children = Under(-1);
    if (index < 0 || index >= static_cast<int>(children.size())) return nullptr;
    return Slice(children[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return PlaceAmong(child, -1);
  }
  // The slice the keyboard is on, at whatever level.
  QAccessibleInterface* focusChild() const override {
    for (int i = 0; i < static_cast<int>(Parts(*Label()).size()); ++i) {
      if (Slice(i)->state().focused) return Slice(i);
    }
    return nullptr;
  }
  // The slice drawn at a point of the screen, as the pointer finds it (in
  // a tree, the top one it lies in).
  QAccessibleInterface* childAt(int x, int y) const override { return SliceAt(x, y, -1); }

  // The interface of the part at a place in the picture's order.
  QAccessibleInterface* Slice(int part) const {
    return mParts.Part(part, static_cast<int>(Parts(*Label()).size()),
                       [this](int at) { return new SliceAccessible<W>(Label(), at); });
  }
  // The parts directly under `part` (-1: the chart).
  std::vector<int> Under(int part) const {
    return detail::PartChildren(PartParents(*Label(), Parts(*Label())), part);
  }
  // Where a child lies among those under `part`; -1 if not there.
  int PlaceAmong(const QAccessibleInterface* child, int part) const {
    return mParts.PlaceAmong(child, Under(part));
  }
  // The part under `part` that the slice at a point of the screen lies in.
  QAccessibleInterface* SliceAt(int x, int y, int part) const {
    const QString tag = Source<W>::TagAt(*Label(), Label()->mapFromGlobal(QPoint(x, y)));
    if (tag.isEmpty()) return nullptr;
    const std::vector<Part> parts = Parts(*Label());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].tag != tag) continue;
      const int under = detail::PartUnder(PartParents(*Label(), parts), static_cast<int>(i), part);
      return under >= 0 && under != part ? Slice(under) : nullptr;
    }
    return nullptr;
  }

 private:
  W* Label() const { return static_cast<W*>(widget()); }

  detail::PartRegistry mParts;
  std::vector<detail::DataRow> Rows() const {
    if constexpr (std::is_same_v<W, PieView>) {
      return detail::PieViewAccess::Rows(*Label());
    } else {
      return {};  // a label's markup has no numbers to give
    }
  }
  detail::DataTableAccessible mTable{
      [this] { return Rows(); }, [this] { return QAccessible::queryAccessibleInterface(Label()); }};
};

template <typename W>
QAccessibleInterface* SliceAccessible<W>::parent() const {
  if (!mLabel) return nullptr;
  const std::vector<int> parents = PartParents(*mLabel, Parts(*mLabel));
  const int up =
      mIndex < static_cast<int>(parents.size()) ? parents[static_cast<std::size_t>(mIndex)] : -1;
  LabelAccessible<W>* chart = Chart();
  if (up >= 0 && chart != nullptr) return chart->Slice(up);
  return QAccessible::queryAccessibleInterface(mLabel.data());
}

template <typename W>
QAccessibleInterface* SliceAccessible<W>::child(int index) const {
  const std::vector<int> children = Children();
  LabelAccessible<W>* chart = Chart();
  if (chart == nullptr || index < 0 || index >= static_cast<int>(children.size())) return nullptr;
  return chart->Slice(children[static_cast<std::size_t>(index)]);
}

template <typename W>
int SliceAccessible<W>::indexOfChild(const QAccessibleInterface* child) const {
  LabelAccessible<W>* chart = Chart();
  return chart != nullptr ? chart->PlaceAmong(child, mIndex) : -1;
}

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("xamlpie::MarkupLabel") && object != nullptr &&
      object->isWidgetType()) {
    return new LabelAccessible<MarkupLabel>(static_cast<MarkupLabel*>(object));
  }
  if (className == QLatin1String("xamlpie::PieView") && object != nullptr &&
      object->isWidgetType()) {
    return new LabelAccessible<PieView>(static_cast<PieView*>(object));
  }
  return nullptr;
}

}  // namespace

QAccessibleInterface* AccessibleSlice(PieView& view, int row) {
  const std::vector<Part> parts = Parts(view);
  const QString tag = QString::number(row);
  auto* chart =
      dynamic_cast<LabelAccessible<PieView>*>(QAccessible::queryAccessibleInterface(&view));
  for (std::size_t i = 0; i < parts.size() && chart != nullptr; ++i) {
    if (parts[i].tag == tag) return chart->Slice(static_cast<int>(i));
  }
  return nullptr;
}

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace xamlpie
