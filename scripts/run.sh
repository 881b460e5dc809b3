#!/usr/bin/env bash
# Installs what is missing, builds Quorvin for Linux and starts it. On a machine without a display it
# runs the real program on a virtual display through a typical search instead, and saves a screenshot
# of each step under docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target quorvin
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec build/linux/quorvin
fi
echo "No display: Quorvin runs on a virtual display (Xvfb) through a typical search."
scripts/walkthrough.sh build/linux/quorvin docs/screenshots
