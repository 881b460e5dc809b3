#!/usr/bin/env bash
# Times this tree's scan against another commit's, row by row: every text and file of scripts/bench.sh,
# on the AVX2 path, side by side in one hyperfine run, in wall and processor time. Writes its section of
# docs/benchmarks.md, between the markers below (scripts/bench.sh runs it after its own, on its files).
# Not a test.
#   QUORVIN_BENCH_BASE   the commit to compare with (default d042ff6: the engine before the one pass,
#                        with its 32000-byte reads)
#   QUORVIN_BENCH_RUNS   the fewest timed runs per command (default 10, after 3 warm-up runs); a command
#                        is timed for 3 s at least, so the rows that end within milliseconds, where the
#                        start-up and its noise are all there is, get hundreds of runs
#   QUORVIN_BENCH_BUILD  build directory (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
base=${QUORVIN_BENCH_BASE:-d042ff6}
runs=${QUORVIN_BENCH_RUNS:-10}
build=${QUORVIN_BENCH_BUILD:-build/bench}
work=$build/files
text=$work/text-1252.txt utf8=$work/text-utf8.txt utf16=$work/text-utf16le.txt binary=$work/binary.bin
for file in "$text" "$utf8" "$utf16" "$binary" "$work/ab-10m.txt"; do
  [[ -f $file ]] || { echo "bench-against: $file is missing: scripts/bench.sh makes it" >&2; exit 1; }
done
source scripts/bench-texts.sh
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" >/dev/null
# The other commit's sources and build, kept beside this one's.
other=$build/base-$(git rev-parse --short "$base")
if [[ ! -x $other/build/bench/quorvin-bench ]]; then
  rm -rf "$other" && mkdir -p "$other"
  git archive "$base" | tar -x -C "$other"
  (cd "$other" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
fi
now="$build/quorvin-bench --no-place"
before=$other/build/bench/quorvin-bench
path=(--path=avx2)
"$build/quorvin-bench" --path=avx2 "$work/tiny.txt" x >/dev/null 2>&1 || [[ $? != 2 ]] || path=()  # 2: no AVX2

rows=()
for entry in "${texts[@]}"; do rows+=("1252|$text|${entry#*|}"); done
for entry in "${others[@]}"; do
  IFS='|' read -r f _ t _ <<<"$entry"
  rows+=("$f|$(fileOf "$f")|$t")
done
for entry in "${crowded[@]}"; do rows+=("${entry%%|*}|$work/${entry%%|*}.txt|${entry#*|}"); done
commands=()
for row in "${rows[@]}"; do
  IFS='|' read -r name file t <<<"$row"
  label="$name|${t:0:48}"
  commands+=(-n "before|$label" "$before ${path[*]} $file '$t'" -n "now|$label" "$now ${path[*]} $file '$t'")
done
cat "$text" "$utf8" "$utf16" "$binary" >/dev/null  # into the page cache
json=$build/bench-against.json
hyperfine -N --warmup 3 --min-runs "$runs" --ignore-failure --style basic --export-json "$json" "${commands[@]}" >/dev/null

python3 - "$json" "$base" "$runs" <<'EOF'
import json, re, sys

json_file, base, runs = sys.argv[1:4]
results = {r["command"]: r for r in json.load(open(json_file))["results"]}
rows, slower = [], 0
for name in [n[len("now|"):] for n in results if n.startswith("now|")]:
    b, n = results[f"before|{name}"], results[f"now|{name}"]
    wall = n["median"] / b["median"]
    cpu = (n["user"] + n["system"]) / (b["user"] + b["system"])
    worse = max(wall, cpu)
    slower += worse > 1.03
    file, text = name.split("|", 1)
    rows.append(f"| {file} | `{text}` | {b['median'] * 1000:.1f} | {n['median'] * 1000:.1f} | {wall:.2f} | "
                f"{cpu:.2f} | {'pass' if worse <= 1.03 else '**FAIL**'} |")
section = f"""<!-- against: made by scripts/bench-against.sh -->
## Against an earlier commit

Every row above, searched by `quorvin-bench` of `{base}` (by default `d042ff6`, the engine before the one
pass, reading 32000 bytes at a time) and by this one, side by side in one hyperfine run (`-N`, at least
{runs} runs and 3 s per command, medians; processor time is user + system, AVX2 path). Goal: no row slower
by more than 3 %, on the worse of the two clocks.

| file | text | before ms | now ms | now / before, wall | now / before, processor | goal |
|---|---|---|---|---|---|---|
""" + "\n".join(rows) + f"""

{slower} of {len(rows)} rows slower by more than 3 %.
<!-- /against -->
"""
page = open("docs/benchmarks.md").read()
page = re.sub(r"\n?<!-- against:.*?<!-- /against -->\n", "", page, flags=re.S)
open("docs/benchmarks.md", "w").write(page.rstrip("\n") + "\n\n" + section)
print(section)
EOF
