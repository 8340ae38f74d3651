#include "xamlpie/PieView.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "MarkupAccessible.h"
#include "PieState.h"
#include "ShapeToolTip.h"

namespace xamlpie {

PieView::PieView(QWidget* parent) : QWidget(parent), mState(std::make_unique<detail::PieState>()) {
  InstallAccessibility();
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  detail::PieState* state = mState.get();
  connect(state, &detail::PieState::Changed, this, qOverload<>(&QWidget::update));
  connect(state, &detail::PieState::CurrentChanged, this, [this] {
    update();
    AnnounceFocus();
  });
  connect(state, &detail::PieState::SliceHovered, this, &PieView::sliceHovered);
  connect(state, &detail::PieState::SliceClicked, this, &PieView::sliceClicked);
  connect(state, &detail::PieState::SliceActivated, this, &PieView::sliceActivated);
  connect(state, &detail::PieState::SliceVisibilityChanged, this, &PieView::sliceVisibilityChanged);
  mState->SetLook(QSizeF(size()), font(), palette());
}

PieView::~PieView() = default;

cXAMLPieChart& PieView::chart() {
  return mState->Options();
}
const cXAMLPieChart& PieView::chart() const {
  return mState->Options();
}

void PieView::setModel(QAbstractItemModel* model) {
  mState->Data().SetModel(model);
}
QAbstractItemModel* PieView::model() const {
  return mState->Data().Model();
}
void PieView::setNameColumn(int column) {
  mState->Data().SetNameColumn(column);
}
int PieView::nameColumn() const {
  return mState->Data().NameColumn();
}
void PieView::setValueColumn(int column) {
  mState->Data().SetValueColumn(column);
}
int PieView::valueColumn() const {
  return mState->Data().ValueColumn();
}
void PieView::setColorColumn(int column) {
  mState->Data().SetColorColumn(column);
}
int PieView::colorColumn() const {
  return mState->Data().ColorColumn();
}
void PieView::setOrientation(Qt::Orientation orientation) {
  mState->Data().SetOrientation(orientation);
}
Qt::Orientation PieView::orientation() const {
  return mState->Data().Orientation();
}
void PieView::setSlices(const QList<PieSlice>& slices) {
  mState->Data().SetSlices(slices);
}
QList<PieSlice> PieView::slices() const {
  const std::vector<PieSlice>& read = mState->Data().Slices();
  return {read.begin(), read.end()};
}

int PieView::animationDuration() const {
  return mState->AnimationDuration();
}
void PieView::setAnimationDuration(int milliseconds) {
  mState->SetAnimationDuration(milliseconds);
}
QEasingCurve PieView::animationEasing() const {
  return mState->AnimationEasing();
}
void PieView::setAnimationEasing(const QEasingCurve& easing) {
  mState->SetAnimationEasing(easing);
}

void PieView::setSliceVisible(int row, bool visible) {
  mState->SetSliceVisible(row, visible);
}
bool PieView::isSliceVisible(int row) const {
  return mState->IsSliceVisible(row);
}

void PieView::setSelectionModel(QItemSelectionModel* selection) {
  mState->SetSelectionModel(selection);
}
QItemSelectionModel* PieView::selectionModel() const {
  return mState->SelectionModel();
}

int PieView::currentSlice() const {
  return mState->Current();
}
void PieView::setCurrentSlice(int row) {
  mState->SetCurrent(row);
}

bool PieView::hoverHighlight() const {
  return mState->HoverHighlight();
}
void PieView::setHoverHighlight(bool on) {
  mState->SetHoverHighlight(on);
}

// The state with the picture made for the widget as it is now: a widget not
// yet shown has had no resize event.
detail::PieState& PieView::State() const {
  mState->SetLook(QSizeF(size()), font(), palette());
  return *mState;
}

QString PieView::markup() const {
  return State().Markup();
}

const std::vector<MarkupShape>& PieView::shapes() const {
  static const std::vector<MarkupShape> kNone;
  const MarkupScene* scene = State().Scene();
  return scene != nullptr ? scene->shapes : kNone;
}

int PieView::sliceAt(QPointF point, bool* legend) const {
  return State().SliceAt(point, legend);
}

QString PieView::description() const {
  const QStringList names = State().Names();
  return names.isEmpty() ? tr("Chart") : tr("Chart: %1").arg(names.join(QStringLiteral("; ")));
}

QSize PieView::sizeHint() const {
  return {400, 300};
}

QSize PieView::minimumSizeHint() const {
  return {120, 90};
}

// A screen reader follows the keyboard from slice to slice: the focus moves
// to the slice's accessible child, which says its name and numbers.
void PieView::AnnounceFocus() {
  if (!hasFocus() || currentSlice() < 0) return;
  const int child = AccessibleChild(*this, currentSlice());
  QAccessibleEvent event(this, QAccessible::Focus);
  if (child >= 0) event.setChild(child);
  QAccessible::updateAccessibility(&event);
}

void PieView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  mState->Show();
}

void PieView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  mState->SetLook(QSizeF(size()), font(), palette());
}

void PieView::paintEvent(QPaintEvent* /*event*/) {
  mState->Invalidate();  // the options may have changed since
  QPainter painter(this);
  State().Paint(painter, QSizeF(size()), hasFocus());
}

bool PieView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    return detail::ShowShapeToolTip(
        this, event, shapes(),
        detail::TopShapeAt(shapes(), static_cast<QHelpEvent*>(event)->pos()));
  }
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
      event->type() == QEvent::StyleChange) {
    mState->SetLook(QSizeF(size()), font(), palette());
    update();
  }
  return QWidget::event(event);
}

void PieView::mouseMoveEvent(QMouseEvent* event) {
  State().Move(event->position());
  QWidget::mouseMoveEvent(event);
}

void PieView::leaveEvent(QEvent* event) {
  mState->Hover(-1);
  QWidget::leaveEvent(event);
}

void PieView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  State().Press(event->position(), (event->modifiers() & Qt::ControlModifier) != 0);
}

void PieView::keyPressEvent(QKeyEvent* event) {
  if (!mState->Key(event->key(), event->modifiers())) QWidget::keyPressEvent(event);
}

void PieView::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  mState->FocusIn();
  AnnounceFocus();
}

void PieView::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace xamlpie
