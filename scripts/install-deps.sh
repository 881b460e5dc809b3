#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are not installed yet (run as root).
set -euo pipefail
cd "$(dirname "$0")"

mapfile -t wanted < <(grep -v '^\s*\(#\|$\)' packages.txt)
missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
