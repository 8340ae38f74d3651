// The QML chart: the same view state as the widget (data, animation,
// selection, hover, the keyboard's slice), driven by QML's properties and its
// pointer and key events, and painted into the item's picture. Options are
// kept as the item's own members and applied to the chart as a whole, so
// that a binding that sets several of them makes one new picture.
#include "xamlpie/quick/PieChart.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QClipboard>
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

// QML's enums are cast to the chart's and the state's: they agree one for one.
static_assert(PieChart::NoLabels == static_cast<int>(LabelStyle::None) &&
              PieChart::Percent == static_cast<int>(LabelStyle::Percent) &&
              PieChart::Name == static_cast<int>(LabelStyle::Name) &&
              PieChart::NameAndPercent == static_cast<int>(LabelStyle::NameAndPercent));
static_assert(PieChart::Unsorted == static_cast<int>(SortOrder::None) &&
              PieChart::Descending == static_cast<int>(SortOrder::Descending) &&
              PieChart::Ascending == static_cast<int>(SortOrder::Ascending));
static_assert(PieChart::AutoLegend == static_cast<int>(detail::LegendPlace::Auto) &&
              PieChart::LegendRight == static_cast<int>(detail::LegendPlace::Right) &&
              PieChart::LegendBottom == static_cast<int>(detail::LegendPlace::Bottom) &&
              PieChart::LegendLeft == static_cast<int>(detail::LegendPlace::Left) &&
              PieChart::LegendTop == static_cast<int>(detail::LegendPlace::Top) &&
              PieChart::NoLegend == static_cast<int>(detail::LegendPlace::None));

PieChart::PieChart(QQuickItem* parent)
    : PictureItem(parent), mState(std::make_unique<detail::PieState>()) {
  setAcceptedMouseButtons(Qt::LeftButton);
  setAcceptHoverEvents(true);
  setActiveFocusOnTab(true);
  // As the widget's size hint: room for a pie and its legend.
  setImplicitSize(400, 300);
  InstallAccessibility();
  mState->Data().SetOwnerName(QStringLiteral("Xamlpie.PieChart"));
  SetRoles();
  detail::PieState* state = mState.get();
  connect(state, &detail::PieState::Changed, this, [this] {
    Repaint();
    // What lies under a pointer that stands still may change with the chart
    // (a slice hidden by a click on its entry, new data).
    if (mPointer.x() >= 0) PointerMoved(mPointer);
  });
  connect(state, &detail::PieState::CurrentChanged, this, [this](int index) {
    Repaint();
    emit currentIndexChanged();
    AnnounceFocus(index);
  });
  connect(state, &detail::PieState::SliceHovered, this, &PieChart::sliceHovered);
  connect(state, &detail::PieState::RootChanged, this, &PieChart::rootIndexChanged);
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
    if (!mRoles[3].isEmpty() && row.contains(mRoles[3])) {  // a row without one reaches the rim
      const double radius = row.value(mRoles[3]).toDouble(&ok);
      slice.radius = ok ? radius : std::nan("");
    }
    slices.append(slice);
  }
  if (!model.isNull() && list.isEmpty() && model.typeId() != QMetaType::QVariantList) {
    qWarning().noquote() << QStringLiteral(
        "Xamlpie.PieChart: the model is neither an item model nor an array");
  }
  mState->Data().SetSlices(slices);
}

QModelIndex PieChart::rootIndex() const {
  return mState->RootIndex();
}
void PieChart::setRootIndex(const QModelIndex& root) {
  mState->SetRootIndex(root);
}

int PieChart::levels() const {
  return mState->Data().Levels();
}
void PieChart::setLevels(int levels) {
  if (levels == mState->Data().Levels()) return;
  mState->Data().SetLevels(levels);
  emit modelChanged();
}

void PieChart::SetRoles() {
  mState->Data().SetRoleNames(mRoles[0].toUtf8(), mRoles[1].toUtf8(), mRoles[2].toUtf8(),
                              mRoles[3].toUtf8());
}

void PieChart::setRadiusRole(const QString& role) {
  mRoles[3] = role;
  SetRoles();
  ReadModel();
  emit modelChanged();
}
void PieChart::setNameRole(const QString& role) {
  mRoles[0] = role;
  SetRoles();
  ReadModel();
  emit modelChanged();
}
void PieChart::setValueRole(const QString& role) {
  mRoles[1] = role;
  SetRoles();
  ReadModel();
  emit modelChanged();
}
void PieChart::setColorRole(const QString& role) {
  mRoles[2] = role;
  SetRoles();
  ReadModel();
  emit modelChanged();
}

int PieChart::count() const {
  return mState->Count();
}

// Each option goes to the chart as it is set; one signal tells of them all.
namespace {
template <typename T>
bool Assign(T& member, const T& value) {
  if (member == value) return false;
  member = value;
  return true;
}
}  // namespace

void PieChart::setHoleSize(qreal value) {
  if (Assign(mHoleSize, value)) Apply();
}

void PieChart::setStartAngle(int value) {
  if (Assign(mStartAngle, value)) Apply();
}

void PieChart::setSweepAngle(int value) {
  if (Assign(mSweepAngle, value)) Apply();
}

void PieChart::setClockwise(bool value) {
  if (Assign(mClockwise, value)) Apply();
}

void PieChart::setLabels(Labels value) {
  if (Assign(mLabels, value)) Apply();
}

void PieChart::setLabelsOutside(bool value) {
  if (Assign(mLabelsOutside, value)) Apply();
}

void PieChart::setMinLabelAngle(int value) {
  if (Assign(mMinLabelAngle, value)) Apply();
}

void PieChart::setLabelFormat(const QString& value) {
  if (Assign(mLabelFormat, value)) Apply();
}

void PieChart::setLegendFormat(const QString& value) {
  if (Assign(mLegendFormat, value)) Apply();
}

void PieChart::setLegend(bool value) {
  if (Assign(mLegend, value)) Apply();
}

void PieChart::setPatterns(bool value) {
  if (Assign(mPatterns, value)) Apply();
}

void PieChart::setLegendPosition(LegendPosition value) {
  if (Assign(mLegendPosition, value)) Apply();
}

void PieChart::setCenterText(const QString& value) {
  if (Assign(mCenterText, value)) Apply();
}

void PieChart::setEmptyText(const QString& value) {
  if (Assign(mEmptyText, value)) Apply();
}

void PieChart::setSortSlices(Sort value) {
  if (Assign(mSort, value)) Apply();
}

void PieChart::setSliceGap(qreal value) {
  if (Assign(mSliceGap, value)) Apply();
}

void PieChart::setCornerRadius(qreal value) {
  if (Assign(mCornerRadius, value)) Apply();
}

static_assert(PieChart::FlatSlices == static_cast<int>(SliceShading::Flat) &&
              PieChart::RadialSlices == static_cast<int>(SliceShading::Radial));
void PieChart::setGradient(Gradient value) {
  if (Assign(mGradient, value)) Apply();
}

static_assert(PieChart::RadiusByArea == static_cast<int>(RadiusScale::Area) &&
              PieChart::RadiusByLength == static_cast<int>(RadiusScale::Linear));
void PieChart::setRadiusScale(RadiusScale value) {
  if (Assign(mRadiusScale, value)) Apply();
}

void PieChart::setPercentDecimals(int value) {
  if (Assign(mPercentDecimals, value)) Apply();
}

void PieChart::setValueDecimals(int value) {
  if (Assign(mValueDecimals, value)) Apply();
}

void PieChart::setDecimalPoint(const QString& value) {
  if (Assign(mDecimalPoint, value)) Apply();
}

void PieChart::setGroupSeparator(const QString& value) {
  if (Assign(mGroupSeparator, value)) Apply();
}

void PieChart::setOutlineColor(const QColor& value) {
  if (Assign(mOutlineColor, value)) Apply();
}

void PieChart::setTextColor(const QColor& value) {
  if (Assign(mTextColor, value)) Apply();
}

void PieChart::setBackgroundColor(const QColor& value) {
  if (Assign(mBackground, value)) Apply();
}

void PieChart::setHighlightColor(const QColor& value) {
  if (Assign(mHighlight, value)) Apply();
}

void PieChart::setFont(const QFont& value) {
  if (Assign(mFont, value)) Apply();
}

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
  mState->SetLegend(mLegend && mLegendPosition != NoLegend);
  mState->SetPatterns(mPatterns);
  if (mLegendPosition != NoLegend)
    mState->SetLegendPosition(static_cast<detail::LegendPlace>(mLegendPosition));
  chart.CenterText(mCenterText.toStdString());
  chart.EmptyText(mEmptyText.toStdString());
  chart.SortSlices(static_cast<SortOrder>(mSort));
  chart.SliceGap(mSliceGap);
  chart.CornerRadius(mCornerRadius);
  chart.Shading(static_cast<SliceShading>(mGradient));
  chart.RadiusScaling(static_cast<xamlpie::RadiusScale>(mRadiusScale));
  chart.PercentDecimals(mPercentDecimals);
  chart.ValueDecimals(mValueDecimals);
  chart.DecimalSeparator(mDecimalPoint.toStdString());
  chart.GroupSeparator(mGroupSeparator.toStdString());
  // Unset, they follow the palette (what reads on the background).
  chart.OutlineColor(mOutlineColor.isValid() ? ToColorValue(mOutlineColor) : ColorValue{0});
  chart.TextColor(mTextColor.isValid() ? ToColorValue(mTextColor) : ColorValue{0});
  mState->Invalidate();
  Repaint();
  emit chartChanged();
}

void PieChart::itemChange(ItemChange change, const ItemChangeData& value) {
  PictureItem::itemChange(change, value);
  if (change != ItemSceneChange) return;
  // A chart without a background of its own follows its window's colour,
  // and every chart the application's palette (a new theme, the desktop's
  // light or dark scheme), which reaches windows, not items.
  disconnect(mWindowColour);
  if (mWindow != nullptr) mWindow->removeEventFilter(this);
  mWindow = value.window;
  if (mWindow != nullptr) {
    mWindowColour = connect(mWindow, &QQuickWindow::colorChanged, this, [this] {
      if (!mBackground.isValid()) Repaint();
    });
    mWindow->installEventFilter(this);
  }
}

bool PieChart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mWindow && event->type() == QEvent::ApplicationPaletteChange) {
    mState->Invalidate();
    Repaint();
  }
  return PictureItem::eventFilter(watched, event);
}

// Unset, the chart takes its window's colour, so that on a dark window it is
// no light box; in a window that is not opaque, the palette's window colour.
QColor PieChart::Background() const {
  if (mBackground.isValid()) return mBackground;
  if (window() != nullptr && window()->color().alpha() == 255) return window()->color();
  return QGuiApplication::palette().color(QPalette::Window);
}

void PieChart::SetLook() const {
  QPalette palette = QGuiApplication::palette();
  palette.setColor(QPalette::Window, Background());
  if (mHighlight.isValid()) palette.setColor(QPalette::Highlight, mHighlight);
  QFont font = mFont.resolveMask() != 0 ? mFont : QGuiApplication::font();
  mState->SetLook(QSizeF(width(), height()), font, palette, QGuiApplication::layoutDirection(),
                  QLocale());
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
qreal PieChart::hoverExpand() const {
  return mState->HoverExpand();
}
void PieChart::setHoverExpand(qreal pixels) {
  mState->SetHoverExpand(pixels);
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
  return mToolTip;
}

void PieChart::PointerMoved(QPointF at) {
  const QString tip = at.x() >= 0 ? mState->ToolTipAt(at) : QString();
  if (tip == mToolTip && at == mPointer) return;
  mToolTip = tip;
  mPointer = at;
  emit hovered();
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

QList<int> PieChart::sliceIndexes() const {
  SetLook();
  QList<int> rows;
  mState->Names(&rows);
  return rows;
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
  return Background().alpha() == 255;
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
  // The slice's own interface: in a tree it is not the chart's child.
  QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(this);
  QAccessibleInterface* slice = chart != nullptr ? chart->focusChild() : nullptr;
  if (slice != nullptr) {
    QAccessibleEvent event(slice, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
    return;
  }
  QAccessibleEvent event(this, QAccessible::Focus);
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
  PointerMoved(event->position());
}

void PieChart::hoverLeaveEvent(QHoverEvent* /*event*/) {
  mState->Hover(-1);
  PointerMoved({-1, -1});
}

void PieChart::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copy();
    return;
  }
  if (!mState->Key(event->key(), event->modifiers())) event->ignore();
}

void PieChart::copy() const {
  SetLook();
  const qreal ratio = window() != nullptr ? window()->effectiveDevicePixelRatio() : 1.0;
  const QSize size(static_cast<int>(std::ceil(width())), static_cast<int>(std::ceil(height())));
  QImage picture(size * ratio, QImage::Format_ARGB32_Premultiplied);
  picture.setDevicePixelRatio(ratio);
  picture.fill(Qt::transparent);
  {
    QPainter painter(&picture);
    mState->Paint(painter, QSizeF(size), false);
  }
  QGuiApplication::clipboard()->setMimeData(detail::ChartMimeData(picture, mState->DataTable()));
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
