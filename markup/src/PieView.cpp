#include "xamlpie/PieView.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "MarkupAccessible.h"
#include "PieState.h"
#include "SaveImage.h"
#include "ShapeToolTip.h"
#include "xamlpie/Colors.h"

namespace xamlpie {

// The view's legend positions are the state's, one for one.
static_assert(PieView::AutoLegend == static_cast<int>(detail::LegendPlace::Auto) &&
              PieView::LegendRight == static_cast<int>(detail::LegendPlace::Right) &&
              PieView::LegendBottom == static_cast<int>(detail::LegendPlace::Bottom) &&
              PieView::LegendLeft == static_cast<int>(detail::LegendPlace::Left) &&
              PieView::LegendTop == static_cast<int>(detail::LegendPlace::Top) &&
              PieView::NoLegend == static_cast<int>(detail::LegendPlace::None));

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
  connect(state, &detail::PieState::RootChanged, this, &PieView::rootIndexChanged);
  connect(state, &detail::PieState::SliceClicked, this, &PieView::sliceClicked);
  connect(state, &detail::PieState::SliceActivated, this, &PieView::sliceActivated);
  connect(state, &detail::PieState::SliceVisibilityChanged, this, &PieView::sliceVisibilityChanged);
  mState->SetLook(QSizeF(size()), font(), palette(), layoutDirection(), locale());
}

PieView::~PieView() = default;

// Whoever takes the options to change them may change what is drawn: the
// next picture, markup or hit test is made anew.
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
void PieView::setRadiusColumn(int column) {
  mState->Data().SetRadiusColumn(column);
}
int PieView::radiusColumn() const {
  return mState->Data().RadiusColumn();
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

qreal PieView::hoverExpand() const {
  return mState->HoverExpand();
}
void PieView::setHoverExpand(qreal pixels) {
  mState->SetHoverExpand(pixels);
}

namespace {

// By name, so that reordering either enum cannot mismatch them.
constexpr LabelStyle ToStyle(PieView::Labels labels) {
  switch (labels) {
    case PieView::Percent:
      return LabelStyle::Percent;
    case PieView::Name:
      return LabelStyle::Name;
    case PieView::NameAndPercent:
      return LabelStyle::NameAndPercent;
    case PieView::NoLabels:
      break;
  }
  return LabelStyle::None;
}
constexpr PieView::Labels FromStyle(LabelStyle style) {
  switch (style) {
    case LabelStyle::Percent:
      return PieView::Percent;
    case LabelStyle::Name:
      return PieView::Name;
    case LabelStyle::NameAndPercent:
      return PieView::NameAndPercent;
    case LabelStyle::None:
      break;
  }
  return PieView::NoLabels;
}
constexpr SortOrder ToOrder(PieView::Sort sort) {
  switch (sort) {
    case PieView::Descending:
      return SortOrder::Descending;
    case PieView::Ascending:
      return SortOrder::Ascending;
    case PieView::Unsorted:
      break;
  }
  return SortOrder::None;
}
constexpr PieView::Sort FromOrder(SortOrder order) {
  switch (order) {
    case SortOrder::Descending:
      return PieView::Descending;
    case SortOrder::Ascending:
      return PieView::Ascending;
    case SortOrder::None:
      break;
  }
  return PieView::Unsorted;
}
static_assert(FromStyle(ToStyle(PieView::NameAndPercent)) == PieView::NameAndPercent &&
              FromStyle(ToStyle(PieView::Name)) == PieView::Name &&
              FromStyle(ToStyle(PieView::Percent)) == PieView::Percent &&
              FromStyle(ToStyle(PieView::NoLabels)) == PieView::NoLabels);
static_assert(FromOrder(ToOrder(PieView::Descending)) == PieView::Descending &&
              FromOrder(ToOrder(PieView::Ascending)) == PieView::Ascending &&
              FromOrder(ToOrder(PieView::Unsorted)) == PieView::Unsorted);

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void PieView::OptionsChanged() {
  mState->Invalidate();
  update();
  emit chartChanged();
}

// Each setter changes the chart only where the value differs, and tells of
// it only where the chart took it (the chart ignores values out of range).
template <typename T, typename Set>
void PieView::SetOption(const T& value, T (PieView::*get)() const, Set set) {
  const T before = (this->*get)();
  if (before == value) return;
  set(chart());
  if ((this->*get)() != before) OptionsChanged();
}

int PieView::startAngle() const {
  return chart().StartAngle();
}
void PieView::setStartAngle(int value) {
  SetOption<int>(value, &PieView::startAngle, [&](cXAMLPieChart& c) { c.StartAngle(value); });
}
int PieView::sweepAngle() const {
  return chart().SweepAngle();
}
void PieView::setSweepAngle(int value) {
  SetOption<int>(value, &PieView::sweepAngle, [&](cXAMLPieChart& c) { c.SweepAngle(value); });
}
bool PieView::clockwise() const {
  return chart().Clockwise();
}
void PieView::setClockwise(bool value) {
  SetOption<bool>(value, &PieView::clockwise, [&](cXAMLPieChart& c) { c.Clockwise(value); });
}
PieView::Labels PieView::labels() const {
  return FromStyle(chart().SliceLabels());
}
void PieView::setLabels(PieView::Labels value) {
  SetOption<PieView::Labels>(value, &PieView::labels,
                             [&](cXAMLPieChart& c) { c.SliceLabels(ToStyle(value)); });
}
bool PieView::labelsOutside() const {
  return chart().LabelsOutside();
}
void PieView::setLabelsOutside(bool value) {
  SetOption<bool>(value, &PieView::labelsOutside,
                  [&](cXAMLPieChart& c) { c.LabelsOutside(value); });
}
int PieView::minLabelAngle() const {
  return chart().MinLabelAngle();
}
void PieView::setMinLabelAngle(int value) {
  SetOption<int>(value, &PieView::minLabelAngle, [&](cXAMLPieChart& c) { c.MinLabelAngle(value); });
}
PieView::Sort PieView::sortSlices() const {
  return FromOrder(chart().SortSlices());
}
void PieView::setSortSlices(PieView::Sort value) {
  SetOption<PieView::Sort>(value, &PieView::sortSlices,
                           [&](cXAMLPieChart& c) { c.SortSlices(ToOrder(value)); });
}
qreal PieView::sliceGap() const {
  return chart().SliceGap();
}
void PieView::setSliceGap(qreal value) {
  SetOption<qreal>(value, &PieView::sliceGap, [&](cXAMLPieChart& c) { c.SliceGap(value); });
}
static_assert(PieView::FlatSlices == static_cast<int>(SliceShading::Flat) &&
              PieView::RadialSlices == static_cast<int>(SliceShading::Radial));
PieView::Gradient PieView::gradient() const {
  return static_cast<Gradient>(chart().Shading());
}
void PieView::setGradient(Gradient value) {
  SetOption<Gradient>(value, &PieView::gradient,
                      [&](cXAMLPieChart& c) { c.Shading(static_cast<SliceShading>(value)); });
}
static_assert(PieView::RadiusByArea == static_cast<int>(xamlpie::RadiusScale::Area) &&
              PieView::RadiusByLength == static_cast<int>(xamlpie::RadiusScale::Linear));
PieView::RadiusScale PieView::radiusScale() const {
  return static_cast<RadiusScale>(chart().RadiusScaling());
}
void PieView::setRadiusScale(RadiusScale value) {
  SetOption<RadiusScale>(value, &PieView::radiusScale, [&](cXAMLPieChart& c) {
    c.RadiusScaling(static_cast<xamlpie::RadiusScale>(value));
  });
}
qreal PieView::cornerRadius() const {
  return chart().CornerRadius();
}
void PieView::setCornerRadius(qreal value) {
  SetOption<qreal>(value, &PieView::cornerRadius, [&](cXAMLPieChart& c) { c.CornerRadius(value); });
}
int PieView::percentDecimals() const {
  return chart().PercentDecimals();
}
void PieView::setPercentDecimals(int value) {
  SetOption<int>(value, &PieView::percentDecimals,
                 [&](cXAMLPieChart& c) { c.PercentDecimals(value); });
}
int PieView::valueDecimals() const {
  return chart().ValueDecimals();
}
void PieView::setValueDecimals(int value) {
  SetOption<int>(value, &PieView::valueDecimals, [&](cXAMLPieChart& c) { c.ValueDecimals(value); });
}
QColor PieView::outlineColor() const {
  return OleColorToQColor(chart().OutlineColor());
}
void PieView::setOutlineColor(const QColor& value) {
  SetOption<QColor>(value, &PieView::outlineColor,
                    [&](cXAMLPieChart& c) { c.OutlineColor(ToColorValue(value)); });
}
QColor PieView::textColor() const {
  return OleColorToQColor(chart().TextColor());
}
void PieView::setTextColor(const QColor& value) {
  SetOption<QColor>(value, &PieView::textColor,
                    [&](cXAMLPieChart& c) { c.TextColor(ToColorValue(value)); });
}
QString PieView::labelFormat() const {
  return FromUtf8(chart().LabelFormat());
}
void PieView::setLabelFormat(const QString& value) {
  SetOption<QString>(value, &PieView::labelFormat,
                     [&](cXAMLPieChart& c) { c.LabelFormat(value.toStdString()); });
}
QString PieView::legendFormat() const {
  return FromUtf8(chart().LegendFormat());
}
void PieView::setLegendFormat(const QString& value) {
  SetOption<QString>(value, &PieView::legendFormat,
                     [&](cXAMLPieChart& c) { c.LegendFormat(value.toStdString()); });
}
QString PieView::centerText() const {
  return FromUtf8(chart().CenterText());
}
void PieView::setCenterText(const QString& value) {
  SetOption<QString>(value, &PieView::centerText,
                     [&](cXAMLPieChart& c) { c.CenterText(value.toStdString()); });
}
QString PieView::emptyText() const {
  return FromUtf8(chart().EmptyText());
}
void PieView::setEmptyText(const QString& value) {
  SetOption<QString>(value, &PieView::emptyText,
                     [&](cXAMLPieChart& c) { c.EmptyText(value.toStdString()); });
}
QString PieView::decimalPoint() const {
  return FromUtf8(chart().DecimalSeparator());
}
void PieView::setDecimalPoint(const QString& value) {
  SetOption<QString>(value, &PieView::decimalPoint,
                     [&](cXAMLPieChart& c) { c.DecimalSeparator(value.toStdString()); });
}
QString PieView::groupSeparator() const {
  return FromUtf8(chart().GroupSeparator());
}
void PieView::setGroupSeparator(const QString& value) {
  SetOption<QString>(value, &PieView::groupSeparator,
                     [&](cXAMLPieChart& c) { c.GroupSeparator(value.toStdString()); });
}

qreal PieView::holeSize() const {
  const cXAMLPieChart& options = chart();
  if (options.DoughnutWidth() <= 0 || options.Size() <= 0) return 0;
  return std::clamp(1.0 - 2.0 * options.DoughnutWidth() / options.Size(), 0.0, 0.95);
}
void PieView::setHoleSize(qreal share) {
  if (!std::isfinite(share)) return;
  // The view scales the hole with the pie: a ring this share of the radius
  // of a pie of the chart's size.
  const double hole = std::clamp(static_cast<double>(share), 0.0, 0.95);
  cXAMLPieChart& options = chart();
  const std::int32_t width =
      hole > 0 ? static_cast<std::int32_t>(std::lround((1 - hole) * options.Size() / 2)) : 0;
  if (width == options.DoughnutWidth()) return;
  options.DoughnutWidth(width);
  OptionsChanged();
}

bool PieView::legend() const {
  return mState->Legend();
}
void PieView::setLegend(bool on) {
  if (on == mState->Legend()) return;
  mState->SetLegend(on);
  OptionsChanged();
}

bool PieView::patterns() const {
  return mState->Patterns();
}
void PieView::setPatterns(bool on) {
  if (on == mState->Patterns()) return;
  mState->SetPatterns(on);
  OptionsChanged();
}

PieView::LegendPosition PieView::legendPosition() const {
  return mState->Legend() ? static_cast<LegendPosition>(mState->LegendPosition()) : NoLegend;
}
void PieView::setLegendPosition(LegendPosition position) {
  if (position == legendPosition()) return;
  if (position != NoLegend) mState->SetLegendPosition(static_cast<detail::LegendPlace>(position));
  mState->SetLegend(position != NoLegend);
  OptionsChanged();
}

bool PieView::saveImage(const QString& fileName, qreal devicePixelRatio, QString* error) const {
  return detail::SaveImage(
      fileName, size(), devicePixelRatio, windowTitle().isEmpty() ? tr("Chart") : windowTitle(),
      description(), [&](QPainter& painter) { State().Paint(painter, QSizeF(size()), false); },
      error);
}

void PieView::copy() const {
  QImage picture(size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
  picture.setDevicePixelRatio(devicePixelRatioF());
  {
    QPainter painter(&picture);
    State().Paint(painter, QSizeF(size()), false);
  }
  QGuiApplication::clipboard()->setMimeData(detail::ChartMimeData(picture, State().DataTable()));
}

// The state with the picture made for the widget as it is now: a widget not
// yet shown has had no resize event.
detail::PieState& PieView::State() const {
  mState->SetLook(QSizeF(size()), font(), palette(), layoutDirection(), locale());
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

QModelIndex PieView::indexAt(QPointF point) const {
  return mState->Data().IndexOf(State().SliceAt(point));
}

void PieView::setRootIndex(const QModelIndex& root) {
  mState->SetRootIndex(root);
}
QModelIndex PieView::rootIndex() const {
  return mState->RootIndex();
}

void PieView::setLevels(int levels) {
  mState->Data().SetLevels(levels);
}
int PieView::levels() const {
  return mState->Data().Levels();
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
  // The slice's own interface: in a tree it is not the chart's child.
  QAccessibleInterface* slice = AccessibleSlice(*this, currentSlice());
  if (slice == nullptr) {
    QAccessibleEvent event(this, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
    return;
  }
  QAccessibleEvent event(slice, QAccessible::Focus);
  QAccessible::updateAccessibility(&event);
}

void PieView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  mState->Show();
}

void PieView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  mState->SetLook(QSizeF(size()), font(), palette(), layoutDirection(), locale());
}

void PieView::paintEvent(QPaintEvent* /*event*/) {
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
      event->type() == QEvent::StyleChange || event->type() == QEvent::LayoutDirectionChange ||
      event->type() == QEvent::LocaleChange) {
    mState->SetLook(QSizeF(size()), font(), palette(), layoutDirection(), locale());
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
  if (event->matches(QKeySequence::Copy)) {
    copy();
    return;
  }
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
