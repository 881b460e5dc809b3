#!/usr/bin/env bash
# Fails on an #include that goes up: each folder of the program includes only itself and the folders below
# it, so the folders never include one another in a circle. Qt and <windows.h> stay in the systems' own
# services (platform/qt/, platform/win32/) and their tests. Checks the git tree at ROOT (the repository's
# by default).
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The folders each folder may include besides itself, from the top layer down; tests and tools may
# include any.
below() {
  local windows="search_module platform encoding"
  case "$1" in
    app/qt) echo "app main_window platform/qt platform/posix platform encoding" ;;
    app/win32) echo "app main_window platform/win32 platform encoding" ;;
    app) echo "main_window $windows" ;;
    main_window) echo "about_window progress_window $windows" ;;
    about_window | progress_window) echo "$windows" ;;
    search_module) echo "readers scanner platform encoding" ;;
    readers) echo "scanner encoding" ;;
    scanner) echo "encoding" ;;
    platform/qt) echo "platform/posix platform encoding" ;;
    platform/win32 | platform/posix) echo "platform encoding" ;;
    platform) echo "encoding" ;;
    encoding) echo "" ;;
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
      echo "$file:$number: Qt outside the Qt services: $target"
      failed=1
    elif [[ ${target,,} == windows.h && $folder != platform/win32 && $folder != tests/wine* ]]; then
      echo "$file:$number: <windows.h> outside the Win32 services"
      failed=1
    elif [[ $line == *'"'* && $target == */* && $allowed != "*" ]]; then
      to=$(dirname "$target")
      if [[ $to != "$folder" && " $allowed " != *" $to "* ]]; then
        echo "$file:$number: $folder/ includes $target: not a layer below it that it may use"
        failed=1
      fi
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(git ls-files -- '*.h' '*.cpp' '*.inc')
exit $failed
