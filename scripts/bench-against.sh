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
# An older build that tells places too is timed without them, as this one is; 2 is an unknown option.
[[ $(status "$before" --no-place "$work/tiny.txt" x) == 2 ]] || before="$before --no-place"
# AVX2 is forced where AVX-512 is there, as scripts/bench.sh does; elsewhere both take their fastest path.
path=()
[[ $(status "$build/quorvin-bench" --path=avx512 "$work/tiny.txt" x) == 2 ]] || path=(--path=avx2)

rows=()
for entry in "${texts[@]}"; do rows+=("1252|$text|${entry#*|}"); done
for entry in "${others[@]}"; do
  IFS='|' read -r f _ t _ <<<"$entry"
  rows+=("$f|$(fileOf "$f")|$t")
done
for entry in "${crowded[@]}"; do rows+=("${entry%%|*}|$work/${entry%%|*}.txt|${entry#*|}"); done
# Each row in the order before, now, now, before: hyperfine times one command after the other, and the
# machine drifts meanwhile (the same build, timed twice 6 s apart, differs by 3 to 7 % on the rows that
# end within milliseconds); the two halves' mean cancels a steady drift, and the two timings of the older
# build show the noise left.
commands=()
for row in "${rows[@]}"; do
  IFS='|' read -r name file t <<<"$row"
  label="$name|${t:0:48}"
  commands+=(-n "before1|$label" "$before ${path[*]} $file '$t'" -n "now1|$label" "$now ${path[*]} $file '$t'")
  commands+=(-n "now2|$label" "$now ${path[*]} $file '$t'" -n "before2|$label" "$before ${path[*]} $file '$t'")
done
cat "$text" "$utf8" "$utf16" "$binary" >/dev/null  # into the page cache
json=$build/bench-against.json
hyperfine -N --warmup 3 --min-runs "$runs" --ignore-failure --style basic --export-json "$json" "${commands[@]}" >/dev/null

python3 - "$json" "$base" "$runs" <<'EOF'
import json, re, sys

json_file, base, runs = sys.argv[1:4]
results = {r["command"]: r for r in json.load(open(json_file))["results"]}
rows, slower = [], 0
for name in [n[len("now1|"):] for n in results if n.startswith("now1|")]:
    times = {k: results[f"{k}|{name}"] for k in ("before1", "now1", "now2", "before2")}
    def wall(*keys): return sum(times[k]["median"] for k in keys) / len(keys)
    def cpu(*keys): return sum(times[k]["user"] + times[k]["system"] for k in keys) / len(keys)
    b, n = ("before1", "before2"), ("now1", "now2")
    wall_ratio, cpu_ratio = wall(*n) / wall(*b), cpu(*n) / cpu(*b)
    again = wall("before2") / wall("before1")
    worse = max(wall_ratio, cpu_ratio)
    slower += worse > 1.03
    file, text = name.split("|", 1)
    rows.append(f"| {file} | `{text}` | {wall(*b) * 1000:.1f} | {wall(*n) * 1000:.1f} | {wall_ratio:.2f} | "
                f"{cpu_ratio:.2f} | {again:.2f} | {'pass' if worse <= 1.03 else '**FAIL**'} |")
section = f"""<!-- against: made by scripts/bench-against.sh -->
## Against an earlier commit

Every row above, searched by `quorvin-bench` of `{base}` (by default `d042ff6`, the engine before the one
pass, reading 32000 bytes at a time) and by this one, side by side in one hyperfine run (`-N`, at least
{runs} runs and 3 s per command, medians; processor time is user + system, AVX2 path). Each row is timed
before, now, now, before, and each build's two timings are averaged, so that a steady drift of the machine
cancels; "before, again" is the older build's second timing over its first, the noise left. Goal: no row
slower by more than 3 %, on the worse of the two clocks.

| file | text | before ms | now ms | now / before, wall | now / before, processor | before, again | goal |
|---|---|---|---|---|---|---|---|
""" + "\n".join(rows) + f"""

{slower} of {len(rows)} rows slower by more than 3 %.
<!-- /against -->
"""
page = open("docs/benchmarks.md").read()
page = re.sub(r"\n?<!-- against:.*?<!-- /against -->\n", "", page, flags=re.S)
open("docs/benchmarks.md", "w").write(page.rstrip("\n") + "\n\n" + section)
print(section)
EOF
