// Speed of the demo: reading and painting the markup, a whole toggle of the
// hole, a repaint, and Qt Charts drawing the same chart for comparison.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>

#include "Form1.h"
#include "xamlpie/MarkupLabel.h"
#include "xamlpie/cXAMLPieChart.h"

#ifdef XAMLPIE_HAVE_QT_CHARTS
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPieSeries>
#include <QPieSlice>
#endif

namespace {

QString DemoMarkup(bool doughnut) {
  xamlpie::Form1 form;
  form.chkDoughnut->setChecked(doughnut);
  form.DrawChart();
  return form.lblPieChart->Caption();
}

QImage Canvas(qreal ratio = 1) {
  QImage image(QSize(300, 300) * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::white);
  return image;
}

void BM_ParseAndPaint(benchmark::State& state) {
  const QString markup = DemoMarkup(state.range(0) != 0);
  QImage image = Canvas();
  for (auto _ : state) {
    const std::optional<xamlpie::MarkupScene> scene = xamlpie::ParseMarkup(markup);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(0xFF, 0xC0, 0xC0));
    xamlpie::PaintMarkup(painter, *scene);
  }
}
BENCHMARK(BM_ParseAndPaint)->ArgName("doughnut")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Parse(benchmark::State& state) {
  const QString markup = DemoMarkup(true);
  for (auto _ : state)
    benchmark::DoNotOptimize(xamlpie::ParseMarkup(markup));
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMicrosecond);

void BM_Paint(benchmark::State& state) {
  const std::optional<xamlpie::MarkupScene> scene = xamlpie::ParseMarkup(DemoMarkup(true));
  QImage image = Canvas();
  for (auto _ : state) {
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(0xFF, 0xC0, 0xC0));
    xamlpie::PaintMarkup(painter, *scene);
  }
}
BENCHMARK(BM_Paint)->Unit(benchmark::kMicrosecond);

// The check box flips, the chart is built and its markup handed over; the
// label paints each of its two pictures once and then shows them again.
// A text caption of 8 MB in a layout: set and shown in a window of 400 x 300,
// then the window resized.
QString LongText() {
  QString text;
  for (int i = 0; text.size() < qsizetype{8} * 1024 * 1024; ++i)
    text += QStringLiteral("word%1 ").arg(i);
  return text;
}

void BM_LongTextShown(benchmark::State& state) {
  const QString text = LongText();
  for (auto _ : state) {
    QWidget window;
    auto* label = new xamlpie::MarkupLabel;
    (new QVBoxLayout(&window))->addWidget(label);
    label->setCaption(text);
    window.resize(400, 300);
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    window.render(&image);
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_LongTextShown)->Unit(benchmark::kMillisecond);

void BM_LongTextResize(benchmark::State& state) {
  QWidget window;
  auto* label = new xamlpie::MarkupLabel;
  (new QVBoxLayout(&window))->addWidget(label);
  label->setCaption(LongText());
  QImage image(QSize(600, 500), QImage::Format_ARGB32_Premultiplied);
  int step = 0;
  for (auto _ : state) {
    window.resize(400 + (step % 2) * 200, 300 + (step % 2) * 200);
    ++step;
    window.render(&image);
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_LongTextResize)->Unit(benchmark::kMillisecond);

// Twenty triangles stroked a million pixels wide in another colour: a
// caption of 1.7 KB, whose paint must cost what its pixels do.
void BM_ThickStrokes(benchmark::State& state) {
  QString markup = QStringLiteral("<Canvas>");
  for (int i = 0; i < 20; ++i) {
    markup += QStringLiteral(
                  "<Polygon Points='%1,10 %2,10 %3,40' Fill='#FFFFFF' Stroke='#0000FF' "
                  "StrokeThickness='1000000'/>")
                  .arg(10 * i)
                  .arg(10 * i + 8)
                  .arg(10 * i + 4);
  }
  markup += QStringLiteral("</Canvas>");
  const std::optional<xamlpie::MarkupScene> scene = xamlpie::ParseMarkup(markup);
  QImage image = Canvas();
  for (auto _ : state) {
    QPainter painter(&image);
    xamlpie::PaintMarkup(painter, *scene);
  }
}
BENCHMARK(BM_ThickStrokes)->Unit(benchmark::kMillisecond);

void BM_Toggle(benchmark::State& state) {
  xamlpie::Form1 form;
  QImage image = Canvas();
  for (auto _ : state) {
    form.chkDoughnut->setChecked(!form.chkDoughnut->isChecked());
    form.DrawChart();
    form.lblPieChart->render(&image);
  }
}
BENCHMARK(BM_Toggle)->Unit(benchmark::kMicrosecond);

// New data each time, as a chart whose data changes sees it: the demo's
// doughnut with its first and last shares moved by up to 6 %, in turn, so that
// the label has seen none of the seven (it keeps two pictures), built, read
// and painted into an image at the pixel ratio given.
class LabelDoughnut {
 public:
  explicit LabelDoughnut(qreal ratio) : mImage(Canvas(ratio)) {
    mLabel.resize(300, 300);
    mLabel.setBackColor(0x00C0C0FF);
  }
  void Draw() {
    const int moved = mStep++ % 7;
    xamlpie::cXAMLPieChart chart;
    chart.MarginLeft(25);
    chart.MarginTop(25);
    chart.Size(250);
    chart.AddDataItem(20 + moved, 0x000000FF);
    chart.AddDataItem(10, 0x0000FFFF);
    chart.AddDataItem(25, 0x00FF0000);
    chart.AddDataItem(5, 0x0000FF00);
    chart.AddDataItem(40 - moved, 0x00FF00FF);
    chart.DoughnutWidth(50);
    chart.BackgroundColor(mLabel.BackColor());
    const std::string markup = chart.XAML();
    mLabel.setCaption(QString::fromLatin1(markup.data(), static_cast<qsizetype>(markup.size())));
    mLabel.render(&mImage);
  }
  ~LabelDoughnut() {
    if (qEnvironmentVariableIsSet("XAMLPIE_BENCH_SAVE")) mImage.save("label.png");
  }

 private:
  xamlpie::MarkupLabel mLabel;
  QImage mImage;
  int mStep = 0;
};

void BM_NewData(benchmark::State& state) {
  LabelDoughnut pie(static_cast<qreal>(state.range(0)));
  for (auto _ : state)
    pie.Draw();
}
BENCHMARK(BM_NewData)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Captions of `slices` slices of 1 % each, four of them in turn so that the
// label has seen none, drawn at 300 x 300.
void BM_LabelSlices(benchmark::State& state) {
  QStringList captions;
  for (xamlpie::ColorValue first = 0; first < 4; ++first) {
    xamlpie::cXAMLPieChart chart;
    chart.MarginLeft(25);
    chart.MarginTop(25);
    chart.Size(250);
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      chart.AddDataItem(1, i == 0 ? first : static_cast<xamlpie::ColorValue>(i * 0x030507));
    }
    captions.append(QString::fromStdString(chart.XAML()));
  }
  xamlpie::MarkupLabel label;
  label.resize(300, 300);
  QImage image = Canvas();
  int next = 0;
  for (auto _ : state) {
    label.setCaption(captions[next++ % 4]);
    label.render(&image);
  }
  state.counters["markup_bytes"] = static_cast<double>(captions.front().size());
}
BENCHMARK(BM_LabelSlices)
    ->ArgName("slices")
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

void BM_RepaintUnchanged(benchmark::State& state) {
  xamlpie::Form1 form;
  QImage image = Canvas();
  form.lblPieChart->render(&image);
  for (auto _ : state)
    form.lblPieChart->render(&image);
}
BENCHMARK(BM_RepaintUnchanged)->Unit(benchmark::kMicrosecond);

#ifdef XAMLPIE_HAVE_QT_CHARTS

// Qt Charts drawing `slices` slices at 300 x 300 with the pixel ratio given,
// antialiased; the data changes each time (for the demo's doughnut as in
// LabelDoughnut), so each drawing is of a chart not drawn before.
class QtChartsPie {
 public:
  QtChartsPie(int slices, qreal ratio, bool demo) : mImage(Canvas(ratio)), mDemo(demo) {
    auto* chart = new QChart;
    mSeries = new QPieSeries;
    const QColor colours[] = {Qt::red, Qt::yellow, Qt::blue, Qt::green, Qt::magenta};
    for (int i = 0; i < slices; ++i) {
      QPieSlice* slice = mSeries->append(QString(), demo ? kShares[i] : 1.0);
      slice->setBrush(demo ? colours[i] : QColor::fromRgb(static_cast<QRgb>(i * 0x030507)));
    }
    // The label's geometry: a pie 250 px across (a hole of 150 px) in 300 x
    // 300, which takes a chart without margins, as it would lay out a legend.
    mSeries->setPieSize(250.0 / 300.0);
    if (demo) mSeries->setHoleSize(150.0 / 300.0);
    chart->setMargins(QMargins());
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->addSeries(mSeries);
    chart->legend()->hide();
    chart->setBackgroundBrush(QColor(0xFF, 0xC0, 0xC0));
    chart->setAnimationOptions(QChart::NoAnimation);
    mScene.addItem(chart);
    chart->setGeometry(0, 0, 300, 300);
  }
  void Draw() {
    const int moved = mStep++ % 7;
    if (mDemo) {
      mSeries->slices().front()->setValue(kShares[0] + moved);
      mSeries->slices().back()->setValue(kShares[4] - moved);
    } else {
      mSeries->slices().front()->setValue(moved % 2 == 0 ? 2.0 : 1.0);
    }
    QCoreApplication::processEvents();  // Qt Charts lays out on posted events
    QPainter painter(&mImage);
    painter.setRenderHint(QPainter::Antialiasing);
    mScene.render(&painter);
  }
  ~QtChartsPie() {
    if (qEnvironmentVariableIsSet("XAMLPIE_BENCH_SAVE")) mImage.save("qtcharts.png");
  }

 private:
  static constexpr qreal kShares[] = {20, 10, 25, 5, 40};
  QGraphicsScene mScene;
  QPieSeries* mSeries;
  QImage mImage;
  bool mDemo;
  int mStep = 0;
};

void QtChartsDraw(benchmark::State& state, int slices, qreal ratio, bool demo) {
  QtChartsPie pie(slices, ratio, demo);
  for (auto _ : state)
    pie.Draw();
}

// The label's new chart and Qt Charts' in turn, each timed, so that a slow
// spell of the machine falls on both alike: their times and the ratio.
void BM_NewDataBesideQtCharts(benchmark::State& state) {
  const qreal ratio = static_cast<qreal>(state.range(0));
  LabelDoughnut ours(ratio);
  QtChartsPie theirs(5, ratio, true);
  using Clock = std::chrono::steady_clock;
  Clock::duration label{};
  Clock::duration qtCharts{};
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    ours.Draw();
    const Clock::time_point middle = Clock::now();
    theirs.Draw();
    label += middle - start;
    qtCharts += Clock::now() - middle;
  }
  const auto us = [&](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["label_us"] = us(label);
  state.counters["qt_charts_us"] = us(qtCharts);
  state.counters["ratio"] = us(label) / us(qtCharts);
}
BENCHMARK(BM_NewDataBesideQtCharts)
    ->ArgName("ratio")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

// The demo's doughnut, its data changing.
void BM_QtChartsNewData(benchmark::State& state) {
  QtChartsDraw(state, 5, static_cast<qreal>(state.range(0)), true);
}
BENCHMARK(BM_QtChartsNewData)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_QtChartsSlices(benchmark::State& state) {
  QtChartsDraw(state, static_cast<int>(state.range(0)), 1.0, false);
}
BENCHMARK(BM_QtChartsSlices)
    ->ArgName("slices")
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

#endif

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
#ifndef XAMLPIE_HAVE_QT_CHARTS
  std::fputs(
      "\n*** Qt Charts was not found when this benchmark was built: the yardstick rows are "
      "missing.\n*** Install qt6-charts-dev and libqt6opengl6-dev (scripts/bench.sh does) and "
      "rebuild.\n\n",
      stderr);
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
