#!/usr/bin/env bash
# Installs from Debian's packages (12 or 13) whatever the build and the tests need and
# this machine lacks. Safe to run again: it installs nothing that is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang          # toolchains: GCC 12 and Clang 14
  libgtest-dev libbenchmark-dev        # tests and benchmarks
  qt6-base-dev qt6-svg-dev             # the markup label and the demo window
  qt6-declarative-dev                  # the QML module Xamlpie
  qt6-declarative-dev-tools            # qmllint, run on the QML examples
  qt6-tools-dev                        # Qt Designer's plugin interface, QUiLoader
  doxygen                              # the API reference
  qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtqml-workerscript
  qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtquick-layouts
  qml6-module-qtqml-models             # ListModel, and the Qt Quick gallery's controls
  libpugixml-dev                       # the label's XML parser
  librsvg2-bin                         # an independent renderer the label is checked against
  fonts-dejavu-core
  pkg-config dpkg-dev                  # the pkg-config consumer test; cpack -G DEB
  "$@"                                 # extra packages a caller asks for
)

missing=()
for p in "${packages[@]}"; do
  [ -n "$p" ] || continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
