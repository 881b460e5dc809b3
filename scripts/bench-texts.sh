# shellcheck shell=bash disable=SC2034,SC2154  # the arrays are for the scripts that source this; they set the paths
# The bench's texts, sourced by scripts/bench.sh and scripts/bench-against.sh once the files' paths are set:
# $text (Windows-1252), $utf8, $utf16, $binary and $work, where the crowded files are.
repeat() { python3 -c 'import sys; sys.stdout.write(sys.argv[1] * int(sys.argv[2]))' "$@"; }
# A command's exit status, its output dropped: 0 found, 1 not found, 2 a usage error.
status() { "$@" >/dev/null 2>&1 && echo 0 || echo $?; }
abText=$(repeat ab 15999)aa
baText=$(repeat a 31999)b
# Texts, grouped by goal. "uncommon": holds a rare letter; "common": common letters only; "accented":
# accented letters, Œ or Ÿ (ripgrep reads the file as Windows-1252 for these; grep, in the C locale,
# cannot fold them and is left out); "-end": found in the file's last 100 bytes only.
texts=(
  "uncommon|zz" "uncommon|quorvin" "uncommon|jxk" "uncommon|hawk"
  "common|tenant" "common|the red stone is near the old train line"
  "common|tnt" "common|nsdr" "common|rotten" "common|entrants" "common|salt and tea"
  "common|dear old station" "common|the rest of the old ones" "common|nothing less than a dear letter"
  "uncommon-end|kx-4711" "accented-end|relevé kx-4711"
  "accented|œillet" "accented|cœur brisé" "accented|haÿ-les-rosés" "accented|ÉLÈVES"
)

# The other files: "file|group|text|expected exit status" (0 found, 1 not found).
others=(
  "utf8|ascii|tenant|1" "utf8|ascii|quorvin|1" "utf8|ascii|zz|1" "utf8|ascii|salt and tea|1"
  "utf8|ascii|dear old station|1" "utf8|ascii|Several hundred tenants heard the rattle|1" "utf8|ascii-end|kx-4711|0" "utf8|accented|CAFÉ|0"
  "utf8|accented|élève brûlée|1" "utf8|cyrillic|привет|0" "utf8|cyrillic|ПРИВЕТСТВИЕ|1" "utf8|greek|σοφία|0"
  "utf16|ascii|tenant|1" "utf16|ascii|salt and tea|1" "utf16|ascii-end|kx-4711|0" "utf16|accented|CAFÉ|0" "utf16|accented|élève brûlée|1"
  "utf16|cyrillic|привет|0" "utf16|cyrillic|ПРИВЕТСТВИЕ|1"
  "binary|ascii|salt and tea|1" "binary|ascii|zz|0" "binary|ascii|quorvin|1" "binary|accented|élève brûlée|1"
  "binary|cyrillic|ПРИВЕТСТВИЕ|1"
)
fileOf() { case $1 in utf8) echo "$utf8" ;; utf16) echo "$utf16" ;; binary) echo "$binary" ;; esac; }
crowded=("ab-1m|$abText" "ab-10m|$abText" "b-then-a|$baText")
