// Speed of the chart view: one frame of an animation, and a change of the
// model to a painted frame, beside Qt Charts following the same model
// through a QVPieModelMapper in the same run.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <chrono>

#include "xamlpie/PieView.h"

#ifdef XAMLPIE_HAVE_QT_CHARTS
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPieSeries>
#include <QVPieModelMapper>
#endif

namespace {

constexpr double kValues[] = {1200, 640.5, 310, 250, 182.25, 95};
const char* const kNames[] = {"Rent", "Food", "Transport", "Savings", "Leisure", "Gifts"};

void Fill(QStandardItemModel& model) {
  model.setColumnCount(2);
  for (std::size_t i = 0; i < std::size(kValues); ++i) {
    auto* value = new QStandardItem;
    value->setData(kValues[i], Qt::EditRole);
    model.appendRow({new QStandardItem(QString::fromLatin1(kNames[i])), value});
  }
}

// A view of 400 x 300 with labels and its legend, drawn into an image as a
// window would be.
struct View {
  explicit View(QStandardItemModel& model, qreal ratio)
      : image(QSize(400, 300) * ratio, QImage::Format_RGB32) {
    image.setDevicePixelRatio(ratio);
    view.resize(400, 300);
    view.chart().SliceLabels(xamlpie::LabelStyle::Percent);
    view.chart().DoughnutWidth(60);
    view.setModel(&model);
  }
  void Draw() {
    QPainter painter(&image);
    view.render(&painter);
  }
  xamlpie::PieView view;
  QImage image;
};

// A frame of an animation that runs for as long as the benchmark does.
void BM_AnimationFrame(benchmark::State& state) {
  QStandardItemModel model;
  Fill(model);
  View ours(model, static_cast<qreal>(state.range(0)));
  ours.view.setAnimationDuration(0);
  ours.view.show();
  ours.view.setAnimationDuration(1 << 30);
  model.item(0, 1)->setData(100.0, Qt::EditRole);
  for (auto _ : state)
    ours.Draw();
}
BENCHMARK(BM_AnimationFrame)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

#ifdef XAMLPIE_HAVE_QT_CHARTS

// Qt Charts following the model through a mapper, drawn at the same size:
// a doughnut with labels and its legend.
struct QtCharts {
  QtCharts(QStandardItemModel& model, qreal ratio)
      : image(QSize(400, 300) * ratio, QImage::Format_RGB32) {
    image.setDevicePixelRatio(ratio);
    auto* chart = new QChart;
    auto* series = new QPieSeries;
    series->setHoleSize(0.35);
    series->setLabelsVisible(true);
    auto* mapper = new QVPieModelMapper(series);
    mapper->setLabelsColumn(0);
    mapper->setValuesColumn(1);
    mapper->setSeries(series);
    mapper->setModel(&model);
    chart->addSeries(series);
    chart->setAnimationOptions(QChart::NoAnimation);
    scene.addItem(chart);
    chart->setGeometry(0, 0, 400, 300);
  }
  void Draw() {
    QCoreApplication::processEvents();  // Qt Charts lays out on posted events
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter);
  }
  QGraphicsScene scene;
  QImage image;
};

// A value of the model changes; each side paints its new frame, in turn and
// each timed, so that a slow spell of the machine falls on both alike.
void BM_ModelChangeBesideQtCharts(benchmark::State& state) {
  const qreal ratio = static_cast<qreal>(state.range(0));
  QStandardItemModel model;
  Fill(model);
  View ours(model, ratio);
  ours.view.setAnimationDuration(0);
  QtCharts theirs(model, ratio);
  using Clock = std::chrono::steady_clock;
  Clock::duration view{};
  Clock::duration qtCharts{};
  Clock::duration change{};  // the model's own signal, both sides told
  int step = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    model.item(0, 1)->setData(kValues[0] + (step++ % 7) * 50.0, Qt::EditRole);
    const Clock::time_point changed = Clock::now();
    ours.Draw();
    const Clock::time_point middle = Clock::now();
    theirs.Draw();
    // Telling both of the change is shared: each is charged half.
    change += changed - start;
    view += (middle - changed) + (changed - start) / 2;
    qtCharts += (Clock::now() - middle) + (changed - start) / 2;
  }
  const auto us = [&](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["view_us"] = us(view);
  state.counters["qt_charts_us"] = us(qtCharts);
  state.counters["ratio"] = us(view) / us(qtCharts);
  state.counters["change_us"] = us(change);
}
BENCHMARK(BM_ModelChangeBesideQtCharts)
    ->ArgName("ratio")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

#endif

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
