#!/usr/bin/env bash
# Screenshots of the demo and the playground (both its tabs) on a real X
# server (Xvfb) at scale factors 1, 1.5 and 2, for looking at as a user would:
# written to build/screenshots/.
#
#   scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xauth libgl1-mesa-dri
cmake --preset default >/dev/null
cmake --build --preset default --target xamlpie-demo xamlpie-playground xamlpie-quick-gallery
out=build/screenshots
mkdir -p "$out"
for scale in 1 1.5 2; do
  export QT_SCALE_FACTOR=$scale
  xvfb-run -a -s "-screen 0 2400x2000x24" \
    build/default/demo/xamlpie-demo --screenshot "$out/demo-$scale.png" --doughnut
  xvfb-run -a -s "-screen 0 2400x2000x24" \
    build/default/playground/xamlpie-playground --screenshot "$out/playground-$scale.png"
  xvfb-run -a -s "-screen 0 2400x2000x24" \
    build/default/playground/xamlpie-playground --markup --screenshot "$out/markup-$scale.png"
  # Qt Quick's default (OpenGL) scene graph, on Mesa's software OpenGL.
  xvfb-run -a -s "-screen 0 2400x2000x24" \
    build/default/quick-gallery/xamlpie-quick-gallery --screenshot "$out/quick-gallery-$scale.png"
done
