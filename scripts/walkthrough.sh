#!/usr/bin/env bash
# Runs the real Quorvin on a virtual display (Xvfb, the xcb platform) through a typical search of a
# sample file, as a user would with keyboard and mouse, saving a screenshot of each step. Fails when a
# step does not bring up the window it should.
# Usage: scripts/walkthrough.sh [PROGRAM [FOLDER]]   (defaults: build/linux/quorvin, docs/screenshots)
# QUORVIN_SCALE=2 runs it on a screen at 2x (Qt's scale factor), with a display twice as large.
set -euo pipefail
scale=${QUORVIN_SCALE:-1}
export QT_SCALE_FACTOR=$scale
self=$(realpath "$0")
cd "$(dirname "$self")/.."
program=$(realpath "${1:-build/linux/quorvin}")
shots=$(realpath -m "${2:-docs/screenshots}")
if [[ -z "${QUORVIN_ON_XVFB:-}" ]]; then
  QUORVIN_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 $((1024 * scale))x$((768 * scale))x24 -dpi 96" "$self" \
    "$program" "$shots"
fi

mkdir -p "$shots"
samples=$(mktemp -d -t quorvin-exemple.XXXXXX)
# The program keeps nothing between runs: Qt's file dialog would keep its folders in QtProject.conf.
XDG_CONFIG_HOME=$(mktemp -d -t quorvin-config.XXXXXX)
export XDG_CONFIG_HOME
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$samples" "$XDG_CONFIG_HOME"' EXIT
printf 'Quorvin dit si une chaîne de caractères se trouve dans un fichier.\n' | iconv -t WINDOWS-1252 >"$samples/exemple.txt"
printf 'Café crème à la française\n' >"$samples/utf-8.txt"  # as Linux saves text
truncate -s 16G "$samples/grand-fichier.bin"  # sparse: no disk used, still long to read
cp tests/documents/letter.docx "$samples/lettre.docx"  # Word splits « Rendez-vous » into runs

# Waits up to ten seconds for a visible window whose caption matches the pattern; prints its id.
wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "walkthrough: the window \"$1\" did not show; the screen then: $shots/failure.png" >&2
  import -window root "$shots/failure.png"
  return 1
}
wait_gone() {
  for _ in $(seq 100); do
    if ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then
      sleep 0.3  # until the program has left the closed window's event loop
      return 0
    fi
    sleep 0.1
  done
  echo "walkthrough: the window \"$1\" did not close" >&2
  return 1
}
shot() {
  sleep 0.5  # let it paint
  import -window root png:- | convert - -trim +repage "$shots/$1.png"
  echo "  $shots/$1.png"
}
# Clicks at a point of a window given in twips, as the window's design places its controls.
click_at() {
  xdotool mousemove --window "$1" $(($2 * scale / 15)) $(($3 * scale / 15)) click 1
}

# A light window manager, when installed, draws the windows' title bars and close boxes.
if command -v jwm >/dev/null; then
  cat >"$samples/.jwmrc" <<JWM
<?xml version="1.0"?>
<JWM>
  <WindowStyle>
    <Font>DejaVu Sans Condensed-$((9 * scale))</Font>
    <Height>$((22 * scale))</Height>
    <Foreground>#E0E0E0</Foreground>
    <Background>#707070</Background>
    <Active><Foreground>#FFFFFF</Foreground><Background>#0A246A:#3A6EA5</Background></Active>
  </WindowStyle>
  <Desktops width="1" height="1"><Background type="solid">#000000</Background></Desktops>
</JWM>
JWM
  HOME=$samples jwm >/dev/null 2>&1 &
  sleep 1
fi

echo "Screenshots:"
(cd "$samples" && exec "$program") &
pid=$!
main=$(wait_window "^Recherche d'une cha")
shot 01-start
xdotool type --delay 40 "Quorvin"
shot 02-text-typed

click_at "$main" 2400 720  # Scan_Select: the first click opens the dialog
wait_window "^Ouvrir un fichier$" >/dev/null
sleep 0.5
xdotool type --delay 40 "exemple.txt"
shot 03-file-dialog
xdotool key Return
wait_gone "^Ouvrir un fichier$"
shot 04-file-chosen

click_at "$main" 2400 720  # Lancer la recherche...
wait_window "re trouv" >/dev/null
shot 05-found
xdotool key Return
wait_gone "re trouv"

click_at "$main" 4300 260  # the search text
xdotool key ctrl+a
xdotool type --delay 40 "absent"
click_at "$main" 2400 720
wait_window "^Ouvrir un fichier$" >/dev/null
sleep 0.5
xdotool type --delay 40 "exemple.txt"
xdotool key Return
wait_gone "^Ouvrir un fichier$"
click_at "$main" 2400 720
wait_window "ne non trouv" >/dev/null
shot 06-not-found
sleep 1  # the search time counts until the message is dismissed
xdotool key Return
wait_gone "ne non trouv"
shot 07-after-search

# The same search in a UTF-8 file, the text typed in capitals: found. From the keyboard this time: Enter
# in the search text does what the button does.
click_at "$main" 4300 260
xdotool key ctrl+a
xdotool type --delay 40 "CRÈME"
xdotool key Return
wait_window "^Ouvrir un fichier$" >/dev/null
sleep 0.5
xdotool type --delay 40 "utf-8.txt"
xdotool key Return
wait_gone "^Ouvrir un fichier$"
xdotool key Return
wait_window "re trouv" >/dev/null
xdotool key Return
wait_gone "re trouv"

# A phrase Word wrote in three runs, inside a compressed document: found, and told where Word shows it.
click_at "$main" 4300 260
xdotool key ctrl+a
xdotool type --delay 40 "rendez-vous important"
click_at "$main" 2400 720
wait_window "^Ouvrir un fichier$" >/dev/null
sleep 0.5
xdotool type --delay 40 "lettre.docx"
xdotool key Return
wait_gone "^Ouvrir un fichier$"
click_at "$main" 2400 720
wait_window "re trouv" >/dev/null
xdotool key Return
wait_gone "re trouv"
shot 11-found-in-document

click_at "$main" 5047 727  # Command2: About
about=$(wait_window "^A propos Quorvin$")
shot 08-about
click_at "$about" 4687 2467  # Détails...
wait_window "^A propos$" >/dev/null
shot 09-details
xdotool key Return
wait_gone "^A propos$"
xdotool key Escape
wait_gone "^A propos Quorvin$"

click_at "$main" 2400 720
wait_window "^Ouvrir un fichier$" >/dev/null
sleep 0.5
xdotool type --delay 40 "grand-fichier.bin"
xdotool key Return
wait_gone "^Ouvrir un fichier$"
click_at "$main" 2400 720
wait_window "^Recherche en cours" >/dev/null
shot 10-progress
xdotool key Escape  # Annuler
wait_window "^Recherche annul" >/dev/null
xdotool key Return
wait_gone "^Recherche annul"

click_at "$main" 5647 727  # Command1: Quit
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "walkthrough: the Quit button did not end the program" >&2
  exit 1
fi
if [[ -n "$(ls -A "$XDG_CONFIG_HOME")" ]]; then
  echo "walkthrough: the program wrote settings: $(ls -A "$XDG_CONFIG_HOME")" >&2
  exit 1
fi
echo "walkthrough: every step showed what it should"
