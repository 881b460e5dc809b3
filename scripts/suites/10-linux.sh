#!/usr/bin/env bash
# The Linux build: core, front end and their tests, the real widgets on the offscreen platform, and
# one walk-through of the real program on Xvfb with the xcb platform (quorvin_xcb_walkthrough).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/check-layers.sh
bash scripts/format.sh --check
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
