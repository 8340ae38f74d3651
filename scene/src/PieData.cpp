#include "PieData.h"

#include <QAbstractItemModel>
#include <QBrush>
#include <QDebug>
#include <algorithm>
#include <cmath>
#include <optional>

namespace xamlpie::detail {

PieData::PieData() = default;

void PieData::Forget() {
  mKeys.clear();
  mIds.clear();
  mSlots.clear();
  mNextSlot = 0;
  mPath.clear();
}

void PieData::SetModel(QAbstractItemModel* model) {
  mModel = model;
  mRoot = QModelIndex();
  Forget();
  mGiven.clear();
  mWarned.clear();
  Watch();
  Read();
}

void PieData::SetNameColumn(int column) {
  mNameColumn = column;
  Read();
}

void PieData::SetValueColumn(int column) {
  mValueColumn = column;
  mWarned.clear();
  Read();
}

void PieData::SetColorColumn(int column) {
  mColorColumn = column;
  Read();
}

void PieData::SetLevels(int levels) {
  mLevels = std::clamp(levels, 1, kMostLevels);
  Read();
}

QModelIndex PieData::IndexOf(int slice) const {
  return slice >= 0 && static_cast<std::size_t>(slice) < mKeys.size()
             ? QModelIndex(mKeys[static_cast<std::size_t>(slice)])
             : QModelIndex();
}

void PieData::SetRoot(const QModelIndex& root) {
  const QModelIndex to =
      root.isValid() && root.model() == mModel ? root.siblingAtColumn(0) : QModelIndex();
  // The rows under it keep the colours they have now: shades of its own,
  // remembered on the way down for the way back up.
  const auto known = std::find_if(mPath.begin(), mPath.end(),
                                  [&](const auto& step) { return QModelIndex(step.first) == to; });
  if (known != mPath.end()) {
    mPath.erase(known + 1, mPath.end());
  } else {
    const auto shown = std::find(mKeys.begin(), mKeys.end(), QPersistentModelIndex(to));
    if (shown == mKeys.end() || !to.isValid()) mPath.clear();
    const std::size_t k = static_cast<std::size_t>(shown - mKeys.begin());
    if (to.isValid() && k < mSlices.size()) mPath.emplace_back(to, mSlices[k].color);
  }
  mRoot = to;
  // A new level: the rows shown before keep who they are, so that they
  // move from where they were; the palette starts again from its first.
  mSlots.clear();
  mNextSlot = 0;
  mWarned.clear();
  Read();
}

bool PieData::HasChildren(int slice) const {
  const QModelIndex index = IndexOf(slice);
  return index.isValid() && mModel != nullptr && mModel->rowCount(index) > 0;
}

void PieData::SetRadiusColumn(int column) {
  mRadiusColumn = column;
  mWarned.clear();
  Read();
}

void PieData::SetOrientation(Qt::Orientation orientation) {
  mOrientation = orientation;
  mWarned.clear();
  Read();
}

void PieData::SetRoleNames(const QByteArray& name, const QByteArray& value,
                           const QByteArray& colour, const QByteArray& radius) {
  mRoleNames = {name, value, colour, radius};
  mWarned.clear();
  Read();
}

void PieData::SetSlices(const QList<PieSlice>& slices) {
  if (mModel) Forget();
  mModel = nullptr;
  Watch();
  mGiven = slices;
  mWarned.clear();
  Read();
}

// Every change of the model reads it again: a chart has tens of slices, and
// reading them costs less than keeping track of what each signal moved.
void PieData::Watch() {
  for (const QMetaObject::Connection& c : mConnections)
    disconnect(c);
  mConnections.clear();
  if (!mModel) return;
  const auto read = [this] { Read(); };
  QAbstractItemModel* m = mModel;
  mConnections = {
      connect(m, &QAbstractItemModel::dataChanged, this, read),
      connect(m, &QAbstractItemModel::headerDataChanged, this, read),
      connect(m, &QAbstractItemModel::rowsInserted, this, read),
      connect(m, &QAbstractItemModel::rowsRemoved, this, read),
      connect(m, &QAbstractItemModel::rowsMoved, this, read),
      connect(m, &QAbstractItemModel::columnsInserted, this, read),
      connect(m, &QAbstractItemModel::columnsRemoved, this, read),
      connect(m, &QAbstractItemModel::columnsMoved, this, read),
      connect(m, &QAbstractItemModel::modelReset, this, read),
      connect(m, &QAbstractItemModel::layoutChanged, this, read),
      connect(m, &QObject::destroyed, this,
              [this] {
                mSlices.clear();
                Forget();
                emit Changed();
              }),
  };
}

void PieData::Read() {
  const QList<QColor> palette = DefaultPalette();
  std::vector<PieSlice> slices;
  std::vector<QModelIndex> nodes;  // per slice of a model: its row's first cell
  std::vector<int> parents;
  std::vector<int> depths;
  std::vector<QString> paths;
  if (mModel) {
    struct Roles {
      int name = -1;
      int value = -1;
      int colour = -1;
      int radius = -1;
    };
    std::optional<Roles> roles;
    if (!mRoleNames.empty()) {
      roles.emplace();
      const QHash<int, QByteArray> names = mModel->roleNames();
      for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if (it.value() == mRoleNames[0]) roles->name = it.key();
        if (it.value() == mRoleNames[1]) roles->value = it.key();
        if (it.value() == mRoleNames[2]) roles->colour = it.key();
        if (!mRoleNames[3].isEmpty() && it.value() == mRoleNames[3]) roles->radius = it.key();
      }
    }
    const bool rows = roles || mOrientation == Qt::Vertical;
    // One row (or column) under `parent`: `key` is its place among all the
    // slices read, `where` how a warning names it; a parent's empty value
    // is the sum of its children's, as the chart counts it.
    const auto readAt = [&](int i, const QModelIndex& parent, int key, const QString& where,
                            bool parentOfSome) {
      const auto at = [&](int column) {
        return rows ? mModel->index(i, column, parent) : mModel->index(column, i);
      };
      const QModelIndex name = at(mNameColumn);
      const QModelIndex cell = at(mValueColumn);
      const QModelIndex colour = at(mColorColumn < 0 ? mNameColumn : mColorColumn);
      PieSlice slice;
      QVariant value;
      QVariant radius;  // invalid: none read
      // A role the model does not have makes a plain chart, not an empty one.
      const bool rose = roles ? roles->radius >= 0 : mRadiusColumn >= 0;
      if (roles) {
        // By role name, in the first column: a QML ListModel's rows.
        const QModelIndex row = at(0);
        slice.name = roles->name >= 0 ? row.data(roles->name).toString() : QString();
        value = roles->value >= 0 ? row.data(roles->value) : QVariant();
        const QVariant c = roles->colour >= 0 ? row.data(roles->colour) : QVariant();
        slice.color = c.typeId() == QMetaType::QColor ? c.value<QColor>() : QColor(c.toString());
        if (roles->radius >= 0) radius = row.data(roles->radius);
      } else {
        slice.name = name.data(Qt::DisplayRole).toString();
        const QVariant decoration = colour.data(Qt::DecorationRole);
        if (decoration.typeId() == QMetaType::QColor) slice.color = decoration.value<QColor>();
        // A brush: its colour, or a gradient's stops to shade through, its
        // swatch in the colour at the rim.
        if (decoration.typeId() == QMetaType::QBrush) {
          const auto brush = decoration.value<QBrush>();
          const QGradient* gradient = brush.gradient();
          if (gradient != nullptr && !gradient->stops().isEmpty()) {
            slice.gradient = gradient->stops();
            slice.color = slice.gradient.back().second;
          } else if (brush.style() != Qt::NoBrush) {
            slice.color = brush.color();
          }
        }
        value = cell.data(Qt::EditRole);
        if (!value.isValid()) value = cell.data(Qt::DisplayRole);
        if (mRadiusColumn >= 0) {
          radius = at(mRadiusColumn).data(Qt::EditRole);
          if (!radius.isValid()) radius = at(mRadiusColumn).data(Qt::DisplayRole);
        }
      }
      // A radius that is no number of 0 or more makes the slice missing,
      // reported as a bad value is; an empty cell gives it none: it reaches
      // the rim, as the chart draws an item without one.
      if (rose && radius.isValid() &&
          !(radius.typeId() == QMetaType::QString && radius.toString().trimmed().isEmpty())) {
        bool ok = false;
        const double r = radius.toDouble(&ok);
        if (ok && std::isfinite(r) && r >= 0) {
          slice.radius = r;
        } else {
          value = QVariant(QStringLiteral("radius ") + radius.toString());
        }
      }
      const bool blank = !value.isValid() || (value.typeId() == QMetaType::QString &&
                                              value.toString().trimmed().isEmpty());
      if (parentOfSome && blank) value = 0.0;
      bool ok = false;
      const double number = value.toDouble(&ok);
      if (ok && std::isfinite(number) && number >= 0) {
        slice.value = number;
        mWarned.remove(key);
      } else {
        slice.value = std::nan("");
        // A cell with nothing in it yet, as a row just inserted has, is
        // missing, not wrong.
        if (value.isValid() && !mWarned.contains(key)) {
          mWarned.insert(key);
          qWarning().noquote() << QStringLiteral(
                                      "%1: %2 %3: \"%4\" is not a number of 0 or "
                                      "more; the slice is left out")
                                      .arg(mOwner)
                                      .arg(rows ? QStringLiteral("row") : QStringLiteral("column"))
                                      .arg(where)
                                      .arg(value.toString());
        }
      }
      return slice;
    };
    // Under the root row where one is set (and still there).
    const QModelIndex root = rows ? QModelIndex(mRoot) : QModelIndex();
    const int count = rows ? mModel->rowCount(root) : mModel->columnCount();
    const bool tree = rows && mLevels > 1;
    const auto childrenOf = [&](const QModelIndex& node) {
      return tree && node.isValid() ? mModel->rowCount(node) : 0;
    };
    slices.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
      const QModelIndex node = rows ? mModel->index(i, 0, root) : mModel->index(0, i);
      nodes.push_back(node);
      parents.push_back(-1);
      depths.push_back(0);
      paths.push_back(QString::number(i));
      slices.push_back(readAt(i, root, i, paths.back(), childrenOf(node) > 0));
    }
    // A tree's deeper levels, level by level: each row's children after
    // all of the level above, in order.
    std::size_t levelStart = 0;
    for (int level = 1; tree && level < mLevels; ++level) {
      const std::size_t levelEnd = slices.size();
      for (std::size_t p = levelStart; p < levelEnd; ++p) {
        const QModelIndex parent = nodes[p];
        const int children = childrenOf(parent);
        for (int k = 0; k < children; ++k) {
          const QModelIndex node = mModel->index(k, 0, parent);
          const QString path = paths[p] + u'.' + QString::number(k);
          const auto key = static_cast<int>(slices.size());
          const bool deeper = level + 1 < mLevels && childrenOf(node) > 0;
          nodes.push_back(node);
          parents.push_back(static_cast<int>(p));
          depths.push_back(level);
          paths.push_back(path);
          slices.push_back(readAt(k, parent, key, path, deeper));
        }
      }
      levelStart = levelEnd;
    }
  } else {
    for (qsizetype i = 0; i < mGiven.size(); ++i) {
      PieSlice slice = mGiven[i];
      const bool badRadius = slice.radius && !(std::isfinite(*slice.radius) && *slice.radius >= 0);
      if (!(std::isfinite(slice.value) && slice.value >= 0) || badRadius) {
        if (!mWarned.contains(static_cast<int>(i))) {
          mWarned.insert(static_cast<int>(i));
          qWarning().noquote() << QStringLiteral(
                                      "%1: slice %2: %3 is not a number of 0 or "
                                      "more; the slice is left out")
                                      .arg(mOwner)
                                      .arg(i)
                                      .arg(badRadius
                                               ? QStringLiteral("radius %1").arg(*slice.radius)
                                               : QString::number(slice.value));
        }
        slice.value = std::nan("");
        slice.radius.reset();
      }
      slices.push_back(std::move(slice));
    }
  }
  // Who each slice is: a row the model moved keeps its id and colour slot;
  // a row new to the chart takes the next slot. Where no row is known (a
  // new model, a reset), slots start again from the first colour.
  std::vector<std::uint64_t> ids(slices.size(), 0);
  std::vector<std::size_t> place(slices.size(), 0);
  std::vector<bool> known(slices.size(), false);
  std::vector<bool> slotted(slices.size(), false);
  if (mModel) {
    QHash<QModelIndex, std::size_t> slotOf;
    for (std::size_t i = 0; i < nodes.size(); ++i)
      slotOf.insert(nodes[i], i);
    for (std::size_t k = 0; k < mKeys.size(); ++k) {
      if (!mKeys[k].isValid()) continue;
      const auto found = slotOf.constFind(QModelIndex(mKeys[k]));
      if (found == slotOf.cend() || known[*found]) continue;
      const std::size_t i = *found;
      known[i] = true;
      ids[i] = mIds[k];
      slotted[i] = k < mSlots.size();
      if (slotted[i]) place[i] = mSlots[k];
    }
    mKeys.assign(nodes.begin(), nodes.end());
  } else {
    // A list's slice is its place, and takes the colour of its place.
    for (std::size_t i = 0; i < slices.size(); ++i) {
      ids[i] = i < mIds.size() ? mIds[i] : mNextId++;
      place[i] = i;
    }
    std::fill(known.begin(), known.end(), true);
    std::fill(slotted.begin(), slotted.end(), true);
  }
  if (std::find(known.begin(), known.end(), true) == known.end()) mNextSlot = 0;
  // A tree's children take their parent's palette place (and hatch), and
  // without colours of their own, shades of its colour; parents come first.
  parents.resize(slices.size(), -1);
  depths.resize(slices.size(), 0);
  for (std::size_t i = 0; i < slices.size(); ++i) {
    const int parent = parents[i];
    if (parent >= 0) {
      const auto p = static_cast<std::size_t>(parent);
      place[i] = place[p];
      if (!known[i]) ids[i] = mNextId++;
      continue;
    }
    if (!known[i]) ids[i] = mNextId++;
    if (!slotted[i]) place[i] = mNextSlot++;
  }
  std::vector<int> ordinal(slices.size(), 0);
  std::vector<int> seen(slices.size(), 0);
  int tops = 0;
  for (std::size_t i = 0; i < slices.size(); ++i) {
    ordinal[i] = parents[i] >= 0 ? seen[static_cast<std::size_t>(parents[i])]++ : tops++;
  }
  const QColor rootColour = mRoot.isValid() && !mPath.empty() && mPath.back().first == mRoot
                                ? mPath.back().second
                                : QColor();
  for (std::size_t i = 0; i < slices.size(); ++i) {
    if (slices[i].color.isValid()) continue;
    if (parents[i] < 0 && !rootColour.isValid()) {
      slices[i].color =
          palette[static_cast<qsizetype>(place[i] % static_cast<std::size_t>(palette.size()))];
      continue;
    }
    // Lighter than the parent, a step more for every other sibling, so
    // that neighbours stay apart and the family reads as one.
    const QColor parent =
        (parents[i] < 0 ? rootColour : slices[static_cast<std::size_t>(parents[i])].color).toHsl();
    const float lightness = parent.lightnessF();
    const float step = 0.22f + 0.14f * static_cast<float>(ordinal[i] % 3);
    slices[i].color = QColor::fromHslF(parent.hslHueF(), parent.hslSaturationF() * 0.9f,
                                       lightness + (1.0f - lightness) * step, parent.alphaF());
  }
  mParents = std::move(parents);
  mDepths = std::move(depths);
  mSlices = std::move(slices);
  mIds = std::move(ids);
  mSlots = std::move(place);
  emit Changed();
}

}  // namespace xamlpie::detail
