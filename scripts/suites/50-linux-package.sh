#!/usr/bin/env bash
# The Linux package as a user gets it: the desktop files are valid, `cmake --install` lays everything out,
# cpack makes the .deb and lintian finds no error in it; then it is installed on this machine with apt,
# answers, is in the menu and in « Ouvrir avec » for text files, and is removed without a trace.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
# shellcheck source=scripts/checks.sh
source scripts/checks.sh

id=example.ravendo.Quorvin
entry=resources/linux/$id.desktop
metainfo=resources/linux/$id.metainfo.xml
mapfile -t sizes < <(find resources -maxdepth 1 -name 'app_icon_*.png' -printf '%f\n' | sed -n 's/^app_icon_\([0-9]*\)\.png$/\1/p')

check "desktop-file-validate $entry" desktop-file-validate "$entry"
check "appstreamcli validate $metainfo" appstreamcli validate --no-net "$metainfo"

cmake --preset linux >/dev/null && cmake --build --preset linux || exit 1

prefix=$(mktemp -d)
installed_in_prefix() {
  local file missing=0
  for file in bin/quorvin share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
      share/man/man1/quorvin.1.gz share/doc/quorvin/copyright share/doc/quorvin/changelog.gz; do
    [[ -f "$prefix/$file" ]] || { echo "missing: $file"; missing=1; }
  done
  for size in "${sizes[@]}"; do
    cmp "resources/app_icon_$size.png" "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" || missing=1
  done
  return $missing
}
check "cmake --install lays out the program, entry, metainfo and ${#sizes[@]} icon sizes" \
  bash -c "cmake --install build/linux --prefix '$prefix' >/dev/null" && check "  ... every file in place" installed_in_prefix
rm -rf "$prefix"

rm -f build/linux/quorvin_*.deb
check "cpack makes quorvin_1.1.0_amd64.deb" bash -c "cd build/linux && cpack -G DEB >/dev/null && test -f quorvin_1.1.0_amd64.deb"
deb=$PWD/build/linux/quorvin_1.1.0_amd64.deb
section_and_depends() {
  dpkg-deb -f "$deb" Section | grep -qx utils &&
    dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6 (>= ' &&  # found by dpkg-shlibdeps
    dpkg-deb -f "$deb" Depends | grep -q 'zlib1g (>= '
}
check "section utils, library dependencies from dpkg-shlibdeps" section_and_depends
# Lintian fails on errors only; its warnings and notes are printed for whoever reads the log.
check "lintian finds no error" bash -c "lintian --allow-root --info '$deb'; lintian --allow-root --fail-on error '$deb'"
# Built hardened as Debian's own packages are (cmake/hardening.cmake): lintian reports these only as info
# tags, which it shows with --display-info alone.
hardened_for_lintian() {
  local tags
  tags=$(lintian --allow-root --display-info --fail-on none "$deb") || return 1
  ! grep -E 'hardening-no-(bindnow|fortify-functions|relro|pie)' <<<"$tags"
}
check "lintian finds it hardened: fortify, relro, bindnow, PIE" hardened_for_lintian

# Installed on this very machine, as a user would with apt.
export DEBIAN_FRONTEND=noninteractive
dpkg -s quorvin >/dev/null 2>&1 && apt-get purge -y -qq quorvin >/dev/null
check "apt-get install ./quorvin_1.1.0_amd64.deb" apt-get install -y -qq "$deb"
mapfile -t owned < <(dpkg -L quorvin 2>/dev/null | while read -r f; do [[ -f "$f" ]] && echo "$f"; done)
# The GOT is read-only once the program is loaded, and the program is loaded at a random address.
bound_now_and_pie() {
  local dynamic header segments
  dynamic=$(readelf -d /usr/bin/quorvin) && header=$(readelf -h /usr/bin/quorvin) &&
    segments=$(readelf -lW /usr/bin/quorvin) || return 1
  grep -qE 'BIND_NOW|\(FLAGS_1\).* NOW' <<<"$dynamic" || { echo "not bound now:"; echo "$dynamic"; return 1; }
  grep -q GNU_RELRO <<<"$segments" || { echo "no RELRO segment"; return 1; }
  grep -qE '^ *Type: +DYN ' <<<"$header" || { echo "not position-independent:"; echo "$header"; return 1; }
}
check "the installed /usr/bin/quorvin is bound now, with RELRO, and position-independent" bound_now_and_pie
check "quorvin --version answers without a display" bash -c 'env -u DISPLAY quorvin --version | grep -qx "Quorvin 1.1.0"'
check "the desktop entry is where the menu looks, and valid" desktop-file-validate /usr/share/applications/$id.desktop
in_open_with() {
  grep -q "^text/plain=.*$id.desktop" /usr/share/applications/mimeinfo.cache &&
    grep -q "^text/x-log=.*$id.desktop" /usr/share/applications/mimeinfo.cache
}
check "« Ouvrir avec » offers it for text/plain and text/x-log" in_open_with
icons_in_theme() {
  for size in "${sizes[@]}"; do
    [[ -f /usr/share/icons/hicolor/${size}x$size/apps/$id.png ]] || { echo "no $size x $size icon"; return 1; }
  done
}
check "the icons are in the hicolor theme" icons_in_theme
check "apt-get purge quorvin" apt-get purge -y -qq quorvin
nothing_left() {
  local left=0
  dpkg -s quorvin >/dev/null 2>&1 && { echo "still known to dpkg"; left=1; }
  ((${#owned[@]} > 0)) || { echo "the package owned no file"; left=1; }
  for f in "${owned[@]}"; do
    [[ -e "$f" ]] && { echo "left: $f"; left=1; }
  done
  grep -s "$id" /usr/share/applications/mimeinfo.cache && left=1
  return $left
}
check "nothing of it is left" nothing_left

summary
