#!/usr/bin/env bash
# The layer check, on a small tree of its own: it passes on includes that go down or stay in their folder,
# and fails on each planted one that goes up, names an unknown folder, or brings Qt or <windows.h> where
# they have no place.
set -euo pipefail
check=$(realpath "$(dirname "$0")/../scripts/check-layers.sh")
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cd "$tree"
git init -q

plant() {  # plant FILE LINE...
  mkdir -p "$(dirname "$1")"
  printf '%s\n' "${@:2}" >"$1"
  git add "$1"
}
plant encoding/code_page.h '#include <array>'
plant scanner/block_scanner.cpp '#include "scanner/block_scanner.h"' '#include "encoding/code_page.h"' \
  '#include "case_folding_table.inc"'
plant search_module/scan_options.cpp '#include "scanner/block_scanner.h"' '#include "platform/services.h"'
plant main_window/frm_scan.cpp '  #  include "about_window/frm_about.h"' '#include "search_module/messages.h"'
plant platform/qt/window_system.cpp '#include <QWidget>' '#include "platform/posix/native_path.h"'
plant app/qt/main.cpp '#include "main_window/frm_scan.h"' '#include "platform/qt/program.h"'
plant app/win32/main.cpp '#include "app/command_line.h"' '#include "platform/win32/program.h"'
plant tests/scan_test.cpp '#include "main_window/frm_scan.h"' '#include "tests/fakes/fakes.h"'
if ! output=$(bash "$check" "$tree"); then
  echo "the check fails a tree whose includes all go down:"
  echo "$output"
  exit 1
fi

plant scanner/anchor_filter.cpp '#include "search_module/scan_options.h"'
plant platform/qt/main.cpp '#include "main_window/frm_scan.h"'
plant about_window/frm_about.cpp '#include "main_window/frm_scan.h"'
plant main_window/frm_scan_design.cpp '#include "scanner/unicode_form.h"'
plant app/qt/command_line.cpp '#include <QCommandLineParser>'
plant search_module/messages.cpp '#include <Windows.h>'
plant gui/window.cpp '#include <vector>'
expected="about_window/frm_about.cpp:1: about_window/ includes main_window/frm_scan.h: not a layer below it that it may use
app/qt/command_line.cpp:1: Qt outside the Qt services: QCommandLineParser
gui/window.cpp: its folder has no place in the layers (scripts/check-layers.sh)
main_window/frm_scan_design.cpp:1: main_window/ includes scanner/unicode_form.h: not a layer below it that it may use
platform/qt/main.cpp:1: platform/qt/ includes main_window/frm_scan.h: not a layer below it that it may use
scanner/anchor_filter.cpp:1: scanner/ includes search_module/scan_options.h: not a layer below it that it may use
search_module/messages.cpp:1: <windows.h> outside the Win32 services"
if output=$(bash "$check" "$tree"); then
  echo "the check passes a tree with planted includes that go up"
  exit 1
fi
if [[ $output != "$expected" ]]; then
  echo "the check reports:"
  echo "$output"
  echo "where it should report:"
  echo "$expected"
  exit 1
fi
