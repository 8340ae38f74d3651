#!/usr/bin/env bash
# Installs what is missing, builds, and prints the demo chart's markup.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target xamlpie-demo-markup
exec build/default/chart/xamlpie-demo-markup "$@"
