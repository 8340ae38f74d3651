#!/usr/bin/env bash
# Builds and runs the benchmarks (median of five runs each). Qt Charts (and,
# where Debian has it, Qt Graphs) is installed as the yardstick. Arguments go
# to every benchmark program (--benchmark_filter=...). On Debian 13:
#   scripts/debian13-check.sh scripts/bench.sh

set -euo pipefail
cd "$(dirname "$0")/.."
# Debian's qt6-charts-dev does not pull in the OpenGL development files its
# CMake package needs.
# Qt Graphs' QML module, Qt's successor to Qt Charts, where Debian has it (13
# and newer).
graphs=()
if apt-cache show qml6-module-qtgraphs >/dev/null 2>&1; then graphs=(qml6-module-qtgraphs); fi
scripts/install-deps.sh qt6-charts-dev libqt6opengl6-dev qml6-module-qtcharts "${graphs[@]}"
cmake --preset bench >/dev/null
cmake --build --preset bench
# Repetitions interleaved at random, so that a slow spell of the machine does
# not fall on one side of a comparison only.
args=(--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
      --benchmark_report_aggregates_only=true "$@")
build/bench/bench/xamlpie_chart_bench "${args[@]}"
build/bench/bench/xamlpie_demo_bench "${args[@]}"
build/bench/bench/xamlpie_view_bench "${args[@]}"
build/bench/bench/xamlpie_quick_bench "${args[@]}"
