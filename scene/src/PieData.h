// The slices a chart view shows, read from a model or given as a list; what
// the widget and the Qt Quick item share of data binding.

#ifndef XAMLPIE_PIEDATA_H_
#define XAMLPIE_PIEDATA_H_

#include <QAbstractItemModel>
#include <QByteArray>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <QString>
#include <cstdint>
#include <vector>

#include "xamlpie/PieSlice.h"

class QAbstractItemModel;

namespace xamlpie::detail {

class PieData : public QObject {
  Q_OBJECT

 public:
  PieData();

  void SetModel(QAbstractItemModel* model);
  QAbstractItemModel* Model() const { return mModel; }
  void SetNameColumn(int column);
  int NameColumn() const { return mNameColumn; }
  void SetValueColumn(int column);
  int ValueColumn() const { return mValueColumn; }
  void SetColorColumn(int column);
  int ColorColumn() const { return mColorColumn; }
  // How many levels of a tree model are read (1: the top rows only, at
  // most kMostLevels): each row's children follow all of the level above,
  // top rows first, so a top row's slice is its row.
  void SetLevels(int levels);
  int Levels() const { return mLevels; }
  static constexpr int kMostLevels = 8;
  // Per slice: the slice it is a child of (-1: a top row) and its level.
  const std::vector<int>& Parents() const { return mParents; }
  const std::vector<int>& Depths() const { return mDepths; }
  // The model's index of a slice's row (its first cell); invalid without one.
  QModelIndex IndexOf(int slice) const;
  // The row whose children are the top slices (invalid: the model's top
  // rows); one the model removes, or a reset, goes back to the top.
  void SetRoot(const QModelIndex& root);
  QModelIndex Root() const { return mRoot; }
  // Whether a slice's row has rows under it in the model.
  bool HasChildren(int slice) const;
  // Where a rose chart's radius values are; -1: none, a plain chart.
  void SetRadiusColumn(int column);
  int RadiusColumn() const { return mRadiusColumn; }
  void SetOrientation(Qt::Orientation orientation);
  Qt::Orientation Orientation() const { return mOrientation; }
  void SetSlices(const QList<PieSlice>& slices);
  // Reads a model's rows by role names (name, value, colour: a QColor or a
  // colour's name, and a rose's radius, empty for none) instead of columns,
  // as QML models are read.
  void SetRoleNames(const QByteArray& name, const QByteArray& value, const QByteArray& colour,
                    const QByteArray& radius = {});
  // Who warns of bad values: "xamlpie::PieView" or the QML type's name.
  void SetOwnerName(const QString& name) { mOwner = name; }

  // The slices as read: a value that is no finite number of 0 or more is
  // read as NaN, as is the value of a slice whose radius is bad or missing
  // where radii are read; a slice without a colour has the palette's next.
  const std::vector<PieSlice>& Slices() const { return mSlices; }
  // Who each slice is: a model's row keeps its id through inserts, removes
  // and moves of other rows (a list's slice is its place); a slice without
  // a colour keeps its palette colour as long as its id.
  const std::vector<std::uint64_t>& Ids() const { return mIds; }
  // Each slice's place in the palette, which stays with its row.
  const std::vector<std::size_t>& Slots() const { return mSlots; }

 signals:
  // The slices were read again.
  void Changed();

 private:
  void Read();
  void Watch();
  // Forgets who the slices were: the next read numbers them afresh.
  void Forget();

  QPointer<QAbstractItemModel> mModel;
  std::vector<QMetaObject::Connection> mConnections;
  int mNameColumn = 0;
  int mValueColumn = 1;
  int mColorColumn = -1;
  int mRadiusColumn = -1;
  int mLevels = 1;
  QPersistentModelIndex mRoot;
  std::vector<int> mParents;
  std::vector<int> mDepths;
  Qt::Orientation mOrientation = Qt::Vertical;
  QList<PieSlice> mGiven;
  std::vector<PieSlice> mSlices;
  std::vector<std::uint64_t> mIds;
  std::vector<QPersistentModelIndex> mKeys;  // per slice of a model
  // The roots drilled down through, each with the colour its slice had.
  std::vector<std::pair<QPersistentModelIndex, QColor>> mPath;
  std::vector<std::size_t> mSlots;  // per slice: its palette colour
  std::uint64_t mNextId = 1;
  std::size_t mNextSlot = 0;
  std::vector<QByteArray> mRoleNames;  // none: by columns
  QSet<int> mWarned;                   // rows whose bad value was reported
  QString mOwner = QStringLiteral("xamlpie::PieView");
};

}  // namespace xamlpie::detail

#endif  // XAMLPIE_PIEDATA_H_
