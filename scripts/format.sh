#!/usr/bin/env bash
# Formats every tracked C++ file with clang-format and the house style in .clang-format.
# With --check, changes nothing: lists the files that differ from their formatted text and fails if any do.
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
if [[ ${1:-} == --check ]]; then
  check=true
elif [[ $# -gt 0 ]]; then
  echo "usage: $0 [--check]" >&2
  exit 2
fi

mapfile -t files < <(git ls-files -- '*.h' '*.cpp' '*.inc')
if ! $check; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi

unformatted=()
for file in "${files[@]}"; do
  if ! clang-format --style=file "$file" | cmp -s - "$file"; then
    unformatted+=("$file")
  fi
done
if ((${#unformatted[@]} > 0)); then
  echo "Not formatted (run scripts/format.sh):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
