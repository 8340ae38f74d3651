#include "XamlpieWidgets.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <utility>

#include "xamlpie/MarkupLabel.h"
#include "xamlpie/PieView.h"
#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie::designer {
namespace {

// Slices a chart shows in Designer's form, so that its options can be seen
// at work; the form's program binds its own model.
QList<PieSlice> Sample() {
  return {{QStringLiteral("Rent"), 1200, {}},
          {QStringLiteral("Food"), 640, {}},
          {QStringLiteral("Transport"), 310, {}},
          {QStringLiteral("Fun"), 220, {}}};
}

QString SampleMarkup() {
  cXAMLPieChart chart;
  chart.MarginLeft(10);
  chart.MarginTop(10);
  chart.Size(180);
  const QList<QColor> palette = DefaultPalette();
  const std::int32_t shares[] = {50, 25, 15, 10};
  for (std::size_t i = 0; i < std::size(shares); ++i) {
    chart.AddDataItem(shares[i], ToColorValue(palette[static_cast<qsizetype>(i)]));
  }
  chart.DoughnutWidth(60);
  return QString::fromStdString(chart.XAML());
}

// Designer's widget box entry: a form holding one widget of the class.
QString DomXml(const char* className, const char* objectName, QSize size) {
  return QStringLiteral(R"(<ui language="c++"><widget class="%1" name="%2">
<property name="geometry"><rect><x>0</x><y>0</y><width>%3</width><height>%4</height></rect></property>
</widget></ui>)")
      .arg(QLatin1String(className), QLatin1String(objectName))
      .arg(size.width())
      .arg(size.height());
}

}  // namespace

Widget::Widget(QString className, QString header, QString toolTip, QString domXml,
               std::function<QWidget*(QWidget*, bool)> make, QObject* parent)
    : QObject(parent),
      mClassName(std::move(className)),
      mHeader(std::move(header)),
      mToolTip(std::move(toolTip)),
      mDomXml(std::move(domXml)),
      mMake(std::move(make)) {}

// A small doughnut in the palette's first colours.
QIcon Widget::icon() const {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QList<QColor> palette = DefaultPalette();
  const int spans[] = {180, 90, 90};
  int start = 90;
  for (std::size_t i = 0; i < std::size(spans); ++i) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette[static_cast<qsizetype>(i)]);
    painter.drawPie(QRectF(2, 2, 28, 28), start * 16, -spans[i] * 16);
    start -= spans[i];
  }
  painter.setCompositionMode(QPainter::CompositionMode_Clear);
  painter.drawEllipse(QRectF(11, 11, 10, 10));
  return QIcon(pixmap);
}

Widgets::Widgets(QObject* parent) : QObject(parent) {
  mWidgets.append(new Widget(
      QStringLiteral("xamlpie::PieView"), QStringLiteral("xamlpie/PieView.h"),
      tr("A pie or doughnut chart bound to an item model"),
      DomXml("xamlpie::PieView", "pieView", {400, 300}),
      [](QWidget* parent, bool inDesigner) {
        auto* view = new PieView(parent);
        if (inDesigner) {
          view->setAnimationDuration(0);
          view->setSlices(Sample());
        }
        return view;
      },
      this));
  mWidgets.append(new Widget(
      QStringLiteral("xamlpie::MarkupLabel"), QStringLiteral("xamlpie/MarkupLabel.h"),
      tr("A label that draws chart markup"),
      DomXml("xamlpie::MarkupLabel", "markupLabel", {200, 200}),
      [](QWidget* parent, bool inDesigner) {
        auto* label = new MarkupLabel(parent);
        if (inDesigner) label->setCaption(SampleMarkup());
        return label;
      },
      this));
}

}  // namespace xamlpie::designer
