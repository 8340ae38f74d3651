#!/usr/bin/env bash
# Builds and runs the benchmarks (median of five runs each). Qt Charts is
# installed as the yardstick the demo is measured against.
set -euo pipefail
cd "$(dirname "$0")/.."
# Debian's qt6-charts-dev does not pull in the OpenGL development files its
# CMake package needs.
scripts/install-deps.sh qt6-charts-dev libqt6opengl6-dev qml6-module-qtcharts
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
