#!/usr/bin/python3
"""Open a .docx in a headless LibreOffice, update its indexes and fields, export a PDF.

Usage: update_and_export.py IN.docx OUT.pdf PROFILE_DIR [--no-update]

LibreOffice computes PAGEREF fields itself but keeps a table of contents as cached in
the file, so the indexes are updated through UNO before the export, as a user would do
with "Tools > Update > Update All".
"""

import os
import subprocess
import sys
import time

import uno
from com.sun.star.beans import PropertyValue


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def connect(pipe, office):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.time() + 120
    while True:
        try:
            return resolver.resolve(
                f"uno:pipe,name={pipe};urp;StarOffice.ComponentContext")
        except Exception:
            if office.poll() is not None or time.time() > deadline:
                raise SystemExit("LibreOffice did not start (exit %s)" % office.poll())
            time.sleep(0.5)


def main():
    source, target, profile = (os.path.abspath(a) for a in sys.argv[1:4])
    update = "--no-update" not in sys.argv[4:]
    pipe = "velmora_%d" % os.getpid()
    office = subprocess.Popen([
        "soffice", "--headless", "--invisible", "--nologo", "--norestore",
        "--nodefault", "--nolockcheck",
        "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
        f"--accept=pipe,name={pipe};urp;StarOffice.ComponentContext",
    ])
    try:
        context = connect(pipe, office)
        desktop = context.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", context)
        document = desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(source), "_blank", 0, (prop("Hidden", True),))
        if document is None:
            raise SystemExit("LibreOffice could not open " + source)
        indexes = document.getDocumentIndexes()
        if indexes.getCount() == 0:
            raise SystemExit("the document has no table of contents")
        # Page numbers in the index depend on the index's own length: update until stable.
        for _ in range(3 if update else 0):
            for i in range(indexes.getCount()):
                indexes.getByIndex(i).update()
            document.getTextFields().refresh()
        document.storeToURL(uno.systemPathToFileUrl(target),
                            (prop("FilterName", "writer_pdf_Export"),))
        document.close(True)
        try:
            desktop.terminate()
        except Exception:
            pass  # the bridge goes down with the office
    finally:
        try:
            office.wait(timeout=60)
        except subprocess.TimeoutExpired:
            office.kill()


if __name__ == "__main__":
    main()
