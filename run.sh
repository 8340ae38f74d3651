#!/usr/bin/env bash
# Installs what is missing, builds, and opens the demo window. Without a
# display it writes the window to a PNG file instead and prints its path.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target xamlpie-demo
demo=build/default/demo/xamlpie-demo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
  echo "No display: writing the window as it first appears."
  exec "$demo" --screenshot "$PWD/build/xamlpie-demo.png" "$@"
fi
exec "$demo" "$@"
