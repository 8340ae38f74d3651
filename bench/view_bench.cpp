// Speed of the chart view: one frame of an animation, a sunburst of 1,000
// and of 100,000 leaves beside a flat chart, and a change of the model to a
// painted window (one chart, one of 40 slices, a dashboard of 64), beside
// Qt Charts following the same models through QVPieModelMapper
// in the same run, and a fill of the same pixels as the floor.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <chrono>
#include <memory>
#include <vector>

#include "xamlpie/PieView.h"

#ifdef XAMLPIE_HAVE_QT_CHARTS
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPieSeries>
#include <QVPieModelMapper>
#endif

namespace {

const char* const kNames[] = {"Rent",    "Food",  "Transport", "Savings",
                              "Leisure", "Gifts", "Health",    "Fees"};

// Named slices with values, as a dashboard's data is: eight names, and a
// number after them past eight.
void Fill(QStandardItemModel& model, int slices) {
  model.setColumnCount(2);
  for (int i = 0; i < slices; ++i) {
    auto* value = new QStandardItem;
    value->setData(100.0 + 37.0 * ((i * 7) % 11), Qt::EditRole);
    const QString name = QString::fromLatin1(kNames[i % 8]) +
                         (i >= 8 ? QStringLiteral(" %1").arg(i / 8) : QString());
    model.appendRow({new QStandardItem(name), value});
  }
}

// A view with percent labels, its legend and a hole, as a window shows it.
void Style(xamlpie::PieView& view, QSize size) {
  view.resize(size);
  view.setAnimationDuration(0);
  view.chart().SliceLabels(xamlpie::LabelStyle::Percent);
  view.chart().DoughnutWidth(30);  // of Size 100: a hole of 0.4
}

// A frame of an animation that runs for as long as the benchmark does.
void BM_AnimationFrame(benchmark::State& state) {
  const qreal ratio = static_cast<qreal>(state.range(0));
  QStandardItemModel model;
  Fill(model, 8);
  xamlpie::PieView view;
  Style(view, {400, 300});
  view.setModel(&model);
  QImage image(QSize(400, 300) * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  view.show();
  view.setAnimationDuration(1 << 30);
  model.item(0, 1)->setData(100.0, Qt::EditRole);
  for (auto _ : state) {
    QPainter painter(&image);
    view.render(&painter);
  }
}
BENCHMARK(BM_AnimationFrame)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A tree of `top` rows, each with ten rows under it, each with `leaves`
// leaves: a three-level sunburst (or, with no leaves, a flat chart of the
// top rows).
void FillTree(QStandardItemModel& model, int top, int leaves) {
  model.setColumnCount(2);
  const auto row = [](const QString& name, double value) {
    auto* cell = new QStandardItem;
    if (value > 0) cell->setData(value, Qt::EditRole);
    return QList<QStandardItem*>{new QStandardItem(name), cell};
  };
  for (int i = 0; i < top; ++i) {
    QList<QStandardItem*> parent = row(QStringLiteral("Top %1").arg(i), leaves > 0 ? 0 : 1 + i % 5);
    for (int j = 0; j < 10 && leaves > 0; ++j) {
      QList<QStandardItem*> middle = row(QStringLiteral("Middle %1").arg(j), 0);
      for (int k = 0; k < leaves; ++k)
        middle[0]->appendRow(row(QStringLiteral("Leaf %1").arg(k), 1 + (i * 7 + j * 3 + k) % 5));
      parent[0]->appendRow(middle);
    }
    model.appendRow(parent);
  }
}

// A sunburst at 800×600 beside a flat chart of its top rows: a frame drawn
// from the data read (the view a pixel wider or narrower each time, so the
// picture is made again), and a leaf's value changed to a painted frame.
void BM_Sunburst(benchmark::State& state) {
  const int leaves = static_cast<int>(state.range(0));
  QStandardItemModel model;
  FillTree(model, 10, leaves);
  xamlpie::PieView view;
  view.resize(800, 600);
  view.setAnimationDuration(0);
  view.setHoleSize(0.2);
  view.setLevels(leaves > 0 ? 3 : 1);
  view.setModel(&model);
  QImage image(QSize(801, 600), QImage::Format_RGB32);
  using Clock = std::chrono::steady_clock;
  Clock::duration frame{};
  Clock::duration change{};
  int step = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    view.resize(800 + (++step & 1), 600);
    {
      QPainter painter(&image);
      view.render(&painter);
    }
    frame += Clock::now() - start;
    start = Clock::now();
    QStandardItem* cell = leaves > 0 ? model.item(0)->child(0)->child(0, 1) : model.item(0, 1);
    cell->setData(1.0 + step % 7, Qt::EditRole);
    QCoreApplication::processEvents();
    {
      QPainter painter(&image);
      view.render(&painter);
    }
    change += Clock::now() - start;
  }
  const auto ms = [&](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["slices"] = static_cast<double>(view.slices().size());
  state.counters["frame_ms"] = ms(frame);
  state.counters["change_ms"] = ms(change);
}
BENCHMARK(BM_Sunburst)
    ->ArgName("leaves")
    ->Arg(0)
    ->Arg(10)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

#ifdef XAMLPIE_HAVE_QT_CHARTS

// Qt Charts following a model through a mapper, as a QChartView shows it:
// labels on, legend right, the same hole.
struct QtChart {
  QtChart(QStandardItemModel& model, QSize size) {
    auto* series = new QPieSeries;
    series->setHoleSize(0.4);
    series->setLabelsVisible(true);
    auto* mapper = new QVPieModelMapper(series);
    mapper->setLabelsColumn(0);
    mapper->setValuesColumn(1);
    mapper->setSeries(series);
    mapper->setModel(&model);
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setAnimationOptions(QChart::NoAnimation);
    scene.addItem(chart);
    chart->setGeometry(0, 0, size.width(), size.height());
  }
  QGraphicsScene scene;
  QChart* chart = new QChart;
};

// A value of each model changes and the window is painted into an image, as
// a window of `charts` views of one size would be; Qt Charts the same, each
// chart on a model of its own, and a fill of the same pixels (the least any
// picture costs). Each side in turn and each timed, so that a slow spell of
// the machine falls on all.
void BM_ModelChange(benchmark::State& state) {
  const int slices = static_cast<int>(state.range(0));
  const QSize size(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  const qreal ratio = static_cast<qreal>(state.range(3));
  const int charts = static_cast<int>(state.range(4));
  const int columns = charts > 1 ? 8 : 1;
  const QSize window(size.width() * columns, size.height() * ((charts + columns - 1) / columns));
  // A model for each chart of each side, so that each side's reading of
  // the change is its own.
  std::vector<std::unique_ptr<QStandardItemModel>> models;
  std::vector<std::unique_ptr<QStandardItemModel>> theirModels;
  QWidget ours;
  ours.resize(window);
  std::vector<std::unique_ptr<QtChart>> theirs;
  for (int i = 0; i < charts; ++i) {
    models.push_back(std::make_unique<QStandardItemModel>());
    Fill(*models.back(), slices);
    auto* view = new xamlpie::PieView(&ours);
    Style(*view, size);
    view->move(i % columns * size.width(), i / columns * size.height());
    view->setModel(models.back().get());
    theirModels.push_back(std::make_unique<QStandardItemModel>());
    Fill(*theirModels.back(), slices);
    theirs.push_back(std::make_unique<QtChart>(*theirModels.back(), size));
  }
  QImage image(window * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  QImage floor(window * ratio, QImage::Format_RGB32);
  using Clock = std::chrono::steady_clock;
  Clock::duration view{};
  Clock::duration qtCharts{};
  Clock::duration fill{};
  int step = 0;
  for (auto _ : state) {
    const double value = 100.0 + (step++ % 7) * 50.0;
    Clock::time_point start = Clock::now();
    for (auto& model : models)
      model->item(0, 1)->setData(value, Qt::EditRole);
    QCoreApplication::processEvents();
    {
      QPainter painter(&image);
      ours.render(&painter);
    }
    view += Clock::now() - start;
    start = Clock::now();
    for (auto& model : theirModels)
      model->item(0, 1)->setData(value, Qt::EditRole);
    QCoreApplication::processEvents();  // Qt Charts lays out on posted events
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      for (int i = 0; i < charts; ++i) {
        const QRectF at(QPointF(i % columns * size.width(), i / columns * size.height()),
                        QSizeF(size));
        theirs[static_cast<std::size_t>(i)]->scene.render(&painter, at, QRectF({0, 0}, size));
      }
    }
    qtCharts += Clock::now() - start;
    start = Clock::now();
    floor.fill(QColor::fromRgb(0xEF, 0xEF, 0xEF, step & 1));
    fill += Clock::now() - start;
    benchmark::DoNotOptimize(floor.constBits());
  }
  const auto us = [&](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["view_us"] = us(view);
  state.counters["qt_charts_us"] = us(qtCharts);
  state.counters["ratio"] = us(view) / us(qtCharts);
  state.counters["floor_us"] = us(fill);
  state.counters["over_floor"] = us(view) / us(fill);
}
BENCHMARK(BM_ModelChange)
    ->ArgNames({"slices", "w", "h", "ratio", "charts"})
    ->Args({8, 400, 300, 1, 1})
    ->Args({8, 400, 300, 2, 1})
    ->Args({40, 400, 300, 1, 1})
    ->Args({8, 160, 120, 1, 1})
    ->Args({8, 160, 120, 1, 64})
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
