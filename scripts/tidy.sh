#!/usr/bin/env bash
# Runs clang-tidy, with the checks in .clang-tidy, over every source file of
# the project; any finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-tidy
cmake --preset clang >/dev/null
cmake --build --preset clang  # generated headers must exist
run-clang-tidy -p build/clang -quiet -j "$(nproc)" "$PWD/(chart|scene|markup|quick|quick-gallery|designer|demo|playground|docs|bench|fuzz)/.*\.cpp$"
