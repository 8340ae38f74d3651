// Speed of the QML chart: a value of its model changes and the window draws
// its next frame (Qt Quick's software scene graph, offscreen), beside Qt
// Charts' QML ChartView and Qt Graphs' GraphsView (Qt 6.8 and newer), each
// with a PieSeries on the same data, in the same run.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <chrono>

namespace {

constexpr double kValues[] = {1200, 640.5, 310, 250, 182.25, 95};

// A window of 400 x 300 showing `body`, whose root has setValue(index, value).
struct Window {
  explicit Window(const QByteArray& body) {
    view.engine()->addImportPath(QStringLiteral(XAMLPIE_QML_DIR));
    view.resize(400, 300);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    const QString file = QStringLiteral("%1/bench-%2.qml")
                             .arg(QDir::tempPath())
                             .arg(reinterpret_cast<quintptr>(this));
    QFile out(file);
    if (out.open(QIODevice::WriteOnly)) out.write(body);
    out.close();
    view.setSource(QUrl::fromLocalFile(file));
    QFile::remove(file);
    ok = view.status() == QQuickView::Ready;
    view.show();
    Frame();  // the first
  }
  void Change(double value) {
    QMetaObject::invokeMethod(view.rootObject(), "setValue", Q_ARG(QVariant, 0),
                              Q_ARG(QVariant, value));
  }
  // Qt Charts updates and renders its scene on posted events, a step after
  // another: each side gets its events handled until none is left, before
  // and after its frame, so that none falls in the other side's time.
  QImage Frame() {
    Settle();
    QImage frame = view.grabWindow();
    Settle();
    return frame;
  }
  static void Settle() {
    for (int i = 0; i < 4; ++i)
      QCoreApplication::processEvents();
  }
  QQuickView view;
  bool ok = false;
};

const QByteArray kOurs = R"(
import QtQuick
import Xamlpie
Item {
  ListModel {
    id: slices
    ListElement { name: "Rent"; value: 1200 }
    ListElement { name: "Food"; value: 640.5 }
    ListElement { name: "Transport"; value: 310 }
    ListElement { name: "Savings"; value: 250 }
    ListElement { name: "Leisure"; value: 182.25 }
    ListElement { name: "Gifts"; value: 95 }
  }
  function setValue(i, v) { slices.setProperty(i, "value", v) }
  PieChart {
    anchors.fill: parent; model: slices; animationDuration: 0
    holeSize: 0.35; labels: PieChart.Percent
  }
}
)";

// The six slices as both of Qt's pie series take them, labels shown.
const QByteArray kSeriesSlices = R"(
      PieSlice { label: "Rent"; value: 1200; labelVisible: true }
      PieSlice { label: "Food"; value: 640.5; labelVisible: true }
      PieSlice { label: "Transport"; value: 310; labelVisible: true }
      PieSlice { label: "Savings"; value: 250; labelVisible: true }
      PieSlice { label: "Leisure"; value: 182.25; labelVisible: true }
      PieSlice { label: "Gifts"; value: 95; labelVisible: true })";

const QByteArray kQtCharts = R"(
import QtQuick
import QtCharts
Item {
  function setValue(i, v) { series.at(i).value = v }
  ChartView {
    anchors.fill: parent; antialiasing: true
    animationOptions: ChartView.NoAnimation
    PieSeries {
      id: series; holeSize: 0.35
      %SLICES%
    }
  }
}
)";

// Qt's successor to Qt Charts, Qt Quick first: no legend; its labels, as
// Qt Charts', outside the slices.
const QByteArray kQtGraphs = R"(
import QtQuick
import QtGraphs
Item {
  function setValue(i, v) { series.at(i).value = v }
  GraphsView {
    anchors.fill: parent
    PieSeries {
      id: series; holeSize: 0.35
      %SLICES%
    }
  }
}
)";

// Each side changes a value and draws its frame, in turn and each timed, so
// that a slow spell of the machine falls on both alike.
void DataChangeBeside(benchmark::State& state, const QByteArray& peer, const char* missing,
                      const char* counter) {
  Window ours(kOurs);
  Window theirs(QByteArray(peer).replace("%SLICES%", kSeriesSlices));
  if (!ours.ok || !theirs.ok) {
    state.SkipWithError(missing);
    return;
  }
  // Each side's frame shows the change, or the comparison says nothing.
  for (Window* side : {&ours, &theirs}) {
    const QImage before = side->Frame();
    side->Change(5000);
    const QImage after = side->Frame();
    side->Change(kValues[0]);
    side->Frame();
    if (before == after) {
      state.SkipWithError("a frame did not show its change");
      return;
    }
  }
  using Clock = std::chrono::steady_clock;
  Clock::duration quick{};
  Clock::duration peerTime{};
  int step = 0;
  for (auto _ : state) {
    const double value = kValues[0] + (step++ % 7) * 50.0;
    const Clock::time_point start = Clock::now();
    ours.Change(value);
    benchmark::DoNotOptimize(ours.Frame());
    const Clock::time_point middle = Clock::now();
    theirs.Change(value);
    benchmark::DoNotOptimize(theirs.Frame());
    quick += middle - start;
    peerTime += Clock::now() - middle;
  }
  const auto us = [&](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["quick_us"] = us(quick);
  state.counters[counter] = us(peerTime);
  state.counters["ratio"] = us(quick) / us(peerTime);
}

void BM_DataChangeBesideQtChartsQml(benchmark::State& state) {
  DataChangeBeside(state, kQtCharts,
                   "a window did not load (Qt Charts' QML module: qml6-module-qtcharts)",
                   "qt_charts_qml_us");
}
BENCHMARK(BM_DataChangeBesideQtChartsQml)->Unit(benchmark::kMicrosecond);

void BM_DataChangeBesideQtGraphs(benchmark::State& state) {
  DataChangeBeside(state, kQtGraphs,
                   "a window did not load (Qt Graphs' QML module, Qt 6.8 and newer: "
                   "qml6-module-qtgraphs)",
                   "qt_graphs_us");
}
BENCHMARK(BM_DataChangeBesideQtGraphs)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_QUICK_BACKEND", "software");
  QApplication app(argc, argv);  // Qt Charts' QML types need one
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
