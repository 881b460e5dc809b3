#!/usr/bin/env bash
# The Linux package as a user gets it: the desktop files are valid, `cmake --install` lays everything out,
# cpack makes the .deb and lintian finds no error in it; then it is installed on this machine with apt,
# answers, is in the menu and in « Ouvrir avec » for text files without taking them from their editor,
# starts on Wayland, and is removed without a trace. Last, a minimal Debian that gets only its Depends
# shows the same windows as this machine, fonts and French dialog included.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
# shellcheck source=scripts/checks.sh
source scripts/checks.sh

id=example.ravendo.Quorvin
desktop_id=zz-quorvin
entry=resources/linux/$desktop_id.desktop
metainfo=resources/linux/$id.metainfo.xml
mapfile -t sizes < <(find resources -maxdepth 1 -name 'app_icon_*.png' -printf '%f\n' | sed -n 's/^app_icon_\([0-9]*\)\.png$/\1/p')

check "desktop-file-validate $entry" desktop-file-validate "$entry"
check "appstreamcli validate $metainfo" appstreamcli validate --no-net "$metainfo"

cmake --preset linux >/dev/null && cmake --build --preset linux || exit 1

prefix=$(mktemp -d)
installed_in_prefix() {
  local file missing=0
  for file in bin/quorvin share/applications/$desktop_id.desktop share/metainfo/$id.metainfo.xml \
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
# What the linker cannot see: the faces and Qt's French texts the windows need, the Wayland plugin as a
# recommendation; Qt's X11 plugin is libqt6gui6's, so qt6-qpa-plugins (VNC, TUIO) is not asked for.
depends_beyond_libraries() {
  local depends recommends package
  depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//') &&
    recommends=$(dpkg-deb -f "$deb" Recommends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//') || return 1
  for package in fonts-dejavu-extra fonts-comic-neue qt6-translations-l10n libqt6gui6; do
    grep -qx "$package" <<<"$depends" || { echo "Depends lacks $package: $depends"; return 1; }
  done
  grep -qx qt6-qpa-plugins <<<"$depends$recommends" && { echo "qt6-qpa-plugins is asked for"; return 1; }
  grep -qx qt6-wayland <<<"$recommends" || { echo "Recommends lacks qt6-wayland: $recommends"; return 1; }
}
check "Depends: the fonts and Qt's translations; Recommends: qt6-wayland; no qt6-qpa-plugins" depends_beyond_libraries
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

# A text editor installed before Quorvin, its id sorting after example.* as most editors' ids do. On a
# desktop without mimeapps.list (a fresh home, no desktop named) GIO and xdg-mime choose from
# mimeinfo.cache alone; what they answer before Quorvin is installed, they must answer after.
editor=/usr/share/applications/org.example.TestEditor.desktop
printf '%s\n' '[Desktop Entry]' Type=Application Name=Éditeur 'Exec=cat %f' Terminal=true 'MimeType=text/plain;' >"$editor"
update-desktop-database /usr/share/applications
bare_home=$(mktemp -d)
trap 'rm -f "$editor"; update-desktop-database /usr/share/applications; rm -rf "$bare_home"' EXIT
on_bare_desktop() { env -i PATH=/usr/bin:/bin HOME="$bare_home" LC_ALL=C "$@"; }
gio_default() { on_bare_desktop gio mime "$1" | sed -n 's/^Default application for .*: //p'; }
gio_registered() { on_bare_desktop gio mime "$1" | sed -n '/^Registered applications:/,/^[^\t]/s/^\t//p'; }
declare -A default_before
for type in text/plain text/x-log text/csv application/json; do
  default_before[gio:$type]=$(gio_default "$type")
done
default_before[xdg:text/plain]=$(on_bare_desktop xdg-mime query default text/plain)
default_before[xdg:text/x-log]=$(on_bare_desktop xdg-mime query default text/x-log)
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
check "the desktop entry is where the menu looks, and valid" desktop-file-validate /usr/share/applications/$desktop_id.desktop
in_open_with() {
  local type
  for type in text/plain text/x-log text/csv application/json; do
    gio_registered "$type" | grep -qx "$desktop_id.desktop" || { echo "not offered for $type:"; gio_registered "$type"; return 1; }
  done
}
check "« Ouvrir avec » (gio mime) offers it for text/plain, text/x-log, text/csv and application/json" in_open_with
defaults_kept() {
  local key now kept=0
  [[ "${default_before[xdg:text/plain]}" == org.example.TestEditor.desktop ]] ||
    echo "note: the default for text/plain was ${default_before[xdg:text/plain]} before"
  for key in "${!default_before[@]}"; do
    if [[ $key == gio:* ]]; then now=$(gio_default "${key#gio:}"); else now=$(on_bare_desktop xdg-mime query default "${key#xdg:}"); fi
    [[ "$now" == "${default_before[$key]}" ]] || { echo "$key: ${default_before[$key]:-nothing} before, $now now"; kept=1; }
  done
  [[ -n "${default_before[xdg:text/plain]}" ]] || { echo "no default for text/plain to keep"; kept=1; }
  return $kept
}
check "with an editor installed first, gio mime and xdg-mime name the same defaults as before" defaults_kept
# Under a Wayland compositor, with the Wayland plugin the package recommends: the main window is made,
# titled in French and named after the desktop entry, and the compositor shows it.
on_weston() {
  local runtime weston quorvin log mapped=1
  runtime=$(mktemp -d) && log=$runtime/quorvin.log || return 1
  XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=quorvin-check --idle-time=0 \
    >"$runtime/weston.log" 2>&1 &
  weston=$!
  for _ in $(seq 100); do [[ -S $runtime/quorvin-check ]] && break; sleep 0.1; done
  XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=quorvin-check QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    env -u DISPLAY quorvin >"$log" 2>&1 &
  quorvin=$!
  for _ in $(seq 100); do
    # A buffer attached once the compositor's configure is acknowledged: the window is on screen.
    if sed -n '/xdg_surface@[0-9]*\.ack_configure/,$p' "$log" | grep -q 'wl_surface@[0-9]*\.attach(wl_buffer'; then
      mapped=0
      break
    fi
    kill -0 "$quorvin" 2>/dev/null || break
    sleep 0.1
  done
  kill "$quorvin" "$weston" 2>/dev/null
  wait "$quorvin" "$weston" 2>/dev/null
  grep -q 'set_title("Recherche d.une chaîne de caractères dans un fichier")' "$log" &&
    grep -q "set_app_id(\"$desktop_id\")" "$log" || mapped=1
  ((mapped == 0)) || { grep -v '^\[' "$log" | tail -5; tail -5 "$runtime/weston.log"; }
  rm -rf "$runtime"
  return $mapped
}
check "QT_QPA_PLATFORM=wayland: on weston's headless backend the main window shows" on_weston
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
  grep -s "$desktop_id" /usr/share/applications/mimeinfo.cache && left=1
  return $left
}
check "nothing of it is left" nothing_left

# A minimal Debian (debootstrap's minbase, from this machine's own mirror) that gets the package with its
# Depends alone. Made once and kept as build/linux/minbase.tar; each run starts from a fresh copy.
minbase=$PWD/build/linux/minbase.tar
root=$PWD/build/linux/minbase
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror_lists() {  # this machine's Debian sources, as one-line entries
  # shellcheck disable=SC2016 # apt's own fields
  apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' |
    awk -v c="$codename" '$2 == c || $2 == c "-updates" || $2 == c "-security" { print "deb " $0 }' | sort -u
}
make_minbase() {
  local mirror
  mirror=$(mirror_lists | awk -v c="$codename" '$3 == c { print $2; exit }')
  [[ -n "$mirror" ]] || { echo "no mirror of Debian $codename in apt's sources"; return 1; }
  rm -rf "$root" && debootstrap --variant=minbase "$codename" "$root" "$mirror" >"$root.log" 2>&1
  local made=$?
  mountpoint -q "$root/proc" && umount -l "$root/proc"
  ((made == 0)) || { tail -5 "$root.log"; return 1; }
  tar -C "$root" -cf "$minbase" . && rm -rf "$root"
}
[[ -f "$minbase" ]] || check "debootstrap makes a minbase Debian $codename" make_minbase
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 "$@"; }
install_in_minbase() {
  rm -rf "$root" && mkdir -p "$root" && tar -C "$root" -xf "$minbase" || return 1
  rm -f "$root"/etc/apt/sources.list.d/* && mirror_lists >"$root/etc/apt/sources.list" &&
    cp /etc/apt/apt.conf.d/* "$root/etc/apt/apt.conf.d/" && cp -L /etc/resolv.conf "$root/etc/" &&
    cp "$deb" "$root/tmp/" || return 1
  in_root apt-get update -qq &&
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "/tmp/${deb##*/}" >/dev/null
}
only_depends_installed() {
  local package status
  for package in quorvin fonts-dejavu-extra fonts-comic-neue qt6-translations-l10n qt6-wayland xdg-utils qt6-qpa-plugins; do
    # shellcheck disable=SC2016 # dpkg's own field
    status=$(in_root dpkg-query -W -f='${Status}' "$package" 2>/dev/null)
    case $package in
      qt6-wayland | xdg-utils | qt6-qpa-plugins) [[ "$status" != *" installed" ]] || { echo "$package came too"; return 1; } ;;
      *) [[ "$status" == *" installed" ]] || { echo "$package is not installed"; return 1; } ;;
    esac
  done
}
# The walk-through on this machine, where every font is installed, and in the minimal system started
# from here: the same pixels, but for what changes between two runs (the sample folder's name, the
# files' times) and the text cursor's blink.
same_windows() {
  local shots starter name a b diff result=0
  shots=$(mktemp -d) && starter=$shots/quorvin-in-minbase || return 1
  cat >"$starter" <<STARTER
#!/usr/bin/env bash
# The minimal system's quorvin, in a copy of the current folder made inside it.
mkdir -p "$root\$PWD" && cp -a --sparse=always . "$root\$PWD" && cp "\$XAUTHORITY" "$root/tmp/xauthority" &&
  exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root DISPLAY="\$DISPLAY" \\
    XAUTHORITY=/tmp/xauthority QT_SCALE_FACTOR="\$QT_SCALE_FACTOR" sh -c 'cd "\$1" && exec quorvin' sh "\$PWD"
STARTER
  chmod +x "$starter"
  if ! scripts/walkthrough.sh build/linux/quorvin "$shots/here" >"$shots/here.log" 2>&1 ||
    ! scripts/walkthrough.sh "$starter" "$shots/minbase" >"$shots/minbase.log" 2>&1; then
    tail -3 "$shots"/*.log
    return 1
  fi
  # Whole windows, and for the file dialog its labels, column titles and buttons.
  for name in 01-start 02-text-typed 08-about 09-details 03-file-dialog:115x439+0+0 \
      03-file-dialog:500x20+115+62 03-file-dialog:100x80+539+359; do
    a=$shots/here/${name%%:*}.png b=$shots/minbase/${name%%:*}.png
    if [[ $name == *:* ]]; then
      convert "$a" -crop "${name#*:}" +repage "$shots/a.png" && convert "$b" -crop "${name#*:}" +repage "$shots/b.png" &&
        a=$shots/a.png b=$shots/b.png || return 1
    fi
    if [[ $(identify -format %wx%h "$a") != "$(identify -format %wx%h "$b")" ]]; then
      echo "$name: $(identify -format %wx%h "$a") here, $(identify -format %wx%h "$b") in minbase"; result=1
      continue
    fi
    diff=$(compare -metric AE "$a" "$b" null: 2>&1)
    if ! [[ $diff =~ ^[0-9]+$ ]] || ((diff > 40)); then
      echo "$name: $diff pixels differ"
      result=1
    fi
  done
  ((result == 0)) || echo "screenshots: $shots"
  ((result != 0)) || rm -rf "$shots"
  return $result
}
if [[ -f "$minbase" ]]; then
  check "in a fresh minbase, apt-get install --no-install-recommends ./quorvin_1.1.0_amd64.deb" install_in_minbase &&
    check "  ... brings the fonts and Qt's translations, and no Recommends" only_depends_installed &&
    check "  ... shows the windows and the French file dialog as here" same_windows
  rm -rf "$root"
fi

summary
