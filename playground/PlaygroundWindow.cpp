#include "PlaygroundWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <iostream>
#include <numeric>
#include <optional>
#include <span>
#include <vector>

#include "xamlpie/MarkupLabel.h"
#include "xamlpie/PieView.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie {
namespace {

constexpr ColorValue kWindowText = 0x80000008u;  // follows the palette
constexpr ColorValue kWindow = 0x80000005u;

const char* const kLabelStyles[] = {"None", "Percent", "Name", "NameAndPercent"};
const char* const kSortOrders[] = {"None", "Descending", "Ascending"};

// A calm palette for new slices.
const QColor kColours[] = {QColor(0x4E, 0x79, 0xA7), QColor(0xF2, 0x8E, 0x2B),
                           QColor(0xE1, 0x57, 0x59), QColor(0x76, 0xB7, 0xB2),
                           QColor(0x59, 0xA1, 0x4F), QColor(0xED, 0xC9, 0x48)};

QSpinBox* Spin(int low, int high, int value) {
  auto* spin = new QSpinBox;
  spin->setRange(low, high);
  spin->setValue(value);
  return spin;
}

QDoubleSpinBox* Length(double minimum, double maximum) {
  auto* box = new QDoubleSpinBox;
  box->setRange(minimum, maximum);
  box->setDecimals(1);
  box->setSuffix(QObject::tr(" px"));
  return box;
}

ColorValue ButtonColour(const QPushButton* button) {
  return button->property("colorValue").toUInt();
}

void SetButtonColour(QPushButton* button, ColorValue colour) {
  button->setProperty("colorValue", colour);
  QPixmap swatch(16, 16);
  swatch.fill(OleColorToQColor(colour));
  button->setIcon(QIcon(swatch));
}

QString ColourText(ColorValue colour) {
  // A system colour is kept as such, so a saved chart still follows the theme.
  if ((colour & 0xFF000000u) == 0x80000000u) {
    return QStringLiteral("system:%1").arg(colour & 0xFFu);
  }
  return OleColorToQColor(colour).name().toUpper();
}

bool ParseColourText(const QString& text, ColorValue* colour) {
  if (text.startsWith(QLatin1String("system:"))) {
    bool ok = false;
    const int index = text.mid(7).toInt(&ok);
    if (!ok || index < 0 || index >= SystemColorCount) return false;
    *colour = 0x80000000u | static_cast<ColorValue>(index);
    return true;
  }
  const QColor parsed = QColor::fromString(text);
  if (!parsed.isValid()) return false;
  *colour = ToColorValue(parsed);
  return true;
}

// A number as typed: "1234567.89", not "1.23457e+06" as a table shows a
// double by default, and edited as text, so that nothing is rounded.
QString NumberText(double value) {
  return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

class ValueDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QString displayText(const QVariant& value, const QLocale& locale) const override {
    if (value.typeId() == QMetaType::Double) return NumberText(value.toDouble());
    return QStyledItemDelegate::displayText(value, locale);
  }
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                        const QModelIndex& /*index*/) const override {
    return new QLineEdit(parent);
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    const QVariant value = index.data(Qt::EditRole);
    static_cast<QLineEdit*>(editor)->setText(
        value.typeId() == QMetaType::Double ? NumberText(value.toDouble()) : value.toString());
  }
  // A number is kept as one; anything else as the text typed, to be marked.
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    const QString text = static_cast<QLineEdit*>(editor)->text().trimmed();
    bool ok = false;
    const double number = text.toDouble(&ok);
    model->setData(index, ok ? QVariant(number) : QVariant(text), Qt::EditRole);
  }
};

}  // namespace

PlaygroundWindow::PlaygroundWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(tr("xamlpie playground"));

  BuildTable();
  QHBoxLayout* rowButtons = BuildRowButtons();
  chkRawValues = new QCheckBox(tr("Values are raw numbers (drawn as their share of the total)"));
  QFormLayout* form = BuildOptions();
  QWidget* controls = BuildControls(rowButtons, form);
  QWidget* right = BuildPictures();
  // The controls scroll, so that the window fits a 1366 x 768 screen at 1.5
  // times the pixels (910 x 512 of its own).
  auto* scroll = new QScrollArea;
  scroll->setWidget(controls);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setMinimumWidth(controls->sizeHint().width() +
                          scroll->verticalScrollBar()->sizeHint().width() + 4);
  auto* split = new QSplitter;
  split->addWidget(scroll);
  split->addWidget(right);
  split->setStretchFactor(1, 1);
  setCentralWidget(split);

  BuildMenu();
  ConnectOptions();

  const char* names[] = {"Rent", "Food", "Transport", "Savings", "Leisure"};
  const double values[] = {38, 22, 15, 13, 12};
  mLoading = true;
  for (int i = 0; i < 5; ++i)
    AddRow(QString::fromLatin1(names[i]), values[i], kColours[i], 0);
  mLoading = false;
  resize(1000, 700);
  Refresh();
}

// The slices' table: a row a slice.
void PlaygroundWindow::BuildTable() {
  table = new QTableWidget(0, kColumns);
  table->setHorizontalHeaderLabels({tr("Name"), tr("Value"), tr("Colour"), tr("Explode"),
                                    tr("Ring"), tr("Radius"), tr("Parent")});
  table->horizontalHeaderItem(kRing)->setToolTip(
      tr("0: the outer ring; 1, 2...: rings inside it, each with a total of its own"));
  table->horizontalHeaderItem(kRadius)->setToolTip(
      tr("A rose chart: each slice reaches out by this value, the largest of its ring to the "
         "rim; empty: to the rim"));
  table->horizontalHeaderItem(kParent)->setToolTip(
      tr("A sunburst: the row (as numbered here) this slice belongs to, in the ring just inside "
         "its own; it is drawn within that row's angle"));
  table->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
  // Numbers take the width they need, so that names are not cut short.
  for (const int column : {kValue, kExplode, kRing, kRadius, kParent})
    table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setTabKeyNavigation(true);
  table->setMinimumHeight(200);  // in a scroll area: it does not make the window taller
  table->setItemDelegateForColumn(kValue, new ValueDelegate(table));
}

// Buttons that add, remove and move rows and pick a slice's colour.
QHBoxLayout* PlaygroundWindow::BuildRowButtons() {
  auto* add = new QPushButton(tr("&Add"));
  auto* remove = new QPushButton(tr("&Remove"));
  auto* up = new QPushButton(tr("&Up"));
  auto* down = new QPushButton(tr("&Down"));
  auto* colour = new QPushButton(tr("C&olour..."));
  auto* rowButtons = new QHBoxLayout;
  for (QPushButton* b : {add, remove, up, down, colour})
    rowButtons->addWidget(b);
  connect(add, &QPushButton::clicked, this, [this] {
    AddRow(tr("Slice %1").arg(table->rowCount() + 1), 10,
           kColours[table->rowCount() % static_cast<int>(std::size(kColours))], 0);
    Refresh();
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    if (table->currentRow() >= 0) table->removeRow(table->currentRow());
    Refresh();
  });
  connect(up, &QPushButton::clicked, this, [this] { MoveRow(-1); });
  connect(down, &QPushButton::clicked, this, [this] { MoveRow(1); });
  connect(colour, &QPushButton::clicked, this, &PlaygroundWindow::PickSliceColour);
  return rowButtons;
}

// A control for each of the chart's options, in a form.
QFormLayout* PlaygroundWindow::BuildOptions() {
  spnSize = Spin(10, 2000, 250);
  spnMarginLeft = Spin(-1000, 1000, 10);
  spnMarginTop = Spin(-1000, 1000, 10);
  spnHoleWidth = Spin(0, 1000, 0);
  spnStartAngle = Spin(-360, 360, 90);
  spnSweepAngle = Spin(1, 360, 360);
  spnSliceGap = Length(0, 40);
  spnCornerRadius = Length(0, 100);
  chkShaded = new QCheckBox(tr("Shaded slices"));
  chkShaded->setToolTip(tr("Each slice lighter towards the centre: a radial gradient"));
  chkRoseByLength = new QCheckBox(tr("Radius by length"));
  chkRoseByLength->setToolTip(
      tr("A rose's slices reach out in proportion to their Radius; unticked, their areas are"));
  spnRingWidth = Spin(1, 1000, 30);
  chkClockwise = new QCheckBox(tr("Clockwise"));
  chkClockwise->setChecked(true);
  cboLabels = new QComboBox;
  for (const char* style : kLabelStyles)
    cboLabels->addItem(QString::fromLatin1(style));
  cboLabels->setCurrentIndex(1);
  chkLabelsOutside = new QCheckBox(tr("Labels outside"));
  spnMinLabelAngle = Spin(0, 360, 10);
  chkLegend = new QCheckBox(tr("Legend"));
  chkLegend->setChecked(true);
  txtCentre = new QLineEdit;
  spnGroupBelow = Spin(0, 100, 0);
  txtGroupLabel = new QLineEdit(tr("Other"));
  spnFontSize = Spin(1, cXAMLPieChart::kMaxFontSize, 12);
  cboSort = new QComboBox;
  for (const char* order : kSortOrders)
    cboSort->addItem(QString::fromLatin1(order));
  txtEmpty = new QLineEdit;
  txtLabelFormat = new QLineEdit;
  txtLabelFormat->setPlaceholderText(tr("e.g. {name}: {value} ({percent} %)"));
  txtLegendFormat = new QLineEdit;
  txtLegendFormat->setPlaceholderText(tr("e.g. {name} {percent} %"));
  spnPercentDecimals = Spin(0, 6, 0);
  spnValueDecimals = Spin(0, 6, 0);
  txtDecimalSeparator = new QLineEdit(QStringLiteral("."));
  txtGroupSeparator = new QLineEdit;
  btnOutline = new QPushButton(tr("Outline"));
  btnText = new QPushButton(tr("Text"));
  btnHole = new QPushButton(tr("Hole"));
  btnGroup = new QPushButton(tr("Other"));
  SetButtonColour(btnOutline, kWindowText);
  SetButtonColour(btnText, kWindowText);
  SetButtonColour(btnHole, kWindow);
  SetButtonColour(btnGroup, ToColorValue(QColor(0x9C, 0x9C, 0x9C)));

  auto* form = new QFormLayout;
  form->addRow(tr("&Size"), spnSize);
  form->addRow(tr("Margin &left"), spnMarginLeft);
  form->addRow(tr("Margin &top"), spnMarginTop);
  form->addRow(tr("&Hole width"), spnHoleWidth);
  form->addRow(tr("Start &angle"), spnStartAngle);
  form->addRow(tr("S&weep angle"), spnSweepAngle);
  form->addRow(QString(), chkClockwise);
  form->addRow(tr("Slice ga&p"), spnSliceGap);
  form->addRow(tr("Corner ra&dius"), spnCornerRadius);
  form->addRow(QString(), chkShaded);
  form->addRow(QString(), chkRoseByLength);
  form->addRow(tr("&Inner ring width"), spnRingWidth);
  form->addRow(tr("La&bels"), cboLabels);
  form->addRow(QString(), chkLabelsOutside);
  form->addRow(tr("&Min. label angle"), spnMinLabelAngle);
  form->addRow(QString(), chkLegend);
  form->addRow(tr("&Centre text"), txtCentre);
  form->addRow(tr("&Group below %"), spnGroupBelow);
  form->addRow(tr("Group &name"), txtGroupLabel);
  form->addRow(tr("&Font size"), spnFontSize);
  form->addRow(tr("So&rt"), cboSort);
  form->addRow(tr("&Empty text"), txtEmpty);
  form->addRow(tr("Label &format"), txtLabelFormat);
  form->addRow(tr("Le&gend format"), txtLegendFormat);
  form->addRow(tr("Percent decimals"), spnPercentDecimals);
  form->addRow(tr("Value decimals"), spnValueDecimals);
  form->addRow(tr("Decimal point"), txtDecimalSeparator);
  form->addRow(tr("Thousands separator"), txtGroupSeparator);
  auto* colours = new QHBoxLayout;
  for (QPushButton* b : {btnOutline, btnText, btnHole, btnGroup})
    colours->addWidget(b);
  form->addRow(tr("Colours"), colours);
  return form;
}

// The left side: the table, its buttons and total, and the options.
QWidget* PlaygroundWindow::BuildControls(QHBoxLayout* rowButtons, QFormLayout* form) {
  auto* controls = new QWidget;
  auto* left = new QVBoxLayout(controls);
  left->addWidget(table, 1);
  // The shares' total, and a way to 100 when it is off: slices past 100 %
  // would wrap round the pie.
  lblTotal = new QLabel;
  btnScale = new QPushButton(tr("Scale to &100"));
  btnScale->setToolTip(tr("Turn the values into whole percents that add up to 100"));
  auto* totalRow = new QHBoxLayout;
  totalRow->addWidget(lblTotal, 1);
  totalRow->addWidget(btnScale);
  lblProblem = new QLabel;
  lblProblem->setWordWrap(true);
  lblProblem->setStyleSheet(QStringLiteral("color: #B00020"));
  lblProblem->hide();

  left->addLayout(rowButtons);
  left->addLayout(totalRow);
  left->addWidget(lblProblem);
  left->addWidget(chkRawValues);
  left->addLayout(form);
  return controls;
}

// The right side: the chart as a view and as markup, over its markup's text.
QWidget* PlaygroundWindow::BuildPictures() {
  lblChart = new MarkupLabel;
  lblChart->setStretch(Stretch::Uniform);
  lblChart->setBackColor(kWindow);
  lblChart->setForeColor(kWindowText);
  lblChart->setHoverHighlight(true);
  lblChart->setMinimumSize(200, 200);
  txtMarkup = new QPlainTextEdit;
  txtMarkup->setReadOnly(true);
  txtMarkup->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtMarkup->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  btnCopy = new QPushButton(tr("Co&py markup"));
  QPushButton* copy = btnCopy;
  auto* markupPane = new QWidget;
  auto* markupLayout = new QVBoxLayout(markupPane);
  markupLayout->setContentsMargins(0, 0, 0, 0);
  markupLayout->addWidget(txtMarkup);
  markupLayout->addWidget(copy);
  // The chart as a PieView on the table's own model and selection: edits
  // and selections show in both; its markup, exact and copied, beside it.
  pieView = new PieView;
  pieView->setNameColumn(kName);
  pieView->setValueColumn(kValue);
  pieView->setColorColumn(kColour);
  pieView->setRadiusColumn(kRadius);
  pieView->setModel(table->model());
  pieView->setSelectionModel(table->selectionModel());
  // What the view leaves out of the table, said where it shows.
  lblViewOmits = new QLabel;
  lblViewOmits->setWordWrap(true);
  lblViewOmits->hide();
  QWidget* viewPane = BuildViewPane();
  tabPictures = new QTabWidget;
  tabPictures->addTab(viewPane, tr("&View (PieView)"));
  tabPictures->addTab(lblChart, tr("&Markup (MarkupLabel)"));
  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(tabPictures);
  right->addWidget(markupPane);
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 1);
  // The caption, not the text box, which turns CR LF into LF.
  connect(copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(lblChart->Caption()); });
  return right;
}

// The view's own options above it, and what it leaves out of the table.
QWidget* PlaygroundWindow::BuildViewPane() {
  // What only a view does: where its legend goes, hatches, a right-to-left
  // desktop, a slice moved out under the pointer.
  auto* legendPosition = new QComboBox;
  legendPosition->addItems({tr("Legend: auto"), tr("Legend: right"), tr("Legend: bottom"),
                            tr("Legend: left"), tr("Legend: top"), tr("No legend")});
  legendPosition->setToolTip(tr("Where the view's legend goes"));
  connect(legendPosition, &QComboBox::currentIndexChanged, this, [this](int index) {
    pieView->setLegendPosition(static_cast<PieView::LegendPosition>(index));
  });
  auto* patterns = new QCheckBox(tr("Patterns"));
  patterns->setToolTip(tr("A hatch over each slice and its legend swatch"));
  connect(patterns, &QCheckBox::toggled, pieView, &PieView::setPatterns);
  auto* rightToLeft = new QCheckBox(tr("Right to left"));
  rightToLeft->setToolTip(tr("The view as a right-to-left desktop shows it"));
  connect(rightToLeft, &QCheckBox::toggled, this,
          [this](bool on) { pieView->setLayoutDirection(on ? Qt::RightToLeft : Qt::LeftToRight); });
  auto* grow = new QCheckBox(tr("Grow on hover"));
  grow->setToolTip(tr("The slice under the pointer moves out 8 pixels"));
  connect(grow, &QCheckBox::toggled, this,
          [this](bool on) { pieView->setHoverExpand(on ? 8 : 0); });
  // Two rows, so that the window still fits a laptop's screen.
  auto* viewOptions = new QGridLayout;
  viewOptions->addWidget(legendPosition, 0, 0);
  viewOptions->addWidget(patterns, 0, 1);
  viewOptions->addWidget(rightToLeft, 1, 0);
  viewOptions->addWidget(grow, 1, 1);
  viewOptions->setColumnStretch(2, 1);
  auto* viewPane = new QWidget;
  auto* viewLayout = new QVBoxLayout(viewPane);
  viewLayout->setContentsMargins(0, 0, 0, 0);
  viewLayout->addLayout(viewOptions);
  viewLayout->addWidget(lblViewOmits);
  viewLayout->addWidget(pieView, 1);
  return viewPane;
}

void PlaygroundWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("&Open..."), QKeySequence::Open, this, &PlaygroundWindow::OpenFile);
  file->addAction(tr("&Save..."), QKeySequence::Save, this, &PlaygroundWindow::SaveFile);
  file->addSeparator();
  file->addAction(tr("Export &PNG..."), this, [this] { Export(QStringLiteral("png")); });
  file->addAction(tr("Export S&VG..."), this, [this] { Export(QStringLiteral("svg")); });
  file->addAction(tr("Export P&DF..."), this, [this] { Export(QStringLiteral("pdf")); });
  file->addAction(tr("Export &XAML..."), this, [this] { Export(QStringLiteral("xaml")); });
  file->addSeparator();
  file->addAction(tr("&Print..."), QKeySequence::Print, this, &PlaygroundWindow::PrintPreview);
  file->addSeparator();
  file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
}

// Every option's control redraws the chart.
void PlaygroundWindow::ConnectOptions() {
  connect(table, &QTableWidget::itemChanged, this, &PlaygroundWindow::Refresh);
  connect(btnScale, &QPushButton::clicked, this, &PlaygroundWindow::ScaleTo100);
  connect(table, &QTableWidget::cellDoubleClicked, this, [this](int, int column) {
    if (column == kColour) PickSliceColour();
  });
  for (QSpinBox* spin : {spnSize, spnMarginLeft, spnMarginTop, spnHoleWidth, spnStartAngle,
                         spnSweepAngle, spnMinLabelAngle, spnGroupBelow, spnFontSize,
                         spnPercentDecimals, spnValueDecimals, spnRingWidth}) {
    connect(spin, &QSpinBox::valueChanged, this, &PlaygroundWindow::Refresh);
  }
  for (QDoubleSpinBox* spin : {spnSliceGap, spnCornerRadius})
    connect(spin, &QDoubleSpinBox::valueChanged, this, &PlaygroundWindow::Refresh);
  for (QCheckBox* check :
       {chkRawValues, chkClockwise, chkLabelsOutside, chkLegend, chkShaded, chkRoseByLength}) {
    connect(check, &QCheckBox::toggled, this, &PlaygroundWindow::Refresh);
  }
  connect(cboLabels, &QComboBox::currentIndexChanged, this, &PlaygroundWindow::Refresh);
  connect(cboSort, &QComboBox::currentIndexChanged, this, &PlaygroundWindow::Refresh);
  for (QLineEdit* edit : {txtCentre, txtGroupLabel, txtEmpty, txtLabelFormat, txtLegendFormat,
                          txtDecimalSeparator, txtGroupSeparator}) {
    connect(edit, &QLineEdit::textChanged, this, &PlaygroundWindow::Refresh);
  }
  for (QPushButton* button : {btnOutline, btnText, btnHole, btnGroup}) {
    connect(button, &QPushButton::clicked, this, [this, button] {
      const QColor picked = QColorDialog::getColor(OleColorToQColor(ButtonColour(button)), this);
      if (!picked.isValid()) return;
      SetButtonColour(button, ToColorValue(picked));
      Refresh();
    });
  }
  // A slice's tag is its place in its ring: "2", or "1.2" in ring 1.
  connect(lblChart, &MarkupLabel::ShapeClicked, this, [this](const QString& tag) {
    const QStringList parts = tag.split(u'.');
    bool ok = parts.size() <= 2;
    const int ring = parts.size() == 2 ? parts.front().toInt(&ok) : 0;
    int index = ok ? parts.back().toInt(&ok) : -1;
    for (int row = 0; ok && row < table->rowCount(); ++row) {
      if (std::max(table->item(row, kRing)->text().toInt(), 0) == ring && index-- == 0) {
        table->selectRow(row);
        return;
      }
    }
  });
}

void PlaygroundWindow::AddRow(const QString& name, double value, const QColor& colour, int explode,
                              int ring, std::optional<double> radius, int parent) {
  const bool loading = mLoading;
  mLoading = true;
  const int row = table->rowCount();
  table->insertRow(row);
  table->setItem(row, kName, new QTableWidgetItem(name));
  auto* number = new QTableWidgetItem;
  number->setData(Qt::EditRole, value);
  table->setItem(row, kValue, number);
  auto* swatch = new QTableWidgetItem(colour.name().toUpper());
  swatch->setData(Qt::DecorationRole, colour);
  table->setItem(row, kColour, swatch);
  auto* offset = new QTableWidgetItem;
  offset->setData(Qt::EditRole, explode);
  table->setItem(row, kExplode, offset);
  auto* inRing = new QTableWidgetItem;
  inRing->setData(Qt::EditRole, ring);
  table->setItem(row, kRing, inRing);
  auto* reach = new QTableWidgetItem;
  if (radius) reach->setData(Qt::EditRole, *radius);
  table->setItem(row, kRadius, reach);
  auto* owner = new QTableWidgetItem;
  if (parent > 0) owner->setData(Qt::EditRole, parent);
  table->setItem(row, kParent, owner);
  mLoading = loading;
}

void PlaygroundWindow::MoveRow(int by) {
  const int row = table->currentRow();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= table->rowCount()) return;
  mLoading = true;
  for (int column = 0; column < kColumns; ++column) {
    QTableWidgetItem* a = table->takeItem(row, column);
    QTableWidgetItem* b = table->takeItem(to, column);
    table->setItem(row, column, b);
    table->setItem(to, column, a);
  }
  mLoading = false;
  table->setCurrentCell(to, table->currentColumn());
  Refresh();
}

void PlaygroundWindow::PickSliceColour() {
  const int row = table->currentRow();
  if (row < 0) return;
  QTableWidgetItem* item = table->item(row, kColour);
  const QColor picked = QColorDialog::getColor(QColor::fromString(item->text()), this);
  if (picked.isValid()) item->setText(picked.name().toUpper());
}

void PlaygroundWindow::ApplyOptions(cXAMLPieChart& chart) const {
  chart.Size(spnSize->value());
  chart.MarginLeft(spnMarginLeft->value());
  chart.MarginTop(spnMarginTop->value());
  chart.DoughnutWidth(spnHoleWidth->value());
  chart.StartAngle(spnStartAngle->value());
  chart.SweepAngle(spnSweepAngle->value());
  chart.Clockwise(chkClockwise->isChecked());
  chart.SliceLabels(static_cast<LabelStyle>(cboLabels->currentIndex()));
  chart.LabelsOutside(chkLabelsOutside->isChecked());
  chart.MinLabelAngle(spnMinLabelAngle->value());
  chart.Legend(chkLegend->isChecked());
  chart.CenterText(txtCentre->text().toStdString());
  chart.FontSize(spnFontSize->value());
  chart.SortSlices(static_cast<SortOrder>(cboSort->currentIndex()));
  chart.EmptyText(txtEmpty->text().toStdString());
  chart.LabelFormat(txtLabelFormat->text().toStdString());
  chart.LegendFormat(txtLegendFormat->text().toStdString());
  chart.PercentDecimals(spnPercentDecimals->value());
  chart.ValueDecimals(spnValueDecimals->value());
  chart.DecimalSeparator(txtDecimalSeparator->text().toStdString());
  chart.GroupSeparator(txtGroupSeparator->text().toStdString());
  chart.OutlineColor(ButtonColour(btnOutline));
  chart.TextColor(ButtonColour(btnText));
  chart.BackgroundColor(ButtonColour(btnHole));
  chart.GroupBelow(spnGroupBelow->value(), ButtonColour(btnGroup),
                   txtGroupLabel->text().toStdString());
  chart.SliceGap(spnSliceGap->value());
  chart.CornerRadius(spnCornerRadius->value());
  chart.Shading(chkShaded->isChecked() ? SliceShading::Radial : SliceShading::Flat);
  chart.RadiusScaling(chkRoseByLength->isChecked() ? RadiusScale::Linear : RadiusScale::Area);
}

namespace {

// A radius cell: empty is none; what is no number of 0 or more is named.
std::optional<double> RadiusIn(const QTableWidgetItem* cell, QString* problem) {
  const QString text = cell != nullptr ? cell->text().trimmed() : QString();
  if (text.isEmpty()) return std::nullopt;
  bool ok = false;
  const double radius = text.toDouble(&ok);
  if (ok && std::isfinite(radius) && radius >= 0) return radius;
  *problem = QObject::tr("Not a number of 0 or more: the slice is left out of the view");
  return std::nullopt;
}

// A parent cell: empty is none (0); what is no row of the table is named.
int ParentIn(const QTableWidgetItem* cell, int rows, QString* problem) {
  const QString text = cell != nullptr ? cell->text().trimmed() : QString();
  if (text.isEmpty()) return 0;
  bool ok = false;
  const int row = text.toInt(&ok);
  if (ok && row >= 1 && row <= rows) return row;
  *problem = QObject::tr("No row of the table");
  return 0;
}

}  // namespace

std::string PlaygroundWindow::BuildMarkup(QString* problem) const {
  const int rows = table->rowCount();
  std::vector<double> values;
  std::vector<std::int32_t> shares;
  QStringList bad;  // cells that cannot be read: named, and drawn as 0 or their last colour
  for (int row = 0; row < rows; ++row) {
    bool ok = false;
    double value = table->item(row, kValue)->text().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
      bad.append(tr("row %1: the value \"%2\" is not a number")
                     .arg(row + 1)
                     .arg(table->item(row, kValue)->text()));
      value = 0;
    } else if (value < 0) {
      bad.append(tr("row %1: the value %2 is negative").arg(row + 1).arg(NumberText(value)));
      value = 0;
    }
    values.push_back(value);
    shares.push_back(static_cast<std::int32_t>(std::lround(std::clamp(value, -1e6, 1e6))));
  }
  try {
    // Raw values are drawn as values: exact angles, not rounded shares.
    const bool raw = chkRawValues->isChecked();
    cXAMLPieChart chart;
    ApplyOptions(chart);
    // Ring by ring, the outer first; within a ring in the table's order.
    std::vector<int> order(static_cast<std::size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    const auto ringOf = [this](int row) {
      return std::max(table->item(row, kRing)->text().toInt(), 0);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return ringOf(a) < ringOf(b); });
    int ring = 0;
    for (int added = 0; added < rows; ++added) {
      const int row = order[static_cast<std::size_t>(added)];
      for (; ring < ringOf(row); ++ring)
        chart.AddRing(spnRingWidth->value());
      QColor colour = QColor::fromString(table->item(row, kColour)->text());
      if (!colour.isValid()) {
        bad.append(tr("row %1: \"%2\" is not a colour")
                       .arg(row + 1)
                       .arg(table->item(row, kColour)->text()));
        colour = table->item(row, kColour)->data(Qt::DecorationRole).value<QColor>();
      }
      if (raw) {
        chart.AddValue(std::max(values[static_cast<std::size_t>(row)], 0.0), ToColorValue(colour),
                       table->item(row, kName)->text().toStdString());
      } else {
        chart.AddDataItem(shares[static_cast<std::size_t>(row)], ToColorValue(colour),
                          table->item(row, kName)->text().toStdString());
      }
      chart.Explode(added, table->item(row, kExplode)->text().toInt());
      QString radiusProblem;
      if (const auto radius = RadiusIn(table->item(row, kRadius), &radiusProblem)) {
        chart.RadiusValue(added, *radius);
      } else if (!radiusProblem.isEmpty()) {
        bad.append(tr("row %1: the radius \"%2\" is not a number of 0 or more")
                       .arg(row + 1)
                       .arg(table->item(row, kRadius)->text()));
      }
    }
    // Parents once every row is added: a parent may come later in the table.
    std::vector<int> addedOf(static_cast<std::size_t>(rows));
    for (int added = 0; added < rows; ++added)
      addedOf[static_cast<std::size_t>(order[static_cast<std::size_t>(added)])] = added;
    for (int row = 0; row < rows; ++row) {
      QString parentProblem;
      const int parent = ParentIn(table->item(row, kParent), rows, &parentProblem);
      if (!parentProblem.isEmpty()) {
        bad.append(tr("row %1: the parent \"%2\" is no row")
                       .arg(row + 1)
                       .arg(table->item(row, kParent)->text()));
      }
      if (parent == 0) continue;
      try {
        chart.Parent(addedOf[static_cast<std::size_t>(row)],
                     addedOf[static_cast<std::size_t>(parent - 1)]);
      } catch (const std::invalid_argument&) {
        bad.append(tr("row %1: its parent, row %2, is not in the ring just inside its own")
                       .arg(row + 1)
                       .arg(parent));
      }
    }
    *problem = bad.join(QStringLiteral("; "));
    return chart.XAML();
  } catch (const std::exception& e) {
    *problem = QString::fromLocal8Bit(e.what());
    return {};
  }
}

void PlaygroundWindow::UpdateTotal() {
  double total = 0;
  for (int row = 0; row < table->rowCount(); ++row)
    total += table->item(row, kValue)->text().toDouble();
  const bool off = !chkRawValues->isChecked() && table->rowCount() > 0 && total != 100;
  // Twelve digits: a sum of decimals shows as typed, not as 0.30000000000000004.
  const QString sum = QString::number(total, 'g', 12);
  lblTotal->setText(off ? tr("Total: %1 % - not 100 %: slices will overlap or leave a gap").arg(sum)
                        : tr("Total: %1").arg(sum));
  lblTotal->setStyleSheet(off ? QStringLiteral("color: #B00020") : QString());
  btnScale->setEnabled(off);
}

void PlaygroundWindow::ScaleTo100() {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(table->rowCount()));
  for (int row = 0; row < table->rowCount(); ++row)
    values.push_back(std::max(0.0, table->item(row, kValue)->text().toDouble()));
  std::vector<std::int32_t> shares;
  try {
    shares = SharesFromValues(values);
  } catch (const std::invalid_argument& e) {
    ReportError(QString::fromLocal8Bit(e.what()));
    return;
  }
  mLoading = true;
  for (int row = 0; row < table->rowCount(); ++row) {
    table->item(row, kValue)->setText(QString::number(shares[static_cast<std::size_t>(row)]));
  }
  mLoading = false;
  Refresh();
}

void PlaygroundWindow::Refresh() {
  if (mLoading) return;
  for (int row = 0; row < table->rowCount(); ++row) {
    QTableWidgetItem* swatch = table->item(row, kColour);
    const QColor colour = QColor::fromString(swatch->text());
    if (colour.isValid() && swatch->data(Qt::DecorationRole).value<QColor>() != colour) {
      mLoading = true;
      swatch->setData(Qt::DecorationRole, colour);
      mLoading = false;
    }
  }
  // A cell that cannot be read is marked and named until it is mended; the
  // chart follows every other edit meanwhile.
  mLoading = true;
  for (int row = 0; row < table->rowCount(); ++row) {
    bool number = false;
    const double value = table->item(row, kValue)->text().toDouble(&number);
    const bool colour = QColor::fromString(table->item(row, kColour)->text()).isValid();
    const bool finite = number && std::isfinite(value);
    const QString valueProblem = !finite     ? tr("Not a number")
                                 : value < 0 ? tr("Negative: drawn as 0")
                                             : QString();
    QString radiusProblem;
    (void)RadiusIn(table->item(row, kRadius), &radiusProblem);
    QString parentProblem;
    (void)ParentIn(table->item(row, kParent), table->rowCount(), &parentProblem);
    for (const auto& [column, why] :
         {std::pair{kValue, valueProblem},
          std::pair{kColour, colour ? QString() : tr("Not a colour")},
          std::pair{kRadius, radiusProblem}, std::pair{kParent, parentProblem}}) {
      QTableWidgetItem* item = table->item(row, column);
      item->setData(Qt::BackgroundRole,
                    why.isEmpty() ? QVariant() : QVariant(QColor(0xFF, 0xC8, 0xC8)));
      item->setToolTip(why);
    }
  }
  mLoading = false;
  QString problem;
  const std::string markup = BuildMarkup(&problem);
  lblProblem->setText(problem);
  lblProblem->setVisible(!problem.isEmpty());
  UpdateTotal();
  if (markup.empty()) return;  // the last good chart stays
  const QString text = QString::fromLatin1(markup.data(), static_cast<qsizetype>(markup.size()));
  lblChart->setCaption(text);
  txtMarkup->setPlainText(text);
  ApplyOptions(pieView->chart());
  pieView->update();
  QStringList omitted;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (table->item(row, kExplode)->text().toInt() != 0 && !omitted.contains(tr("Explode"))) {
      omitted.append(tr("Explode"));
    }
    if (table->item(row, kRing)->text().toInt() > 0 && !omitted.contains(tr("Ring"))) {
      omitted.append(tr("Ring"));
    }
    if (!table->item(row, kParent)->text().trimmed().isEmpty() && !omitted.contains(tr("Parent"))) {
      omitted.append(tr("Parent"));
    }
  }
  if (spnGroupBelow->value() > 0) omitted.append(tr("Group below"));
  lblViewOmits->setText(
      tr("This view draws every row as a slice of one ring and leaves out %1; the Markup tab "
         "shows them. (Select a row to pull its slice out here.)")
          .arg(omitted.join(QStringLiteral(", "))));
  lblViewOmits->setVisible(!omitted.isEmpty());
}

QJsonObject PlaygroundWindow::ToJson() const {
  QJsonArray slices;
  for (int row = 0; row < table->rowCount(); ++row) {
    QJsonObject slice{{"name", table->item(row, kName)->text()},
                      {"value", table->item(row, kValue)->text().toDouble()},
                      {"color", table->item(row, kColour)->text()},
                      {"explode", table->item(row, kExplode)->text().toInt()},
                      {"ring", table->item(row, kRing)->text().toInt()}};
    QString ignored;
    if (const auto radius = RadiusIn(table->item(row, kRadius), &ignored)) {
      slice.insert(QLatin1String("radius"), *radius);
    }
    if (const int parent = ParentIn(table->item(row, kParent), table->rowCount(), &ignored)) {
      slice.insert(QLatin1String("parent"), parent);
    }
    slices.append(slice);
  }
  return QJsonObject{
      {"slices", slices},
      {"rawValues", chkRawValues->isChecked()},
      {"size", spnSize->value()},
      {"marginLeft", spnMarginLeft->value()},
      {"marginTop", spnMarginTop->value()},
      {"doughnutWidth", spnHoleWidth->value()},
      {"startAngle", spnStartAngle->value()},
      {"sweepAngle", spnSweepAngle->value()},
      {"sliceGap", spnSliceGap->value()},
      {"cornerRadius", spnCornerRadius->value()},
      {"shaded", chkShaded->isChecked()},
      {"radiusByLength", chkRoseByLength->isChecked()},
      {"ringWidth", spnRingWidth->value()},
      {"clockwise", chkClockwise->isChecked()},
      {"labels", cboLabels->currentText()},
      {"labelsOutside", chkLabelsOutside->isChecked()},
      {"minLabelAngle", spnMinLabelAngle->value()},
      {"legend", chkLegend->isChecked()},
      {"centerText", txtCentre->text()},
      {"groupBelow", spnGroupBelow->value()},
      {"groupLabel", txtGroupLabel->text()},
      {"fontSize", spnFontSize->value()},
      {"sort", cboSort->currentText()},
      {"emptyText", txtEmpty->text()},
      {"labelFormat", txtLabelFormat->text()},
      {"legendFormat", txtLegendFormat->text()},
      {"percentDecimals", spnPercentDecimals->value()},
      {"valueDecimals", spnValueDecimals->value()},
      {"decimalSeparator", txtDecimalSeparator->text()},
      {"groupSeparator", txtGroupSeparator->text()},
      {"outlineColor", ColourText(ButtonColour(btnOutline))},
      {"textColor", ColourText(ButtonColour(btnText))},
      {"holeColor", ColourText(ButtonColour(btnHole))},
      {"groupColor", ColourText(ButtonColour(btnGroup))},
  };
}

namespace {

// The keys a chart file may have (in xamlpie-chart.schema.json too); any
// other is named, with the known one it differs from only in case.
const char* const kChartKeys[] = {
    "slices",        "rawValues",        "size",           "marginLeft",    "marginTop",
    "doughnutWidth", "startAngle",       "clockwise",      "labels",        "labelsOutside",
    "minLabelAngle", "legend",           "centerText",     "groupBelow",    "groupLabel",
    "fontSize",      "outlineColor",     "textColor",      "holeColor",     "groupColor",
    "sort",          "emptyText",        "labelFormat",    "legendFormat",  "percentDecimals",
    "valueDecimals", "decimalSeparator", "groupSeparator", "sweepAngle",    "sliceGap",
    "cornerRadius",  "ringWidth",        "shaded",         "radiusByLength"};
const char* const kSliceKeys[] = {"name", "value", "color", "explode", "ring", "radius", "parent"};

template <std::size_t N>
QString UnknownKey(const QJsonObject& object, const char* const (&known)[N]) {
  for (const QString& key : object.keys()) {
    const auto same = [&](const char* k) { return key == QLatin1String(k); };
    if (std::any_of(std::begin(known), std::end(known), same)) continue;
    const auto* like = std::find_if(std::begin(known), std::end(known), [&](const char* k) {
      return key.compare(QLatin1String(k), Qt::CaseInsensitive) == 0;
    });
    return like != std::end(known)
               ? QObject::tr(R"(unknown key "%1" (keys are case-sensitive: "%2"))")
                     .arg(key, QLatin1String(*like))
               : QObject::tr(R"(unknown key "%1")").arg(key);
  }
  return {};
}

// A slice as a chart file gives it.
struct SliceRow {
  QString name;
  double value;
  QColor colour;
  int explode;
  int ring;
  std::optional<double> radius;
  int parent;
};

// The slices of a chart file, each checked; false with the first fault
// named in `problem`.
bool ReadSlices(const QJsonObject& json, std::vector<SliceRow>* rows, QString* problem) {
  const QJsonValue slices = json.value(QLatin1String("slices"));
  if (!slices.isArray()) {
    *problem = PlaygroundWindow::tr("\"slices\" is missing or not a list");
    return false;
  }
  const QJsonArray entries = slices.toArray();
  for (const auto& entry : entries) {
    const QString where = PlaygroundWindow::tr("slice %1").arg(rows->size() + 1);
    if (!entry.isObject()) {
      *problem = PlaygroundWindow::tr("%1 is not an object").arg(where);
      return false;
    }
    const QJsonObject slice = entry.toObject();
    if (const QString unknown = UnknownKey(slice, kSliceKeys); !unknown.isEmpty()) {
      *problem = PlaygroundWindow::tr("%1: %2").arg(where, unknown);
      return false;
    }
    if (!slice.value(QLatin1String("value")).isDouble()) {
      *problem = PlaygroundWindow::tr("%1: \"value\" is missing or not a number").arg(where);
      return false;
    }
    const QColor colour = QColor::fromString(slice.value(QLatin1String("color")).toString());
    if (!colour.isValid()) {
      *problem = PlaygroundWindow::tr(R"(%1: "color" is missing or not a colour such as "#4E79A7")")
                     .arg(where);
      return false;
    }
    const QJsonValue radius = slice.value(QLatin1String("radius"));
    if (!radius.isUndefined() && !(radius.isDouble() && radius.toDouble() >= 0)) {
      *problem = PlaygroundWindow::tr("%1: \"radius\" is not a number of 0 or more").arg(where);
      return false;
    }
    const QJsonValue parent = slice.value(QLatin1String("parent"));
    if (!parent.isUndefined() &&
        !(parent.isDouble() && parent.toDouble() == std::floor(parent.toDouble()) &&
          parent.toDouble() >= 1 && parent.toDouble() <= static_cast<double>(entries.size()))) {
      *problem = PlaygroundWindow::tr("%1: \"parent\" is no slice's number (1 to %2)")
                     .arg(where)
                     .arg(entries.size());
      return false;
    }
    rows->push_back({slice.value(QLatin1String("name")).toString(),
                     slice.value(QLatin1String("value")).toDouble(), colour,
                     slice.value(QLatin1String("explode")).toInt(),
                     std::max(slice.value(QLatin1String("ring")).toInt(), 0),
                     radius.isDouble() ? std::optional(radius.toDouble()) : std::nullopt,
                     parent.toInt()});
  }
  return true;
}

// A control and the key a chart file names it by.
template <typename Box>
struct Keyed {
  const char* key;
  Box* box;
};

// Whether each number a chart file gives is one its control holds as it
// is: a whole number for a spin box, within its range.
bool CheckNumbers(const QJsonObject& json, std::span<const Keyed<QSpinBox>> spins,
                  std::span<const Keyed<QDoubleSpinBox>> lengths, QString* problem) {
  std::vector<const char*> numbers;
  for (const Keyed<QSpinBox>& s : spins)
    numbers.push_back(s.key);
  for (const Keyed<QDoubleSpinBox>& l : lengths)
    numbers.push_back(l.key);
  for (const char* key : numbers) {
    const QJsonValue v = json.value(QLatin1String(key));
    if (!v.isUndefined() && !v.isDouble()) {
      *problem = PlaygroundWindow::tr("\"%1\" is not a number").arg(QLatin1String(key));
      return false;
    }
  }
  // A value the control cannot hold would be clamped without a word.
  for (const Keyed<QSpinBox>& s : spins) {
    const QJsonValue v = json.value(QLatin1String(s.key));
    if (!v.isDouble()) continue;
    const double d = v.toDouble();
    if (d != std::floor(d)) {
      *problem = PlaygroundWindow::tr("\"%1\" is %2, not a whole number")
                     .arg(QLatin1String(s.key), NumberText(d));
      return false;
    }
    if (d < s.box->minimum() || d > s.box->maximum()) {
      *problem = PlaygroundWindow::tr("\"%1\" is %2, outside %3 to %4")
                     .arg(QLatin1String(s.key), NumberText(d))
                     .arg(s.box->minimum())
                     .arg(s.box->maximum());
      return false;
    }
  }
  for (const Keyed<QDoubleSpinBox>& l : lengths) {
    const QJsonValue v = json.value(QLatin1String(l.key));
    if (v.isDouble() && (v.toDouble() < l.box->minimum() || v.toDouble() > l.box->maximum())) {
      *problem = PlaygroundWindow::tr("\"%1\" is %2, outside %3 to %4")
                     .arg(QLatin1String(l.key), NumberText(v.toDouble()))
                     .arg(l.box->minimum())
                     .arg(l.box->maximum());
      return false;
    }
  }
  return true;
}

}  // namespace

bool PlaygroundWindow::FromJson(const QJsonObject& json, QString* problem) {
  // Everything is checked before anything changes.
  if (const QString unknown = UnknownKey(json, kChartKeys); !unknown.isEmpty()) {
    *problem = unknown;
    return false;
  }
  std::vector<SliceRow> rows;
  if (!ReadSlices(json, &rows, problem)) return false;
  const Keyed<QSpinBox> spins[] = {{"size", spnSize},
                                   {"marginLeft", spnMarginLeft},
                                   {"marginTop", spnMarginTop},
                                   {"doughnutWidth", spnHoleWidth},
                                   {"startAngle", spnStartAngle},
                                   {"sweepAngle", spnSweepAngle},
                                   {"minLabelAngle", spnMinLabelAngle},
                                   {"groupBelow", spnGroupBelow},
                                   {"fontSize", spnFontSize},
                                   {"percentDecimals", spnPercentDecimals},
                                   {"valueDecimals", spnValueDecimals},
                                   {"ringWidth", spnRingWidth}};
  const Keyed<QDoubleSpinBox> lengths[] = {{"sliceGap", spnSliceGap},
                                           {"cornerRadius", spnCornerRadius}};
  if (!CheckNumbers(json, spins, lengths, problem)) return false;
  struct Colour {
    const char* key;
    QPushButton* button;
    ColorValue value = 0;
  };
  Colour colours[] = {{"outlineColor", btnOutline},
                      {"textColor", btnText},
                      {"holeColor", btnHole},
                      {"groupColor", btnGroup}};
  for (Colour& c : colours) {
    c.value = ButtonColour(c.button);
    const QJsonValue v = json.value(QLatin1String(c.key));
    if (!v.isUndefined() && !ParseColourText(v.toString(), &c.value)) {
      *problem = tr("\"%1\" is not a colour").arg(QLatin1String(c.key));
      return false;
    }
  }
  const int sort = cboSort->findText(json.value(QLatin1String("sort")).toString());
  if (json.contains(QLatin1String("sort")) && sort < 0) {
    *problem = tr("\"sort\" is none of None, Descending, Ascending");
    return false;
  }
  const int labels = cboLabels->findText(json.value(QLatin1String("labels")).toString());
  if (json.contains(QLatin1String("labels")) && labels < 0) {
    *problem = tr("\"labels\" is none of None, Percent, Name, NameAndPercent");
    return false;
  }

  mLoading = true;
  table->setRowCount(0);
  for (const SliceRow& row : rows)
    AddRow(row.name, row.value, row.colour, row.explode, row.ring, row.radius, row.parent);
  for (const Keyed<QSpinBox>& s : spins) {
    const QJsonValue v = json.value(QLatin1String(s.key));
    if (v.isDouble()) s.box->setValue(v.toInt());
  }
  for (const Keyed<QDoubleSpinBox>& l : lengths) {
    const QJsonValue v = json.value(QLatin1String(l.key));
    if (v.isDouble()) l.box->setValue(v.toDouble());
  }
  for (const Colour& c : colours)
    SetButtonColour(c.button, c.value);
  if (labels >= 0) cboLabels->setCurrentIndex(labels);
  const auto check = [&](const char* key, QCheckBox* box) {
    const QJsonValue v = json.value(QLatin1String(key));
    if (v.isBool()) box->setChecked(v.toBool());
  };
  check("rawValues", chkRawValues);
  check("clockwise", chkClockwise);
  check("labelsOutside", chkLabelsOutside);
  check("legend", chkLegend);
  check("shaded", chkShaded);
  check("radiusByLength", chkRoseByLength);
  if (json.contains(QLatin1String("centerText"))) {
    txtCentre->setText(json.value(QLatin1String("centerText")).toString());
  }
  if (json.contains(QLatin1String("groupLabel"))) {
    txtGroupLabel->setText(json.value(QLatin1String("groupLabel")).toString());
  }
  for (const auto& [key, edit] :
       {std::pair{"emptyText", txtEmpty}, std::pair{"labelFormat", txtLabelFormat},
        std::pair{"legendFormat", txtLegendFormat},
        std::pair{"decimalSeparator", txtDecimalSeparator},
        std::pair{"groupSeparator", txtGroupSeparator}}) {
    if (json.contains(QLatin1String(key))) edit->setText(json.value(QLatin1String(key)).toString());
  }
  if (sort >= 0) cboSort->setCurrentIndex(sort);
  mLoading = false;
  Refresh();
  return true;
}

bool PlaygroundWindow::Load(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    ReportError(tr("Cannot open %1: %2").arg(fileName, file.errorString()));
    return false;
  }
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  QString problem;
  if (error.error != QJsonParseError::NoError) {
    problem = tr("not JSON (%1 at character %2)").arg(error.errorString()).arg(error.offset);
  } else if (!document.isObject()) {
    problem = tr("not a JSON object");
  }
  if (!problem.isEmpty() || !FromJson(document.object(), &problem)) {
    ReportError(tr("%1: %2").arg(fileName, problem));
    return false;
  }
  return true;
}

bool PlaygroundWindow::Save(const QString& fileName) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(ToJson()).toJson()) < 0 ||
      !file.commit()) {
    ReportError(tr("Cannot write %1: %2").arg(fileName, file.errorString()));
    return false;
  }
  return true;
}

void PlaygroundWindow::OpenFile() {
  const QString name =
      QFileDialog::getOpenFileName(this, tr("Open chart"), {}, tr("Charts (*.json)"));
  if (!name.isEmpty()) Load(name);
}

void PlaygroundWindow::SaveFile() {
  const QString name =
      QFileDialog::getSaveFileName(this, tr("Save chart"), {}, tr("Charts (*.json)"));
  if (!name.isEmpty()) Save(name);
}

void PlaygroundWindow::Export(const QString& kind) {
  const QString name = QFileDialog::getSaveFileName(
      this, tr("Export %1").arg(kind.toUpper()), QStringLiteral("chart.") + kind,
      tr("%1 files (*.%2)").arg(kind.toUpper(), kind));
  if (name.isEmpty()) return;
  if (kind == u"xaml") {
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(lblChart->Caption().toLatin1()) < 0 ||
        !file.commit()) {
      ReportError(tr("Cannot write %1: %2").arg(name, file.errorString()));
    }
    return;
  }
  QString error;
  if (!lblChart->saveImage(name, kind == u"png" ? 2.0 : 1.0, &error)) ReportError(error);
}

// The chart as the shown tab draws it, as large as the page allows with its
// shape kept, centred.
void PlaygroundWindow::Print(QPrinter* printer) {
  QWidget* shown = tabPictures->currentIndex() == 0 ? static_cast<QWidget*>(pieView) : lblChart;
  QPainter painter(printer);
  const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
  const QSizeF size = shown->size();
  const double scale = std::min(page.width() / size.width(), page.height() / size.height());
  painter.translate((page.width() - size.width() * scale) / 2,
                    (page.height() - size.height() * scale) / 2);
  painter.scale(scale, scale);
  shown->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
}

void PlaygroundWindow::PrintPreview() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintPreviewDialog preview(&printer, this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, &PlaygroundWindow::Print);
  preview.exec();
}

void PlaygroundWindow::ReportError(const QString& message) {
  if (mReportToStandardError) {
    std::cerr << "xamlpie-playground: " << message.toStdString() << '\n';
    return;
  }
  QMessageBox::warning(this, windowTitle(), message);
}

}  // namespace xamlpie
