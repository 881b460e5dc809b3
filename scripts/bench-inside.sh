#!/usr/bin/env bash
# Times the search inside compressed files and documents, side by side in one hyperfine run: a UTF-8
# text gzipped (-6) against inflating it alone (quorvin-bench --inflate-only), gzip -dc, ugrep -z and
# rg -z; a .docx of about 2 000 pages against inflating its parts alone. Writes its section of
# docs/benchmarks.md, between the markers below (scripts/bench.sh runs it after its own). Not a test.
#   QUORVIN_BENCH_GZIP_BYTES  size of the text before it is gzipped (default 256 MiB)
#   QUORVIN_BENCH_RUNS        timed runs per command (default 10, after 2 warm-up runs)
#   QUORVIN_BENCH_BUILD       build directory (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
bytes=${QUORVIN_BENCH_GZIP_BYTES:-268435456}
runs=${QUORVIN_BENCH_RUNS:-10}
build=${QUORVIN_BENCH_BUILD:-build/bench}
work=$build/files
mkdir -p "$work"
# The peers it is timed against, from Debian's packages.
for tool in ugrep rg hyperfine; do
  command -v "$tool" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ugrep ripgrep hyperfine >/dev/null
done
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" >/dev/null
quorvin=$build/quorvin-bench

log=$work/log-utf8.txt.gz
if [[ ! -f $log ]]; then
  "$build/quorvin-make-text" --utf-8 "$work/log-utf8.txt" "$bytes"
  gzip -6 -c "$work/log-utf8.txt" >"$log"
  rm "$work/log-utf8.txt"
fi
# 2 000 pages of about 40 lines of 80 characters: each line a paragraph, its words in runs of three, as
# Word splits them at every change of format.
docx=$work/pages-2000.docx
if [[ ! -f $docx ]]; then
  python3 - "$docx" <<'PY'
import random, sys, zipfile
random.seed(1)
words = "le la les un une des maison jardin lettre rendez-vous demain bureau train gare ville livre page".split()
body = []
for _ in range(2000 * 40):
    line = " ".join(random.choice(words) for _ in range(13))
    runs = [line[i:i + 27] for i in range(0, len(line), 27)]
    body.append("<w:p>" + "".join(f'<w:r><w:rPr><w:b w:val="{i % 2}"/></w:rPr><w:t xml:space="preserve">{r}</w:t></w:r>'
                                  for i, r in enumerate(runs)) + "</w:p>")
ns = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
document = f'<?xml version="1.0" encoding="UTF-8"?><w:document {ns}><w:body>{"".join(body)}</w:body></w:document>'
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types/>')
    z.writestr("word/document.xml", document)
PY
fi

text=quorvin  # in neither file
status() { "$@" >/dev/null 2>&1 && echo 0 || echo $?; }
for answer in "$(status "$quorvin" "$log" "$text")" "$(status ugrep -z -iFq "$text" "$log")" \
              "$(status "$quorvin" "$docx" "$text")"; do
  [[ $answer == 1 ]] || { echo "bench-inside: a search answered $answer where the text is in no file" >&2; exit 1; }
done
[[ $(status "$quorvin" "$docx" "rendez-vous demain") == 0 ]] || { echo "bench-inside: the .docx text is not found" >&2; exit 1; }

peak() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -1; }
: >"$work/empty.txt"
peakBase=$(peak "$quorvin" "$work/empty.txt" "$text")
peakLog=$(peak "$quorvin" "$log" "$text")
peakDocx=$(peak "$quorvin" "$docx" "$text")

json=$build/bench-inside.json
cat "$log" "$docx" >/dev/null
hyperfine -N --warmup 2 --runs "$runs" --ignore-failure --style basic --export-json "$json" \
  -n "gz|quorvin" "$quorvin $log $text" -n "gz|inflate alone" "$quorvin --inflate-only $log" \
  -n "gz|gzip -dc" "gzip -dc $log" -n "gz|ugrep -z" "ugrep -z -iFq $text $log" -n "gz|rg -z" "rg -z -iFq $text $log" \
  -n "docx|quorvin" "$quorvin $docx $text" -n "docx|inflate alone" "$quorvin --inflate-only $docx"

python3 - "$json" "$bytes" "$(stat -c %s "$log")" "$(stat -c %s "$docx")" "$peakBase" "$peakLog" "$peakDocx" <<'PY'
import json, re, sys
json_file, size, gz_size, docx_size, base, peak_log, peak_docx = sys.argv[1:]
r = {x["command"]: x for x in json.load(open(json_file))["results"]}
def ms(name): return 1000 * r[name]["median"]
def cpu(name): return 1000 * (r[name]["user"] + r[name]["system"])
rows = [f"| {name.split('|')[1]} | {ms(name):.0f} | {cpu(name):.0f} |" for name in r]
gz = ms("gz|quorvin") / ms("gz|inflate alone")
ug = ms("gz|quorvin") / ms("gz|ugrep -z")
dx = ms("docx|quorvin") / ms("docx|inflate alone")
ok = lambda good: "met" if good else "**not met**"
mib = lambda kib: (int(kib) - int(base)) / 1024
section = f"""<!-- inside: made by scripts/bench-inside.sh -->
## Inside compressed files and documents

A {int(size) // 2**20} MiB UTF-8 text gzipped with `gzip -6` ({int(gz_size) / 2**20:.1f} MiB), and a .docx of
2 000 pages ({int(docx_size) / 2**20:.1f} MiB, 80 000 paragraphs in runs), the text in neither
(`hyperfine -N`, medians; processor time is user + system):

| command | wall ms | processor ms |
|---|---|---|
""" + "\n".join(rows[:5]) + """

| command (.docx) | wall ms | processor ms |
|---|---|---|
""" + "\n".join(rows[5:]) + f"""

- gzip: {gz:.2f} × inflating alone (goal ≤ 1.1): {ok(gz <= 1.1)}; {ug:.2f} × ugrep -z (goal ≤ 1.0): {ok(ug <= 1.0)}.
- .docx: {dx:.2f} × inflating its parts alone (goal ≤ 1.2): {ok(dx <= 1.2)}.
- Peak memory above the program's base ({base} KiB over an empty file): {mib(peak_log):.2f} MiB for the gzip
  file, {mib(peak_docx):.2f} MiB for the .docx (goal ≤ 8 MiB): {ok(mib(peak_log) <= 8 and mib(peak_docx) <= 8)}.
<!-- /inside -->
"""
path = "docs/benchmarks.md"
page = open(path).read()
page = re.sub(r"\n?<!-- inside:.*?<!-- /inside -->\n", "", page, flags=re.S)
open(path, "w").write(page.rstrip("\n") + "\n\n" + section)
print(section)
PY
