#!/usr/bin/python3
"""Check the page numbers of an exported document against where its headings really stand.

Usage: check_page_references.py DOC.docx DOC.pdf

The .docx tells what was written: the level-1 headings with their bookmarks, and every
PAGEREF field with the text before it in its paragraph. The PDF (pdftotext) tells where
LibreOffice laid them out. Checked: every page footer shows its page number, every
heading is listed in the table of contents with the page it stands on, and every
"(p.N)" names the page of its bookmark.
"""

import re
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"


def squeeze(text):
    return "".join(text.split())


def read_document(path):
    """Headings as (bookmark names, text) and references as (bookmark, text before)."""
    with zipfile.ZipFile(path) as package:
        body = ET.fromstring(package.read("word/document.xml")).find(W + "body")
    headings, references = [], []
    for paragraph in body.iter(W + "p"):
        style = paragraph.find(f"{W}pPr/{W}pStyle")
        names = [b.get(W + "name") for b in paragraph.iter(W + "bookmarkStart")]
        text, in_instruction, instruction = "", False, ""
        for element in paragraph.iter():
            if element.tag == W + "t":
                if not in_instruction:
                    text += element.text or ""
            elif element.tag == W + "instrText":
                instruction += element.text or ""
            elif element.tag == W + "fldChar":
                kind = element.get(W + "fldCharType")
                if kind == "begin":
                    in_instruction, instruction = True, ""
                elif kind == "separate":
                    in_instruction = False
                    match = re.match(r"\s*PAGEREF\s+(\S+)", instruction)
                    if match:
                        references.append((match.group(1), squeeze(text)))
                    text += "\0"  # the cached result follows; it is not compared
                elif kind == "end":
                    in_instruction = False
        if style is not None and style.get(W + "val") == "Heading1":
            headings.append((names, squeeze(text)))
    return headings, references


def read_pages(path):
    text = subprocess.run(["pdftotext", "-enc", "UTF-8", path, "-"], check=True,
                          capture_output=True, text=True).stdout
    pages = text.split("\f")
    if pages and not pages[-1].strip():
        pages.pop()
    return pages


def main():
    docx, pdf = sys.argv[1:3]
    headings, references = read_document(docx)
    pages = read_pages(pdf)
    faults = []
    if not headings or not references:
        raise SystemExit("the document has no headings or no page references")

    # Each page: the header line (the ontology's title), its content, the footer line (its
    # number). pdftotext may place the footer before a column's text, so it is looked up.
    header = squeeze(pages[0].splitlines()[0])
    squeezed = []
    for number, page in enumerate(pages, start=1):
        lines = [line.strip() for line in page.splitlines() if line.strip()]
        if lines and squeeze(lines[0]) == header:
            lines.pop(0)
        else:
            faults.append(f"page {number}: no header")
        if str(number) in lines:
            del lines[len(lines) - 1 - lines[::-1].index(str(number))]
        else:
            faults.append(f"page {number}: the footer does not show {number}")
        squeezed.append(squeeze("".join(lines)))

    heading_page, bookmark_page = {}, {}
    for names, text in headings:
        found = [n for n, page in enumerate(squeezed, start=1)
                 if page.startswith(text) and not page.startswith(text + ".")]
        if len(found) != 1:
            faults.append(f"heading {text} stands on pages {found}")
            continue
        heading_page[text] = found[0]
        for name in names:
            bookmark_page[name] = found[0]

    # The table of contents fills the pages before the first concept section.
    first_section = min(heading_page.values(), default=1)
    contents = "".join(squeezed[1:first_section - 1])
    at = contents.find("目次")
    if at < 0:
        faults.append("no table of contents before the first section")
    for _, text in headings:
        match = re.compile(re.escape(text) + r"\.*(\d+)").search(contents, at)
        if not match:
            faults.append(f"contents: no entry for {text}")
            continue
        at = match.end()
        shown, expected = int(match.group(1)), heading_page.get(text)
        if shown != expected:
            faults.append(f"contents: {text} shows p.{shown}, stands on p.{expected}")

    text = "".join(squeezed[first_section - 1:])
    at = 0
    for bookmark, before in references:
        label = before.split("\0")[-1]
        match = re.compile(re.escape(label) + r"(\d+)\)").search(text, at)
        if not match:
            faults.append(f"reference {label}… to {bookmark} not found")
            continue
        at = match.end()
        shown, expected = int(match.group(1)), bookmark_page.get(bookmark)
        if shown != expected:
            faults.append(f"{label}{shown}): {bookmark} stands on p.{expected}")

    for fault in faults[:40]:
        print(fault)
    print(f"{len(pages)} pages, {len(headings)} headings, {len(references)} page references,"
          f" {len(faults)} faults")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
