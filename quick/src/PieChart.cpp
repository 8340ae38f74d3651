#include "xamlpie/quick/PieChart.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QGuiApplication>
#include <QJSValue>
#include <QMouseEvent>
#include <QPainter>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickWindow>
#include <QtDebug>
#include <algorithm>
#include <cmath>

#include "PieState.h"
#include "QuickAccessible.h"
#include "SaveImage.h"
#include "xamlpie/Colors.h"

namespace xamlpie::quick {

PieChart::PieChart(QQuickItem* parent)
    : PictureItem(parent), mState(std::make_unique<detail::PieState>()) {
  setAcceptedMouseButtons(Qt::LeftButton);
  setAcceptHoverEvents(true);
  setActiveFocusOnTab(true);
  // As the widget's size hint: room for a pie and its legend.
  setImplicitSize(400, 300);
  InstallAccessibility();
  mState->Data().SetOwnerName(QStringLiteral("Xamlpie.PieChart"));
  mState->Data().SetRoleNames(mRoles[0].toUtf8(), mRoles[1].toUtf8(), mRoles[2].toUtf8());
  detail::PieState* state = mState.get();
  connect(state, &detail::PieState::Changed, this, &PieChart::Repaint);
  connect(state, &detail::PieState::CurrentChanged, this, [this](int index) {
    Repaint();
    emit currentIndexChanged();
    AnnounceFocus(index);
  });
  connect(state, &detail::PieState::SliceHovered, this, [this](int index) {
    emit hovered();
    emit sliceHovered(index);
  });
  connect(state, &detail::PieState::SliceClicked, this, &PieChart::sliceClicked);
  connect(state, &detail::PieState::SliceActivated, this, &PieChart::sliceActivated);
  connect(state, &detail::PieState::SliceVisibilityChanged, this,
          &PieChart::sliceVisibilityChanged);
  connect(&state->Data(), &detail::PieData::Changed, this, &PieChart::countChanged);
  Apply();
}

PieChart::~PieChart() = default;

void PieChart::setModel(const QVariant& model) {
  mModel = model;
  ReadModel();
  emit modelChanged();
}

// A model object is followed; an array is read as it is now (a new array
// is a new assignment, which QML makes when it changes).
void PieChart::ReadModel() {
  QVariant model = mModel;
  if (model.canConvert<QJSValue>()) model = model.value<QJSValue>().toVariant();
  if (auto* object = model.value<QObject*>()) {
    if (auto* items = qobject_cast<QAbstractItemModel*>(object)) {
      mState->Data().SetModel(items);
      return;
    }
  }
  QList<PieSlice> slices;
  const QVariantList list = model.toList();
  for (const QVariant& entry : list) {
    const QVariantMap row = entry.toMap();
    PieSlice slice;
    slice.name = row.value(mRoles[0]).toString();
    bool ok = false;
    const QVariant value = row.value(mRoles[1]);
    slice.value = value.isValid() ? value.toDouble(&ok) : 0.0;
    if (!ok) slice.value = std::nan("");
    const QVariant colour = row.value(mRoles[2]);
    slice.color =
        colour.typeId() == QMetaType::QColor ? colour.value<QColor>() : QColor(colour.toString());
    slices.append(slice);
  }
  if (!model.isNull() && list.isEmpty() && model.typeId() != QMetaType::QVariantList) {
    qWarning().noquote() << QStringLiteral(
        "Xamlpie.PieChart: the model is neither an item model nor an array");
  }
  mState->Data().SetSlices(slices);
}

void PieChart::setNameRole(const QString& role) {
  mRoles[0] = role;
  mState->Data().SetRoleNames(mRoles[0].toUtf8(), mRoles[1].toUtf8(), mRoles[2].toUtf8());
  ReadModel();
  emit modelChanged();
}
void PieChart::setValueRole(const QString& role) {
  mRoles[1] = role;
  mState->Data().SetRoleNames(mRoles[0].toUtf8(), mRoles[1].toUtf8(), mRoles[2].toUtf8());
  ReadModel();
  emit modelChanged();
}
void PieChart::setColorRole(const QString& role) {
  mRoles[2] = role;
  mState->Data().SetRoleNames(mRoles[0].toUtf8(), mRoles[1].toUtf8(), mRoles[2].toUtf8());
  ReadModel();
  emit modelChanged();
}

int PieChart::count() const {
  return mState->Count();
}

// Each option goes to the chart as it is set; one signal tells of them all.
#define XAMLPIE_SETTER(Name, Type, member) \
  void PieChart::Name(Type value) {        \
    if (member == value) return;           \
    member = value;                        \
    Apply();                               \
  }

XAMLPIE_SETTER(setHoleSize, qreal, mHoleSize)
XAMLPIE_SETTER(setStartAngle, int, mStartAngle)
XAMLPIE_SETTER(setSweepAngle, int, mSweepAngle)
XAMLPIE_SETTER(setClockwise, bool, mClockwise)
XAMLPIE_SETTER(setLabels, Labels, mLabels)
XAMLPIE_SETTER(setLabelsOutside, bool, mLabelsOutside)
XAMLPIE_SETTER(setMinLabelAngle, int, mMinLabelAngle)
XAMLPIE_SETTER(setLabelFormat, const QString&, mLabelFormat)
XAMLPIE_SETTER(setLegendFormat, const QString&, mLegendFormat)
XAMLPIE_SETTER(setLegend, bool, mLegend)
XAMLPIE_SETTER(setCenterText, const QString&, mCenterText)
XAMLPIE_SETTER(setEmptyText, const QString&, mEmptyText)
XAMLPIE_SETTER(setSortSlices, Sort, mSort)
XAMLPIE_SETTER(setSliceGap, qreal, mSliceGap)
XAMLPIE_SETTER(setCornerRadius, qreal, mCornerRadius)
XAMLPIE_SETTER(setPercentDecimals, int, mPercentDecimals)
XAMLPIE_SETTER(setValueDecimals, int, mValueDecimals)
XAMLPIE_SETTER(setDecimalPoint, const QString&, mDecimalPoint)
XAMLPIE_SETTER(setGroupSeparator, const QString&, mGroupSeparator)
XAMLPIE_SETTER(setOutlineColor, const QColor&, mOutlineColor)
XAMLPIE_SETTER(setTextColor, const QColor&, mTextColor)
XAMLPIE_SETTER(setBackgroundColor, const QColor&, mBackground)
XAMLPIE_SETTER(setHighlightColor, const QColor&, mHighlight)
XAMLPIE_SETTER(setFont, const QFont&, mFont)
#undef XAMLPIE_SETTER

void PieChart::Apply() {
  cXAMLPieChart& chart = mState->Options();
  // The view scales the hole with the pie: a ring this share of the radius
  // of a pie of the chart's size.
  const double hole = std::clamp(static_cast<double>(mHoleSize), 0.0, 0.95);
  chart.DoughnutWidth(
      hole > 0 ? static_cast<std::int32_t>(std::lround((1 - hole) * chart.Size() / 2)) : 0);
  chart.StartAngle(mStartAngle);
  chart.SweepAngle(mSweepAngle);
  chart.Clockwise(mClockwise);
  chart.SliceLabels(static_cast<LabelStyle>(mLabels));
  chart.LabelsOutside(mLabelsOutside);
  chart.MinLabelAngle(mMinLabelAngle);
  chart.LabelFormat(mLabelFormat.toStdString());
  chart.LegendFormat(mLegendFormat.toStdString());
  mState->SetLegend(mLegend);
  chart.CenterText(mCenterText.toStdString());
  chart.EmptyText(mEmptyText.toStdString());
  chart.SortSlices(static_cast<SortOrder>(mSort));
  chart.SliceGap(mSliceGap);
  chart.CornerRadius(mCornerRadius);
  chart.PercentDecimals(mPercentDecimals);
  chart.ValueDecimals(mValueDecimals);
  chart.DecimalSeparator(mDecimalPoint.toStdString());
  chart.GroupSeparator(mGroupSeparator.toStdString());
  chart.OutlineColor(ToColorValue(mOutlineColor));
  chart.TextColor(ToColorValue(mTextColor));
  mState->Invalidate();
  Repaint();
  emit chartChanged();
}

void PieChart::SetLook() const {
  QPalette palette = QGuiApplication::palette();
  if (mBackground.isValid()) palette.setColor(QPalette::Window, mBackground);
  if (mHighlight.isValid()) palette.setColor(QPalette::Highlight, mHighlight);
  QFont font = mFont.resolveMask() != 0 ? mFont : QGuiApplication::font();
  mState->SetLook(QSizeF(width(), height()), font, palette);
}

int PieChart::animationDuration() const {
  return mState->AnimationDuration();
}
void PieChart::setAnimationDuration(int milliseconds) {
  mState->SetAnimationDuration(milliseconds);
  emit chartChanged();
}
bool PieChart::hoverHighlight() const {
  return mState->HoverHighlight();
}
void PieChart::setHoverHighlight(bool on) {
  mState->SetHoverHighlight(on);
  emit chartChanged();
}
int PieChart::currentIndex() const {
  return mState->Current();
}
void PieChart::setCurrentIndex(int index) {
  mState->SetCurrent(index);
}
int PieChart::hoveredIndex() const {
  return mState->Hovered();
}

QString PieChart::toolTip() const {
  const int index = mState->Hovered();
  const MarkupScene* scene = index >= 0 ? mState->Scene() : nullptr;
  if (scene == nullptr) return {};
  const QString tag = QString::number(index);
  for (const MarkupShape& shape : scene->shapes) {
    if (shape.tag == tag && !shape.toolTip.isEmpty()) return shape.toolTip;
  }
  return {};
}

void PieChart::setSliceVisible(int index, bool visible) {
  mState->SetSliceVisible(index, visible);
}
bool PieChart::isSliceVisible(int index) const {
  return mState->IsSliceVisible(index);
}

QStringList PieChart::sliceNames() const {
  SetLook();
  return mState->Names();
}

int PieChart::indexAt(qreal x, qreal y) const {
  SetLook();
  return mState->SliceAt(QPointF(x, y));
}

QRectF PieChart::sliceRect(int index) const {
  SetLook();
  QRectF box;
  if (const MarkupScene* scene = mState->Scene()) {
    const QString tag = QString::number(index);
    for (const MarkupShape& shape : scene->shapes) {
      if (shape.tag != tag) continue;
      box |= shape.kind == MarkupShape::Kind::Polygon ? shape.points.boundingRect() : shape.box;
    }
  }
  return box;
}

bool PieChart::saveImage(const QUrl& file, qreal ratio) const {
  SetLook();
  QString error;
  const QSize size(static_cast<int>(std::ceil(width())), static_cast<int>(std::ceil(height())));
  const bool saved = detail::SaveImage(
      file.isLocalFile() ? file.toLocalFile() : file.toString(), size, ratio, tr("Chart"),
      mState->Names().join(QStringLiteral("; ")),
      [&](QPainter& painter) { mState->Paint(painter, QSizeF(size), false); }, &error);
  if (!saved) qWarning().noquote() << "Xamlpie.PieChart:" << error;
  return saved;
}

void PieChart::PaintPicture(QPainter& painter, QSizeF size) {
  mState->Invalidate();
  SetLook();
  mState->Paint(painter, size, hasActiveFocus());
}

bool PieChart::Opaque() const {
  const QColor back =
      mBackground.isValid() ? mBackground : QGuiApplication::palette().color(QPalette::Window);
  return back.alpha() == 255;
}

void PieChart::componentComplete() {
  PictureItem::componentComplete();
  // Qt Quick shows screen readers the items with an accessible role; a chart
  // has one unless its file gave it another.
  QQmlProperty role(this, QStringLiteral("Accessible.role"), qmlContext(this));
  if (role.isValid() && role.read().toInt() == QAccessible::NoRole) {
    role.write(static_cast<int>(QAccessible::Chart));
  }
  mState->Show();
}

// A screen reader follows the keyboard from slice to slice.
void PieChart::AnnounceFocus(int index) {
  if (!hasActiveFocus() || index < 0 || !QAccessible::isActive()) return;
  QAccessibleEvent event(this, QAccessible::Focus);
  event.setChild(index);
  QAccessible::updateAccessibility(&event);
}

void PieChart::mousePressEvent(QMouseEvent* event) {
  SetLook();
  if (!mState->Press(event->position(), (event->modifiers() & Qt::ControlModifier) != 0)) {
    event->ignore();
    return;
  }
  forceActiveFocus(Qt::MouseFocusReason);
}

void PieChart::hoverMoveEvent(QHoverEvent* event) {
  SetLook();
  mState->Move(event->position());
}

void PieChart::hoverLeaveEvent(QHoverEvent* /*event*/) {
  mState->Hover(-1);
}

void PieChart::keyPressEvent(QKeyEvent* event) {
  if (!mState->Key(event->key(), event->modifiers())) event->ignore();
}

void PieChart::focusInEvent(QFocusEvent* event) {
  PictureItem::focusInEvent(event);
  mState->FocusIn();
  AnnounceFocus(mState->Current());
}

void PieChart::focusOutEvent(QFocusEvent* event) {
  PictureItem::focusOutEvent(event);
  Repaint();
}

}  // namespace xamlpie::quick
