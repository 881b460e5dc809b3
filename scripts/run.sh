#!/usr/bin/env bash
# Installs what is missing, builds Quorvin for Linux and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
# Until the Qt front end lands, this shows the core at work: it searches this README for "Quorvin".
cmake --preset bench >/dev/null
cmake --build --preset bench
build/bench/quorvin-bench README.md Quorvin || true
