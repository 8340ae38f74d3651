#include "PieData.h"

#include <QAbstractItemModel>
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
}

void PieData::SetModel(QAbstractItemModel* model) {
  mModel = model;
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
    const int count = rows ? mModel->rowCount() : mModel->columnCount();
    slices.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
      const QModelIndex name = rows ? mModel->index(i, mNameColumn) : mModel->index(mNameColumn, i);
      const QModelIndex cell =
          rows ? mModel->index(i, mValueColumn) : mModel->index(mValueColumn, i);
      const int colourAt = mColorColumn < 0 ? mNameColumn : mColorColumn;
      const QModelIndex colour = rows ? mModel->index(i, colourAt) : mModel->index(colourAt, i);
      PieSlice slice;
      QVariant value;
      QVariant radius;  // invalid: none read
      // A role the model does not have makes a plain chart, not an empty one.
      const bool rose = roles ? roles->radius >= 0 : mRadiusColumn >= 0;
      if (roles) {
        // By role name, in the first column: a QML ListModel's rows.
        const QModelIndex row = mModel->index(i, 0);
        slice.name = roles->name >= 0 ? row.data(roles->name).toString() : QString();
        value = roles->value >= 0 ? row.data(roles->value) : QVariant();
        const QVariant c = roles->colour >= 0 ? row.data(roles->colour) : QVariant();
        slice.color = c.typeId() == QMetaType::QColor ? c.value<QColor>() : QColor(c.toString());
        if (roles->radius >= 0) radius = row.data(roles->radius);
      } else {
        slice.name = name.data(Qt::DisplayRole).toString();
        const QVariant decoration = colour.data(Qt::DecorationRole);
        if (decoration.typeId() == QMetaType::QColor) slice.color = decoration.value<QColor>();
        value = cell.data(Qt::EditRole);
        if (!value.isValid()) value = cell.data(Qt::DisplayRole);
        if (mRadiusColumn >= 0) {
          const QModelIndex at =
              rows ? mModel->index(i, mRadiusColumn) : mModel->index(mRadiusColumn, i);
          radius = at.data(Qt::EditRole);
          if (!radius.isValid()) radius = at.data(Qt::DisplayRole);
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
      bool ok = false;
      const double number = value.toDouble(&ok);
      if (ok && std::isfinite(number) && number >= 0) {
        slice.value = number;
        mWarned.remove(i);
      } else {
        slice.value = std::nan("");
        // A cell with nothing in it yet, as a row just inserted has, is
        // missing, not wrong.
        if (value.isValid() && !mWarned.contains(i)) {
          mWarned.insert(i);
          qWarning().noquote() << QStringLiteral(
                                      "%1: %2 %3: \"%4\" is not a number of 0 or "
                                      "more; the slice is left out")
                                      .arg(mOwner)
                                      .arg(rows ? QStringLiteral("row") : QStringLiteral("column"))
                                      .arg(i)
                                      .arg(value.toString());
        }
      }
      slices.push_back(std::move(slice));
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
  if (mModel) {
    const bool rows = !mRoleNames.empty() || mOrientation == Qt::Vertical;
    for (std::size_t k = 0; k < mKeys.size(); ++k) {
      if (!mKeys[k].isValid()) continue;
      const int at = rows ? mKeys[k].row() : mKeys[k].column();
      if (at < 0 || static_cast<std::size_t>(at) >= slices.size() ||
          known[static_cast<std::size_t>(at)]) {
        continue;
      }
      const auto i = static_cast<std::size_t>(at);
      known[i] = true;
      ids[i] = mIds[k];
      place[i] = mSlots[k];
    }
    mKeys.clear();
    for (std::size_t i = 0; i < slices.size(); ++i) {
      const int at = static_cast<int>(i);
      mKeys.emplace_back(rows ? mModel->index(at, 0) : mModel->index(0, at));
    }
  } else {
    // A list's slice is its place, and takes the colour of its place.
    for (std::size_t i = 0; i < slices.size(); ++i) {
      ids[i] = i < mIds.size() ? mIds[i] : mNextId++;
      place[i] = i;
    }
    std::fill(known.begin(), known.end(), true);
  }
  if (std::find(known.begin(), known.end(), true) == known.end()) mNextSlot = 0;
  for (std::size_t i = 0; i < slices.size(); ++i) {
    if (known[i]) continue;
    ids[i] = mNextId++;
    place[i] = mNextSlot++;
  }
  for (std::size_t i = 0; i < slices.size(); ++i) {
    if (!slices[i].color.isValid()) {
      slices[i].color =
          palette[static_cast<qsizetype>(place[i] % static_cast<std::size_t>(palette.size()))];
    }
  }
  mSlices = std::move(slices);
  mIds = std::move(ids);
  mSlots = std::move(place);
  emit Changed();
}

}  // namespace xamlpie::detail
