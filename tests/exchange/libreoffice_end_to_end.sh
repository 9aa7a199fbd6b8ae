#!/usr/bin/env bash
# A written Word document opened by a real consumer: LibreOffice lays it out, updates its
# table of contents, exports a PDF, and the page numbers shown are checked against the
# pages the headings really stand on. The same check must fail on a document whose table
# of contents was not updated, so that a pass means something.
set -euo pipefail
cli=$1
source_dir=$2
here=$(dirname "$0")/libreoffice
python=/usr/bin/python3  # the interpreter python3-uno belongs to

command -v soffice >/dev/null || { echo "soffice not found: install libreoffice-writer-nogui" >&2; exit 1; }
command -v pdftotext >/dev/null || { echo "pdftotext not found: install poppler-utils" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work  # LibreOffice writes its profile under HOME otherwise

convert() {  # DOCX PDF [--no-update]
  "$python" "$here/update_and_export.py" "$1" "$2" "$work/profile" "${@:3}" 2>"$work/office.log" ||
    { cat "$work/office.log" >&2; return 1; }
}

# A deep generated ontology: a table of contents over several pages, 180 pages in all.
"$cli" generate 400 "$work/gen.ont" --seed 3 --now "2026-12-01 10:00:00" >/dev/null
"$cli" export-docx "$work/gen.ont" "$work/gen.docx" 2>/dev/null
convert "$work/gen.docx" "$work/gen.pdf"
"$python" "$here/check_page_references.py" "$work/gen.docx" "$work/gen.pdf"

# The bundled sample: mirror images of several relations, labels, descriptions.
"$cli" export-docx "$source_dir/samples/sample.ont" "$work/sample.docx" 2>/dev/null
convert "$work/sample.docx" "$work/sample.pdf"
"$python" "$here/check_page_references.py" "$work/sample.docx" "$work/sample.pdf"

convert "$work/gen.docx" "$work/stale.pdf" --no-update
if "$python" "$here/check_page_references.py" "$work/gen.docx" "$work/stale.pdf" >"$work/stale.log"; then
  echo "the check passed a table of contents that was never updated" >&2
  exit 1
fi
echo "a stale table of contents is caught: $(tail -1 "$work/stale.log")"
