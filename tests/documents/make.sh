#!/usr/bin/env bash
# Remakes the test documents from the hand-written sources in src/.
# Needs LibreOffice (soffice) and pandoc; the tests only read the results.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=$here/src
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Same output whatever the caller's locale or time zone.
export LC_ALL=C.UTF-8 TZ=UTC
# pandoc takes its dates from this instead of the clock (2024-01-15 09:00 UTC).
# LibreOffice keeps the dates written in the sources' meta.
export SOURCE_DATE_EPOCH=1705309200

# A throwaway profile keeps user settings out of the files and stops the
# request from being handed to a LibreOffice that is already running.
office() {
    local format=$1 input=$2
    soffice -env:UserInstallation="file://$work/profile" --headless --norestore \
        --convert-to "$format" --outdir "$work/out" "$input" >/dev/null
}

office docx "$src/letter.fodt"
office odt "$src/letter.fodt"
office xlsx "$src/budget.fods"
office ods "$src/budget.fods"
office pptx "$src/slides.fodp"
office odp "$src/slides.fodp"

for name in letter.docx letter.odt budget.xlsx budget.ods slides.pptx slides.odp; do
    if [[ ! -s $work/out/$name ]]; then
        echo "make.sh: soffice did not write $name" >&2
        exit 1
    fi
    mv "$work/out/$name" "$here/$name"
done

for format in docx odt epub; do
    pandoc --from markdown --to "$format" --output "$here/pandoc-notes.$format" "$src/notes.md"
done

echo "made:"
cd "$here"
ls -l letter.docx letter.odt budget.xlsx budget.ods slides.pptx slides.odp \
    pandoc-notes.docx pandoc-notes.odt pandoc-notes.epub
