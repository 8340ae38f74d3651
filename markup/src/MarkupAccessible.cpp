// A chart for screen readers: the label is a Chart named by its description,
// with one child per Tag that has an AutomationProperties.Name, so Orca
// (AT-SPI) and Narrator (UI Automation) can walk the slices. A text caption is
// static text.

#include "MarkupAccessible.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <vector>

#include "xamlpie/MarkupLabel.h"

namespace xamlpie {
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

std::vector<Part> Parts(const MarkupLabel& label) {
  std::vector<Part> parts;
  for (const MarkupShape& shape : label.shapes()) {
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
  return parts;
}

class SliceAccessible : public QAccessibleInterface {
 public:
  SliceAccessible(MarkupLabel* label, int index) : mLabel(label), mIndex(index) {}

  bool isValid() const override { return Current() != nullptr; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return mLabel ? mLabel->window()->windowHandle() : nullptr; }
  QList<std::pair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation) const override {
    return {};
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return mLabel ? QAccessible::queryAccessibleInterface(mLabel.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    const std::vector<Part> parts = mLabel ? Parts(*mLabel) : std::vector<Part>();
    if (mIndex >= static_cast<int>(parts.size())) return {};
    return t == QAccessible::Name ? parts[static_cast<std::size_t>(mIndex)].name : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!mLabel) return {};
    const std::vector<Part> parts = Parts(*mLabel);
    if (mIndex >= static_cast<int>(parts.size())) return {};
    const QRect local = mLabel->canvasTransform()
                            .mapRect(parts[static_cast<std::size_t>(mIndex)].bounds)
                            .toAlignedRect();
    return QRect(mLabel->mapToGlobal(local.topLeft()), local.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    state.invisible = !mLabel || !mLabel->isVisible();
    return state;
  }

 private:
  const MarkupLabel* Current() const {
    if (!mLabel || mIndex >= static_cast<int>(Parts(*mLabel).size())) return nullptr;
    return mLabel.data();
  }

  QPointer<MarkupLabel> mLabel;
  int mIndex;
};

class LabelAccessible : public QAccessibleWidget {
 public:
  explicit LabelAccessible(MarkupLabel* label) : QAccessibleWidget(label, QAccessible::Chart) {}

  QAccessible::Role role() const override {
    return Label()->showsMarkup() ? QAccessible::Chart : QAccessible::StaticText;
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
      auto* slice = new SliceAccessible(Label(), static_cast<int>(mChildren.size()));
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
  // The slice drawn at a point of the screen, as the pointer finds it.
  QAccessibleInterface* childAt(int x, int y) const override {
    const int shape = Label()->ShapeAt(Label()->mapFromGlobal(QPoint(x, y)));
    if (shape < 0) return nullptr;
    const QString& tag = Label()->shapes()[static_cast<std::size_t>(shape)].tag;
    const std::vector<Part> parts = Parts(*Label());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].tag == tag) return child(static_cast<int>(i));
    }
    return nullptr;
  }

 private:
  MarkupLabel* Label() const { return static_cast<MarkupLabel*>(widget()); }

  mutable std::vector<QAccessible::Id> mChildren;
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("xamlpie::MarkupLabel") && object != nullptr &&
      object->isWidgetType()) {
    return new LabelAccessible(static_cast<MarkupLabel*>(object));
  }
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace xamlpie
