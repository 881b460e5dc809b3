#!/usr/bin/env bash
# Every shell script of the repository passes shellcheck, warnings and style notes included.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.sh' .ci/run | xargs -0 shellcheck -x
