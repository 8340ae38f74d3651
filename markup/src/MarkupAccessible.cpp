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

template <typename W>
class SliceAccessible : public detail::PartAccessible {
 public:
  SliceAccessible(W* label, int index) : mLabel(label), mIndex(index) {}

  bool isValid() const override { return Current() != nullptr; }
  QWindow* window() const override { return mLabel ? mLabel->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return mLabel ? QAccessible::queryAccessibleInterface(mLabel.data()) : nullptr;
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
  int childCount() const override { return static_cast<int>(Parts(*Label()).size()); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    // One interface per index for the label's life, kept by Qt's registry.
    while (static_cast<int>(mChildren.size()) <= index) {
      auto* slice = new SliceAccessible<W>(Label(), static_cast<int>(mChildren.size()));
      mChildren.push_back(QAccessible::registerAccessibleInterface(slice));
    }
    return QAccessible::accessibleInterface(mChildren[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t i = 0; i < mChildren.size(); ++i) {
      if (QAccessible::accessibleInterface(mChildren[i]) == child) return static_cast<int>(i);
    }
    return -1;
  }
  // The slice the keyboard is on.
  QAccessibleInterface* focusChild() const override {
    for (int i = 0; i < childCount(); ++i) {
      if (child(i)->state().focused) return child(i);
    }
    return nullptr;
  }
  // The slice drawn at a point of the screen, as the pointer finds it.
  QAccessibleInterface* childAt(int x, int y) const override {
    const QString tag = Source<W>::TagAt(*Label(), Label()->mapFromGlobal(QPoint(x, y)));
    if (tag.isEmpty()) return nullptr;
    const std::vector<Part> parts = Parts(*Label());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].tag == tag) return child(static_cast<int>(i));
    }
    return nullptr;
  }

 private:
  W* Label() const { return static_cast<W*>(widget()); }

  mutable std::vector<QAccessible::Id> mChildren;
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

int AccessibleChild(const PieView& view, int row) {
  const std::vector<Part> parts = Parts(view);
  const QString tag = QString::number(row);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].tag == tag) return static_cast<int>(i);
  }
  return -1;
}

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace xamlpie
