# shellcheck shell=bash
# Sourced by the Windows suite and the screenshot script: makes a fresh Wine prefix at $WINEPREFIX that
# runs as a Western system on a desktop of its own, with the fonts that Microsoft's windows would have,
# and starts and stops its Wine server.
wine=/usr/lib/wine/wine64
export WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko download prompts
export LC_ALL=C.UTF-8  # Wine then runs as a Western system: code page 1252, whatever the machine's locale

make_prefix() {
  stop_wine
  rm -rf "$WINEPREFIX"
  timeout 600 "$wine" wineboot -i >/dev/null 2>&1
  reg() { "$wine" reg add "$@" /f >/dev/null 2>&1; }
  # No window manager runs: Wine draws the windows' frames itself on a desktop of its own.
  reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
  reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
  # Wine's own MS Sans Serif, Tahoma and Marlett (fonts-wine): this Wine does not look in their folder,
  # only in the prefix's. Without them, the title bars' close glyph is a letter and the default face
  # falls back to a wider one.
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  # Comic Sans MS is Microsoft's. Debian's Comic Neue is an outline face with no hinting table, which
  # Wine smooths at every size: its thin strokes come out pale grey (an enabled button looks disabled)
  # and its small full stops vanish. A hinted narrow face draws those texts black and whole.
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Comic Sans MS' /d 'DejaVu Sans Condensed'
  stop_wine  # the settings are on disk once the server has gone
}

# Returns once the prefix's Wine server has ended. On a machine's first run, making a prefix can take
# minutes; a server left running would serve the tests too, started without their display and not
# persistent, so that it could end between two test programs and be started again by one of them.
stop_wine() {
  timeout 300 /usr/bin/wineserver -w || /usr/bin/wineserver -k || true
  timeout 60 /usr/bin/wineserver -w
}

# Starts the prefix's own persistent server on this display and boots the prefix before any test runs:
# Wine's services are then up, started by no test program, and no test pays for the boot.
start_wine() {
  if ! /usr/bin/wineserver -p; then
    echo "The Wine server of $WINEPREFIX is still running; it must be a new one here" >&2
    return 1
  fi
  timeout 600 "$wine" wineboot >/dev/null 2>&1
}
