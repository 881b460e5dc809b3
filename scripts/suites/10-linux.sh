#!/usr/bin/env bash
# The Linux build: core, front end and their tests, the real widgets on the offscreen platform, and
# one walk-through of the real program on Xvfb with the xcb platform (quorvin_xcb_walkthrough), the real
# program read over AT-SPI (from the keyboard; on a FUSE mount whose calls stall, quorvin_fuse_stalls), and
# the benchmark programs built.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/check-layers.sh
bash scripts/format.sh --check
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
# The benchmark programs run outside the tests, but must keep building with the core.
cmake --preset bench
cmake --build --preset bench
