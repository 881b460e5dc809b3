#!/usr/bin/env bash
# The Linux build: core, front end and their tests.
set -euo pipefail
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
