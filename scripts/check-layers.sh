#!/usr/bin/env bash
# Fails on an #include that goes up: each folder of the program includes only itself and the folders below
# it, so the folders never include one another in a circle. Qt and <windows.h> stay in their front ends.
set -euo pipefail
cd "$(dirname "$0")/.."

# The folders each folder may include besides itself; tests and tools may include any.
below() {
  case "$1" in
    encoding) echo "" ;;
    platform) echo "encoding" ;;
    platform/posix | platform/testing) echo "platform encoding" ;;
    search_module) echo "platform encoding" ;;
    about_window | progress_window) echo "search_module platform encoding" ;;
    main_window) echo "about_window progress_window search_module platform encoding" ;;
    platform/qt) echo "main_window platform/posix platform encoding" ;;
    platform/win32) echo "main_window platform encoding" ;;
    tests | tests/* | tools | tools/*) echo "*" ;;
    *) echo "?" ;;
  esac
}

failed=0
while IFS= read -r file; do
  folder=$(dirname "$file")
  allowed=$(below "$folder")
  if [[ $allowed == "?" ]]; then
    echo "$file: its folder has no place in the layers (scripts/check-layers.sh)"
    failed=1
    continue
  fi
  while IFS= read -r line; do
    number=${line%%:*}
    target=$(sed -E 's/^[^"<]*["<]([^">]*)[">].*/\1/' <<<"${line#*:}")
    if [[ $line == *'<Q'* && $folder != platform/qt && $folder != tests/qt ]]; then
      echo "$file:$number: Qt outside the Qt front end: $target"
      failed=1
    elif [[ ${target,,} == windows.h && $folder != platform/win32 && $folder != tests/wine* ]]; then
      echo "$file:$number: <windows.h> outside the Windows front end"
      failed=1
    elif [[ $line == *'"'* && $target == */* && $allowed != "*" ]]; then
      to=$(dirname "$target")
      if [[ $to != "$folder" && " $allowed " != *" $to "* ]]; then
        echo "$file:$number: $folder/ includes $target, from a layer above it"
        failed=1
      fi
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(git ls-files -- '*.h' '*.cpp' '*.inc')
exit $failed
